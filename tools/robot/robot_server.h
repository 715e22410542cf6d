#pragma once
// The log robot's HTTP server: uploads checked and scored in worker processes, the contesters'
// receipts and reports, the public list, and the committee's API and page.

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/robot/pages.h"
#include "tools/robot/scoring.h"
#include "tools/robot/store.h"
#include "tools/robot/worker_pool.h"

namespace httplib {
class ContentReader;
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace robot {

/// How the robot runs; the command line fills it.
struct RobotConfig {
    std::filesystem::path data;
    std::string host = "127.0.0.1";
    int port = 8080;  ///< 0: a free port
    ScoreSettings score;
    std::optional<std::chrono::sys_seconds> deadline;
    bool closed = false;  ///< after the deadline, refuse uploads instead of marking them late
    unsigned jobs = 1;
    unsigned uploadsPerMinute = 30;
    /// Started as PROGRAM --worker JOBDIR for an upload, PROGRAM --crosscheck-worker RUNDIR for a run.
    std::filesystem::path workerProgram;
    std::chrono::milliseconds jobTimeLimit{120000};
    std::chrono::milliseconds runTimeLimit{3600000};  ///< a cross-check run's worker is stopped after this
    std::size_t maxUploadBytes = 5 * 1024 * 1024;
};

/// The server. open(), then start() or serve().
class RobotServer {
  public:
    explicit RobotServer(RobotConfig config);
    ~RobotServer();
    RobotServer(const RobotServer&) = delete;
    RobotServer& operator=(const RobotServer&) = delete;

    /// Creates the data folder, its database and the committee's token on the first start, opens
    /// them after; binds the address. False with `error`.
    bool open(std::string& error);
    /// Serves until stop(); blocks.
    bool serve();
    /// Serves in a thread of its own.
    void start();
    void stop();

    int port() const noexcept { return port_; }
    const std::string& committeeToken() const noexcept { return token_; }
    std::filesystem::path tokenFile() const { return config_.data / "committee-token"; }
    Store& store() noexcept { return store_; }

  private:
    struct Session {
        std::string csrf;
        std::chrono::steady_clock::time_point expires;
    };

    void routes();
    void configureServer();
    void publicRoutes();
    void committeePageRoutes();
    void committeeApiRoutes();
    /// True when the request carries the committee's token or session; else answers 401.
    bool signedIn(const httplib::Request& req, httplib::Response& res);
    /// A cross-check run's state, or one of its outputs.
    void runOutput(const httplib::Request& req, httplib::Response& res);
    void upload(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader, bool page);
    Receipt scoreStored(std::int64_t id, const std::string& bytes, const std::string& confirmation,
                        const std::string& reportKey, const std::string& received, bool late);
    /// Seconds to wait when `address` has sent its uploads for this minute, else 0.
    long rateLimited(const std::string& address);
    /// The committee's session of the request (Bearer token: an empty csrf); none: not signed in.
    std::optional<Session> committee(const httplib::Request& req);
    /// For a committee form post: signed in, same origin, and the session's csrf token.
    bool committeeForm(const httplib::Request& req, httplib::Response& res);
    bool sameOrigin(const httplib::Request& req) const;
    /// Starts a cross-check run in a thread of its own: its id; 0 when one is running, -1 when the
    /// store could not record it.
    std::int64_t startRun();
    std::filesystem::path runFolder(std::int64_t id) const;

    RobotConfig config_;
    Store store_;
    std::unique_ptr<httplib::Server> server_;
    WorkerPool pool_;
    std::string token_;
    int port_ = 0;
    std::thread serving_;
    std::mutex stopping_;  // held through stop()

    std::mutex mutex_;  // guards the members below
    std::map<std::string, std::deque<std::chrono::steady_clock::time_point>> recentUploads_;
    std::map<std::string, Session> sessions_;
    std::vector<std::thread> runs_;
    bool runActive_ = false;
};

}  // namespace robot
