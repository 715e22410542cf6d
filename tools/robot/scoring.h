#pragma once
// The robot's one seam to the pipelines: score one upload in a job folder, and cross-check a set
// of logs in a run folder. Both run in worker processes, never in the server's threads: the
// plug-in keeps one contest per process and writes err.txt in the current folder.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/robot/store.h"

namespace robot {

/// What every scoring job is given besides its log.
struct ScoreSettings {
    std::optional<std::chrono::sys_days> start, end;  ///< the contest period, checked when both are given
    std::string countryFile;                          ///< absolute path; empty: none
    std::string pluginLibrary;                        ///< absolute path of the plug-in
    std::string contestFile;  ///< absolute path of the contest's definition file; empty: SA-TOLVEN
};

/// Checks and scores the log in `jobFolder`/log, working in that folder: the check of stats-verify
/// (a log is refused only for a finding that blocks scoring, its report made all the same), the score and the report page;
/// SA-TOLVEN's through the plug-in's replay, another contest's by its definition. Throws on a
/// failure of the machinery (the plug-in cannot be loaded, the definition does not read).
UploadOutcome scoreUpload(const std::filesystem::path& jobFolder, const ScoreSettings& settings);

/// The worker process's body for `stats-robot --worker JOBDIR`: reads the job, scores it, writes the
/// outcome. Its exit status: 0 when the outcome is written.
int workerMain(const std::filesystem::path& jobFolder);

/// The cross-check worker's body for `stats-robot --crosscheck-worker RUNDIR`: reads the settings
/// (RUNDIR/job), cross-checks the logs in RUNDIR/logs into RUNDIR/out through the cross-check
/// pipeline, and keeps its progress in RUNDIR/progress as it goes. Its exit status: 0 when done.
int crossCheckWorkerMain(const std::filesystem::path& runFolder);

/// The progress line a cross-check worker last wrote in `runFolder`, empty when none.
std::string crossCheckProgress(const std::filesystem::path& runFolder);

}  // namespace robot
