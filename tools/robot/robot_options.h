#pragma once
// The command line of stats-robot, on the tools' one convention (host/command_line.h).

#include <string>
#include <string_view>
#include <vector>

#include "tools/robot/robot_config.h"

namespace robot {

/// What the command line asks for.
struct RobotOptions {
    RobotConfig config;  ///< the server's settings (data folder made absolute)
    std::string cty;     ///< country file; empty: searched; "none": no file
    std::string lib;     ///< the plug-in; empty: next to the program
    std::string backup;  ///< --backup FILE: copy the database there and exit
    bool help = false;
    bool version = false;
};

/// Parses the arguments after the program name; false with a one-line `error`.
bool parseRobotOptions(const std::vector<std::string_view>& args, RobotOptions& options, std::string& error);

/// The --help text, made from the options' declarations (host::helpText).
std::string robotUsageText();

}  // namespace robot
