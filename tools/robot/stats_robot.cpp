// stats-robot: the contest's log robot. Takes logs over HTTP, checks and scores each in a worker
// process, keeps every version in an SQLite store, and serves the committee's cross-check.

#include <CLI/CLI.hpp>
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "tools/host/command_line.h"
#include "tools/host/startup.h"
#include "tools/logs/iso_date.h"
#include "tools/robot/job_protocol.h"
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

// What the command line asks for.
struct RobotOptions {
    std::string data, listen = "127.0.0.1:8080", start, end, deadline, cty, lib, backup;
    bool closed = false;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    unsigned perMinute = 30, timeLimit = 120, runTimeLimit = 3600;
};

// What --help says after the options.
constexpr const char* kNotes = R"(An option's value follows it after a space or '='.

Exit status: 0 when the server was stopped (SIGINT or SIGTERM) or the backup is written, 1 when it
cannot start or the backup fails, 2 for a wrong command line.
)";

// The limits on the robot's work: workers, uploads, run times.
void addLimitOptions(CLI::App& app, RobotOptions& o) {
    app.add_option("--jobs", o.jobs, "worker processes scoring at once, 1 to 256 (default: the cores)")
        ->option_text("N")
        ->check(CLI::Range(1u, 256u));
    app.add_option("--uploads-per-minute", o.perMinute, "uploads one address may send in a minute, 1 to 100000")
        ->option_text("N")
        ->check(CLI::Range(1u, 100000u))
        ->capture_default_str();
    app.add_option("--job-time-limit", o.timeLimit, "seconds a worker may score one log before it is stopped, 1 to 3600")
        ->option_text("SECONDS")
        ->check(CLI::Range(1u, 3600u))
        ->capture_default_str();
    app.add_option("--run-time-limit", o.runTimeLimit, "seconds a cross-check run may take before it is stopped, 1 to 604800")
        ->option_text("SECONDS")
        ->check(CLI::Range(1u, 604800u))
        ->capture_default_str();
}

void addOptions(CLI::App& app, RobotOptions& o) {
    app.add_option("--data", o.data, "the robot's folder: database, committee token (created on the first start)")
        ->option_text("DIR")
        ->required();
    app.add_option("--listen", o.listen, "the address and port to listen on; port 0 takes a free port")
        ->option_text("HOST:PORT")
        ->capture_default_str();
    app.add_option("--start", o.start, "the contest's first day (UTC)")->option_text("YYYY-MM-DD")->check(kIsoDay);
    app.add_option("--end", o.end, "the contest's last day (UTC)")->option_text("YYYY-MM-DD")->check(kIsoDay);
    app.add_option("--deadline", o.deadline, "the upload deadline (UTC): later uploads are marked late")
        ->option_text("\"YYYY-MM-DD HH:MM\"");
    app.add_flag("--closed", o.closed, "after the deadline, refuse uploads instead of marking them late");
    app.add_option("--cty", o.cty, "country file (CTY.DAT format); default: cty.dat beside the program or in the "
                                   "current folder; \"none\": no country file")
        ->option_text("FILE");
    app.add_option("--lib", o.lib, "the plug-in (default: the one beside this program)")->option_text("FILE");
    addLimitOptions(app, o);
    app.add_option("--backup", o.backup, "copy the database to FILE while the robot may run, then exit")
        ->option_text("FILE");
    app.set_help_flag("-h,--help", "print this text and exit");
}

// HOST:PORT with a port from 0 to 65535; false when it is not that.
bool parseListen(const std::string& listen, robot::RobotConfig& config) {
    const std::size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    int port = -1;
    const std::string digits = listen.substr(colon + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc() || end != digits.data() + digits.size() || port < 0 || port > 65535) return false;
    config.host = listen.substr(0, colon);
    config.port = port;
    return true;
}

// The server's settings from the options; an empty result, or why they do not go together.
std::string configFrom(const RobotOptions& o, robot::RobotConfig& config) {
    if (o.start.empty() != o.end.empty()) return "--start and --end go together";
    if (!o.start.empty() && o.end < o.start) return "--end is before --start";
    if (o.closed && o.deadline.empty()) return "--closed needs --deadline";
    if (!parseListen(o.listen, config))
        return "--listen takes HOST:PORT with a port from 0 to 65535, not '" + o.listen + "'";
    if (!o.start.empty()) {
        std::chrono::sys_days day;
        logs::parseIsoDate(o.start, day);
        config.score.start = day;
        logs::parseIsoDate(o.end, day);
        config.score.end = day;
    }
    if (!o.deadline.empty()) {
        config.deadline = robot::parseUtcMinute(o.deadline);
        if (!config.deadline) return "--deadline takes \"YYYY-MM-DD HH:MM\", not '" + o.deadline + "'";
    }
    config.data = fs::absolute(o.data);
    config.closed = o.closed;
    config.jobs = o.jobs;
    config.uploadsPerMinute = o.perMinute;
    config.jobTimeLimit = std::chrono::seconds(o.timeLimit);
    config.runTimeLimit = std::chrono::seconds(o.runTimeLimit);
    return {};
}

int backupDatabase(const RobotOptions& o, const robot::RobotConfig& config) {
    robot::Store store;
    std::string error;
    if (!fs::exists(config.data / "robot.db")) return fail("no robot database in " + o.data);
    if (!store.open(config.data, error, robot::Store::Opener::kBeside) || !store.backup(fs::absolute(o.backup), error)) return fail(error);
    std::printf("backup written to %s\n", o.backup.c_str());
    return 0;
}

// The workers' program (this one), the plug-in and the country file as every tool finds them, as
// absolute paths for the workers; an empty result, or why not.
std::string locateFiles(const RobotOptions& o, const char* argv0, robot::RobotConfig& config) {
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
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The workers' way in, before anything else: each reads its job from the folder it is given, and
    // ends with the server that started it.
    if (int status = 0; robot::runAsWorker(argc, argv, status)) return status;
    CLI::App app("The contest's log robot: takes logs over HTTP, checks and scores them, and serves the "
                 "committee's cross-check.",
                 "stats-robot");
    RobotOptions options;
    addOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(host::helpText(app, kNotes).c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        return fail(e.what(), kUsage);
    }
    robot::RobotConfig config;
    if (const std::string problem = configFrom(options, config); !problem.empty()) return fail(problem, kUsage);
    if (!options.backup.empty()) return backupDatabase(options, config);
    if (const std::string problem = locateFiles(options, argv[0], config); !problem.empty()) return fail(problem);
    return serve(config);
}
