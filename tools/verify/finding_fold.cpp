#include "tools/verify/finding_fold.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "tools/logs/iso_date.h"

namespace verify {

namespace {

// A finding repeated word for word on this many lines or more is said once.
constexpr std::size_t kRepeatedFrom = 5;

// "A", "A and B", "A, B and C"
std::string listed(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return out;
}

std::string datesHeld(const LogTally& t) {
    if (!t.firstDay) return "undated";
    const std::string first = logs::isoDateText(*t.firstDay), last = logs::isoDateText(*t.lastDay);
    return first == last ? "dated " + first : "dated " + first + " to " + last;
}

std::string frequenciesHeld(const LogTally& t) {
    // The few distinct fields a log writes (band edges, designators) by name; many by their span.
    if (t.frequencies.size() < 5) return listed(t.frequencies) + (t.lowKHz ? " kHz" : "");
    return std::to_string(t.lowKHz) + " to " + std::to_string(t.highKHz) + " kHz";
}

std::string modesHeld(const LogTally& t) {
    return listed(t.modes);
}

// Where no QSO falls on a day of the period, the period may be the one at fault.
std::string otherEdition(const LogTally& t) {
    return t.onPeriodDays ? std::string()
                          : " (if the log is of this contest, the period given for it is another edition's: another year "
                            "or weekend)";
}

// "7,940 of the log's 7,940 QSO lines"
std::string share(std::size_t n, const LogTally& t) {
    return std::to_string(n) + " of the log's " + std::to_string(t.qsoLines) + " QSO lines";
}

// The one finding for a rule most of the QSO lines share; empty for a rule that is not about them.
std::string sharedCause(Rule rule, std::size_t n, const LogTally& t, const ContestSide& c) {
    switch (rule) {
        case Rule::kPeriod:
            return share(n, t) + " lie outside the contest period " + c.period + ": its QSOs are " +
                   datesHeld(t) + otherEdition(t);
        case Rule::kBand:
            return share(n, t) + " lie outside the contest bands or their sub-bands (" + c.bands +
                   "): its frequencies are " + frequenciesHeld(t);
        case Rule::kMode:
            return share(n, t) + " are in a mode the contest does not score (" + c.modes +
                   "): its modes are " + modesHeld(t);
        default:
            return {};
    }
}

// The findings at `members` (indexes into `findings`) become the first of them, with `text` when
// given, listing the lines of the others; the others are marked for removal (an empty text).
void fold(std::vector<CheckFinding>& findings, const std::vector<std::size_t>& members, std::string text) {
    CheckFinding& first = findings[members.front()];
    std::vector<std::uint64_t> lines{first.line};
    for (std::size_t k = 1; k < members.size(); ++k) {
        CheckFinding& f = findings[members[k]];
        lines.push_back(f.line);
        first.folded.push_back(f.line);
        f.text.clear();
    }
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());  // two findings of one line
    if (text.empty())
        first.text += " (the same on " + std::to_string(lines.size()) + " lines: " + lineRanges(lines) + ")";
    else
        first.text = std::move(text) + "; lines " + lineRanges(lines);
}

}  // namespace

void foldFindings(std::vector<CheckFinding>& findings, const LogTally& tally, const ContestSide& contest) {
    std::map<Rule, std::vector<std::size_t>> byRule;
    for (std::size_t i = 0; i < findings.size(); ++i)
        if (findings[i].severity == Severity::kWarning) byRule[findings[i].rule].push_back(i);
    for (const auto& [rule, members] : byRule) {
        if (members.size() < 2 || members.size() * 2 <= tally.qsoLines) continue;
        if (std::string text = sharedCause(rule, members.size(), tally, contest); !text.empty())
            fold(findings, members, std::move(text));
    }
    std::map<std::tuple<Rule, Severity, std::string>, std::vector<std::size_t>> repeated;
    for (std::size_t i = 0; i < findings.size(); ++i)
        if (!findings[i].text.empty() && findings[i].folded.empty() && !findings[i].blocksScoring())
            repeated[{findings[i].rule, findings[i].severity, findings[i].text}].push_back(i);
    for (const auto& [key, members] : repeated)
        if (members.size() >= kRepeatedFrom) fold(findings, members, {});
    std::erase_if(findings, [](const CheckFinding& f) { return f.text.empty(); });
}

std::string otherContestText(const LogTally& t, const ContestSide& c) {
    return "no QSO line lies in the contest's bands (" + c.bands + ") and modes (" + c.modes + ")" +
           (c.period.empty() ? std::string() : " on the days of its period (" + c.period + ")") +
           ": the log's " + std::to_string(t.qsoLines) + " QSO lines are " + datesHeld(t) + ", on " +
           frequenciesHeld(t) + ", in " + modesHeld(t) +
           (t.onPeriodDays
                ? " (a log of another contest)"
                : " (a log of another contest, or the period given for the contest is another edition's)");
}

std::string lineRanges(const std::vector<std::uint64_t>& lines) {
    std::vector<std::string> runs;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t j = i;
        while (j + 1 < lines.size() && lines[j + 1] == lines[j] + 1) ++j;
        runs.push_back(std::to_string(lines[i]) + (j > i ? "-" + std::to_string(lines[j]) : std::string()));
        i = j + 1;
    }
    return listed(runs);
}

}  // namespace verify
