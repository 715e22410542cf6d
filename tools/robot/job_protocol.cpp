#include "tools/robot/job_protocol.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <fstream>
#include <string_view>

#include "tools/robot/answers.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

constexpr std::string_view kWorker = "--worker";
constexpr std::string_view kCrossCheckWorker = "--crosscheck-worker";

std::string lastLine(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last;
}

// Runs the scoring worker over the job in `folder`: its outcome; `error` says why when it gave none.
UploadOutcome runJob(WorkerPool& pool, const fs::path& program, const fs::path& folder, std::string& error) {
    UploadOutcome outcome;
    const WorkerExit exit = pool.run({program.string(), std::string(kWorker), folder.string()}, folder);
    if (!exit.finished || exit.status != 0) {
        error = exit.problem;
        const std::string failure = readWhole(folder / "failure");
        if (!failure.empty()) error += ": " + failure;
    } else if (!readOutcome(folder, outcome, error)) {
        outcome = {};
    }
    return outcome;
}

}  // namespace

fs::path jobFolder(const fs::path& data, std::int64_t id) {
    return data / "jobs" / std::to_string(id);
}

fs::path runFolder(const fs::path& data, std::int64_t id) {
    return data / "runs" / std::to_string(id);
}

UploadOutcome scoreInWorker(WorkerPool& pool, const fs::path& program, const fs::path& folder,
                            const ScoreSettings& settings, const std::string& log) {
    UploadOutcome outcome;
    std::error_code ec;
    fs::create_directories(folder, ec);
    std::string error;
    if (ec)
        error = "cannot create the job folder: " + ec.message();
    else if (writeJob(folder, settings, log, error))
        outcome = runJob(pool, program, folder, error);
    if (!error.empty()) {
        outcome = {};
        outcome.state = "failed";
        outcome.findings.push_back({0, true, "the log could not be scored: " + error});
    }
    fs::remove_all(folder, ec);
    return outcome;
}

std::string crossCheckInWorker(const fs::path& program, const fs::path& folder, const ScoreSettings& settings,
                               std::chrono::milliseconds timeLimit) {
    std::string error;
    if (!writeSettings(folder, settings, error)) return error;
    const WorkerExit exit =
        WorkerPool::runAlone({program.string(), std::string(kCrossCheckWorker), folder.string()}, folder, timeLimit);
    if (exit.finished && exit.status == 0 && fs::exists(folder / "out" / "results.html")) return {};
    const std::string why = lastLine(folder / "failure");
    if (exit.problem.empty()) return why.empty() ? "the cross-check gave no results" : why;
    return exit.problem + (why.empty() ? "" : ": " + why);
}

bool runAsWorker(int argc, char** argv, int& status) {
    if (argc != 3 || (argv[1] != kWorker && argv[1] != kCrossCheckWorker)) return false;
    // A worker ends with the server that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1) {  // the server is already gone
        status = 1;
        return true;
    }
    status = argv[1] == kWorker ? workerMain(argv[2]) : crossCheckWorkerMain(argv[2]);
    return true;
}

}  // namespace robot
