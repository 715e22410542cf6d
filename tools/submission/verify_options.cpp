#include "tools/submission/verify_options.h"

#include "tools/contest/definition_file.h"
#include "tools/host/command_line.h"
#include "tools/logs/utf8_path.h"

namespace verify {

namespace {

constexpr const char* kDescription =
    "Checks a Cabrillo log for this contest before it is sent, as a contest robot would: one line per "
    "finding "
    "(LOG.cbr:LINE: error: TEXT, or warning:), then the totals N error(s), M warning(s). The QSOs are also "
    "replayed through the plug-in (in --dir, or a scratch folder) for two more warnings: dupes, and a "
    "CLAIMED-SCORE other than the plug-in's score. The country file in use is named on stderr. The same as "
    "stats-replay --verify. LOG \"-\" reads standard input. With --contest, the log is checked against that "
    "contest's definition instead, its dupes and too-early repeats found by the definition's rules; the "
    "plug-in "
    "knows only SA-TOLVEN, so another contest's QSOs are not replayed.";

constexpr const char* kNotes = R"(Exit status: 0 no error (warnings allowed), 3 at least one error, 1 the file cannot be read,
2 a wrong command line.
)";

// The options of stats-verify on `app`, read into `o`; the logs named into `logs`. CLI11 checks the
// values in the order they are declared: kept, so that of two wrong values the same one is named.
void declareCommandLine(CLI::App& app, VerifyOptions& o, std::vector<std::string>& logs) {
    host::applyConventions(app);
    app.add_option("--call", o.call, "own callsign for the replay (default: CALLSIGN:)")
        ->option_text("CALL")
        ->check(host::nonEmpty());
    app.add_option("--country", o.country,
                   "own country prefix (default: the own call's country from the country file)")
        ->option_text("PREFIX")
        ->check(host::nonEmpty());
    app.add_option("--dir", o.dir, "the plug-in's working folder, created if missing (default: a scratch folder)")
        ->option_text("DIR")
        ->check(host::nonEmpty());
    host::addCountryFileOption(app, o.cty);
    host::addLibraryOption(app, o.library);
    host::addContestOption(app, o.contestFile);
    host::addPeriodOptions(app, o.start, o.end);
    app.add_flag("--version", o.version, "print the version and exit")->disable_flag_override();
    app.add_flag("--help,-h", o.help, "print this text and exit")->disable_flag_override();
    app.add_option("LOG", logs)->option_text("LOG.cbr");
}

// The contest --contest names, or the built-in one; "FILE:LINE: what" in `error` when it does not read.
bool readContest(VerifyOptions& o, std::string& error) {
    try {
        o.contest = contest::resolveContest(o.contestFile);
        return true;
    } catch (const contest::DefinitionError& e) {
        error = e.what();
        return false;
    }
}

}  // namespace

bool parseVerifyOptions(const std::vector<std::string_view>& args, VerifyOptions& o, std::string& error) {
    CLI::App app(kDescription, "stats-verify");
    std::vector<std::string> logs;
    declareCommandLine(app, o, logs);
    if (!host::parseCommandLine(app, args, error)) return false;
    if (o.help || o.version) return true;
    if (o.start && o.end && *o.end < *o.start)
        error = "the contest period ends before it starts";
    else if (logs.size() > 1)
        error = "more than one log file given ('" + logs[0] + "' and '" + logs[1] + "')";
    else if (logs.empty() || logs[0].empty())
        error = "no log file given (see --help)";
    if (!error.empty() || !readContest(o, error)) return false;
    o.logFile = logs[0];
    return true;
}

std::string verifyUsageText() {
    VerifyOptions unused;
    std::vector<std::string> logs;
    CLI::App app(kDescription, "stats-verify");
    declareCommandLine(app, unused, logs);
    return host::helpText(app, kNotes);
}

}  // namespace verify
