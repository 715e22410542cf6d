#pragma once
// The command line of stats-replay.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

/// What the command line asks for.
struct ReplayOptions {
    std::string call;     ///< own call; empty: the log's STATION_CALLSIGN
    std::string country;  ///< own country prefix; empty: from the country file, if any
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
    std::string dir;      ///< working folder; empty: the current one
    std::string cty;      ///< country file in the CTY.DAT format
    std::string library;  ///< the plug-in; empty: next to the tool
    bool exportLog = false;
    bool check = false;
    std::string checkCall;
    std::string checkBand;
    std::string checkMode;
    std::string logFile;
    std::string report;   ///< HTML contest report to write; empty: none
    bool help = false;
    bool version = false;
};

/// Parses the arguments after the program name; false with a one-line `error`.
bool parseOptions(const std::vector<std::string_view>& args, ReplayOptions& options, std::string& error);

/// A calendar date written YYYY-MM-DD.
bool parseIsoDate(std::string_view text, std::chrono::sys_days& out);

/// The --help text.
std::string usageText();

}  // namespace replay
