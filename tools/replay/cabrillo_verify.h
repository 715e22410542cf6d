#pragma once
// stats-replay's Cabrillo check: the rules of the file (tools/cabrillo_check.h) and, replayed
// through the plug-in, its dupes and its claimed score.

#include <filesystem>
#include <istream>
#include <string>
#include <vector>

#include "tools/verify/cabrillo_check.h"
#include "tools/logs/log_input.h"
#include "tools/replay/replay_options.h"

namespace replay {

class CountryFile;

/// `stats-replay --verify LOG.cbr`: prints the findings and the totals line on stdout; notes
/// go to `note`. Returns the exit status: 0 no error, 3 an error, 1 the file cannot be read.
int verifyCabrillo(const ReplayOptions& options, const std::filesystem::path& startDir,
                   const CountryFile* countries, const std::filesystem::path& libraryPath, const NoteSink& note);

/// The check of the Cabrillo file `in` as --verify makes it without the replay's dupes: the file's
/// rules and, when `compareClaim`, its CLAIMED-SCORE against the score of `summary`; in line order.
std::vector<verify::CheckFinding> checkWithClaim(std::istream& in, const verify::CheckPeriod& period, const std::string& summary,
                                         bool compareClaim);

/// After an export: checks the file just written, and its CLAIMED-SCORE against the run's
/// summary; each finding goes to stderr, `shownName` naming the file.
void checkExportedLog(const std::filesystem::path& file, const std::string& shownName, const verify::CheckPeriod& period,
                      const std::string& summary);

}  // namespace replay
