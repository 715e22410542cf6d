#pragma once
// Checking a Cabrillo log before it is sent, as one call: the file's rules, then the log replayed
// through the plug-in for its dupes and its claimed score. stats-verify, stats-replay --verify and
// the log robot call it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/contest/contest_choice.h"
#include "tools/host/log_source.h"
#include "tools/host/replay_session.h"
#include "tools/host/startup.h"
#include "tools/logs/log_input.h"
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
    /// The contest checked against, as the options resolved it (not owned, never null). The plug-in
    /// knows only SA-TOLVEN, so another contest's QSOs are not replayed: its dupes are the definition's.
    const contest::ContestDefinition* contest = &contest::builtinContest();
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
    /// What the log's reader took it for; none when it is neither Cabrillo nor ADIF.
    std::optional<logs::LogFormat> format;
    std::string ownCall;  ///< CALLSIGN:, or an ADIF log's first own call; empty when it gives none
    /// The Cabrillo header's tags (upper case) with their values, in file order.
    std::vector<std::pair<std::string, std::string>> header;

    /// host::kExitOk, kExitFindings (an error found) or kExitFailure (unreadable).
    int exitStatus() const;
    /// True when the log was read and no finding blocks scoring: a robot scores it, errors and all.
    bool scorable() const { return failure.empty() && acceptableForScoring(findings); }
};

/// The check in its steps, for a pipeline that replays the log itself (the replay that also makes
/// the report): the file's rules, what the reader took the log for, each QSO's answers as the
/// plug-in gives them, then its summary. checkLog takes the same steps around a replay of its own,
/// so both give the same findings for the same log.
class LogCheck {
  public:
    /// `request` must outlive the object; its `replay` and `workFolder` are the caller's business.
    explicit LogCheck(const CheckRequest& request) : request_(request) {}

    /// The file's rules; false when the log cannot be read (the outcome's failure says why).
    bool checkRules();
    /// What the reader made of the log: its format, own call and header.
    void describe(const logs::LoadedLog& loaded);
    /// The sink for the replay of `contacts`: a warning for each dupe, naming the line it repeats.
    /// `contacts` must outlive the sink.
    host::OutcomeSink dupeSink(const logs::ReplayLog& contacts);
    /// The plug-in's summary after the replay: CLAIMED-SCORE compared with its score, or a note why
    /// not (`continentUnknown`: QSOs without continent, counted only without a country file).
    void replayed(const std::string& summary, std::size_t continentUnknown);
    /// A note for the operator: why a part was not checked.
    void note(std::string text) { out_.notes.push_back(std::move(text)); }
    /// The outcome, findings in line order.
    CheckOutcome finish();

  private:
    const CheckRequest& request_;
    CheckOutcome out_;
    std::unordered_map<std::string, std::uint64_t> firstOfContact_;  // call, band, mode: its first line
};

/// Checks the log: its rules, what its reader takes it for, then (with `request.replay`, a Cabrillo
/// log of SA-TOLVEN) its QSOs replayed through the plug-in in the working folder (the current folder
/// is the same again after). Uses the startup's country file and plug-in; a plug-in that cannot be
/// loaded leaves the dupes unchecked, with a note.
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
