#include "tools/crosscheck/crosscheck_options.h"

#include <algorithm>

#include "tools/crosscheck/submission.h"
#include "tools/host/command_line.h"
#include "tools/logs/utf8_path.h"

namespace crosscheck {

namespace {

// Declares the options on `app`, read into `line` (the penalty's name into `penalty`).
void addOptions(CLI::App& app, CommandLine& line, std::string& penalty) {
    CrossCheckRequest& r = line.request;
    host::applyConventions(app);
    app.add_flag("-h,--help", line.help);
    app.add_flag("--version", line.version);
    app.add_option_function<std::string>("--out", [&r](const std::string& folder) { r.outputFolder = logs::utf8Path(folder); })
        ->check(host::nonEmpty());
    app.add_option_function<int>("--window", [&r](int minutes) { r.windowSeconds = std::int64_t{minutes} * 60; })
        ->check(host::wholeNumber(0, 1440, "minutes"));
    host::addDateOption(app, "--start", r.start, "");
    host::addDateOption(app, "--end", r.end, "");
    app.add_option("--penalty", penalty)->check(CLI::IsMember({"none", "loss-plus-one", "double"}));
    app.add_flag("--no-uniques", r.removeUniques);
    app.add_option_function<std::string>(
           "--accept-contest", [&r](const std::string& name) { r.acceptContests.push_back(upperCase(name)); })
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->trigger_on_parse();
    app.add_flag("--call-from-name", r.callFromName);
    app.add_option("--cty", line.cty)->check(host::nonEmpty());
    app.add_option("--lib", line.library)->check(host::nonEmpty());
    app.add_option("--jobs", r.jobs)->check(host::wholeNumber(1, 1024, "threads"));
    app.add_option("LOG", r.inputs);
}

}  // namespace

std::string usageText() {
    return "Usage: stats-crosscheck [options] LOG...\n"
           "Cross-checks the logs of a contest (Cabrillo or ADIF files, or folders holding them) and scores\n"
           "each log through the plug-in as claimed and as checked. An option's value follows a space or '='.\n"
           "  --out DIR       output folder (default: crosscheck): CALL.ubn per log, results.csv, results.html\n"
           "  --window MIN    QSOs match when their times differ by at most MIN minutes once each log's clock\n"
           "                  offset is taken off (0 to 1440, default 3)\n"
           "  --start YYYY-MM-DD, --end YYYY-MM-DD\n"
           "                  the contest period (UTC days): QSOs outside it are OUT OF PERIOD, logs with no\n"
           "                  QSO in it are set aside (default: no period check)\n"
           "  --penalty none|loss-plus-one|double\n"
           "                  what a NIL or a BUSTED CALL costs beyond its QSO: nothing (default), one QSO\n"
           "                  more, two QSOs more\n"
           "  --no-uniques    uniques lose credit in the checked score (default: they keep it)\n"
           "  --accept-contest NAME\n"
           "                  also use Cabrillo logs whose CONTEST: is NAME (repeatable), with a warning\n"
           "  --call-from-name\n"
           "                  a log that names no own call (an ADIF log without STATION_CALLSIGN or\n"
           "                  OPERATOR) is the station of its file name (K1ABC.adi: K1ABC)\n"
           "  --cty FILE      country file in the CTY.DAT format (the continents of the calls worked);\n"
           "                  without it: cty.dat beside this program, in the current folder, then\n"
           "                  /usr/share/tlf/cty.dat (named on stderr); \"--cty none\": no country file;\n"
           "                  \"--cty -\": standard input\n"
           "  --lib FILE      the plug-in (default: the one beside this program)\n"
           "  --jobs N        threads for reading, matching and the reports (default: the machine's cores)\n"
           "  LOG             a log file, a folder of them, or - for a log on standard input\n"
           "  --version, --help\n";
}

bool parseCommandLine(const std::vector<std::string_view>& args, CommandLine& line, std::string& error) {
    CLI::App app("", "stats-crosscheck");
    std::string penalty;
    addOptions(app, line, penalty);
    line.request.outputFolder = "crosscheck";
    if (!host::parseCommandLine(app, args, error)) return false;
    if (line.help || line.version) return true;
    CrossCheckRequest& r = line.request;
    r.penalty = penalty == "double" ? Penalty::kDouble : penalty == "loss-plus-one" ? Penalty::kLossPlusOne : Penalty::kNone;
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
