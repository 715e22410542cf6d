#pragma once
// The command line of stats-replay.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cabrillo/header_answers.h"
#include "tools/host/replay_session.h"
#include "tools/logs/iso_date.h"

namespace replay {

/// What the command line asks for.
struct ReplayOptions {
    std::string call;     ///< own call; empty: the log's STATION_CALLSIGN
    std::string country;  ///< own country prefix; empty: from the country file, if any
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
    std::string dir;      ///< working folder; empty: the current one
    std::string cty;      ///< country file in the CTY.DAT format; empty: searched; "none": no file
    std::string library;  ///< the plug-in; empty: next to the tool
    bool exportLog = false;
    bool verify = false;  ///< check the Cabrillo log `logFile` instead of replaying a log
    stats::HeaderAnswers header;  ///< the header dialog's fields given on the command line, by tag
    bool check = false;
    std::string checkCall;
    std::string checkBand;
    std::string checkMode;
    std::string logFile;  ///< the log; "-": standard input
    std::vector<std::string> logFiles;  ///< every log named (one is allowed)
    std::string qsoCsv;   ///< CSV file of each QSO's answer to write; "-": stdout; empty: none
    bool minBreakGiven = false;
    std::string report;   ///< HTML contest report to write; empty: none
    std::string compare;  ///< a second log to set beside the first in the report; empty: none
    int minBreak = 30;    ///< the report's shortest break, in minutes
    bool help = false;
    bool version = false;
};

/// Parses the arguments after the program name; false with a one-line `error`.
bool parseOptions(const std::vector<std::string_view>& args, ReplayOptions& options, std::string& error);

/// The station and period the command line names, for the contest reset.
host::ContestChoices contestChoicesOf(const ReplayOptions& options);

/// The --help text, made from the options' declarations (host::helpText).
std::string usageText();

}  // namespace replay
