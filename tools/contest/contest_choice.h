#pragma once
// The contest a tool works on, resolved once while its options are read: the record every part of
// the tool reads, which scoring applies to it, and the one rule by which a run's period follows from
// the definition's periods and --start/--end.

#include <chrono>
#include <optional>
#include <string>

#include "tools/contest/contest_definition.h"

namespace contest {

/// SA-TOLVEN's definition as contests/sa-tolven.toml states it, built in: the contest of a tool given
/// no --contest.
const ContestDefinition& builtinContest();

/// Who scores a contest's logs: the plug-in, whose compiled-in contest it is, or the definition.
enum class ScoringKind : std::uint8_t { kPlugin, kDefinition };

/// The one choice of scoring: the plug-in for its own contest (a record equal to the built-in one),
/// the definition for any other.
ScoringKind scoringKindOf(const ContestDefinition& contest);

/// The definition in the file `path` (UTF-8), or the built-in one when `path` is empty; throws
/// DefinitionError as readDefinition does.
ContestDefinition resolveContest(const std::string& path);

/// The period a run checks. --start and --end (UTC days, both inclusive; either alone bounds its
/// side) win over the definition's periods when either is given; with neither, the definition's
/// periods apply; without those either, nothing is out of period.
class RunPeriod {
  public:
    RunPeriod() = default;
    /// `contest` must outlive the object.
    RunPeriod(const ContestDefinition* contest, std::optional<std::chrono::sys_days> start,
              std::optional<std::chrono::sys_days> end)
        : contest_(contest), start_(start), end_(end) {}

    /// True when some time lies outside the period.
    bool checked() const noexcept;
    /// True when the period is given by days (--start/--end), not by the definition's periods.
    bool byDays() const noexcept { return start_ || end_; }
    bool holds(std::chrono::sys_seconds t) const;
    /// True when some of `day` lies in the period.
    bool touches(std::chrono::sys_days day) const;
    /// "2026-03-07 to 2026-03-08" ("open" for a side not given), or the definition's periods
    /// ("2016-08-20 0800 to 2016-08-20 1200 UTC", each end the first minute after); "" when none.
    std::string text() const;

    const std::optional<std::chrono::sys_days>& start() const noexcept { return start_; }
    const std::optional<std::chrono::sys_days>& end() const noexcept { return end_; }

  private:
    const ContestDefinition* contest_ = nullptr;
    std::optional<std::chrono::sys_days> start_, end_;
};

}  // namespace contest
