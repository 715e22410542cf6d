#include "tools/crosscheck/crosscheck_options.h"

#include <algorithm>

#include "tools/crosscheck/submission.h"
#include "tools/logs/iso_date.h"

namespace crosscheck {

namespace {

bool dateOf(const std::string& text, const char* option, std::optional<std::chrono::sys_days>& day,
            std::string& error) {
    if (text.empty()) return true;
    std::chrono::sys_days value;
    if (!replay::parseIsoDate(text, value)) {
        error = std::string(option) + ": '" + text + "' is not a date YYYY-MM-DD";
        return false;
    }
    day = value;
    return true;
}

}  // namespace

void addOptions(CLI::App& app, CommandLine& line) {
    CrossCheckRequest& r = line.request;
    r.outputFolder = "crosscheck";
    // An option given twice takes the last value, as the tool always did.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--out", r.outputFolder,
                   "output folder: CALL.ubn per log, results.csv, results.html (default: crosscheck)")
        ->type_name("DIR");
    app.add_option_function<int>(
           "--window", [&r](int minutes) { r.windowSeconds = std::int64_t{minutes} * 60; },
           "QSOs match when their times differ by at most MIN minutes once each log's clock offset is taken "
           "off (default 3)")
        ->type_name("MIN")
        ->check(CLI::Range(0, 1440).description(""));
    app.add_option("--start", line.start, "the contest period's first day (UTC): QSOs outside the period are OUT "
                                          "OF PERIOD, logs with no QSO in it are set aside (default: no period check)")
        ->type_name("YYYY-MM-DD");
    app.add_option("--end", line.end, "the contest period's last day (UTC)")->type_name("YYYY-MM-DD");
    app.add_option("--penalty", line.penalty,
                   "what a NIL or a BUSTED CALL costs beyond its QSO: nothing (default), one QSO more, two QSOs more")
        ->type_name("none|loss-plus-one|double")
        ->check(CLI::IsMember({"none", "loss-plus-one", "double"}).description(""));
    app.add_flag("--no-uniques", r.removeUniques, "uniques lose credit in the checked score (default: they keep it)");
    app.add_option_function<std::string>(
           "--accept-contest", [&r](const std::string& name) { r.acceptContests.push_back(upperCase(name)); },
           "also use Cabrillo logs whose CONTEST: is NAME (repeatable), with a warning")
        ->type_name("NAME")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->trigger_on_parse();
    app.add_flag("--call-from-name", r.callFromName,
                 "a log that names no own call (an ADIF log without STATION_CALLSIGN or OPERATOR) is the station "
                 "of its file name (K1ABC.adi: K1ABC)");
    app.add_option("--cty", line.cty,
                   "country file in the CTY.DAT format (the continents of the calls worked), - for standard input; "
                   "without it: cty.dat beside this program, in the current folder, then /usr/share/tlf/cty.dat "
                   "(named on stderr); \"--cty none\": no country file")
        ->type_name("FILE");
    app.add_option("--lib", line.library, "the plug-in (default: the one beside this program)")->type_name("FILE");
    app.add_option("--jobs", r.jobs, "threads for reading, matching and the reports (default: the machine's cores)")
        ->type_name("N")
        ->check(CLI::Range(1, 1024).description(""));
    app.add_option("LOG", r.inputs, "log files or folders holding them; - reads a log from standard input")
        ->type_name("");
}

bool finishOptions(CommandLine& line, std::string& error) {
    CrossCheckRequest& r = line.request;
    r.penalty = line.penalty == "double"          ? Penalty::kDouble
                : line.penalty == "loss-plus-one" ? Penalty::kLossPlusOne
                                                  : Penalty::kNone;
    if (!dateOf(line.start, "--start", r.start, error) || !dateOf(line.end, "--end", r.end, error)) return false;
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
