#include "tools/verify/cabrillo_check.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <iterator>

#include "core/ole_date.h"
#include "core/text.h"
#include "tools/contest/contest_choice.h"
#include "tools/contest/contest_definition.h"
#include "tools/contest/dupe_book.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/callsign.h"
#include "tools/logs/iso_date.h"
#include "tools/logs/utf16_text.h"
#include "tools/verify/finding_fold.h"
#include "tools/verify/header_tags.h"

namespace verify {
using namespace logs;
namespace {

using namespace std::chrono;

// A frequency field that names a band above 30 MHz by its designator ("144", "10G", "LIGHT").
bool vhfDesignator(std::string_view text) {
    return std::any_of(stats::kAmateurBands.begin(), stats::kAmateurBands.end(),
                       [text](const stats::AmateurBand& b) { return !b.hf() && !b.designator.empty() && b.designator == text; });
}

constexpr std::string_view kModes[] = {"CW", "PH", "FM", "RY", "DG"};

template <typename List>
bool contains(const List& list, std::string_view s) {
    return std::find(std::begin(list), std::end(list), s) != std::end(list);
}

bool isDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string upper(std::string_view s) { return stats::asciiUpper(s); }

using stats::trimmed;

// "A and B", "A, B and C": the contest's bands or modes as a finding names them.
template <typename Entries, typename Text>
std::string listed(const Entries& entries, Text text) {
    std::string out;
    for (std::size_t i = 0; i < entries.size(); ++i)
        out += (i == 0 ? "" : i + 1 == entries.size() ? " and " : ", ") + text(entries[i]);
    return out;
}

// "40 m and 20 m"
std::string contestBandNames(const contest::ContestDefinition& c) {
    return listed(c.bands, [](const contest::Band& b) {
        return b.name.ends_with('m') ? b.name.substr(0, b.name.size() - 1) + " m" : b.name;
    });
}

std::string modeCodes(const contest::ContestDefinition& c) {
    return listed(c.modes, [](const contest::Mode& m) { return m.cabrilloCode; });
}

std::string quoted(std::string_view s) {
    std::string q(1, '\'');  // appended, not "'" + text: GCC 12 warns wrongly of overlapping copies
    q += findingText(s);
    q += '\'';
    return q;
}

bool validTime(std::string_view t) {
    return t.size() == 4 && isDigits(t) && (t[0] - '0') * 10 + (t[1] - '0') < 24 && t[2] < '6';
}

std::string hexByte(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", c);
    return buffer;
}

bool outsidePrintableAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u >= 0x7F;
}

// The warning for bytes outside printable ASCII on a line: the first one, its column and how many
// there are; empty for a clean line.
std::string oddBytesMessage(std::string_view text) {
    const auto odd = std::find_if(text.begin(), text.end(), outsidePrintableAscii);
    if (odd == text.end()) return {};
    const auto count = std::count_if(odd, text.end(), outsidePrintableAscii);
    std::string message = "byte " + hexByte(static_cast<unsigned char>(*odd)) + (*odd == '\t' ? " (tab)" : "") +
                          " outside printable ASCII at column " + std::to_string(odd - text.begin() + 1);
    if (count > 1) message += " (" + std::to_string(count) + " such bytes on the line)";
    return message;
}

// Tabs alone are a layout fault of their own, not odd characters to replace.
Rule oddBytesRule(std::string_view text) {
    const bool tabsOnly =
        std::all_of(text.begin(), text.end(), [](char c) { return c == '\t' || !outsidePrintableAscii(c); });
    return tabsOnly ? Rule::kTab : Rule::kNonAscii;
}

// "3600-3650 and 3700-3775 kHz"
std::string rangesText(const std::vector<contest::KHzRange>& ranges) {
    return listed(ranges, [](const contest::KHzRange& r) {
               return std::to_string(r.low) + "-" + std::to_string(r.high);
           }) + " kHz";
}

std::string bandRangesText(const contest::ContestDefinition& c) {
    std::vector<contest::KHzRange> ranges;
    for (const contest::Band& b : c.bands) ranges.push_back(b.range);
    return rangesText(ranges);
}

std::string subBandsText(const contest::Band& band, std::string_view mode) {
    std::vector<contest::KHzRange> ranges;
    for (const contest::SubBand& s : band.subBands)
        if (s.mode == mode) ranges.push_back(s.range);
    return rangesText(ranges);
}

// "rst, serial and county"
std::string fieldNames(const std::vector<contest::ExchangeField>& fields) {
    return listed(fields, [](const contest::ExchangeField& f) { return f.name; });
}

// "59 on PH"
std::string reportsText(const contest::ContestDefinition& c) {
    std::string out;
    for (const contest::Mode& m : c.modes)
        if (m.reportDigits > 0)
            out += (out.empty() ? "" : ", ") + std::string(m.reportDigits, '9').replace(0, 1, "5") + " on " +
                   m.cabrilloCode;
    return out;
}

// "ALL, 40M, 20M": the values the contest allows for a category tag it restricts
std::string categoryValues(const contest::ContestDefinition& c, std::string_view tag) {
    std::string out;
    for (const contest::CategoryValues& v : c.categories)
        if (stats::equalsIgnoringCase(v.tag, tag))
            for (const std::string& value : v.values) out += (out.empty() ? "" : ", ") + value;
    return out;
}

// "2022-01-09 0630"
std::string stampText(sys_seconds t) {
    return stats::formatTime(t, "%Y-%m-%d %H%M");
}

// "2022-01-09 0630 to 2022-01-09 0830" (each end the first minute after)
std::string periodsText(const contest::ContestDefinition& c) {
    return listed(c.periods, [](const contest::Period& p) { return stampText(p.start) + " to " + stampText(p.end); });
}

// Each exchange field of a QSO line split by `x`'s layout: fn("sent" or "received", field, value).
template <typename Fn>
void forEachExchangeField(const contest::Exchange& x, const std::vector<std::string_view>& f, Fn fn) {
    for (std::size_t k = 0; k < x.sent.size(); ++k) fn("sent", x.sent[k], f[5 + k]);
    for (std::size_t k = 0; k < x.received.size(); ++k) fn("received", x.received[k], f[6 + x.sent.size() + k]);
}

}  // namespace

std::string dupeText(std::string_view call, std::string_view band, std::string_view mode, std::string_view how) {
    return "dupe: " + findingText(call) + " on " + findingText(band) + " " + findingText(mode) + " again" +
           std::string(how);
}

std::string findingText(std::string_view s) {
    constexpr std::size_t kLongest = 40;
    std::string t;
    for (std::size_t i = 0; i < s.size() && i < kLongest; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        t += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    if (s.size() > kLongest) t += "...";
    return t;
}

CabrilloChecker::CabrilloChecker(CheckPeriod period, const contest::ContestDefinition* contest)
    : contest_(contest ? contest : &contest::builtinContest()),
      period_(contest_, period.start, period.end),
      hostLayout_(contest::scoringKindOf(*contest_) == contest::ScoringKind::kPlugin),
      relayed_(contest_) {}

void CabrilloChecker::decodedFromUtf16() {
    finding(1, Severity::kWarning, Rule::kNotText,
            "UTF-16 text: read as such; most committees' tools want ASCII");
}

std::string CabrilloChecker::contestName() const {
    return contest_->names.front();
}

void CabrilloChecker::finding(std::uint64_t line, Severity severity, Rule rule, std::string text) {
    findings_.push_back({line, severity, std::move(text), rule});
}

std::string_view CabrilloChecker::checkFirstLine(const CabrilloLine& line) {
    std::string_view text = line.text;
    // A UTF-16 or binary file gives one finding, not one per line of noise.
    if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
        finding(1, Severity::kError, Rule::kNotText, "a UTF-16 text file: a Cabrillo log is plain ASCII text");
        stopped_ = true;
    } else if (text.find('\0') != std::string_view::npos) {
        finding(1, Severity::kError, Rule::kNotText, "not a text file: line 1 holds NUL bytes (a binary or UTF-16 file?)");
        stopped_ = true;
    } else if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        finding(1, Severity::kWarning, Rule::kNotText, "a UTF-8 byte order mark at the start: a Cabrillo log is plain ASCII text");
        text.remove_prefix(3);
    }
    return text;
}

void CabrilloChecker::closeBlankRun() {
    if (blankRunLength_ > 0)
        finding(blankRunStart_, Severity::kWarning, Rule::kEmptyLine,
                blankRunLength_ == 1 ? "empty line"
                                     : "empty lines (" + std::to_string(blankRunLength_) + ", up to line " +
                                           std::to_string(blankRunStart_ + blankRunLength_ - 1) + ")");
    blankRunLength_ = 0;
}

void CabrilloChecker::add(const CabrilloLine& line) {
    lines_ = line.number;
    if (stopped_) return;
    const std::string_view text = line.number == 1 ? checkFirstLine(line) : std::string_view(line.text);
    if (stopped_) return;
    if (std::string message = oddBytesMessage(text); !message.empty())
        finding(line.number, Severity::kWarning, oddBytesRule(text), std::move(message));

    if (trimmed(text).empty()) {
        if (blankRunLength_++ == 0) blankRunStart_ = line.number;
        return;
    }
    // Empty lines before START-OF-LOG: are only empty lines: the log starts at its first text.
    if (firstTextLine_ == 0) firstTextLine_ = line.number;
    closeBlankRun();
    if (endOfLog_ != 0 && afterEnd_ == 0) afterEnd_ = line.number;

    const std::size_t colon = text.find(':');
    const std::string tag = upper(text.substr(0, colon == std::string_view::npos ? 0 : colon));
    const bool tagShaped =
        !tag.empty() && std::all_of(tag.begin(), tag.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        });
    if (line.number == firstTextLine_ && tag != "START-OF-LOG")
        finding(line.number, Severity::kError, Rule::kStartOfLog,
                "the first line is not START-OF-LOG: (a Cabrillo log starts with START-OF-LOG: 3.0)");
    if (colon == std::string_view::npos || !tagShaped) {
        finding(line.number, Severity::kError, Rule::kNoTag,
                "a line without a tag: " + quoted(text) + " (every line starts with a tag such as QSO: or SOAPBOX:)");
        return;
    }
    std::string_view value = text.substr(colon + 1);
    if (!value.empty() && value.front() != ' ') {
        // Still read as the tag and its value, so only worth a warning.
        finding(line.number, Severity::kWarning, value.front() == '\t' ? Rule::kTab : Rule::kTagBlank,
                tag + ": is not followed by a blank: " + quoted(text) + " (write " + tag + ": VALUE)");
    } else if (!value.empty()) {
        value.remove_prefix(1);
    }
    checkTagLine(line, tag, trimmed(value));
}

void CabrilloChecker::checkTagLine(const CabrilloLine& line, std::string_view tag, std::string_view value) {
    const std::uint64_t n = line.number;
    if (tag.substr(0, 2) == "X-") return;  // private tags, and the QSOs the operator struck out
    // A tag the reader does not know costs the log nothing: it is read past, and said.
    if (version2Tag(tag)) {
        if (!version2_)
            finding(n, Severity::kWarning, Rule::kVersion2Tag,
                    std::string(tag) + ": is a Cabrillo 2.0 tag, read as such: in a 3.0 log " +
                        version3Instead(tag, value));
        return;
    }
    if (!version3Tag(tag)) {
        const auto near = nearestTag(tag);
        finding(n, Severity::kWarning, Rule::kUnknownTag,
                "unknown tag " + findingText(tag) + ":" +
                    (near ? " (the Cabrillo 3.0 tag is " + std::string(*near) + ":)"
                          : " (not a Cabrillo 3.0 header tag; private tags start with X-)"));
        return;
    }
    if (tag == "START-OF-LOG") {
        if (n != firstTextLine_) {
            finding(n, Severity::kError, Rule::kStartOfLog, "START-OF-LOG: again: it belongs on the first line only");
        } else if (value != "3.0" && value != "2.0") {
            finding(n, Severity::kError, Rule::kStartOfLog, "START-OF-LOG: version " + quoted(value) + ": robots read 3.0 and 2.0");
        }
        version2_ = n == firstTextLine_ && value == "2.0";
    } else if (tag == "END-OF-LOG") {
        if (endOfLog_ == 0)
            endOfLog_ = n;
        else
            finding(n, Severity::kError, Rule::kEndOfLog, "END-OF-LOG: again (the first is at line " + std::to_string(endOfLog_) + ")");
    } else if (tag == "CALLSIGN") {
        callsign_ = upper(value);
        callsignLine_ = n;
        if (value.empty())
            finding(n, Severity::kError, Rule::kCallsign,
                    "CALLSIGN: is empty: it names the station of the log");
        else if (!logs::hasCallSyntax(value))
            finding(n, Severity::kError, Rule::kCallsign,
                    "CALLSIGN: " + quoted(value) + " is not a call: letters, digits and '/' only, at most " +
                        std::to_string(logs::kLongestCall) + " characters");
    } else if (tag == "CONTEST") {
        contestLine_ = n;
        if (hostLayout_ ? upper(value) != contestName() : !contest_->matchesName(value))
            contestProblem_ = "CONTEST: " + quoted(value) + " is not this contest: write CONTEST: " + contestName();
    } else if (tag == "CLAIMED-SCORE") {
        claimedScore_ = value;
        claimedScoreLine_ = n;
        if (!value.empty() && !isDigits(value))
            finding(n, Severity::kError, Rule::kClaimedScoreNumber, "CLAIMED-SCORE: " + quoted(value) + " is not a whole number");
    } else if (tag == "QSO") {
        if (hostLayout_)
            checkQso(line, value);
        else
            checkDefinedQso(n, value);
    } else {
        checkCategory(n, tag, value);
    }
}

void CabrilloChecker::checkCategory(std::uint64_t n, std::string_view tag, std::string_view value) {
    for (const CategoryList& list : categoryLists()) {
        if (list.tag != tag || value.empty()) continue;
        if (const auto lastYear = lastYearListed(tag, upper(value))) {
            retired_.push_back({n, std::string(tag), upper(value), *lastYear});
        } else if (!contains(list.values, upper(value))) {
            std::string shown;
            for (const std::string& v : list.values) shown += (shown.empty() ? "" : ", ") + v;
            finding(n, Severity::kError, Rule::kCategory,
                    std::string(tag) + ": " + quoted(value) + " is in no Cabrillo 3.0 list (" + shown + ")");
        } else if (!contest_->allowsCategory(tag, value)) {
            finding(n, Severity::kError, Rule::kCategory,
                    std::string(tag) + ": " + quoted(value) + " is not a category of " + contestName() + " (" +
                        categoryValues(*contest_, tag) + ")");
        }
    }
}

void CabrilloChecker::checkQso(const CabrilloLine& line, std::string_view value) {
    const std::uint64_t n = line.number;
    CabrilloQso q;
    std::string problem;
    if (!splitQsoLine(value, q, problem)) {
        finding(n, Severity::kError, Rule::kQsoSyntax,
                "a QSO line that does not parse: " + problem);
        return;
    }
    const std::size_t before = findings_.size();
    sys_days day{};
    checkQsoFrame(n, q, day);
    const std::string freq = upper(q.frequency), mode = upper(q.mode);
    for (const auto& [rst, which] : {std::pair{&q.rstSent, "sent"}, std::pair{&q.rstReceived, "received"}})
        if (!isDigits(*rst))
            finding(n, Severity::kError, Rule::kQsoField, std::string(which) + " RST " + quoted(*rst) + " is not a signal report");
    if (findings_.size() != before) return;  // the warnings below judge a line that parses

    tally(freq, mode, day);
    // The host's layout is the built-in contest's exchange: rst and serial each way.
    const std::vector<std::string_view> fields = {q.frequency,   q.mode,          q.date,       q.time,
                                                  q.ownCall,     q.rstSent,       q.numberSent, q.call,
                                                  q.rstReceived, q.numberReceived};
    checkDefinedBand(n, q, freq, mode);
    checkExchange(n, fields, mode);
    checkQsoAgainstLog(n, q, day);
}

bool CabrilloChecker::checkQsoFrame(std::uint64_t n, const CabrilloQso& q, sys_days& day) {
    const std::size_t before = findings_.size();
    const std::string freq = upper(q.frequency);
    if (!isDigits(freq) && !vhfDesignator(freq))
        finding(n, Severity::kError, Rule::kQsoField, "frequency " + quoted(q.frequency) + " is neither kHz nor a band designator");
    const std::string mode = upper(q.mode);
    if (!contains(kModes, mode))
        finding(n, Severity::kError, Rule::kQsoField, "mode " + quoted(q.mode) + " is not a Cabrillo mode code (CW, PH, FM, RY, DG)");
    if (!parseIsoDate(q.date, day))
        finding(n, Severity::kError, Rule::kQsoField, "date " + quoted(q.date) + " is not a date YYYY-MM-DD");
    if (!validTime(q.time))
        finding(n, Severity::kError, Rule::kQsoField, "time " + quoted(q.time) + " is not a time HHMM (0000 to 2359)");
    return findings_.size() == before;
}

void CabrilloChecker::checkQsoAgainstLog(std::uint64_t n, const CabrilloQso& q, sys_days day) {
    const std::string own = upper(q.ownCall);
    if (ownCallsSeen_.emplace(own, n).second && !callsign_.empty() && own != callsign_)
        finding(n, Severity::kError, Rule::kOwnCall,
                "own call " + findingText(own) + " differs from CALLSIGN: " + findingText(callsign_) +
                    " (line " + std::to_string(callsignLine_) + ")");

    std::string stamp = q.date + " " + q.time;
    if (lastQsoLine_ != 0 && stamp < lastQsoStamp_) {
        const bool sameDay = stamp.compare(0, 10, lastQsoStamp_, 0, 10) == 0;
        finding(n, Severity::kWarning, Rule::kTimeOrder,
                "QSO out of time order: " + (sameDay ? q.time : stamp) + " after " +
                    (sameDay ? lastQsoStamp_.substr(11) : lastQsoStamp_) + " (line " + std::to_string(lastQsoLine_) + ")");
    }
    lastQsoStamp_ = std::move(stamp);
    lastQsoLine_ = n;
    checkQsoPeriod(n, q, day);
}

bool CabrilloChecker::inPeriod(const CabrilloQso& q, sys_days day) const {
    return period_.holds(day + hours{std::stoi(q.time.substr(0, 2))} + minutes{std::stoi(q.time.substr(2))});
}

void CabrilloChecker::checkQsoPeriod(std::uint64_t n, const CabrilloQso& q, sys_days day) {
    if (inPeriod(q, day)) return;
    if (period_.byDays())
        finding(n, Severity::kWarning, Rule::kPeriod,
                "QSO on " + q.date + " outside the contest period " + period_.text());
    else
        finding(n, Severity::kWarning, Rule::kPeriod,
                "QSO at " + q.date + " " + q.time + " outside the contest period " + periodsText(*contest_));
}

void CabrilloChecker::tally(const std::string& freq, const std::string& mode, sys_days day) {
    LogTally& t = tally_;
    ++t.qsoLines;
    t.firstDay = t.firstDay ? std::min(*t.firstDay, day) : day;
    t.lastDay = t.lastDay ? std::max(*t.lastDay, day) : day;
    if (!contains(t.modes, mode)) t.modes.push_back(mode);
    if (t.frequencies.size() < 5 && !contains(t.frequencies, freq)) t.frequencies.push_back(freq);
    // Long digit strings are far outside the bands; from_chars leaves them at 0.
    unsigned long long khz = 0;
    if (isDigits(freq)) std::from_chars(freq.data(), freq.data() + freq.size(), khz);
    const auto k = static_cast<std::uint32_t>(std::min(khz, 0xFFFFFFFFull));
    if (khz > 0) {
        t.lowKHz = t.lowKHz ? std::min<std::uint64_t>(t.lowKHz, k) : k;
        t.highKHz = std::max<std::uint64_t>(t.highKHz, k);
    }
    // A QSO of this contest lies in one of its bands (a sub-band fault is the operator's), in one of
    // its modes and on a day of its period: a clock some minutes or hours off is the cross-check's to
    // judge, not a sign of another contest.
    const bool band = khz > 0 && khz <= 0xFFFFFFFFull && contest_->bandAt(k) != nullptr;
    const bool known = contest_->modeByCabrilloCode(mode) != nullptr;
    const bool onDay = onPeriodDay(day);
    t.fitting += band && known && onDay;
    t.onPeriodDays += onDay;
}

bool CabrilloChecker::onPeriodDay(sys_days day) const {
    return period_.touches(day);
}

void CabrilloChecker::checkDefinedQso(std::uint64_t n, std::string_view value) {
    const std::vector<std::string_view> f = blankSeparated(value);
    const contest::Exchange& x = contest_->exchange;
    const std::size_t want = 6 + x.sent.size() + x.received.size();
    if (f.size() != want && !(x.transmitterId && f.size() == want + 1)) {
        finding(n, Severity::kError, Rule::kQsoSyntax,
                "a QSO line that does not parse: " + std::to_string(f.size()) + " fields where a QSO line of " +
                    contestName() + " has " + std::to_string(want) + " (frequency, mode, date, time, own call, sent " +
                    fieldNames(x.sent) + ", call, received " + fieldNames(x.received) + ")" +
                    (x.transmitterId ? " and an optional transmitter id" : ""));
        relayed_.skip(n, f);
        return;
    }
    // The fields the log checks read; the exchange stays in `f`.
    CabrilloQso q;
    q.frequency = f[0];
    q.mode = f[1];
    q.date = f[2];
    q.time = f[3];
    q.ownCall = f[4];
    q.call = f[5 + x.sent.size()];
    sys_days day{};
    bool wellFormed = checkQsoFrame(n, q, day);
    forEachExchangeField(x, f, [&](const char* which, const contest::ExchangeField& field, std::string_view v) {
        if (field.kind != contest::FieldKind::kRst || isDigits(v)) return;
        finding(n, Severity::kError, Rule::kQsoField, std::string(which) + " RST " + quoted(v) + " is not a signal report");
        wellFormed = false;
    });
    if (!wellFormed) {  // the warnings below judge a line that parses
        relayed_.skip(n, f);
        return;
    }

    const std::string freq = upper(q.frequency), mode = upper(q.mode);
    tally(freq, mode, day);
    checkDefinedBand(n, q, freq, mode);
    checkExchange(n, f, mode);
    checkQsoAgainstLog(n, q, day);
    relayed_.add(n, q.date, q.time, f);
}

void CabrilloChecker::checkDefinedBand(std::uint64_t n, const CabrilloQso& q, const std::string& freq,
                                       const std::string& mode) {
    if (!isDigits(freq)) {
        finding(n, Severity::kWarning, Rule::kBand,
                "band " + freq + " is not a contest band (" + contestBandNames(*contest_) + ": " +
                    bandRangesText(*contest_) + ")");
        return;
    }
    // Long digit strings are far outside the bands; from_chars leaves them at 0.
    unsigned long long khz = 0;
    std::from_chars(freq.data(), freq.data() + freq.size(), khz);
    const contest::Band* band = khz > 0xFFFFFFFFull ? nullptr : contest_->bandAt(static_cast<std::uint32_t>(khz));
    const contest::Mode* m = contest_->modeByCabrilloCode(mode);
    if (!band)
        finding(n, Severity::kWarning, Rule::kBand,
                "frequency " + quoted(q.frequency) + " kHz is outside the contest bands (" + bandRangesText(*contest_) + ")");
    else if (m && !band->allows(static_cast<std::uint32_t>(khz), m->name))
        finding(n, Severity::kWarning, Rule::kBand,
                "frequency " + quoted(q.frequency) + " kHz is outside the " + m->name + " sub-bands of " + band->name +
                    " (" + subBandsText(*band, m->name) + ")");
    if (band && m && !hostLayout_) {  // the plug-in judges its own contest's dupes
        sys_days day{};
        parseIsoDate(q.date, day);
        const sys_seconds when =
            day + hours{std::stoi(q.time.substr(0, 2))} + minutes{std::stoi(q.time.substr(2))};
        worked_.push_back({when, upper(q.call), band->name, m->name, n});
    }
}

void CabrilloChecker::checkExchange(std::uint64_t n, const std::vector<std::string_view>& f, const std::string& mode) {
    const contest::Mode* m = contest_->modeByCabrilloCode(mode);
    if (!m)
        finding(n, Severity::kWarning, Rule::kMode,
                "mode " + mode + " is not scored in this contest (" + modeCodes(*contest_) + ")");
    // The reports first, then the numbers, then the text fields: each kind of fault together.
    forEachExchangeField(contest_->exchange, f,
                         [&](const char* which, const contest::ExchangeField& field, std::string_view v) {
                             if (field.kind == contest::FieldKind::kRst && m && m->reportDigits > 0 &&
                                 v.size() != m->reportDigits)
                                 finding(n, Severity::kWarning, Rule::kRstFit,
                                         std::string(which) + " RST " + findingText(v) + " does not fit " +
                                             mode + " (" + reportsText(*contest_) + ")");
                         });
    forEachExchangeField(
        contest_->exchange, f,
        [&](const char* which, const contest::ExchangeField& field, std::string_view v) {
            const std::string side =
                std::string(which) + " " + (field.name == "serial" ? "serial number" : field.name);
            if (contest::isNumber(field.kind) && v.empty())
                finding(n, Severity::kWarning, Rule::kSerial, side + " is empty");
            else if (contest::isNumber(field.kind) && !isDigits(v))
                finding(n, Severity::kWarning, Rule::kSerial, side + " " + quoted(v) + " is not a number");
        });
    forEachExchangeField(contest_->exchange, f,
                         [&](const char* which, const contest::ExchangeField& field, std::string_view v) {
                             if (field.kind == contest::FieldKind::kText && !field.accepts(v))
                                 finding(n, Severity::kWarning, Rule::kExchangeValue,
                                         std::string(which) + " " + field.name + " " + quoted(v) +
                                             " is not a valid " + field.name + " of " + contestName());
                         });
}

std::vector<CheckFinding> CabrilloChecker::finish() {
    if (lines_ == 0) {
        // One finding says it all, and it is the one that leaves nothing to score.
        finding(1, Severity::kError, Rule::kNoQso,
                "the file is empty: a Cabrillo log starts with START-OF-LOG: 3.0 and ends with END-OF-LOG:");
    } else if (!stopped_) {
        if (firstTextLine_ == 0)
            finding(1, Severity::kError, Rule::kStartOfLog,
                    "the first line is empty: a Cabrillo log starts with START-OF-LOG: 3.0");
        closeBlankRun();
        if (endOfLog_ == 0)
            finding(lines_, Severity::kError, Rule::kEndOfLog, "END-OF-LOG: missing: it must be the last line of the log");
        else if (afterEnd_ != 0)
            finding(endOfLog_, Severity::kError, Rule::kEndOfLog,
                    "END-OF-LOG: is not the last line (more follows at line " + std::to_string(afterEnd_) + ")");
        if (callsignLine_ == 0) finding(1, Severity::kError, Rule::kCallsign, "CALLSIGN: missing: it names the station of the log");
        judgeDupes();
        relayed_.addFindings(findings_);
        judgeWholeLog();
    }
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    return std::move(findings_);
}

void CabrilloChecker::judgeDupes() {
    // The book takes the QSOs in time order; a log out of order keeps its file order among equal times.
    std::stable_sort(worked_.begin(), worked_.end(),
                     [](const Worked& a, const Worked& b) { return a.when < b.when; });
    contest::DupeBook book(*contest_);
    const std::optional<int>& after = contest_->checking.repeatAfterMinutes;
    for (const Worked& w : worked_) {
        const auto earlier = book.judge(w.call, w.band, w.mode, w.when, static_cast<std::uint32_t>(w.line));
        if (!earlier) continue;
        const std::string how = after ? " after " + std::to_string(earlier->minutes) + " min, sooner than the " +
                                            std::to_string(*after) + " min the rules ask (line " +
                                            std::to_string(earlier->index) + ")"
                                      : " (first at line " + std::to_string(earlier->index) + ")";
        finding(w.line, Severity::kWarning, Rule::kDupe, dupeText(w.call, w.band, w.mode, how));
    }
    worked_.clear();
}

void CabrilloChecker::judgeWholeLog() {
    // A wrong or missing CONTEST: on QSOs that are this contest's is a slip of the header, as the
    // cross-check takes it; on QSOs that are not, it is the first sign of another contest's log.
    const Severity contestSeverity = tally_.fitting > 0 ? Severity::kWarning : Severity::kError;
    if (contestLine_ == 0)
        finding(1, contestSeverity, Rule::kContest, "CONTEST: missing: write CONTEST: " + contestName());
    else if (!contestProblem_.empty())
        finding(contestLine_, contestSeverity, Rule::kContest, contestProblem_);
    for (const Retired& r : retired_)
        if (!tally_.lastDay || int(year_month_day(*tally_.lastDay).year()) > r.lastYear)
            finding(r.line, Severity::kError, Rule::kCategory,
                    r.tag + ": '" + r.value + "' left the Cabrillo 3.0 list after " + std::to_string(r.lastYear) +
                        ": it stands only in logs of that year or before");
    const ContestSide side{!period_.checked() ? std::string()
                           : period_.byDays() ? period_.text()
                                              : periodsText(*contest_),
                           bandRangesText(*contest_), modeCodes(*contest_)};
    if (tally_.qsoLines == 0)
        finding(1, Severity::kError, Rule::kNoQso, "no QSO line that reads: the log has nothing to score");
    else if (tally_.fitting == 0)
        finding(1, Severity::kError, Rule::kOtherContest, otherContestText(tally_, side));
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    foldFindings(findings_, tally_, side);
}

std::vector<CheckFinding> checkCabrillo(std::istream& in, const CheckPeriod& period,
                                        const contest::ContestDefinition* contest) {
    logs::LogText text(in);
    CabrilloLineReader reader(text.stream());
    CabrilloChecker checker(period, contest);
    if (text.utf16()) checker.decodedFromUtf16();
    CabrilloLine line;
    while (reader.next(line)) checker.add(line);
    return checker.finish();
}

std::string formatFinding(std::string_view file, const CheckFinding& f) {
    return std::string(file) + ":" + std::to_string(f.line) +
           (f.severity == Severity::kError ? ": error: " : ": warning: ") + f.text;
}

std::string findingTotals(const std::vector<CheckFinding>& findings) {
    const auto errors = std::count_if(findings.begin(), findings.end(),
                                      [](const CheckFinding& f) { return f.severity == Severity::kError; });
    return std::to_string(errors) + " error(s), " + std::to_string(findings.size() - errors) + " warning(s)";
}

bool hasError(const std::vector<CheckFinding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const CheckFinding& f) { return f.severity == Severity::kError; });
}

}  // namespace verify
