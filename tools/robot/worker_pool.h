#pragma once
// At most N worker processes at a time, each started for one job and ended when it overruns its
// time: a crash or a hang costs that job, never the server.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace robot {

/// How a worker process ended.
struct WorkerExit {
    bool finished = false;  ///< it exited by itself
    int status = -1;        ///< its exit status when finished
    bool timedOut = false;  ///< killed for running too long
    std::string problem;    ///< for a failed job: why, in one line
};

/// Runs commands as child processes, at most `slots` at once; the others wait for a slot.
class WorkerPool {
  public:
    WorkerPool(unsigned slots, std::chrono::milliseconds timeLimit);

    /// Runs `command` (program and arguments) in `folder` with stdout and stderr to
    /// `folder`/worker.log, and waits for it; killed (SIGKILL) after the time limit.
    WorkerExit run(const std::vector<std::string>& command, const std::filesystem::path& folder);

    /// Like run() but without a slot (the cross-check runs beside the uploads) and with its own
    /// time limit (zero: none).
    static WorkerExit runAlone(const std::vector<std::string>& command, const std::filesystem::path& folder,
                               std::chrono::milliseconds timeLimit);

    unsigned slots() const noexcept { return slots_; }

  private:
    static WorkerExit runProcess(const std::vector<std::string>& command, const std::filesystem::path& folder,
                                 std::chrono::milliseconds timeLimit);

    unsigned slots_;
    std::chrono::milliseconds timeLimit_;
    std::mutex mutex_;
    std::condition_variable freed_;
    unsigned busy_ = 0;
};

}  // namespace robot
