// stats-robot: the contest's log robot. Takes logs over HTTP, checks and scores each in a worker
// process, keeps every version in an SQLite store, and serves the committee's cross-check.

#include <malloc.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "tools/host/startup.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/robot_options.h"
#include "tools/robot/robot_server.h"

namespace fs = std::filesystem;

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "stats-robot: %s\n", message.c_str());
    return host::kExitFailure;
}

int backupDatabase(const robot::RobotOptions& o) {
    robot::Store store;
    std::string error;
    if (!fs::exists(o.config.data / "robot.db")) return fail("no robot database in " + o.config.data.string());
    if (!store.open(o.config.data, error, robot::Store::Opener::kBeside) || !store.backup(fs::absolute(o.backup), error))
        return fail(error);
    std::printf("backup written to %s\n", o.backup.c_str());
    return host::kExitOk;
}

// The workers' program (this one), the plug-in and the country file as every tool finds them, as
// absolute paths for the workers; an empty result, or why not.
std::string locateFiles(const robot::RobotOptions& o, const char* argv0, robot::RobotConfig& config) {
    std::error_code ec;
    config.workerProgram = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "cannot find this program's file: " + ec.message();
    host::Startup startup;
    host::StartupOptions options;
    options.tool = "stats-robot";
    options.argv0 = argv0;
    options.cty = o.cty;
    options.workFolder = config.data;
    options.library = o.lib;
    std::string error;
    if (!startup.open(options, error)) return error;
    config.score.pluginLibrary = fs::absolute(startup.libraryPath()).string();
    if (!fs::exists(config.score.pluginLibrary)) return "no plug-in at " + config.score.pluginLibrary;
    if (startup.countryFile()) config.score.countryFile = startup.fromStart(startup.countryFileName()).string();
    startup.note(startup.countryFileNote());
    return {};
}

// Serves until SIGINT or SIGTERM, which end the server through its own stop; a closed client's
// socket must not end it (SIGPIPE).
int serve(const robot::RobotConfig& config) {
    signal(SIGPIPE, SIG_IGN);
    // A request's body and an answer are held whole for a moment, up to a few MiB each: from their
    // own mappings, which go back to the system once they are done, rather than from the heap,
    // which keeps what it once grew to (the library's own threshold rises with the largest freed).
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    robot::RobotServer server(config);
    std::string error;
    if (!server.open(error)) return fail(error);
    std::printf("listening on http://%s:%d/\ncommittee token in %s\n", config.host.c_str(), server.port(),
                server.tokenFile().c_str());
    std::fflush(stdout);
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    stopper.detach();
    server.serve();
    return host::kExitOk;
}

int run(robot::RobotOptions& options, const char* argv0) {
    if (!options.backup.empty()) return backupDatabase(options);
    if (const std::string problem = locateFiles(options, argv0, options.config); !problem.empty()) return fail(problem);
    return serve(options.config);
}

}  // namespace

int main(int argc, char** argv) {
    // Everything the robot and its workers create is its user's alone (the folders and the database
    // are also set so explicitly), whatever umask it was started with.
    umask(077);
    // The workers' way in, before anything else.
    if (int status = 0; robot::runAsWorker(argc, argv, status)) return status;
    return host::toolMain<robot::RobotOptions>("stats-robot", argc, argv, robot::parseRobotOptions,
                                               robot::robotUsageText(), run);
}
