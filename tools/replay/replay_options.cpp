#include "tools/replay/replay_options.h"

#include <algorithm>
#include <charconv>

#include "tools/host/header_choices.h"

namespace replay {
using namespace host;

using namespace std::chrono;

ContestChoices contestChoicesOf(const ReplayOptions& options) {
    return {options.call, options.country, options.start, options.end};
}

bool parseOptions(const std::vector<std::string_view>& args, ReplayOptions& o, std::string& error) {
    bool bandGiven = false;
    bool modeGiven = false;
    bool minBreakGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "--version") {
            o.version = true;
            continue;
        }
        if (arg == "--export") {
            o.exportLog = true;
            continue;
        }
        if (arg == "--verify") {
            o.verify = true;
            continue;
        }
        const bool endOfOptions = arg == "--";
        if (endOfOptions || arg.empty() || arg[0] != '-') {
            if (endOfOptions) {
                if (i + 1 >= args.size()) continue;
                arg = args[++i];
            }
            if (!o.logFile.empty()) {
                error = "more than one log file given ('" + o.logFile + "' and '" + std::string(arg) + "')";
                return false;
            }
            if (arg.empty()) {
                error = "the log file name is empty";
                return false;
            }
            o.logFile = arg;
            continue;
        }

        // --name VALUE or --name=VALUE
        std::string_view name = arg;
        std::string_view value;
        const std::size_t eq = arg.find('=');
        if (eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name == "--export" || name == "--verify" || name == "--help" || name == "--version") {
            error = "option " + std::string(name) + " takes no value";
            return false;
        }
        if (const stats::HeaderAnswerField* field = headerFieldOfOption(name)) {
            // A header field may be given empty, to clear what the settings file proposes.
            if (eq == std::string_view::npos) {
                if (i + 1 >= args.size()) {
                    error = "option " + std::string(name) + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (value.find_first_of("\r\n") != std::string_view::npos) {
                error = "option " + std::string(name) + ": one line only (give --soapbox once per line)";
                return false;
            }
            const std::string tag = field->tag;
            const auto given = std::find_if(o.header.begin(), o.header.end(),
                                            [&tag](const auto& answer) { return answer.first == tag; });
            if (given == o.header.end())
                o.header.emplace_back(tag, value);
            else if (field->field == &stats::CabrilloLog::soapbox)
                given->second.append("\r\n").append(value);  // one soapbox line per option
            else
                given->second = value;
            continue;
        }
        static constexpr std::string_view kValued[] = {"--call", "--country", "--start", "--end",  "--dir",
                                                       "--cty",  "--check",   "--band",  "--mode", "--lib",
                                                       "--report", "--compare", "--min-break"};
        if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued)) {
            error = "unknown option '" + std::string(name) + "' (see --help)";
            return false;
        }
        if (eq == std::string_view::npos) {
            if (i + 1 >= args.size()) {
                error = "option " + std::string(name) + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (value.empty()) {
            error = "option " + std::string(name) + " needs a non-empty value";
            return false;
        }

        if (name == "--call") {
            o.call = value;
        } else if (name == "--country") {
            o.country = value;
        } else if (name == "--start" || name == "--end") {
            sys_days day;
            if (!parseIsoDate(value, day)) {
                error =
                    "option " + std::string(name) + ": '" + std::string(value) + "' is not a date YYYY-MM-DD";
                return false;
            }
            (name == "--start" ? o.start : o.end) = day;
        } else if (name == "--dir") {
            o.dir = value;
        } else if (name == "--cty") {
            o.cty = value;
        } else if (name == "--lib") {
            o.library = value;
        } else if (name == "--report") {
            o.report = value;
        } else if (name == "--compare") {
            o.compare = value;
        } else if (name == "--min-break") {
            int minutes = 0;
            const auto [stop, status] = std::from_chars(value.data(), value.data() + value.size(), minutes);
            if (status != std::errc() || stop != value.data() + value.size() || minutes < 1 || minutes > 100000) {
                error = "option --min-break: '" + std::string(value) + "' is not a number of minutes from 1 to 100000";
                return false;
            }
            o.minBreak = minutes;
            minBreakGiven = true;
        } else if (name == "--check") {
            o.check = true;
            o.checkCall = value;
        } else if (name == "--band") {
            bandGiven = true;
            o.checkBand = value;
            for (char& c : o.checkBand)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        } else if (name == "--mode") {
            modeGiven = true;
            o.checkMode = value;
            for (char& c : o.checkMode)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (o.help || o.version) return true;
    if (o.check && (!bandGiven || !modeGiven)) {
        error = "--check needs --band and --mode";
        return false;
    }
    if (!o.check && (bandGiven || modeGiven)) {
        error = "--band and --mode belong to --check";
        return false;
    }
    if (o.verify && (o.exportLog || o.check)) {
        error = std::string("--verify checks a Cabrillo log; it does not go with ") +
                (o.exportLog ? "--export" : "--check");
        return false;
    }
    if (!o.exportLog && !o.header.empty()) {
        error = "the Cabrillo header options (" + headerOptionName(o.header.front().first) + ") belong to --export";
        return false;
    }
    if (o.report.empty() && (!o.compare.empty() || minBreakGiven)) {
        error = std::string(o.compare.empty() ? "--min-break" : "--compare") + " belongs to --report";
        return false;
    }
    if (o.start && o.end && *o.end < *o.start) {
        error = "the contest period ends before it starts";
        return false;
    }
    if (o.logFile.empty()) {
        error = "no log file given (see --help)";
        return false;
    }
    return true;
}

std::string usageText() {
    return R"(Usage: stats-replay [options] LOG
       stats-replay --verify [options] LOG.cbr

Replays an ADIF or Cabrillo log through the contest plug-in as the logging host does: a contest reset,
every QSO oldest first, then the score. Prints the summary exactly as the plug-in returns it
(CR LF line ends), followed by the lines the run added to the error log err.txt (rejected
bands and modes, missing numbers, dupes). Skipped records and other notes go to stderr.

Options:
  --call CALL        own callsign (default: CALLSIGN:, or STATION_CALLSIGN or OPERATOR)
  --country PREFIX   own country prefix (default: the own call's country from --cty, if given)
  --start YYYY-MM-DD contest period start (default: the date of the first QSO)
  --end YYYY-MM-DD   contest period end (default: the date of the last QSO)
  --dir DIR          working folder, created if missing: err.txt, Plugins/SA-TOLVEN.ini and
                     the Cabrillo file go there (default: the current folder)
  --export           export mode: the plug-in also writes the Cabrillo log (CALL.cbr); its header
                     dialog is answered as an operator would (below) and its result box with OK.
                     The written file is then checked as by --verify; findings go to stderr (a
                     normal log gives none)
  --verify           check a Cabrillo log before it is sent, as a contest robot would: one
                     line per finding (LOG.cbr:LINE: error: TEXT, or warning:), then the
                     totals N error(s), M warning(s). The QSOs are also replayed through
                     the plug-in (in --dir, or a scratch folder) for two more warnings:
                     dupes, and a CLAIMED-SCORE other than the plug-in's score. --start and
                     --end give the contest period for the period check (skipped without)
  --cty FILE         country file in the CTY.DAT format (cty.dat), for the continent of QSOs
                     without CONT and the own country; without it: cty.dat beside this program,
                     in the current folder, in DIR, then /usr/share/tlf/cty.dat (the file used
                     is named on stderr); "--cty none": no country file

Cabrillo header (with --export), one option per field of the plug-in's header dialog:
  --callsign --category-operator --category-assisted --category-mode --category-band
  --category-power --category-transmitter --category-overlay --certificate --club --location
  --email --name --address --address-city --address-state-province --address-postalcode
  --address-country --operators VALUE, and --soapbox LINE (once per line)
                     The other fields keep what the dialog proposes (the settings file); the
                     categories of a Cabrillo log's header, else CATEGORY-MODE (CW, SSB, MIXED)
                     and CATEGORY-BAND (40M, 20M, ALL) from the QSOs. A value outside a list of
                     the dialog is written as given, with a warning.
  --check CALL --band BAND --mode MODE
                     after loading the log, ask the plug-in about CALL as the host does while it
                     is typed: dupe, new multiplier, and the hint text
  --report FILE.html also write a contest report to look at in a browser: score and claim,
                     best rates, rate per hour and band, time on and breaks per band, run or
                     search and pounce, SA prefixes, problems grouped, all from the plug-in's
                     answers during the replay
  --min-break MIN    the report's shortest break (default 30 minutes)
  --compare OTHER    set a second log (ADIF or Cabrillo) beside the first in the report,
                     replayed through the plug-in in a contest of its own
  --lib FILE         the plug-in library (default: Stats.so or Stats.dll next to this program)
  --version          print the version and exit
  --help             print this text and exit

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
}

}  // namespace replay
