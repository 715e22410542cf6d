#pragma once
// A committee's cross-check run in a folder of its own: the accepted logs written as sent, the
// cross-check run over them as a separate process, and its outputs taken from the folder into the
// records the store keeps (the folder is only the worker's scratch).

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tools/robot/scoring.h"
#include "tools/robot/store.h"

namespace robot {

/// How a run ended: done or not, one line for the committee, and when done its files to keep.
struct RunOutcome {
    bool done = false;
    std::string progress;
    std::vector<RunFile> files;
};

/// Writes the logs that count into `runFolder`/logs and the calls received with none accepted, and
/// cross-checks them in a worker process (`workerProgram` --crosscheck-worker RUNDIR), stopped after
/// `timeLimit` (zero: none), so that a hung run cannot keep the committee from the next one;
/// `progress` gets a line as it starts.
RunOutcome runCrossCheck(Store& store, const std::filesystem::path& runFolder,
                         const std::filesystem::path& workerProgram, const ScoreSettings& settings,
                         std::chrono::milliseconds timeLimit,
                         const std::function<void(const std::string&)>& progress);

/// The files of a run folder that an older robot left on disk (its results, reports and logs), each
/// log tied to the accepted upload with its bytes where there is one; none when the folder has no
/// results.
std::vector<RunFile> filesLeftInFolder(Store& store, const std::filesystem::path& runFolder);

/// The files of `kind` in one zip, by name.
std::string runFilesZip(const std::vector<RunFile>& files);

}  // namespace robot
