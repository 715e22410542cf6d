#include "tools/replay_options.h"

#include <algorithm>
#include <charconv>

namespace replay {
namespace {

using namespace std::chrono;

bool parseNumber(std::string_view text, unsigned& value) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

}  // namespace

bool parseIsoDate(std::string_view text, sys_days& out) {
    unsigned y = 0, m = 0, d = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !parseNumber(text.substr(0, 4), y) ||
        !parseNumber(text.substr(5, 2), m) || !parseNumber(text.substr(8, 2), d))
        return false;
    const year_month_day ymd{year{static_cast<int>(y)}, month{m}, day{d}};
    if (!ymd.ok() || y < 1900) return false;
    out = sys_days{ymd};
    return true;
}

bool parseOptions(const std::vector<std::string_view>& args, ReplayOptions& o, std::string& error) {
    bool bandGiven = false;
    bool modeGiven = false;
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
        if (name == "--export" || name == "--help" || name == "--version") {
            error = "option " + std::string(name) + " takes no value";
            return false;
        }
        static constexpr std::string_view kValued[] = {"--call", "--country", "--start", "--end",  "--dir",
                                                       "--cty",  "--check",   "--band",  "--mode", "--lib",
                                                       "--report"};
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
  --export           export mode: the plug-in also writes the Cabrillo log (CALL.cbr) with the
                     header fields from the settings file; its header dialog and result box
                     are answered with OK
  --cty FILE         country file in the CTY.DAT format, for the continent of QSOs without CONT
  --check CALL --band BAND --mode MODE
                     after loading the log, ask the plug-in about CALL as the host does while it
                     is typed: dupe, new multiplier, and the hint text
  --report FILE.html also write a contest report to look at in a browser: rate per hour and
                     band, running totals, SA prefixes, rejected QSOs, dupes and breaks, all
                     from the plug-in's answers during the replay
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
2 for a wrong command line.
)";
}

}  // namespace replay
