#pragma once
// The log robot's HTTP server, put together: the data folder and its store, the committee's
// sign-in, the uploads and runs services, the route table that serves them, and the front door
// through which every request reaches it.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/robot/committee_access.h"
#include "tools/robot/data_folder.h"
#include "tools/robot/front_door.h"
#include "tools/robot/robot_config.h"
#include "tools/robot/route_table.h"
#include "tools/robot/runs_service.h"
#include "tools/robot/store.h"
#include "tools/robot/uploads_service.h"

namespace httplib {
class Server;
}  // namespace httplib

namespace robot {

/// The server. open(), then start() or serve().
class RobotServer {
  public:
    explicit RobotServer(RobotConfig config);
    ~RobotServer();
    RobotServer(const RobotServer&) = delete;
    RobotServer& operator=(const RobotServer&) = delete;

    /// Opens the data folder (created on the first start), binds the address (the front door's) and
    /// the HTTP server's loopback port behind it. False with `error`.
    bool open(std::string& error);
    /// Serves until stop(); blocks.
    bool serve();
    /// Serves in a thread of its own.
    void start();
    void stop();

    int port() const noexcept { return port_; }
    const std::string& committeeToken() const noexcept { return access_.token(); }
    std::filesystem::path tokenFile() const;
    Store& store() noexcept { return store_; }

  private:
    /// Every route the robot serves, with who may use it.
    std::vector<Route> routeTable();
    std::vector<Route> publicRoutes();
    std::vector<Route> committeeRoutes();
    /// Closes the inner server's socket when it never served, so that none is left listening.
    void closeUnserved();
    /// GET /committee: the committee's page.
    void showCommitteePage(Exchange& exchange);
    /// Chooses the upload the address names as the version that counts, or undoes that choice.
    void choose(Exchange& exchange, bool page);
    /// Undoes the committee's choice for the call the address names (by API).
    void clearChoice(Exchange& exchange);

    RobotConfig config_;
    std::string uploadPage_;  // the same for every request: made once
    DataFolderLock folderLock_;  // released last, after everything that uses the folder
    Store store_;
    CommitteeAccess access_;
    UploadsService uploads_;
    RunsService runs_;
    std::unique_ptr<httplib::Server> server_;  // on 127.0.0.1, behind the front door
    std::function<void()> endBodies_;         // ends the bodies being read, at the stop
    FrontDoor door_;
    int port_ = 0;
    /// The inner server's socket until it serves (the library closes it only once it has served).
    std::atomic<int> unservedSocket_{-1};
    std::thread serving_;
    std::mutex stopping_;  // held through stop()
};

}  // namespace robot
