#pragma once
// The protocol between the server and its worker processes, seen from the server: where a job's
// and a run's folders are, the worker's command line, and how a job's outcome or failure comes
// back, and the job's files themselves. The worker's own work is scoring.h's scoreUpload and
// crossCheckWorkerMain, which read their jobs and write their outcomes with the functions here.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tools/robot/scoring.h"
#include "tools/robot/store.h"
#include "tools/robot/worker_pool.h"

namespace robot {

/// The folder of upload `id`'s scoring job, and that of cross-check run `id`, in the data folder.
std::filesystem::path jobFolder(const std::filesystem::path& data, std::int64_t id);
std::filesystem::path runFolder(const std::filesystem::path& data, std::int64_t id);

/// Scores `log` in a worker process of `pool` (`program` --worker FOLDER): the job is written into
/// `folder`, the worker's outcome read back, the folder removed. When any step fails the outcome is
/// "failed" with one finding that says why.
UploadOutcome scoreInWorker(WorkerPool& pool, const std::filesystem::path& program,
                            const std::filesystem::path& folder, const ScoreSettings& settings,
                            const std::string& log);

/// Cross-checks the logs in `folder`/logs in a worker process of its own (`program`
/// --crosscheck-worker FOLDER, stopped after `timeLimit`); empty when it is done, else why not.
std::string crossCheckInWorker(const std::filesystem::path& program, const std::filesystem::path& folder,
                               const ScoreSettings& settings, std::chrono::milliseconds timeLimit);

/// The job's files: the server writes the log and the settings, the worker its outcome.
bool writeJob(const std::filesystem::path& jobFolder, const ScoreSettings& settings, const std::string& log,
              std::string& error);
bool writeSettings(const std::filesystem::path& folder, const ScoreSettings& settings, std::string& error);
bool readJob(const std::filesystem::path& jobFolder, ScoreSettings& settings, std::string& error);
bool writeOutcome(const std::filesystem::path& jobFolder, const UploadOutcome& outcome, std::string& error);
bool readOutcome(const std::filesystem::path& jobFolder, UploadOutcome& outcome, std::string& error);

/// The results page without links to the reports, beside results.html in a run's outputs.
inline constexpr const char* kUnlinkedResults = "results-unlinked.html";

/// A call received with no log accepted, and why: what the server tells a cross-check worker.
struct NotAcceptedCall {
    std::string call;
    std::string reason;
};
/// The station report a run made (its file name in RUNDIR/out) and the log it was made from (its
/// file name in RUNDIR/logs): what a cross-check worker tells the server.
struct ReportSource {
    std::string report;
    std::string log;
};
/// RUNDIR/not-accepted, one call a line; read back as pairs of call and reason.
bool writeNotAccepted(const std::filesystem::path& runFolder, const std::vector<NotAcceptedCall>& calls,
                      std::string& error);
std::vector<std::pair<std::string, std::string>> readNotAccepted(const std::filesystem::path& runFolder);
/// RUNDIR/reports, one report a line.
bool writeReportSources(const std::filesystem::path& runFolder, const std::vector<ReportSource>& sources,
                        std::string& error);
std::vector<ReportSource> readReportSources(const std::filesystem::path& runFolder);

/// A file of a job or run folder, whole; throws when it cannot be read.
std::string readJobFile(const std::filesystem::path& file);
/// Writes a file of a job or run folder; false with `error`.
bool writeJobFile(const std::filesystem::path& file, const std::string& bytes, std::string& error);

/// The worker's way into the program: when `argv` asks for a worker, runs it and sets `status`
/// (then main returns it); false when this process is not a worker.
bool runAsWorker(int argc, char** argv, int& status);

}  // namespace robot
