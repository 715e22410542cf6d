#include "tools/robot/robot_options.h"

#include <charconv>
#include <optional>
#include <thread>

#include "tools/contest/contest_choice.h"
#include "tools/contest/definition_file.h"
#include "tools/host/command_line.h"
#include "tools/robot/client_address.h"
#include "tools/robot/text.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

constexpr const char* kDescription =
    "The contest's log robot: takes logs over HTTP, checks and scores them, and serves the committee's "
    "cross-check.";

constexpr const char* kNotes = R"(An option's value follows it after a space or '='.

Exit status: 0 when the server was stopped (SIGINT or SIGTERM) or the backup is written, 1 when it
cannot start or the backup fails, 2 for a wrong command line.
)";

// The options as given, before they are checked together.
struct Given {
    std::string data, listen = "127.0.0.1:8080", deadline, contest;
    std::optional<std::chrono::sys_days> start, end;
    std::vector<std::string> trustedProxies;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    unsigned perMinute = 30, timeLimit = 120, runTimeLimit = 3600, maxUploadKib = 5120;
};

// The limits on the robot's work: workers, uploads, run times.
void declareLimits(CLI::App& app, Given& g) {
    host::addJobsOption(app, g.jobs, 256, "worker processes");
    app.add_option("--uploads-per-minute", g.perMinute,
                   "uploads one address may send in a minute, 1 to 100000")
        ->option_text("N")
        ->check(host::wholeNumber(1, 100000, "uploads"))
        ->capture_default_str();
    app.add_option("--max-upload-kib", g.maxUploadKib,
                   "the largest log taken, in KiB, 1 to 1048576 (a form's framing "
                   "comes on top)")
        ->option_text("N")
        ->check(host::wholeNumber(1, 1048576, "KiB"))
        ->capture_default_str();
    app.add_option("--job-time-limit", g.timeLimit,
                   "seconds a worker may score one log before it is stopped, 1 to 3600")
        ->option_text("SECONDS")
        ->check(host::wholeNumber(1, 3600, "seconds"))
        ->capture_default_str();
    app.add_option("--run-time-limit", g.runTimeLimit,
                   "seconds a cross-check run may take before it is stopped, 1 to 604800")
        ->option_text("SECONDS")
        ->check(host::wholeNumber(1, 604800, "seconds"))
        ->capture_default_str();
}

// The options of stats-robot on `app`. CLI11 checks the values in the order they are declared.
void declareCommandLine(CLI::App& app, Given& g, RobotOptions& o) {
    host::applyConventions(app);
    app.add_option("--data", g.data,
                   "the robot's folder: database, committee token (created on the first start)")
        ->option_text("DIR")
        ->check(host::nonEmpty());
    app.add_option("--listen", g.listen, "the address and port to listen on; port 0 takes a free port")
        ->option_text("HOST:PORT")
        ->capture_default_str();
    app.add_option(
           "--trusted-proxy", g.trustedProxies,
           "a reverse proxy's IP address (repeatable): from it, the client is the last X-Forwarded-For "
           "entry, for the upload limit and the committee's \"From\", and its connections are not capped per "
           "address; without it the header is ignored")
        ->option_text("ADDR")
        ->allow_extra_args(false);
    host::addPeriodOptions(app, g.start, g.end);
    app.add_option("--deadline", g.deadline, "the upload deadline (UTC): later uploads are marked late")
        ->option_text("\"YYYY-MM-DD HH:MM\"");
    app.add_flag("--closed", o.config.closed,
                 "after the deadline, refuse uploads instead of marking them late")
        ->disable_flag_override();
    host::addCountryFileOption(app, o.cty);
    host::addLibraryOption(app, o.lib);
    host::addContestOption(app, g.contest);
    declareLimits(app, g);
    app.add_option("--backup", o.backup, "copy the database to FILE while the robot may run, then exit")
        ->option_text("FILE")
        ->check(host::nonEmpty());
    app.add_flag("--version", o.version, "print the version and exit")->disable_flag_override();
    app.add_flag("-h,--help", o.help, "print this text and exit")->disable_flag_override();
}

// HOST:PORT with a port from 0 to 65535; false when it is not that.
bool parseListen(const std::string& listen, RobotConfig& config) {
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

// The contest's definition file for the workers, read once here so that one that does not read
// stops the start ("FILE:LINE: what"), not each upload.
std::string contestFrom(const Given& g, RobotConfig& config) {
    if (g.contest.empty()) return {};
    try {
        config.contestTitle = contest::resolveContest(g.contest).title;
    } catch (const contest::DefinitionError& e) {
        return e.what();
    }
    config.score.contestFile = fs::absolute(g.contest).string();
    return {};
}

// The server's settings from the options; an empty result, or why they do not go together.
std::string configFrom(const Given& g, RobotConfig& config) {
    if (g.data.empty()) return "option --data is required (see --help)";
    if (g.start.has_value() != g.end.has_value()) return "--start and --end go together";
    if (g.start && *g.end < *g.start) return "--end is before --start";
    if (config.closed && g.deadline.empty()) return "--closed needs --deadline";
    if (!parseListen(g.listen, config))
        return "--listen takes HOST:PORT with a port from 0 to 65535, not '" + g.listen + "'";
    if (!g.deadline.empty()) {
        config.deadline = parseUtcMinute(g.deadline);
        if (!config.deadline) return "--deadline takes \"YYYY-MM-DD HH:MM\", not '" + g.deadline + "'";
    }
    config.score.start = g.start;
    config.score.end = g.end;
    if (std::string problem = contestFrom(g, config); !problem.empty()) return problem;
    for (const std::string& proxy : g.trustedProxies) {
        config.trustedProxies.push_back(canonicalAddress(proxy));
        if (config.trustedProxies.back().empty())
            return "--trusted-proxy takes an IP address, not '" + proxy + "'";
    }
    // Normal, so that answers can tell the folder's paths apart (withoutServerPaths).
    config.data = fs::absolute(g.data).lexically_normal();
    config.jobs = g.jobs;
    config.uploadsPerMinute = g.perMinute;
    config.maxUploadBytes = std::size_t{g.maxUploadKib} * 1024;
    config.jobTimeLimit = std::chrono::seconds(g.timeLimit);
    config.runTimeLimit = std::chrono::seconds(g.runTimeLimit);
    return {};
}

}  // namespace

bool parseRobotOptions(const std::vector<std::string_view>& args, RobotOptions& o, std::string& error) {
    CLI::App app(kDescription, "stats-robot");
    Given given;
    declareCommandLine(app, given, o);
    if (!host::parseCommandLine(app, args, error)) return false;
    if (o.help || o.version) return true;
    error = configFrom(given, o.config);
    return error.empty();
}

std::string robotUsageText() {
    CLI::App app(kDescription, "stats-robot");
    Given unused;
    RobotOptions alsoUnused;
    declareCommandLine(app, unused, alsoUnused);
    // Checked after the parse, so that --help needs no --data; the usage line names it all the same.
    app.get_option("--data")->required();
    return host::helpText(app, kNotes);
}

}  // namespace robot
