#include "tools/verify/cabrillo_check.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <iterator>

#include "core/contest_rules.h"
#include "core/text.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/iso_date.h"

namespace verify {
using namespace logs;
namespace {

using namespace std::chrono;

// The header tags of Cabrillo 3.0; QSO: and X-QSO: carry the contacts.
constexpr std::string_view kTags[] = {
    "START-OF-LOG", "END-OF-LOG",        "CALLSIGN",          "CONTEST",
    "CATEGORY-ASSISTED", "CATEGORY-BAND", "CATEGORY-MODE",   "CATEGORY-OPERATOR",
    "CATEGORY-POWER", "CATEGORY-STATION", "CATEGORY-TIME",   "CATEGORY-TRANSMITTER",
    "CATEGORY-OVERLAY", "CERTIFICATE",    "CLAIMED-SCORE",   "CLUB",
    "CREATED-BY",     "EMAIL",            "GRID-LOCATOR",    "LOCATION",
    "NAME",           "ADDRESS",          "ADDRESS-CITY",    "ADDRESS-STATE-PROVINCE",
    "ADDRESS-POSTALCODE", "ADDRESS-COUNTRY", "OPERATORS",    "OFFTIME",
    "SOAPBOX",        "QSO"};
// Tags a 2.0 log may still carry.
constexpr std::string_view kVersion2Tags[] = {"CATEGORY", "ARRL-SECTION", "IOTA-ISLAND-NAME"};

struct CategoryList {
    std::string_view tag;
    std::string_view values;  // blank-separated, upper case
};
// The Cabrillo 3.0 value lists; the overlay list adds this contest's NOVICE and RADIO-CLUB
// (the header dialog offers them with YL).
constexpr CategoryList kCategories[] = {
    {"CATEGORY-ASSISTED", "ASSISTED NON-ASSISTED"},
    {"CATEGORY-BAND",
     "ALL 160M 80M 40M 20M 15M 10M 6M 4M 2M 222 432 902 1.2G 2.3G 3.4G 5.7G 10G 24G 47G 75G 122G 134G "
     "241G LIGHT VHF-3-BAND VHF-FM-ONLY"},
    {"CATEGORY-MODE", "CW DIGI FM RTTY SSB MIXED"},
    {"CATEGORY-OPERATOR", "SINGLE-OP MULTI-OP CHECKLOG"},
    {"CATEGORY-POWER", "HIGH LOW QRP"},
    {"CATEGORY-STATION",
     "DISTRIBUTED FIXED MOBILE PORTABLE ROVER ROVER-LIMITED ROVER-UNLIMITED EXPEDITION HQ SCHOOL EXPLORER"},
    {"CATEGORY-TIME", "6-HOURS 8-HOURS 12-HOURS 24-HOURS"},
    {"CATEGORY-TRANSMITTER", "ONE TWO LIMITED UNLIMITED SWL"},
    {"CATEGORY-OVERLAY", "CLASSIC ROOKIE TB-WIRES YOUTH NOVICE-TECH YL NOVICE RADIO-CLUB"},
};

using stats::kContest;
constexpr std::string_view kModes[] = {"CW", "PH", "FM", "RY", "DG"};
// Band designators for frequencies above 30 MHz.
constexpr std::string_view kBandDesignators[] = {"50",   "70",   "144",  "222", "432", "902",
                                                 "1.2G", "2.3G", "3.4G", "5.7G", "10G", "24G",
                                                 "47G",  "75G",  "122G", "134G", "241G", "LIGHT"};

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

// "7000-7300 and 14000-14350 kHz"
std::string contestBandRanges() {
    return listed(kContest.bands, [](const stats::ContestBand& b) {
               return std::to_string(b.lowKHz) + "-" + std::to_string(b.highKHz);
           }) + " kHz";
}

// "40 m and 20 m"
std::string contestBandNames() {
    return listed(kContest.bands, [](const stats::ContestBand& b) {
        std::string name(b.name);
        return name.substr(0, name.size() - 1) + " m";
    });
}

// "599 on CW, 59 on PH"
std::string contestReports() {
    std::string out;
    for (const stats::ContestMode& m : kContest.modes)
        out += (out.empty() ? "" : ", ") + std::string(m.reportDigits, '9').replace(0, 1, "5") + " on " +
               std::string(m.cabrilloCode);
    return out;
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

std::string dateText(sys_days day) { return isoDateText(day); }

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

}  // namespace

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

std::string_view ruleTitle(Rule rule) {
    switch (rule) {
        case Rule::kNotText: return "not a plain text file";
        case Rule::kNonAscii: return "bytes outside printable ASCII";
        case Rule::kEmptyLine: return "empty lines";
        case Rule::kStartOfLog: return "START-OF-LOG: not the first line, or of another version";
        case Rule::kEndOfLog: return "END-OF-LOG: missing, again, or not the last line";
        case Rule::kNoTag: return "a line without a tag";
        case Rule::kTagBlank: return "a tag not followed by a blank";
        case Rule::kUnknownTag: return "unknown tag";
        case Rule::kCallsign: return "CALLSIGN: missing or empty";
        case Rule::kContest: return "CONTEST: missing or another contest";
        case Rule::kClaimedScoreNumber: return "CLAIMED-SCORE: not a whole number";
        case Rule::kCategory: return "a category outside the Cabrillo 3.0 list";
        case Rule::kQsoSyntax: return "a QSO line that does not parse";
        case Rule::kQsoField: return "a malformed field of a QSO line";
        case Rule::kBand: return "outside the contest bands";
        case Rule::kMode: return "a mode not scored in this contest";
        case Rule::kRstFit: return "an RST that does not fit the mode";
        case Rule::kSerial: return "a serial number empty or not a number";
        case Rule::kOwnCall: return "own call differs from CALLSIGN:";
        case Rule::kTimeOrder: return "QSO out of time order";
        case Rule::kPeriod: return "QSO outside the contest period";
        case Rule::kDupe: return "dupe";
        case Rule::kClaimedScore: return "CLAIMED-SCORE: differs from the plug-in's score";
    }
    return "other";
}

CabrilloChecker::CabrilloChecker(CheckPeriod period) : period_(period) {}

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
        finding(line.number, Severity::kWarning, Rule::kNonAscii, std::move(message));

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
        finding(line.number, Severity::kWarning, Rule::kTagBlank,
                tag + ": is not followed by a blank: " + quoted(text) + " (write " + tag + ": VALUE)");
    } else if (!value.empty()) {
        value.remove_prefix(1);
    }
    checkTagLine(line, tag, trimmed(value));
}

void CabrilloChecker::checkTagLine(const CabrilloLine& line, std::string_view tag, std::string_view value) {
    const std::uint64_t n = line.number;
    if (tag.substr(0, 2) == "X-") return;  // private tags, and the QSOs the operator struck out
    if (!contains(kTags, tag) && !(version2_ && contains(kVersion2Tags, tag))) {
        std::string message = "unknown tag " + std::string(tag) + ":";
        if (tag == "E-MAIL") message += " (the e-mail tag is EMAIL:)";
        else message += " (not a Cabrillo 3.0 header tag; private tags start with X-)";
        finding(n, Severity::kError, Rule::kUnknownTag, std::move(message));
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
        if (value.empty()) finding(n, Severity::kError, Rule::kCallsign, "CALLSIGN: is empty: it names the station of the log");
    } else if (tag == "CONTEST") {
        contestLine_ = n;
        if (upper(value) != kContest.cabrilloName)
            finding(n, Severity::kError, Rule::kContest,
                    "CONTEST: " + quoted(value) + " is not this contest: write CONTEST: " + std::string(kContest.cabrilloName));
    } else if (tag == "CLAIMED-SCORE") {
        claimedScore_ = value;
        claimedScoreLine_ = n;
        if (!value.empty() && !isDigits(value))
            finding(n, Severity::kError, Rule::kClaimedScoreNumber, "CLAIMED-SCORE: " + quoted(value) + " is not a whole number");
    } else if (tag == "QSO") {
        checkQso(line, value);
    } else {
        for (const CategoryList& list : kCategories) {
            if (list.tag != tag || value.empty()) continue;
            const std::string v = upper(value);
            std::string_view values = list.values;
            bool found = false;
            while (!values.empty() && !found) {
                const std::size_t blank = values.find(' ');
                found = values.substr(0, blank) == v;
                values = blank == std::string_view::npos ? std::string_view() : values.substr(blank + 1);
            }
            if (!found) {
                std::string shown(list.values);
                for (std::size_t at = shown.find(' '); at != std::string::npos; at = shown.find(' ', at + 2))
                    shown.replace(at, 1, ", ");
                finding(n, Severity::kError, Rule::kCategory,
                        std::string(tag) + ": " + quoted(value) + " is in no Cabrillo 3.0 list (" + shown + ")");
            }
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
    const std::string freq = upper(q.frequency);
    if (!isDigits(freq) && !contains(kBandDesignators, freq))
        finding(n, Severity::kError, Rule::kQsoField, "frequency " + quoted(q.frequency) + " is neither kHz nor a band designator");
    const std::string mode = upper(q.mode);
    if (!contains(kModes, mode))
        finding(n, Severity::kError, Rule::kQsoField, "mode " + quoted(q.mode) + " is not a Cabrillo mode code (CW, PH, FM, RY, DG)");
    sys_days day{};
    const bool dateOk = parseIsoDate(q.date, day);
    if (!dateOk) finding(n, Severity::kError, Rule::kQsoField, "date " + quoted(q.date) + " is not a date YYYY-MM-DD");
    const bool timeOk = validTime(q.time);
    if (!timeOk) finding(n, Severity::kError, Rule::kQsoField, "time " + quoted(q.time) + " is not a time HHMM (0000 to 2359)");
    for (const auto& [rst, which] : {std::pair{&q.rstSent, "sent"}, std::pair{&q.rstReceived, "received"}})
        if (!isDigits(*rst))
            finding(n, Severity::kError, Rule::kQsoField, std::string(which) + " RST " + quoted(*rst) + " is not a signal report");
    if (findings_.size() != before) return;  // the warnings below judge a line that parses

    checkQsoAgainstContest(n, q, freq, mode);
    checkQsoAgainstLog(n, q, day);
}

void CabrilloChecker::checkQsoAgainstContest(std::uint64_t n, const CabrilloQso& q, const std::string& freq,
                                             const std::string& mode) {
    if (isDigits(freq)) {
        // Long digit strings are far outside the bands; from_chars leaves them at 0.
        unsigned long long khz = 0;
        std::from_chars(freq.data(), freq.data() + freq.size(), khz);
        if (khz > 0xFFFFFFFFull || !kContest.bandAt(static_cast<std::uint32_t>(khz)))
            finding(n, Severity::kWarning, Rule::kBand,
                    "frequency " + quoted(q.frequency) + " kHz is outside the contest bands (" + contestBandRanges() + ")");
    } else {
        finding(n, Severity::kWarning, Rule::kBand,
                "band " + freq + " is not a contest band (" + contestBandNames() + ": " + contestBandRanges() + ")");
    }
    const stats::ContestMode* contestMode = kContest.modeByCabrilloCode(mode);
    if (!contestMode)
        finding(n, Severity::kWarning, Rule::kMode,
                "mode " + mode + " is not scored in this contest (" +
                    listed(kContest.modes, [](const stats::ContestMode& m) { return std::string(m.cabrilloCode); }) + ")");
    for (const auto& [rst, which] : {std::pair{&q.rstSent, "sent"}, std::pair{&q.rstReceived, "received"}}) {
        if (contestMode && rst->size() != contestMode->reportDigits)
            finding(n, Severity::kWarning, Rule::kRstFit,
                    std::string(which) + " RST " + *rst + " does not fit " + mode + " (" + contestReports() + ")");
    }
    for (const auto& [number, which] :
         {std::pair{&q.numberSent, "sent"}, std::pair{&q.numberReceived, "received"}}) {
        if (number->empty())
            finding(n, Severity::kWarning, Rule::kSerial, std::string(which) + " serial number is empty");
        else if (!isDigits(*number))
            finding(n, Severity::kWarning, Rule::kSerial, std::string(which) + " serial number " + quoted(*number) + " is not a number");
    }
}

void CabrilloChecker::checkQsoAgainstLog(std::uint64_t n, const CabrilloQso& q, sys_days day) {
    const std::string own = upper(q.ownCall);
    if (ownCallsSeen_.emplace(own, n).second && !callsign_.empty() && own != callsign_)
        finding(n, Severity::kWarning, Rule::kOwnCall,
                "own call " + findingText(own) + " differs from CALLSIGN: " + findingText(callsign_) + " (line " + std::to_string(callsignLine_) + ")");

    std::string stamp = q.date + " " + q.time;
    if (lastQsoLine_ != 0 && stamp < lastQsoStamp_) {
        const bool sameDay = stamp.compare(0, 10, lastQsoStamp_, 0, 10) == 0;
        finding(n, Severity::kWarning, Rule::kTimeOrder,
                "QSO out of time order: " + (sameDay ? q.time : stamp) + " after " +
                    (sameDay ? lastQsoStamp_.substr(11) : lastQsoStamp_) + " (line " + std::to_string(lastQsoLine_) + ")");
    }
    lastQsoStamp_ = std::move(stamp);
    lastQsoLine_ = n;

    if (period_.start && period_.end && (day < *period_.start || day > *period_.end))
        finding(n, Severity::kWarning, Rule::kPeriod,
                "QSO on " + q.date + " outside the contest period " + dateText(*period_.start) + " to " +
                    dateText(*period_.end));
}

std::vector<CheckFinding> CabrilloChecker::finish() {
    if (lines_ == 0) {
        finding(1, Severity::kError, Rule::kStartOfLog,
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
        if (contestLine_ == 0)
            finding(1, Severity::kError, Rule::kContest, "CONTEST: missing: write CONTEST: " + std::string(kContest.cabrilloName));
        if (callsignLine_ == 0) finding(1, Severity::kError, Rule::kCallsign, "CALLSIGN: missing: it names the station of the log");
    }
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    return std::move(findings_);
}

std::vector<CheckFinding> checkCabrillo(std::istream& in, const CheckPeriod& period) {
    CabrilloLineReader reader(in);
    CabrilloChecker checker(period);
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
