// stats-robot: the contest's log robot. Takes logs over HTTP, checks and scores each in a worker
// process, keeps every version in an SQLite store, and serves the committee's cross-check.

#include <CLI/CLI.hpp>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "tools/host/startup.h"
#include "tools/logs/iso_date.h"
#include "tools/robot/robot_server.h"
#include "tools/robot/scoring.h"
#include "tools/robot/text.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

int fail(const std::string& message, int status = kFailure) {
    std::fprintf(stderr, "stats-robot: %s\n", message.c_str());
    return status;
}

// A YYYY-MM-DD option's check for CLI11.
const CLI::Validator kIsoDay(
    [](std::string& text) {
        std::chrono::sys_days day;
        return logs::parseIsoDate(text, day) ? std::string() : "not a date YYYY-MM-DD: " + text;
    },
    "YYYY-MM-DD");

}  // namespace

int main(int argc, char** argv) {
    // The workers' way in, before anything else: each reads its job from the folder it is given, and
    // ends with the server that started it.
    if (argc == 3 && (std::string_view(argv[1]) == "--worker" || std::string_view(argv[1]) == "--crosscheck-worker")) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() == 1) return 1;  // the server is already gone
        return std::string_view(argv[1]) == "--worker" ? robot::workerMain(argv[2])
                                                       : robot::crossCheckWorkerMain(argv[2]);
    }

    CLI::App app("The contest's log robot: takes logs over HTTP, checks and scores them, and serves the "
                 "committee's cross-check.",
                 "stats-robot");
    std::string data, listen = "127.0.0.1:8080", start, end, deadline, cty, lib, backup;
    bool closed = false;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    unsigned perMinute = 30, timeLimit = 120;
    app.add_option("--data", data, "the robot's folder: database, committee token (created on the first start)")
        ->required();
    app.add_option("--listen", listen, "HOST:PORT to listen on; port 0 takes a free port")->capture_default_str();
    app.add_option("--start", start, "the contest's first day (UTC)")->check(kIsoDay);
    app.add_option("--end", end, "the contest's last day (UTC)")->check(kIsoDay);
    app.add_option("--deadline", deadline, "\"YYYY-MM-DD HH:MM\" (UTC): later uploads are marked late");
    app.add_flag("--closed", closed, "after the deadline, refuse uploads instead of marking them late");
    app.add_option("--cty", cty, "country file (CTY.DAT format); default: cty.dat beside the program or in the "
                                 "current folder; \"none\": no country file");
    app.add_option("--lib", lib, "the plug-in (default: the one beside this program)");
    app.add_option("--jobs", jobs, "worker processes scoring at once (default: the cores)")
        ->check(CLI::Range(1u, 256u));
    app.add_option("--uploads-per-minute", perMinute, "uploads one address may send in a minute")
        ->check(CLI::Range(1u, 100000u))
        ->capture_default_str();
    app.add_option("--job-time-limit", timeLimit, "seconds a worker may score one log before it is stopped")
        ->check(CLI::Range(1u, 3600u))
        ->capture_default_str();
    app.add_option("--backup", backup, "copy the database to FILE while the robot may run, then exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return fail(e.what(), kUsage);
    }
    if (start.empty() != end.empty()) return fail("--start and --end go together", kUsage);
    if (!start.empty() && end < start) return fail("--end is before --start", kUsage);
    if (closed && deadline.empty()) return fail("--closed needs --deadline", kUsage);

    robot::RobotConfig config;
    config.data = fs::absolute(data);
    if (!backup.empty()) {
        robot::Store store;
        std::string error;
        if (!fs::exists(config.data / "robot.db")) return fail("no robot database in " + data);
        if (!store.open(config.data, error) || !store.backup(fs::absolute(backup), error)) return fail(error);
        std::printf("backup written to %s\n", backup.c_str());
        return 0;
    }
    const std::size_t colon = listen.rfind(':');
    int port = -1;
    if (colon != std::string::npos) {
        try {
            std::size_t used = 0;
            port = std::stoi(listen.substr(colon + 1), &used);
            if (used != listen.size() - colon - 1) port = -1;
        } catch (const std::exception&) {
            port = -1;
        }
    }
    if (colon == std::string::npos || colon == 0 || port < 0 || port > 65535)
        return fail("--listen takes HOST:PORT with a port from 0 to 65535, not '" + listen + "'", kUsage);
    config.host = listen.substr(0, colon);
    config.port = port;
    if (!start.empty()) {
        std::chrono::sys_days day;
        logs::parseIsoDate(start, day);
        config.score.start = day;
        logs::parseIsoDate(end, day);
        config.score.end = day;
    }
    if (!deadline.empty()) {
        config.deadline = robot::parseUtcMinute(deadline);
        if (!config.deadline) return fail("--deadline takes \"YYYY-MM-DD HH:MM\", not '" + deadline + "'", kUsage);
    }
    config.closed = closed;
    config.jobs = jobs;
    config.uploadsPerMinute = perMinute;
    config.jobTimeLimit = std::chrono::seconds(timeLimit);

    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fail("cannot find this program's file: " + ec.message());
    config.workerProgram = self;
    // The country file and the plug-in found as every tool finds them; the workers get absolute paths.
    host::Startup startup;
    host::StartupOptions options;
    options.tool = "stats-robot";
    options.argv0 = argv[0];
    options.cty = cty;
    options.workFolder = config.data;
    options.library = lib;
    std::string error;
    if (!startup.open(options, error)) return fail(error);
    config.score.pluginLibrary = fs::absolute(startup.libraryPath()).string();
    if (!fs::exists(config.score.pluginLibrary)) return fail("no plug-in at " + config.score.pluginLibrary);
    if (startup.countryFile()) config.score.countryFile = startup.fromStart(startup.countryFileName()).string();
    startup.note(startup.countryFileNote());

    // SIGINT and SIGTERM end the server through its own stop; a closed client's socket must not.
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    robot::RobotServer server(config);
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
    return 0;
}
