#include "tools/contest/contest_choice.h"

#include <algorithm>
#include <string_view>

#include "core/ole_date.h"
#include "tools/contest/definition_file.h"

namespace contest {

extern const std::string_view kBuiltinDefinitionText;  // builtin_contest.cpp, made from the file

const ContestDefinition& builtinContest() {
    static const ContestDefinition builtin =
        parseDefinition(kBuiltinDefinitionText, "contests/sa-tolven.toml");
    return builtin;
}

ScoringKind scoringKindOf(const ContestDefinition& contest) {
    // The plug-in takes a period only as days (--start, --end): a record with periods of its own, or
    // any other difference, is the definition's to score.
    return contest == builtinContest() ? ScoringKind::kPlugin : ScoringKind::kDefinition;
}

ContestDefinition resolveContest(const std::string& path) {
    if (path.empty()) return builtinContest();
    // The name is UTF-8 on every system; a path made from it directly would be read in the
    // Windows code page there.
    const std::u8string utf8(path.begin(), path.end());
    return readDefinition(std::filesystem::path(utf8));
}

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::sys_seconds;

std::string dayText(const std::optional<sys_days>& day) {
    return day ? stats::formatTime(sys_seconds{*day}, "%Y-%m-%d") : "open";
}

}  // namespace

bool RunPeriod::checked() const noexcept {
    return byDays() || (contest_ && !contest_->periods.empty());
}

bool RunPeriod::holds(sys_seconds t) const {
    if (!byDays()) return !contest_ || contest_->inPeriod(t);
    const sys_days day = std::chrono::floor<days>(t);
    return (!start_ || day >= *start_) && (!end_ || day <= *end_);
}

bool RunPeriod::touches(sys_days day) const {
    if (byDays() || !contest_ || contest_->periods.empty()) return holds(sys_seconds{day});
    return std::any_of(contest_->periods.begin(), contest_->periods.end(),
                       [day](const Period& p) { return p.start < day + days{1} && p.end > day; });
}

std::string RunPeriod::text() const {
    if (byDays()) return dayText(start_) + " to " + dayText(end_);
    if (!contest_) return {};
    std::string out;
    for (const Period& p : contest_->periods)
        out += (out.empty() ? "" : ", ") + stats::formatTime(p.start, "%Y-%m-%d %H%M") + " to " +
               stats::formatTime(p.end, "%Y-%m-%d %H%M");
    return out.empty() ? out : out + " UTC";
}

}  // namespace contest
