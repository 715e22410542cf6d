#include "tools/crosscheck/contest_log.h"

#include <algorithm>
#include <iterator>

#include "core/text.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/qso_mapping.h"

namespace crosscheck {

namespace {

// Fields [from, from + count) one blank apart; the RST and the numbering serial among them into
// `rst` and `serial`.
std::string joined(const std::vector<std::string_view>& fields, std::size_t from,
                   const std::vector<contest::ExchangeField>& layout, int serialAt, std::string& rst,
                   std::string& serial) {
    std::string out;
    for (std::size_t k = 0; k < layout.size(); ++k) {
        const std::string_view f = fields[from + k];
        out.append(k ? " " : "").append(f);
        if (layout[k].kind == contest::FieldKind::kRst && rst.empty()) rst = f;
        if (static_cast<int>(k) == serialAt) serial = f;
    }
    return out;
}

}  // namespace

bool contestQso(std::string_view value, const contest::ContestDefinition& contest,
                const ExchangeLayout& layout, Qso& qso, std::string& problem) {
    // The fields and the mapped QSO keep their room from one line to the next.
    thread_local std::vector<std::string_view> f;
    thread_local logs::CabrilloQso line;
    thread_local logs::ReplayQso mapped;
    logs::blankSeparated(value, f);
    const std::size_t want = layout.lineFieldCount();
    if (f.size() != want && !(contest.exchange.transmitterId && f.size() == want + 1)) {
        problem = std::to_string(f.size()) + " fields where a QSO line of " + contest.names.front() +
                  " has " + std::to_string(want) + " (frequency, mode, date, time, own call, " +
                  layout.lineFieldsText() + ")" +
                  (contest.exchange.transmitterId ? " and an optional transmitter id" : "");
        return false;
    }
    const std::size_t sentAt = 5, callAt = sentAt + layout.sent().size(), receivedAt = callAt + 1;
    line.frequency = f[0];
    line.mode = f[1];
    line.date = f[2];
    line.time = f[3];
    line.ownCall = f[4];
    line.call = f[callAt];
    line.transmitter = f.size() > want ? f[want] : std::string_view();
    line.rstSent.clear();
    line.numberSent.clear();
    line.rstReceived.clear();
    line.numberReceived.clear();
    qso.sentExchange = joined(f, sentAt, layout.sent(), layout.serialSent(), line.rstSent, line.numberSent);
    qso.receivedExchange = joined(f, receivedAt, layout.received(), layout.serialReceived(), line.rstReceived,
                                  line.numberReceived);
    if (!logs::mapCabrilloFields(line, mapped, problem)) return false;
    const std::uint32_t kHz = mapped.frequencyHz / 1000;
    const contest::Band* band = contest.bandAt(kHz);
    const contest::Mode* mode = contest.modeByCabrilloCode(stats::asciiUpper(line.mode));
    qso.time = mapped.when.time_since_epoch().count();
    qso.band = band ? band->name : mapped.band;
    qso.mode = mode ? mode->name : mapped.mode;
    qso.call = mapped.call;
    qso.sent = line.numberSent;
    qso.received = line.numberReceived;
    qso.frequencyKHz = kHz;
    qso.transmitter = TransmitterId(std::string_view(line.transmitter));
    return true;
}

bool readContestLog(std::istream& in, const std::string& name, const contest::ContestDefinition& contest,
                    logs::LoadedLog& out, std::vector<Qso>& qsos, const logs::NoteSink& note) {
    out = logs::LoadedLog{};
    out.format = logs::LogFormat::kCabrillo;
    const ExchangeLayout layout(contest);
    logs::CabrilloLineReader reader(in);
    logs::CabrilloLine line;
    std::string problem;
    Qso qso;
    // Read into room kept from log to log, then moved into `qsos` at its size: the run holds every
    // log's QSOs, and growing each vector would leave the room it outgrew behind.
    thread_local std::vector<Qso> read;
    read.clear();
    while (reader.next(line)) {
        if (line.tag == "X-QSO") {
            ++out.struckOut;
        } else if (line.tag == "QSO") {
            if (line.cut()) problem = "the line is " + std::to_string(line.length) + " bytes long";
            if (line.cut() || !contestQso(line.value, contest, layout, qso, problem)) {
                ++out.skipped;
                note(name + ": line " + std::to_string(line.number) + " skipped: " + problem);
                continue;
            }
            qso.line = line.number;
            read.push_back(qso);
        } else if (line.colon) {
            if (line.tag == "CALLSIGN" && out.ownCall.empty()) out.ownCall = stats::asciiUpper(line.value);
            out.header.emplace_back(line.tag, line.value);
        }
    }
    qsos.insert(qsos.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    return !in.bad();
}

bool fitsContest(const std::vector<Qso>& qsos, const contest::ContestDefinition& contest) {
    const auto inContest = std::count_if(qsos.begin(), qsos.end(), [&](const Qso& q) {
        using namespace std::chrono;
        return contest.band(q.band) && contest.mode(q.mode) && contest.inPeriod(sys_seconds{seconds{q.time}});
    });
    return static_cast<std::size_t>(inContest) * 2 > qsos.size();
}

}  // namespace crosscheck
