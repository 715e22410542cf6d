#pragma once
// One contest run through the plug-in's exports, as the host drives it, with the plug-in's answers
// for each contact for those who want them (the check, the report, the committee's cross-check).

#include <cstdint>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cabrillo/header_answers.h"
#include "core/ole_date.h"
#include "tools/host/plugin_library.h"
#include "tools/logs/replay_log.h"

namespace logs {
class CountryFile;
}  // namespace logs

namespace host {

/// What the reset needs: the own station, the contest period and whether to export the log.
struct ContestSetup {
    std::string ownCall;
    bool ownCallGiven = false;  ///< the own call names the station in every contact, not only where it has none
    std::string ownCountry;
    stats::OleDateTime periodStart{0.0, stats::OleDateTime::kNull};
    stats::OleDateTime periodEnd{0.0, stats::OleDateTime::kNull};
    bool exportLog = false;
    stats::HeaderAnswers headerAnswers;  ///< typed into the Cabrillo header dialog before its OK
};


/// What a command line chose for the reset; an empty or unset value is taken from the log.
struct ContestChoices {
    std::string call;
    std::string country;
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
};

/// The reset of a replay of `log` as `choices` ask: their call over the log's own call, their country
/// over the country file's prefix of the own call, their start and end over the first and last contact.
ContestSetup contestSetupFor(const logs::ReplayLog& log, const std::string& logOwnCall, const ContestChoices& options,
                             const logs::CountryFile* countries);

/// The plug-in's answers for one contact: CheckCall0 asked just before it is logged (what the
/// operator saw while typing the call), then AddData0 and the error-log lines that call added.
struct QsoOutcome {
    std::size_t index = 0;       ///< position in the ReplayLog
    int check = 0;               ///< CheckCall0: 0 dupe, 1 SA prefix already worked, 2 otherwise
    std::string_view hint;       ///< CheckCall0's hint: non-empty for a new multiplier
    int added = 0;               ///< AddData0's result
    std::string_view errorLines; ///< the bytes this contact added to err.txt (CR LF lines)

    bool dupe() const noexcept { return check == 0; }
    bool newMultiplier() const noexcept { return check == 2 && !hint.empty(); }
};

/// Receives each contact's outcome in replay order.
using OutcomeSink = std::function<void(const QsoOutcome&)>;

/// What the run left: the summary text as GetResult0 returned it, and where this run's lines
/// start in err.txt.
struct ReplayResult {
    std::string summary;
    int status = 0;
    std::uintmax_t errorLogStart = 0;
};

/// Runs one contest in the current folder (the host's: err.txt, Plugins/): ResetStats0, AddData0 for
/// every contact of `log` in its order, GetResult0. With `outcomes`, also asks CheckCall0 before
/// each contact and reports the answers. In export mode the header dialog gets `setup.headerAnswers` and the plug-in's dialogs
/// are answered with OK.
/// `progress` is called now and then with the contacts done.
ReplayResult replayContest(const PluginExports& plugin, const logs::ReplayLog& log, const ContestSetup& setup,
                           const OutcomeSink& outcomes = {},
                           const std::function<void(std::size_t done)>& progress = {});

/// The size of `file`, 0 when it does not exist.
std::uintmax_t fileSizeOrZero(const std::string& file);

}  // namespace host
