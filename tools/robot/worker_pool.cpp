#include "tools/robot/worker_pool.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace robot {

WorkerPool::WorkerPool(unsigned slots, std::chrono::milliseconds timeLimit)
    : slots_(slots == 0 ? 1 : slots), timeLimit_(timeLimit) {}

WorkerExit WorkerPool::run(const std::vector<std::string>& command, const std::filesystem::path& folder) {
    {
        std::unique_lock lock(mutex_);
        freed_.wait(lock, [&] { return busy_ < slots_; });
        ++busy_;
    }
    WorkerExit exit;
    try {
        exit = runProcess(command, folder, timeLimit_);
    } catch (...) {
        exit.problem = "the worker could not be run";
    }
    {
        std::lock_guard lock(mutex_);
        --busy_;
    }
    freed_.notify_one();
    return exit;
}

WorkerExit WorkerPool::runAlone(const std::vector<std::string>& command, const std::filesystem::path& folder,
                                std::chrono::milliseconds timeLimit) {
    return runProcess(command, folder, timeLimit);
}

namespace {

// Starts `command` in `folder` in a process group of its own, stdin from /dev/null, stdout and stderr
// to folder/worker.log, nothing else of the server's open; posix_spawn's result (0: started, `pid` set).
int spawnWorker(const std::vector<std::string>& command, const std::filesystem::path& folder, pid_t& pid) {
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string logFile = (folder / "worker.log").string();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // Nothing of the server's (its listening socket, the clients' connections) stays open in a worker.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // Its own process group, so that a kill ends whatever the worker started too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    const int rc = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return rc;
}

// How the worker's wait status says it ended: its exit status, or the signal that ended it.
void takeStatus(int status, WorkerExit& exit) {
    if (WIFEXITED(status)) {
        exit.finished = true;
        exit.status = WEXITSTATUS(status);
        if (exit.status != 0) exit.problem = "the worker failed (exit status " + std::to_string(exit.status) + ")";
    } else if (WIFSIGNALED(status)) {
        exit.problem = std::string("the worker crashed (") + strsignal(WTERMSIG(status)) + ")";
    }
}

// Waits for the worker `pid` to end, killing its process group once it runs over `timeLimit` (zero:
// no limit). Polled, starting fast: most jobs take milliseconds, and a thread per wait costs nothing here.
WorkerExit awaitWorker(pid_t pid, std::chrono::milliseconds timeLimit) {
    WorkerExit exit;
    const auto started = std::chrono::steady_clock::now();
    auto pause = std::chrono::microseconds(200);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            exit.problem = std::string("lost the worker: ") + std::strerror(errno);
            return exit;
        }
        if (timeLimit.count() > 0 && std::chrono::steady_clock::now() - started > timeLimit) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            exit.timedOut = true;
            exit.problem = "the worker took longer than " + std::to_string(timeLimit.count() / 1000) +
                           " s and was stopped";
            return exit;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
    takeStatus(status, exit);
    return exit;
}

}  // namespace

WorkerExit WorkerPool::runProcess(const std::vector<std::string>& command, const std::filesystem::path& folder,
                                  std::chrono::milliseconds timeLimit) {
    pid_t pid = 0;
    if (const int rc = spawnWorker(command, folder, pid); rc != 0) {
        WorkerExit exit;
        exit.problem = std::string("the worker could not be started: ") + std::strerror(rc);
        return exit;
    }
    return awaitWorker(pid, timeLimit);
}

}  // namespace robot
