#pragma once
// Checking a Cabrillo log before it is sent, as one call: the file's rules, then the log replayed
// through the plug-in for its dupes and its claimed score. stats-verify, stats-replay --verify and
// the log robot call it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/host/log_source.h"
#include "tools/host/startup.h"
#include "tools/logs/score_line.h"
#include "tools/verify/cabrillo_check.h"

namespace verify {

/// What to check and how.
struct CheckRequest {
    host::LogSource log;
    CheckPeriod period;   ///< the contest's days; the period check runs only with both
    std::string call;     ///< own call for the replay; empty: the log's CALLSIGN:
    std::string country;  ///< own country prefix; empty: from the country file
    /// The plug-in's folder for err.txt and its settings; empty: a scratch folder, removed after.
    std::filesystem::path workFolder;
    bool replay = true;  ///< also replay the QSOs through the plug-in (dupes, CLAIMED-SCORE)
    /// The contest checked against (not owned); null: SA-TOLVEN. The plug-in knows only SA-TOLVEN, so
    /// another contest's QSOs are not replayed.
    const contest::ContestDefinition* contest = nullptr;
};

/// What the check found.
struct CheckOutcome {
    std::string failure;                     ///< non-empty: the log cannot be read, nothing was checked
    std::vector<CheckFinding> findings;      ///< in line order
    std::string claimedScore;                ///< the CLAIMED-SCORE: value, empty when none
    std::uint64_t claimedScoreLine = 0;      ///< 0 when the log has none
    std::optional<logs::Score> pluginScore;  ///< the plug-in's score of the QSOs, when replayed
    bool claimCompared = false;              ///< CLAIMED-SCORE was compared with the plug-in's score
    std::vector<std::string> notes;          ///< for the operator: why a part was not checked

    /// host::kExitOk, kExitFindings (an error found) or kExitFailure (unreadable).
    int exitStatus() const;
};

/// Checks the log: its rules, then (with `request.replay`) its QSOs replayed through the plug-in
/// in the working folder (the current folder is the same again after). Uses the startup's country
/// file and plug-in; a plug-in that cannot be loaded leaves the dupes unchecked, with a note.
CheckOutcome checkLog(host::Startup& startup, const CheckRequest& request);

/// Checks the log and prints the outcome as stats-verify and stats-replay --verify do: the country
/// file in use and the notes on stderr, the findings and their totals on stdout; the exit status.
int checkAndPrint(host::Startup& startup, const CheckRequest& request);

/// The findings as --verify prints them: "NAME:LINE: error: TEXT" lines, then the totals line.
std::string findingsText(std::string_view name, const std::vector<CheckFinding>& findings);

/// The rules' findings for a Cabrillo file and, when `summary` is given, a warning when its
/// CLAIMED-SCORE differs from the score of that summary; in line order. No replay.
std::vector<CheckFinding> checkWithClaim(std::istream& in, const CheckPeriod& period,
                                         const std::string* summary);

}  // namespace verify
