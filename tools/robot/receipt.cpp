#include "tools/robot/receipt.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "tools/robot/pages.h"
#include "tools/verify/cabrillo_check.h"

namespace robot {

namespace {

constexpr std::size_t kLinesShown = 5;    // lines named in a group's line before "…"
constexpr std::size_t kReasonsShown = 3;  // kinds of error the sentence names
constexpr std::size_t kLooksShown = 3;    // kinds of finding an acceptance names for the committee

std::string counted(std::size_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "A, B and C"
std::string joined(const std::vector<std::string>& parts, const std::string& last = " and ") {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i)
        out += (i == 0 ? "" : i + 1 == parts.size() ? last : ", ") + parts[i];
    return out;
}

// Why the log is not accepted: the kinds of error that keep it from being scored (every kind of error,
// for an upload refused before errors were told apart), each with its lines.
std::string refusalReasons(const std::vector<FindingGroup>& groups) {
    std::vector<std::string> reasons;
    std::size_t errorGroups = 0;
    const bool anyBlocks = std::any_of(groups.begin(), groups.end(), [](const FindingGroup& g) { return g.blocks; });
    for (const FindingGroup& g : groups) {
        if (!g.error || (anyBlocks && !g.blocks)) continue;
        if (++errorGroups <= kReasonsShown) reasons.push_back(g.title + " (" + linesText(g.lines) + ")");
    }
    if (errorGroups > kReasonsShown)
        reasons.push_back(counted(errorGroups - kReasonsShown, "more kind", "more kinds") + " of error");
    return joined(reasons, reasons.size() > 2 ? ", and " : " and ");
}

// Layout faults a reader reads past: not worth the committee's look.
bool cosmetic(const std::string& kind) {
    const auto rule = verify::ruleOfKey(kind);
    using verify::Rule;
    return rule && (*rule == Rule::kTab || *rule == Rule::kEmptyLine || *rule == Rule::kNonAscii ||
                    *rule == Rule::kTagBlank || *rule == Rule::kNotText);
}

// What the committee may look at in an accepted log: the kinds of finding that are not mere layout,
// errors first, each with its lines.
std::string committeeLooks(const std::vector<FindingGroup>& groups) {
    std::vector<std::string> looks;
    std::size_t named = 0;
    for (const FindingGroup& g : groups) {
        if (cosmetic(g.kind)) continue;
        if (++named <= kLooksShown) looks.push_back(g.title + " (" + linesText(g.lines) + ")");
    }
    if (named > kLooksShown) looks.push_back(counted(named - kLooksShown, "more kind", "more kinds") + " below");
    std::string out;
    for (const std::string& look : looks) out += (out.empty() ? "" : "; ") + look;
    return out;
}

}  // namespace

bool blocksScoring(const Finding& f) {
    const auto rule = verify::ruleOfKey(f.kind);
    return f.error && (!rule || verify::blocksScoring(*rule));
}

std::vector<FindingGroup> groupFindings(const std::vector<Finding>& findings) {
    std::vector<FindingGroup> groups;
    std::map<std::tuple<bool, bool, std::string>, std::size_t> index;  // error, own finding, kind or text
    for (const Finding& f : findings) {
        const auto rule = verify::ruleOfKey(f.kind);
        // The robot's own findings have no rule: each text is a kind of its own.
        const auto key = std::make_tuple(f.error, !rule, rule ? f.kind : f.text);
        auto [it, isNew] = index.emplace(key, groups.size());
        if (isNew) {
            FindingGroup& g = groups.emplace_back();
            g.error = f.error;
            g.blocks = blocksScoring(f);
            g.kind = rule ? f.kind : std::string();
            g.title = rule ? std::string(verify::ruleTitle(*rule)) : f.text;
            if (rule) g.advice = verify::ruleAdvice(*rule);
        }
        FindingGroup& g = groups[it->second];
        g.findings.push_back(&f);
        g.lines.push_back(f.line);
        g.lines.insert(g.lines.end(), f.folded.begin(), f.folded.end());
    }
    for (FindingGroup& g : groups) {
        std::stable_sort(g.findings.begin(), g.findings.end(),
                         [](const Finding* a, const Finding* b) { return a->line < b->line; });
        std::sort(g.lines.begin(), g.lines.end());
        g.lines.erase(std::unique(g.lines.begin(), g.lines.end()), g.lines.end());
    }
    std::stable_sort(groups.begin(), groups.end(), [](const FindingGroup& a, const FindingGroup& b) {
        return std::make_tuple(!a.error, a.lines.front()) < std::make_tuple(!b.error, b.lines.front());
    });
    return groups;
}

std::string linesText(const std::vector<std::uint64_t>& all) {
    std::vector<std::string> shown;
    std::size_t lines = 0;
    for (const std::uint64_t line : all) {
        if (line == 0) continue;  // the whole file: said only when no line is named
        if (++lines <= kLinesShown) shown.push_back(std::to_string(line));
    }
    if (lines == 0) return "the whole file";
    if (lines == 1) return "line " + shown.front();
    if (lines <= kLinesShown) return "lines " + joined(shown);
    return "lines " + joined(shown, ", ") + " \xE2\x80\xA6 (" + std::to_string(lines) + " lines)";
}

std::string receiptSentence(const Receipt& r, const std::vector<FindingGroup>& groups) {
    const std::string log = r.call.empty() ? std::string("Your log") : "Your log of " + r.call;
    const bool anyError =
        std::any_of(groups.begin(), groups.end(), [](const FindingGroup& g) { return g.error; });
    if (r.state == "refused" && anyError)
        return log + " is not accepted because of " + refusalReasons(groups) +
               ": change what the errors below say and send it again (this upload replaces nothing).";
    if (r.state == "refused") return log + " is not accepted.";
    if (!r.accepted())
        return log +
               " was received and kept, but could not be scored: please send it again in a few minutes.";
    std::size_t findings = 0;
    for (const FindingGroup& g : groups) findings += g.findings.size();
    const std::string looks = committeeLooks(groups);
    // A late version replaces none sent in time unless the committee takes it.
    const char* counts = r.late ? "; sent after the deadline, it counts in the results where no version of this log "
                                  "came in time, or once the committee takes it."
                                : "; it counts in the results.";
    return log + " is accepted: " + counted(static_cast<std::size_t>(r.qsos), "QSO", "QSOs") +
           (r.score ? ", score " + std::to_string(*r.score) : std::string()) + counts +
           (!looks.empty() ? " What the committee may look at: " + looks + "."
            : findings     ? " " + counted(findings, "finding", "findings") + " below about its layout."
                           : std::string());
}

}  // namespace robot
