#pragma once
// Findings that share one cause said once: where most of a log's QSO lines lie outside the contest's
// period, bands or modes, one finding names the contest's side and the log's; any other finding
// repeated word for word on many lines is said at its first, with the lines it stands for.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/verify/cabrillo_check.h"

namespace verify {

/// The contest's side of the findings about the whole log, as the check words it.
struct ContestSide {
    std::string period;  ///< "2025-05-24 0000 to 2025-05-26 0000"; empty when no period is known
    std::string bands;   ///< "1800-2000, 3500-4000 and 7000-7300 kHz"
    std::string modes;   ///< "CW and PH"
};

/// Folds `findings` (in line order, and left so) for a log of `tally`.
void foldFindings(std::vector<CheckFinding>& findings, const LogTally& tally, const ContestSide& contest);

/// The finding that no QSO line lies in the contest's bands, modes and period, with what the log holds.
std::string otherContestText(const LogTally& tally, const ContestSide& contest);

/// "12-40, 45 and 50-7951": ascending lines as runs.
std::string lineRanges(const std::vector<std::uint64_t>& lines);

}  // namespace verify
