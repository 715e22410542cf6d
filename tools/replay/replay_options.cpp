#include "tools/replay/replay_options.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "tools/host/command_line.h"
#include "tools/host/header_choices.h"
#include "tools/logs/utf8_path.h"

namespace replay {
using namespace host;

using namespace logs;

using namespace std::chrono;

ContestChoices contestChoicesOf(const ReplayOptions& options) {
    return {options.call, options.country, options.start, options.end};
}

namespace {

constexpr const char* kDescription =
    "Replays an ADIF or Cabrillo log through the contest plug-in as the logging host does: a contest reset, "
    "every QSO oldest first, then the score. Prints the summary exactly as the plug-in returns it (CR LF line "
    "ends), followed by the lines the run added to the error log err.txt (rejected bands and modes, missing "
    "numbers, dupes). Skipped records and other notes go to stderr. With --verify (stats-replay --verify "
    "[options] LOG.cbr) it checks a Cabrillo log before it is sent instead.";

// The group of --report and the options that go with it, and of --qso-csv.
constexpr const char* kReportGroup = "Report and QSO table";

// What --help says after the options.
constexpr const char* kNotes = R"(Options take their value as --opt VALUE or --opt=VALUE. LOG "-" is read from standard input.

The Cabrillo header options: the other fields keep what the dialog proposes (the settings file); the
categories of a Cabrillo log's header, else CATEGORY-MODE (CW, SSB, MIXED) and CATEGORY-BAND (40M,
20M, ALL) from the QSOs. A value outside a list of the dialog is written as given, with a warning.

The log is ADIF (.adi). Used fields: CALL, BAND (or FREQ), MODE/SUBMODE (LSB and USB count as
SSB), FREQ, QSO_DATE, TIME_ON, RST_SENT, RST_RCVD, STX_STRING or STX, SRX_STRING or SRX, PFX,
CONT, STATION_CALLSIGN or OPERATOR. A missing PFX is derived from the call by the WPX rules,
a missing CONT from the --cty file. Malformed records are reported and skipped.

A log that starts with START-OF-LOG: is Cabrillo 2.0 or 3.0, whatever its name. QSO: lines
(frequency in kHz or a band designator, mode, date, time, own call, sent RST and number, call,
received RST and number, optional transmitter id) are fed, PH as SSB; X-QSO: lines are not.
The own call is CALLSIGN:. Lines that do not parse are reported with their number and skipped.

Exit status: 0 on success, 1 when a file cannot be read or the plug-in cannot be loaded,
2 for a wrong command line. With --verify: 0 no error (warnings allowed), 3 at least one
error, 1 the file cannot be read, 2 a wrong command line.
)";

// What the run does besides the replay (--export, --verify), and --version, --help.
void addModeFlags(CLI::App& app, ReplayOptions& o) {
    app.add_flag("--export", o.exportLog,
                 "export mode: the plug-in also writes the Cabrillo log (CALL.cbr); its header dialog is answered "
                 "as an operator would (the Cabrillo header options below) and its result box with OK. The "
                 "written file is then checked as by --verify; findings go to stderr (a normal log gives none)")
        ->disable_flag_override();
    app.add_flag("--verify", o.verify,
                 "check a Cabrillo log before it is sent, as a contest robot would: one line per finding "
                 "(LOG.cbr:LINE: error: TEXT, or warning:), then the totals N error(s), M warning(s). The QSOs "
                 "are also replayed through the plug-in (in --dir, or a scratch folder) for two more warnings: "
                 "dupes, and a CLAIMED-SCORE other than the plug-in's score. --start and --end give the contest "
                 "period for the period check (skipped without). The same as stats-verify; not with --export, "
                 "--check, --report, --qso-csv")
        ->disable_flag_override();
    app.add_flag("--version", o.version, "print the version and exit")->disable_flag_override();
    app.add_flag("--help,-h", o.help, "print this text and exit")->disable_flag_override();
}

// The station and the files the run reads and writes into.
void addStationAndFiles(CLI::App& app, ReplayOptions& o) {
    app.add_option("--call", o.call, "own callsign (default: CALLSIGN:, or STATION_CALLSIGN or OPERATOR)")
        ->option_text("CALL")
        ->check(nonEmpty());
    app.add_option("--country", o.country,
                   "own country prefix (default: the own call's country from --cty, if given)")
        ->option_text("PREFIX")
        ->check(nonEmpty());
    app.add_option("--dir", o.dir,
                   "working folder, created if missing: err.txt, Plugins/SA-TOLVEN.ini and the Cabrillo file go "
                   "there (default: the current folder)")
        ->option_text("DIR")
        ->check(nonEmpty());
    host::addCountryFileOption(app, o.cty);
    host::addLibraryOption(app, o.library);
}

// A header option's help: the line it fills, and for a combo box of the dialog its list.
std::string headerOptionHelp(const char* tag, bool soapbox) {
    if (soapbox) return "the SOAPBOX: lines, one per option given";
    std::string text = std::string("the header's ") + tag + ": line";
    const stats::HeaderControl* control = headerControlOf(tag);
    if (!control || control->listEntries.empty()) return text;
    const char* separator = " (the dialog lists ";
    for (const char* entry : control->listEntries) {
        text.append(separator).append(entry);
        separator = ", ";
    }
    return text + ")";
}

// The header dialog's fields, one option each; a field may be given empty, to clear what the
// settings file proposes.
void addHeaderOptions(CLI::App& app) {
    for (const auto& field : stats::headerAnswerFields()) {
        const bool soapbox = field.field == &stats::CabrilloLog::soapbox;
        app.add_option(headerOptionName(field.tag))
            ->description(headerOptionHelp(field.tag, soapbox))
            ->option_text(soapbox ? "LINE" : "VALUE")
            ->group("Cabrillo header (with --export), one option per field of the plug-in's header dialog")
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
}

// --check and the band and mode it asks about.
void addCheckOptions(CLI::App& app, ReplayOptions& o) {
    const std::string group = "Call check";
    app.add_option("--check", o.checkCall,
                   "after loading the log, ask the plug-in about CALL as the host does while it is typed: dupe, "
                   "new multiplier, and the hint text; needs --band and --mode")
        ->option_text("CALL")
        ->group(group)
        ->check(nonEmpty());
    app.add_option("--band", o.checkBand, "the band --check asks about (40m, 20m)")
        ->option_text("BAND")
        ->group(group)
        ->check(nonEmpty());
    app.add_option("--mode", o.checkMode, "the mode --check asks about (CW, SSB)")
        ->option_text("MODE")
        ->group(group)
        ->check(nonEmpty());
}

// The files written beside the output: the report page and the log set beside it, the QSO table.
void addOutputFiles(CLI::App& app, ReplayOptions& o) {
    app.add_option("--report", o.report,
                   "also write a contest report to look at in a browser: score and claim, best rates, rate per "
                   "hour and band, time on and breaks per band, run or search and pounce, SA prefixes, problems "
                   "grouped, all from the plug-in's answers during the replay")
        ->option_text("FILE.html")
        ->group(kReportGroup)
        ->check(nonEmpty());
    app.add_option("--compare", o.compare,
                   "set a second log (ADIF or Cabrillo) beside the first in the report, replayed through the "
                   "plug-in in a contest of its own; with --report")
        ->option_text("OTHER")
        ->group(kReportGroup)
        ->check(nonEmpty());
    app.add_option("--qso-csv", o.qsoCsv,
                   "also write one CSV row per QSO: its record or line, time, band, mode, call, serial numbers, "
                   "the plug-in's answer (accepted, dupe, rejected and why), a new SA prefix, run or S&P, the "
                   "transmitter id; \"-\": on stdout after the rest")
        ->option_text("FILE")
        ->group(kReportGroup)
        ->check(nonEmpty());
}

// The whole command line of stats-replay on `app`, read into `o`. CLI11 checks the values in the
// order they are declared: kept, so that of two wrong values the same one is named.
void declareCommandLine(CLI::App& app, ReplayOptions& o) {
    applyConventions(app);
    addStationAndFiles(app, o);
    addOutputFiles(app, o);
    addDateOption(app, "--start", o.start, "contest period start (default: the date of the first QSO)");
    addDateOption(app, "--end", o.end, "contest period end (default: the date of the last QSO)");
    addCheckOptions(app, o);
    app.add_option("--min-break", o.minBreak, "the report's shortest break (default 30 minutes); with --report")
        ->option_text("MIN")
        ->group(kReportGroup)
        ->check(wholeNumber(1, 100000, "minutes"));
    addModeFlags(app, o);
    app.add_option("LOG", o.logFiles)->option_text("LOG");
    addHeaderOptions(app);
}

// The header answers in the order the options came: the last value wins, --soapbox adds lines.
bool collectHeader(CLI::App& app, ReplayOptions& o, std::string& error) {
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : app.parse_order()) {
        const stats::HeaderAnswerField* field = headerFieldOfOption(option->get_name());
        if (!field) continue;
        const std::string& value = option->results().at(used[option]++);
        if (value.find_first_of("\r\n") != std::string::npos) {
            error = "option " + option->get_name() + ": one line only (give --soapbox once per line)";
            return false;
        }
        const auto given = std::find_if(o.header.begin(), o.header.end(),
                                        [&](const auto& answer) { return answer.first == field->tag; });
        if (given == o.header.end())
            o.header.emplace_back(field->tag, value);
        else if (field->field == &stats::CabrilloLog::soapbox)
            given->second.append("\r\n").append(value);  // one soapbox line per option
        else
            given->second = value;
    }
    return true;
}

// True when the output file `output` is the file `input` that the run reads: writing it would
// lose the log. Compared as the same file where both exist, else by their normal form.
bool sameFile(const std::string& output, const std::string& input) {
    namespace fs = std::filesystem;
    if (output.empty() || input.empty() || output == "-" || input == "-") return false;
    std::error_code ec;
    const fs::path out = logs::utf8Path(output), in = logs::utf8Path(input);
    return fs::equivalent(out, in, ec) || out.lexically_normal() == in.lexically_normal();
}

// The output option, if any, that names a log the run reads.
std::string overwrittenLog(const ReplayOptions& o) {
    for (const auto& [name, output] : {std::pair{"--report", &o.report}, std::pair{"--qso-csv", &o.qsoCsv}})
        for (const std::string* input : {&o.logFiles.front(), &o.compare})
            if (sameFile(*output, *input)) return std::string(name) + " " + *output + " is a log this run reads";
    return {};
}

// Options that only mean something with another, or that exclude each other.
std::string combinationError(const ReplayOptions& o) {
    const bool band = !o.checkBand.empty(), mode = !o.checkMode.empty(), check = !o.checkCall.empty();
    if (check && (!band || !mode)) return "--check needs --band and --mode";
    if (!check && (band || mode)) return "--band and --mode belong to --check";
    if (o.verify && (o.exportLog || check || !o.report.empty() || !o.qsoCsv.empty()))
        return std::string("--verify checks a Cabrillo log; it does not go with ") + (o.exportLog ? "--export"
                                                                                      : check     ? "--check"
                                                                                      : !o.report.empty()
                                                                                          ? "--report"
                                                                                          : "--qso-csv");
    if (!o.exportLog && !o.header.empty())
        return "the Cabrillo header options (" + headerOptionName(o.header.front().first) +
               ") belong to --export";
    if (o.report.empty() && (!o.compare.empty() || o.minBreakGiven))
        return std::string(o.compare.empty() ? "--min-break" : "--compare") + " belongs to --report";
    if (o.start && o.end && *o.end < *o.start) return "the contest period ends before it starts";
    if (o.logFiles.size() > 1)
        return "more than one log file given ('" + o.logFiles[0] + "' and '" + o.logFiles[1] + "')";
    if (o.logFiles.empty()) return "no log file given (see --help)";
    if (o.logFiles[0].empty()) return "the log file name is empty";
    if (o.logFiles[0] == "-" && o.compare == "-")
        return "standard input gives one log: the log or --compare, not both";
    return overwrittenLog(o);
}

}  // namespace

bool parseOptions(const std::vector<std::string_view>& args, ReplayOptions& o, std::string& error) {
    CLI::App app(kDescription, "stats-replay");
    declareCommandLine(app, o);
    if (!parseCommandLine(app, args, error) || !collectHeader(app, o, error)) return false;
    if (o.help || o.version) return true;
    o.check = !o.checkCall.empty();
    o.minBreakGiven = app.count("--min-break") > 0;
    for (char& c : o.checkBand)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (char& c : o.checkMode)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    error = combinationError(o);
    if (!error.empty()) return false;
    o.logFile = o.logFiles.front();
    return true;
}

std::string usageText() {
    ReplayOptions unused;
    CLI::App app(kDescription, "stats-replay");
    declareCommandLine(app, unused);
    return helpText(app, kNotes);
}

}  // namespace replay
