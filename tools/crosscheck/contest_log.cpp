#include "tools/crosscheck/contest_log.h"

#include <algorithm>
#include <iterator>

#include "core/text.h"
#include "tools/logs/adif.h"
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
    logs::addVersion2Categories(out.header);
    qsos.insert(qsos.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
    return !in.bad();
}

namespace {

// The fields of `fields` but the signal reports, from an ADIF record's string field `text` (all of
// them, one blank apart) or its number field `number` (the serial) and the string (the rest):
// "001 HR", or 1 and "HR". False when neither way gives every field.
bool adifFields(const std::vector<contest::ExchangeField>& fields, std::string_view text, std::string_view number,
                std::vector<std::string_view>& out) {
    std::vector<std::string_view> parts = logs::blankSeparated(text);
    std::size_t wanted = 0, serials = 0;
    for (const contest::ExchangeField& f : fields) {
        wanted += f.kind != contest::FieldKind::kRst;
        serials += f.kind == contest::FieldKind::kSerial;
    }
    const bool numbered = parts.size() + 1 == wanted && serials == 1 && !number.empty();
    if (parts.size() != wanted && !numbered) return false;
    out.clear();
    std::size_t next = 0;
    for (const contest::ExchangeField& f : fields) {
        if (f.kind == contest::FieldKind::kRst) continue;
        out.push_back(numbered && f.kind == contest::FieldKind::kSerial ? number : parts[next++]);
    }
    return true;
}

// "serial and county": the fields but the signal reports.
std::string fieldsNamed(const std::vector<contest::ExchangeField>& fields) {
    std::vector<std::string_view> names;
    for (const contest::ExchangeField& f : fields)
        if (f.kind != contest::FieldKind::kRst) names.push_back(f.name);
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i)
        out.append(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ").append(names[i]);
    return out;
}

// One side's exchange: the fields in order, one blank apart, the RST from `rst`; the first serial
// into `serial`.
std::string adifExchange(const std::vector<contest::ExchangeField>& fields, std::string_view rst,
                         const std::vector<std::string_view>& others, std::string& serial) {
    std::string out;
    std::size_t next = 0;
    serial.clear();
    for (const contest::ExchangeField& f : fields) {
        const std::string_view value = f.kind == contest::FieldKind::kRst ? rst : others[next++];
        if (f.kind == contest::FieldKind::kSerial && serial.empty()) serial = value;
        out.append(out.empty() ? "" : " ").append(value);
    }
    return out;
}

}  // namespace

bool readContestAdif(std::istream& in, const std::string& name, const contest::ContestDefinition& contest,
                     std::vector<Qso>& qsos, std::size_t& skipped, const logs::NoteSink& note) {
    logs::AdifReader reader(in);
    logs::AdifRecord record;
    logs::ReplayQso mapped;
    std::string problem, sentSerial, receivedSerial;
    std::vector<std::string_view> sent, received;
    const auto trim = [&record](std::string_view field) { return stats::trimmed(record.get(field)); };
    while (reader.next(record)) {
        if (!record.problem.empty() || !logs::mapRecord(record, nullptr, mapped, problem)) continue;
        if (!adifFields(contest.exchange.sent, trim("STX_STRING"), trim("STX"), sent) ||
            !adifFields(contest.exchange.received, trim("SRX_STRING"), trim("SRX"), received)) {
            ++skipped;
            note(name + ": record " + std::to_string(record.number) + " skipped: STX_STRING '" +
                 std::string(trim("STX_STRING")) + "' and SRX_STRING '" + std::string(trim("SRX_STRING")) +
                 "' do not hold the " + fieldsNamed(contest.exchange.received) +
                 " sent and received (nor STX and SRX the serial and the strings the rest)");
            continue;
        }
        Qso& q = qsos.emplace_back();
        q.line = record.number;
        q.time = mapped.when.time_since_epoch().count();
        q.band = mapped.band;
        q.mode = mapped.mode;
        q.call = stats::asciiUpper(mapped.call);
        q.frequencyKHz = mapped.frequencyHz / 1000;
        q.sentExchange = adifExchange(contest.exchange.sent, mapped.rstSent, sent, sentSerial);
        q.receivedExchange = adifExchange(contest.exchange.received, mapped.rstReceived, received, receivedSerial);
        q.sent = sentSerial;
        q.received = receivedSerial;
    }
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
