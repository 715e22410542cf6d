#include "tools/crosscheck/contest_log.h"

#include <algorithm>

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
    const std::vector<std::string_view> f = logs::blankSeparated(value);
    const std::size_t want = layout.lineFieldCount();
    if (f.size() != want && !(contest.exchange.transmitterId && f.size() == want + 1)) {
        problem = std::to_string(f.size()) + " fields where a QSO line of " + contest.names.front() +
                  " has " + std::to_string(want) + " (frequency, mode, date, time, own call, " +
                  layout.lineFieldsText() + ")" +
                  (contest.exchange.transmitterId ? " and an optional transmitter id" : "");
        return false;
    }
    const std::size_t sentAt = 5, callAt = sentAt + layout.sent().size(), receivedAt = callAt + 1;
    logs::CabrilloQso line{std::string(f[0]),
                           std::string(f[1]),
                           std::string(f[2]),
                           std::string(f[3]),
                           std::string(f[4]),
                           {},
                           {},
                           std::string(f[callAt]),
                           {},
                           {},
                           f.size() > want ? std::string(f[want]) : std::string()};
    qso.sentExchange = joined(f, sentAt, layout.sent(), layout.serialSent(), line.rstSent, line.numberSent);
    qso.receivedExchange = joined(f, receivedAt, layout.received(), layout.serialReceived(), line.rstReceived,
                                  line.numberReceived);
    logs::ReplayQso mapped;
    if (!logs::mapCabrilloQso(line, nullptr, mapped, problem)) return false;
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
            qsos.push_back(qso);
        } else if (line.colon) {
            if (line.tag == "CALLSIGN" && out.ownCall.empty()) out.ownCall = stats::asciiUpper(line.value);
            out.header.emplace_back(line.tag, line.value);
        }
    }
    qsos.shrink_to_fit();  // held for the whole run: no room to spare
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
