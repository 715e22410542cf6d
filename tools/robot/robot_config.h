#pragma once
// How the robot runs: the settings the command line fills and every part of the server reads.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/robot/scoring.h"

namespace robot {

/// How the robot runs; the command line fills it.
struct RobotConfig {
    std::filesystem::path data;
    std::string host = "127.0.0.1";
    int port = 8080;  ///< 0: a free port
    ScoreSettings score;
    std::string contestTitle;  ///< the definition's title; empty: SA-TOLVEN, built in
    std::optional<std::chrono::sys_seconds> deadline;
    bool closed = false;  ///< after the deadline, refuse uploads instead of marking them late
    unsigned jobs = 1;
    unsigned uploadsPerMinute = 30;
    /// Reverse proxies (canonical addresses) whose X-Forwarded-For names the client.
    std::vector<std::string> trustedProxies;
    /// Started as PROGRAM --worker JOBDIR for an upload, PROGRAM --crosscheck-worker RUNDIR for a run.
    std::filesystem::path workerProgram;
    std::chrono::milliseconds jobTimeLimit{120000};
    std::chrono::milliseconds runTimeLimit{3600000};  ///< a cross-check run's worker is stopped after this
    std::size_t maxUploadBytes = 5 * 1024 * 1024;
    /// How long an upload's answer may wait for its scoring; past it the answer is 202 and the
    /// receipt's address, where the outcome shows when it is done.
    std::chrono::milliseconds answerWait{15000};
    /// How long a request's head, and the whole request, may take to arrive; past it 408.
    std::chrono::milliseconds headDeadline{20000};
    std::chrono::milliseconds requestDeadline{60000};
};

/// The HTTP server's threads: one per connection. A quarter at most wait for an upload's scoring,
/// so that the pages stay served whatever the uploads do.
inline std::size_t serverThreads(const RobotConfig& config) {
    return std::max<std::size_t>(64, 4 * std::size_t{config.jobs});
}

}  // namespace robot
