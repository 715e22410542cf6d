#pragma once
// A robot in process for the tests: a server on 127.0.0.1 port 0 with the real worker program and
// plug-in, httplib's client, and the small readers of its JSON answers.

#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>

#include "tools/robot/robot_server.h"

namespace robot_test {

/// An empty folder of this test process under the temporary folder.
inline std::filesystem::path freshFolder(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("robot-test-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    return folder;
}

/// A robot's settings on `data` with the built worker program and plug-in, on a free port.
inline robot::RobotConfig configFor(const std::filesystem::path& data) {
    robot::RobotConfig config;
    config.data = data;
    config.port = 0;
    config.jobs = 2;
    config.workerProgram = STATS_ROBOT;
    config.score.pluginLibrary = STATS_LIBRARY;
    return config;
}

/// A running robot and a client of it.
struct Robot {
    explicit Robot(robot::RobotConfig config) : server(std::move(config)) {
        std::string error;
        if (!server.open(error)) throw std::runtime_error(error);
        server.start();
        client = std::make_unique<httplib::Client>("127.0.0.1", server.port());
        client->set_read_timeout(60, 0);
    }
    httplib::Result upload(const std::string& log) { return client->Post("/api/logs", log, "text/plain"); }
    httplib::Headers committee() const { return {{"Authorization", "Bearer " + server.committeeToken()}}; }

    robot::RobotServer server;
    std::unique_ptr<httplib::Client> client;
};

inline bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/// The first value of `name` in a JSON text, as written (a string with its quotes).
inline std::string field(const std::string& json, const std::string& name) {
    std::smatch m;
    const std::regex pattern("\"" + name + "\":(\"[^\"]*\"|[^,}\\]]*)");
    return std::regex_search(json, m, pattern) ? m[1].str() : std::string("<none>");
}

/// The state a run ends in, once it has ended.
inline std::string endOfRun(Robot& robot, std::int64_t id) {
    std::string state;
    for (int i = 0; i < 600 && state != "\"done\"" && state != "\"failed\""; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        state = field(robot.client->Get("/api/crosscheck/" + std::to_string(id), robot.committee())->body, "state");
    }
    return state;
}

}  // namespace robot_test
