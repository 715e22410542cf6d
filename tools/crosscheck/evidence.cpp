#include "tools/crosscheck/evidence.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>

#include "core/ole_date.h"
#include "core/qso_line.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/utf16_text.h"

namespace crosscheck {

namespace {

std::string signedText(std::int64_t n) {
    return (n > 0 ? "+" : "") + std::to_string(n);
}

// "40m and 20m", "CW and SSB": the names of the contest's bands or modes.
template <typename List>
std::string namesOf(const List& list) {
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i)
        out += (i == 0 ? "" : i + 1 == list.size() ? " and " : ", ") + std::string(list[i].name);
    return out;
}

// What a time mismatch leaves the log that holds it, by the contest's policy.
std::string timeMismatchCredit(const contest::FaultPolicy& policy) {
    if (policy.cost == contest::Cost::kNone || policy.side == contest::Side::kOther) return "credit kept";
    return policy.cost == contest::Cost::kHalf ? "half the credit lost" : "credit lost";
}

}  // namespace

std::int64_t roundedMinutes(std::int64_t seconds) {
    return (seconds < 0 ? seconds - 30 : seconds + 30) / 60;
}

std::vector<std::vector<std::uint64_t>> wantedLines(const std::vector<StationLog>& logs, const CheckResult& check) {
    std::vector<std::vector<std::uint64_t>> wanted(logs.size());
    for (std::size_t k = 0; k < logs.size(); ++k)
        for (std::size_t i = 0; i < check.checks[k].size(); ++i) {
            const QsoCheck& c = check.checks[k][i];
            // A QSO with a station that sent no log is reported where too few logs hold it.
            if (verdictName(c.verdict).empty() && c.verdict != Verdict::kNoLog) continue;
            wanted[k].push_back(logs[k].qsos[i].line);
            if (c.otherLog != QsoCheck::kNone && c.verdict != Verdict::kNotInLog)
                wanted[c.otherLog].push_back(logs[c.otherLog].qsos[c.otherQso].line);
        }
    for (auto& lines : wanted) std::sort(lines.begin(), lines.end());
    return wanted;
}

void LineTexts::emplace(std::uint64_t line, std::string_view text) {
    const auto at = std::lower_bound(lines_.begin(), lines_.end(), line);
    if (at != lines_.end() && *at == line) return;
    if (at != lines_.end()) {  // out of order: rare (an ADIF log's records), rebuilt in place
        const std::size_t k = static_cast<std::size_t>(at - lines_.begin());
        const std::size_t from = k ? ends_[k - 1] : 0;
        text_.insert(from, text);
        lines_.insert(at, line);
        ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(k), from + text.size());
        for (std::size_t j = k + 1; j < ends_.size(); ++j) ends_[j] += text.size();
        return;
    }
    text_.append(text);
    lines_.push_back(line);
    ends_.push_back(text_.size());
}

std::optional<std::string_view> LineTexts::find(std::uint64_t line) const {
    const auto at = std::lower_bound(lines_.begin(), lines_.end(), line);
    if (at == lines_.end() || *at != line) return std::nullopt;
    const std::size_t k = static_cast<std::size_t>(at - lines_.begin());
    const std::size_t from = k ? ends_[k - 1] : 0;
    return std::string_view(text_).substr(from, ends_[k] - from);
}

void LineTexts::shrink() {
    lines_.shrink_to_fit();
    ends_.shrink_to_fit();
    text_.shrink_to_fit();
}

LineTexts cabrilloLineTexts(const std::filesystem::path& file, const std::vector<std::uint64_t>& wanted) {
    LineTexts out;
    if (wanted.empty()) return out;
    std::ifstream in(file, std::ios::binary);
    logs::LogText text(in);  // the lines as they were read for the QSOs
    logs::CabrilloLineReader reader(text.stream());
    logs::CabrilloLine line;
    auto next = wanted.begin();
    while (next != wanted.end() && reader.next(line)) {
        if (line.number < *next) continue;
        std::string text = line.text.size() > 200 ? line.text.substr(0, 200) + "..." : line.text;
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        out.emplace(line.number, text);
        while (next != wanted.end() && *next <= line.number) ++next;
    }
    out.shrink();
    return out;
}

LineTexts adifLineTexts(const StationLog& log, const std::vector<std::uint64_t>& wanted,
                        const contest::ContestDefinition& contest) {
    LineTexts out;
    for (const Qso& q : log.qsos)
        if (std::binary_search(wanted.begin(), wanted.end(), q.line))
            out.emplace(q.line, "record " + std::to_string(q.line) + ": " + qsoLineOf(log.call, q, contest));
    out.shrink();
    return out;
}

std::string qsoTimeText(std::int64_t t) {
    return stats::formatTime(std::chrono::sys_seconds{std::chrono::seconds{t}}, "%Y-%m-%d %H%M");
}

std::string qsoLineOf(const std::string& own, const Qso& q, const contest::ContestDefinition& contest) {
    const contest::Mode* mode = contest.mode(q.mode);
    const std::string code = mode ? mode->cabrilloCode : std::string(q.mode.substr(0, 8));
    // SA-TOLVEN's lines have always shown the numbers alone.
    const bool numbers = contest.exchange == contest::builtinContest().exchange;
    const std::string_view sent[] = {std::string_view(numbers ? q.sent : q.sentExchange).substr(0, 40)};
    const std::string_view received[] = {std::string_view(numbers ? q.received : q.receivedExchange).substr(0, 40)};
    const std::string time = qsoTimeText(q.time);
    std::string out = stats::qsoLine({q.frequencyKHz, code.c_str(), time, std::string_view(own).substr(0, 40), sent,
                                      std::string_view(q.call).substr(0, 40), received, {}});
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return out;
}

EvidenceWriter::EvidenceWriter(const std::vector<StationLog>& logs, const CheckResult& check,
                               const std::vector<LineTexts>& lineTexts, std::string period,
                               const contest::ContestDefinition& contest,
                               const std::vector<std::vector<int>>* points, const CallCounts* heldBy,
                               std::set<std::string> notAccepted)
    : logs_(logs),
      check_(check),
      lineTexts_(lineTexts),
      period_(std::move(period)),
      contest_(contest),
      exchange_(contest),
      points_(points),
      notAccepted_(std::move(notAccepted)) {
    if (heldBy)
        heldBy_ = heldBy;
    else if (points_)
        ownHeldBy_ = logsHolding(logs, check);
}

bool EvidenceWriter::notCounted(std::size_t k, std::size_t i) const {
    return points_ && check_.checks[k][i].verdict == Verdict::kNoLog && (*points_)[k][i] == 0;
}

bool EvidenceWriter::paysForPartner(std::size_t k, std::size_t i) const {
    return points_ && paysForPartnersMiscopy(contest_, check_, k, i);
}

bool EvidenceWriter::paysForPartnersCall(std::size_t k, std::size_t i) const {
    return points_ && paysForPartnersBustedCall(contest_, check_, k, i);
}

bool EvidenceWriter::reported(std::size_t k, std::size_t i) const {
    return !verdictName(check_.checks[k][i].verdict).empty() || notCounted(k, i) || paysForPartner(k, i) ||
           paysForPartnersCall(k, i);
}

std::vector<ReportLine> EvidenceWriter::reportLines(std::size_t k, std::vector<std::vector<CopiedLine>>* copied,
                                                    std::mutex* guard) const {
    std::vector<ReportLine> lines;
    for (std::size_t i = 0; i < check_.checks[k].size(); ++i) {
        if (!reported(k, i)) continue;
        const QsoCheck& c = check_.checks[k][i];
        const Qso& q = logs_[k].qsos[i];
        lines.push_back({c.verdict, q.line, lineText(k, q.line), evidence(k, i), points_ ? label(k, i) : ""});
        if (copied) addCopied(k, c, q, *copied, guard);
    }
    std::sort(lines.begin(), lines.end(), [](const ReportLine& a, const ReportLine& b) { return a.line < b.line; });
    return lines;
}

void EvidenceWriter::addCopiedLines(std::size_t k, std::vector<std::vector<CopiedLine>>& copied,
                                    std::mutex* guard) const {
    for (std::size_t i = 0; i < check_.checks[k].size(); ++i)
        if (reported(k, i)) addCopied(k, check_.checks[k][i], logs_[k].qsos[i], copied, guard);
}

std::string EvidenceWriter::label(std::size_t k, std::size_t i) const {
    const QsoCheck& c = check_.checks[k][i];
    switch (c.verdict) {
        case Verdict::kVerified:
            if (paysForPartnersCall(k, i)) return "VERIFIED (lost: the other station miscopied the call)";
            return paysForPartner(k, i) ? "VERIFIED (lost: the other station miscopied the exchange)" : "VERIFIED";
        case Verdict::kNoLog: return notCounted(k, i) ? "NO LOG (not counted)" : "NO LOG";
        case Verdict::kBustedExchange: {
            const auto m = exchange_.mismatch(logs_[k].qsos[i], logs_[c.otherLog].qsos[c.otherQso]);
            return m ? "BUSTED EXCHANGE (" + m->field + ": copied " + m->copied + ", sent " + m->sent + ")"
                     : "BUSTED EXCHANGE";
        }
        default: return std::string(verdictName(c.verdict));
    }
}

// A station whose log was received but not accepted did not "send no log": the evidence of a QSO
// judged as with a station without log says what happened to its log.
std::string EvidenceWriter::evidence(std::size_t k, std::size_t i) const {
    std::string text = stationEvidence(k, i);
    const Verdict v = check_.checks[k][i].verdict;
    const std::string call(logs_[k].qsos[i].call.view());
    const bool withoutLog = v == Verdict::kNoLog || v == Verdict::kUnique || v == Verdict::kUniqueOnBand ||
                            v == Verdict::kBustedExchangeInferred;
    if (!withoutLog || notAccepted_.empty() || !notAccepted_.contains(call)) return text;
    const std::string said = call + ": log received, not accepted";
    if (text.starts_with(call + " sent no log")) {
        const std::string rest = text.substr(call.size() + std::string_view(" sent no log").size());
        return said + (rest.starts_with(" and is ") ? ";" + rest.substr(7) : rest);
    }
    return said + (text.empty() ? "" : "; " + text);
}

std::string EvidenceWriter::stationEvidence(std::size_t k, std::size_t i) const {
    const QsoCheck& c = check_.checks[k][i];
    const Qso& q = logs_[k].qsos[i];
    if (notCounted(k, i)) {
        const auto held = heldBy_->find(q.call.view());
        const std::uint32_t others = held == heldBy_->end() ? 0 : held->second - 1;
        return q.call + " sent no log and is in " + std::to_string(others) + " other log(s); it counts from " +
               std::to_string(contest_.checking.noLog.minOtherLogs);
    }
    if (c.verdict == Verdict::kNotInLog) return "not in the log of " + logs_[c.otherLog].call;
    if (paysForPartner(k, i)) {
        const auto m = exchange_.mismatch(logs_[c.otherLog].qsos[c.otherQso], q);
        return logs_[c.otherLog].call + (m ? " copied " + m->field + " " + m->copied + " for " + m->sent : "") +
               ": " + otherLine(c);
    }
    if (paysForPartnersCall(k, i)) {
        const std::string& otherCall = logs_[c.otherLog].call;
        return otherCall + " copied " + logs_[k].call + " as " + logs_[c.otherLog].qsos[c.otherQso].call +
               ": " + otherLine(c);
    }
    if (c.verdict == Verdict::kBustedExchange || c.verdict == Verdict::kBustedCall) return matchedEvidence(c, q);
    return ownEvidence(k, i, c, q);
}

std::string EvidenceWriter::matchedEvidence(const QsoCheck& c, const Qso& q) const {
    const std::string& otherCall = logs_[c.otherLog].call;
    if (c.verdict == Verdict::kBustedCall) return q.call + " is " + otherCall + ": " + otherLine(c);
    // From a definition the label names the field; SA-TOLVEN's reports say it here, as they always did.
    if (points_) return otherLine(c);
    const Qso& o = logs_[c.otherLog].qsos[c.otherQso];
    return "received " + q.received + ", " + otherCall + " sent " + o.sent + ": " + otherLine(c);
}

// A miscopied call or number also goes to the report of the station it was miscopied from.
void EvidenceWriter::addCopied(std::size_t k, const QsoCheck& c, const Qso& q,
                               std::vector<std::vector<CopiedLine>>& copied, std::mutex* guard) const {
    if (c.verdict != Verdict::kBustedExchange && c.verdict != Verdict::kBustedCall) return;
    const Qso& o = logs_[c.otherLog].qsos[c.otherQso];
    const std::string yourLine = " (your line " + std::to_string(o.line) + ")";
    std::string what = "your call as " + q.call;
    if (c.verdict == Verdict::kBustedExchange) {
        const auto m = points_ ? exchange_.mismatch(q, o) : std::nullopt;
        what = m ? "your " + m->field + " " + m->sent + " as " + m->copied : "your number " + o.sent + " as " + q.received;
    }
    CopiedLine line{logs_[k].call, q.line, lineText(k, q.line), what + yourLine};
    std::unique_lock<std::mutex> lock;
    if (guard) lock = std::unique_lock(*guard);
    copied[c.otherLog].push_back(std::move(line));
}

std::string EvidenceWriter::ownEvidence(std::size_t k, std::size_t i, const QsoCheck& c, const Qso& q) const {
    switch (c.verdict) {
        case Verdict::kUnique: {
            const std::string note = noteOf(k, c);
            return note.empty() ? q.call + " is in no other log" : note;
        }
        case Verdict::kDupe:
            return dupeEvidence(k, i, c);
        case Verdict::kOutOfBand: return outOfBandEvidence(q);
        case Verdict::kOutOfMode: return "mode " + q.mode + ": the contest is " + namesOf(contest_.modes);
        case Verdict::kNoNumber: return q.sent.empty() ? "no number sent" : "no number received";
        case Verdict::kOutOfPeriod: return "outside the contest period " + period_;
        case Verdict::kTimeMismatch:
        case Verdict::kBandMismatch:
        case Verdict::kModeMismatch: return mismatchEvidence(k, c);
        case Verdict::kBustedCallInferred: return q.call + " " + noteOf(k, c);
        case Verdict::kBustedExchangeInferred:
        case Verdict::kUniqueOnBand: return noteOf(k, c);
        default: return {};
    }
}

// Where a station may be worked again after some minutes, the QSO a dupe repeats too soon and the
// minutes between (a dupe before the QSO that counts, as a confirmed one can be, says "later"); where
// the other log holds both and stands them apart by other minutes (29 by one log's clock, 30 by the
// other's), its times too.
std::string EvidenceWriter::dupeEvidence(std::size_t k, std::size_t i, const QsoCheck& c) const {
    const Qso& counted = logs_[k].qsos[c.otherQso];
    const std::string line = lineText(k, counted.line);
    if (!contest_.checking.repeatAfterMinutes) return "repeats line " + std::to_string(counted.line) + ": " + line;
    const auto hhmm = [](std::int64_t t) {
        return stats::formatTime(std::chrono::sys_seconds{std::chrono::seconds{t}}, "%H%M");
    };
    const auto minutesText = [](std::int64_t n) {
        return std::to_string(n) + (n == 1 ? " minute" : " minutes");
    };
    const std::int64_t minutes = c.detail < 0 ? -std::int64_t{c.detail} : c.detail;
    std::string text = "of the QSO at " + hhmm(counted.time) + " (line " + std::to_string(counted.line) +
                       "), " + minutesText(minutes) + (c.detail < 0 ? " later" : " before") + ": " + line;
    if (k >= check_.dupesInOtherLog.size()) return text;
    const auto& seen = check_.dupesInOtherLog[k];
    const auto at = std::lower_bound(seen.begin(), seen.end(), i,
                                     [](const DupeInOtherLog& d, std::size_t q) { return d.qso < q; });
    if (at == seen.end() || at->qso != i) return text;
    const auto& other = logs_[at->otherLog];
    const std::int64_t from = other.qsos[at->counted].time, to = other.qsos[at->repeat].time;
    const std::int64_t apart = (to > from ? to - from : from - to) / 60;
    if (apart == minutes) return text;
    return text + "; " + other.call + " logged the two at " + hhmm(from) + " and " + hhmm(to) + ", " +
           minutesText(apart) + " apart";
}

std::string EvidenceWriter::outOfBandEvidence(const Qso& q) const {
    const contest::Band* band = contest_.band(q.band);
    if (!band) return "band " + q.band + ": the contest is on " + namesOf(contest_.bands);
    std::string within;
    for (const contest::SubBand& s : band->subBands)
        if (s.mode == q.mode)
            within += (within.empty() ? "" : ", ") + std::to_string(s.range.low) + "-" + std::to_string(s.range.high);
    return std::to_string(q.frequencyKHz) + " kHz: " + (within.empty() ? "outside the contest's " + band->name
                                                                          : q.mode + " only within " + within + " kHz");
}

std::string EvidenceWriter::mismatchEvidence(std::size_t k, const QsoCheck& c) const {
    const std::string& otherCall = logs_[c.otherLog].call;
    if (c.verdict == Verdict::kTimeMismatch) {
        // The difference is the one left once both clocks are corrected: say so when the logged
        // times alone would show another.
        const std::int64_t own = roundedMinutes(check_.clockOffsets[k]);
        const std::int64_t theirs = roundedMinutes(check_.clockOffsets[c.otherLog]);
        const std::string corrected = own || theirs ? "; offsets taken off: this log " + signedText(own) + " min, " +
                                                          otherCall + " " + signedText(theirs) + " min"
                                                    : std::string();
        return signedText(c.detail) + " min against " + otherLine(c) + " (" +
               timeMismatchCredit(contest_.checking.timeMismatch) + corrected + ")";
    }
    const Qso& o = logs_[c.otherLog].qsos[c.otherQso];
    const bool band = c.verdict == Verdict::kBandMismatch;
    return otherCall + " logged " + (band ? o.band : o.mode) + ": " + otherLine(c) +
           (c.credited ? "; credit kept: this log's frequency places it"
            : check_.checks[c.otherLog][c.otherQso].credited
                ? "; credit lost: " + otherCall + "'s frequency places it"
                : "; credit lost on both sides: neither frequency places it");
}

std::string EvidenceWriter::lineText(std::size_t k, std::uint64_t line) const {
    const std::optional<std::string_view> text = lineTexts_[k].find(line);
    return text ? std::string(*text) : std::string("(line ") + std::to_string(line) + ")";
}

std::string EvidenceWriter::otherLine(const QsoCheck& c) const {
    const Qso& o = logs_[c.otherLog].qsos[c.otherQso];
    return logs_[c.otherLog].call + " line " + std::to_string(o.line) + ": " + lineText(c.otherLog, o.line);
}

std::string EvidenceWriter::noteOf(std::size_t k, const QsoCheck& c) const {
    const auto& notes = check_.notes[k];
    return c.detail > 0 && static_cast<std::size_t>(c.detail) <= notes.size()
               ? notes[static_cast<std::size_t>(c.detail) - 1]
               : std::string();
}

}  // namespace crosscheck
