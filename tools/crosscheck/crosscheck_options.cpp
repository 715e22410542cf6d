#include "tools/crosscheck/crosscheck_options.h"

#include <algorithm>

#include "tools/contest/definition_file.h"
#include "tools/crosscheck/submission.h"
#include "tools/host/command_line.h"
#include "tools/logs/utf8_path.h"

namespace crosscheck {

namespace {

constexpr const char* kDescription =
    "Cross-checks the logs of a contest (Cabrillo or ADIF files, or folders holding them) and scores each "
    "log "
    "through the plug-in as claimed and as checked, or by the contest's definition. An option's value "
    "follows a "
    "space or '='. \"--cty -\" reads the country file from standard input. --start and --end, when either is "
    "given, replace the definition's periods; a log with no QSO in the period is set aside.";

// How the logs are matched and scored: the time window, the period, the penalty, the uniques, and
// which logs are used.
void addCheckRules(CLI::App& app, CrossCheckRequest& r, std::string& penalty) {
    app.add_option_function<int>("--window", [&r](int minutes) { r.windowSeconds = std::int64_t{minutes} * 60; },
                                 "QSOs match when their times differ by at most MIN minutes once each log's clock "
                                 "offset is taken off (0 to 1440, default 3)")
        ->option_text("MIN")
        ->check(host::wholeNumber(0, 1440, "minutes"));
    host::addPeriodOptions(app, r.start, r.end);
    app.add_option("--penalty", penalty,
                   "what a NIL or a BUSTED CALL costs beyond its QSO: nothing (none, the default), one QSO more "
                   "(loss-plus-one), two QSOs more (double)")
        ->option_text("none|loss-plus-one|double")
        ->check(CLI::IsMember({"none", "loss-plus-one", "double"}));
    app.add_flag("--no-uniques", r.removeUniques, "uniques lose credit in the checked score (default: they keep it)");
    app.add_option_function<std::string>(
           "--accept-contest", [&r](const std::string& name) { r.acceptContests.push_back(upperCase(name)); },
           "also use Cabrillo logs whose CONTEST: is NAME (repeatable), with a warning")
        ->option_text("NAME")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->trigger_on_parse();
    app.add_flag("--call-from-name", r.callFromName,
                 "a log that names no own call (an ADIF log without STATION_CALLSIGN or OPERATOR) is the station "
                 "of its file name (K1ABC.adi: K1ABC)");
}

// Declares the options on `app`, read into `line` (the penalty's name into `penalty`). CLI11 checks
// the values in the order they are declared: kept, so that of two wrong values the same one is named.
void addOptions(CLI::App& app, CommandLine& line, std::string& penalty) {
    CrossCheckRequest& r = line.request;
    host::applyConventions(app);
    app.add_option_function<std::string>(
           "--out", [&r](const std::string& folder) { r.outputFolder = logs::utf8Path(folder); },
           "output folder (default: crosscheck): CALL.ubn per log, results.csv, results.html")
        ->option_text("DIR")
        ->check(host::nonEmpty());
    host::addContestOption(app, line.contest);
    app.add_option_function<std::string>(
           "--qso-csv", [&r](const std::string& file) { r.qsoCsv = logs::utf8Path(file); },
           "also write every QSO line of every log with its verdict, points, the other log's line and the "
           "evidence to FILE (CSV)")
        ->option_text("FILE")
        ->check(host::nonEmpty());
    addCheckRules(app, r, penalty);
    host::addCountryFileOption(app, line.cty);
    host::addLibraryOption(app, line.library);
    host::addJobsOption(app, r.jobs, 1024, "threads");
    app.add_option("LOG", r.inputs, "a log file, a folder of them, or - for a log on standard input");
    app.add_flag("--version", line.version, "print the version and exit");
    app.add_flag("-h,--help", line.help, "print this text and exit");
}

// The contest --contest names, or the built-in one. A definition's time tolerance is the window
// unless --window is given.
bool readContest(CommandLine& line, bool windowGiven, std::string& error) {
    try {
        line.request.contest = contest::resolveContest(line.contest);
        if (!windowGiven)
            line.request.windowSeconds =
                std::int64_t{line.request.contest.checking.timeToleranceMinutes} * 60;
        return true;
    } catch (const contest::DefinitionError& e) {
        error = e.what();
        return false;
    }
}

}  // namespace

std::string usageText() {
    CommandLine unused;
    std::string penalty;
    CLI::App app(kDescription, "stats-crosscheck");
    addOptions(app, unused, penalty);
    return host::helpText(app);
}

bool parseCommandLine(const std::vector<std::string_view>& args, CommandLine& line, std::string& error) {
    CLI::App app(kDescription, "stats-crosscheck");
    std::string penalty;
    addOptions(app, line, penalty);
    line.request.outputFolder = "crosscheck";
    if (!host::parseCommandLine(app, args, error)) return false;
    if (line.help || line.version) return true;
    CrossCheckRequest& r = line.request;
    r.penalty = penalty == "double" ? Penalty::kDouble : penalty == "loss-plus-one" ? Penalty::kLossPlusOne : Penalty::kNone;
    if (!readContest(line, app.count("--window") > 0, error)) return false;
    if (contest::scoringKindOf(r.contest) == contest::ScoringKind::kDefinition && app.count("--penalty")) {
        error = "--penalty: the contest's definition sets what a NIL or a busted call costs";
        return false;
    }
    if (r.start && r.end && *r.end < *r.start) {
        error = "--end is before --start";
        return false;
    }
    if (r.inputs.empty()) {
        error = "no log given (stats-crosscheck --help)";
        return false;
    }
    const auto piped = std::count(r.inputs.begin(), r.inputs.end(), "-");
    if (piped > 1 || (piped == 1 && line.cty == "-")) {
        error = "standard input can be read once: give - as one log or as --cty, not both";
        return false;
    }
    return true;
}

}  // namespace crosscheck
