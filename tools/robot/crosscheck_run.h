#pragma once
// A committee's cross-check run in a folder of its own: the accepted logs written as sent, the
// cross-check run over them as a separate process, and its outputs found again by name.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/robot/scoring.h"
#include "tools/robot/store.h"

namespace robot {

/// How a run ended: done or not, and one line for the committee.
struct RunOutcome {
    bool done = false;
    std::string progress;
};

/// Writes the logs that count into `runFolder`/logs and cross-checks them in a worker process
/// (`workerProgram` --crosscheck-worker RUNDIR), stopped after `timeLimit` (zero: none), so that a
/// hung run cannot keep the committee from the next one; `progress` gets a line as it starts.
RunOutcome runCrossCheck(Store& store, const std::filesystem::path& runFolder,
                         const std::filesystem::path& workerProgram, const ScoreSettings& settings,
                         std::chrono::milliseconds timeLimit, const std::function<void(const std::string&)>& progress);

/// The logs of the run, as sent, in one zip.
std::string runLogsZip(const std::filesystem::path& runFolder);

/// The calls that have a station report in the run, by file name.
std::vector<std::string> stationReportCalls(const std::filesystem::path& runFolder);

/// The station report of `call` in the run, found in the folder's listing; none when it has none.
std::optional<std::filesystem::path> stationReport(const std::filesystem::path& runFolder, const std::string& call);

}  // namespace robot
