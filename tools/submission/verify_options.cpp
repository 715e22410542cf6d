#include "tools/submission/verify_options.h"

#include "tools/host/command_line.h"

namespace verify {

bool parseVerifyOptions(const std::vector<std::string_view>& args, VerifyOptions& o, std::string& error) {
    CLI::App app("stats-verify", "stats-verify");
    host::applyConventions(app);
    for (const auto& [name, member] : {std::pair{"--call", &o.call},
                                       {"--country", &o.country},
                                       {"--dir", &o.dir},
                                       {"--cty", &o.cty},
                                       {"--lib", &o.library}})
        app.add_option(name, *member)->check(host::nonEmpty());
    host::addDateOption(app, "--start", o.start, "contest period start");
    host::addDateOption(app, "--end", o.end, "contest period end");
    app.add_flag("--help,-h", o.help)->disable_flag_override();
    app.add_flag("--version", o.version)->disable_flag_override();
    std::vector<std::string> logs;
    app.add_option("LOG", logs);
    if (!host::parseCommandLine(app, args, error)) return false;
    if (o.help || o.version) return true;
    if (o.start && o.end && *o.end < *o.start)
        error = "the contest period ends before it starts";
    else if (logs.size() > 1)
        error = "more than one log file given ('" + logs[0] + "' and '" + logs[1] + "')";
    else if (logs.empty() || logs[0].empty())
        error = "no log file given (see --help)";
    if (!error.empty()) return false;
    o.logFile = logs[0];
    return true;
}

std::string verifyUsageText() {
    return R"(Usage: stats-verify [options] LOG.cbr

Checks a Cabrillo log for this contest before it is sent, as a contest robot would: one line per
finding (LOG.cbr:LINE: error: TEXT, or warning:), then the totals N error(s), M warning(s). The
QSOs are also replayed through the plug-in (in --dir, or a scratch folder) for two more warnings:
dupes, and a CLAIMED-SCORE other than the plug-in's score. The country file in use is named on
stderr. The same as stats-replay --verify. LOG "-" reads standard input.

Options:
  --start YYYY-MM-DD contest period start } the period check runs only with both
  --end YYYY-MM-DD   contest period end   }
  --cty FILE         country file in the CTY.DAT format (cty.dat): the continents, without which
                     CLAIMED-SCORE is not compared; without it: cty.dat beside this program, in the
                     current folder, in DIR, then /usr/share/tlf/cty.dat (not on Windows; not when
                     STATS_CTY_LOCAL is set); "--cty none": no country file
  --call CALL        own callsign for the replay (default: CALLSIGN:)
  --country PREFIX   own country prefix (default: the own call's country from the country file)
  --dir DIR          the plug-in's working folder, created if missing (default: a scratch folder)
  --lib FILE         the plug-in library (default: Stats.so or Stats.dll next to this program)
  --version          print the version and exit
  --help             print this text and exit

Exit status: 0 no error (warnings allowed), 3 at least one error, 1 the file cannot be read,
2 a wrong command line.
)";
}

}  // namespace verify
