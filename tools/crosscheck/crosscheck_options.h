#pragma once
// stats-crosscheck's command line, read with the tools' convention (tools/host/command_line.h) into
// a request for the cross-check pipeline.

#include <string>
#include <string_view>
#include <vector>

#include "tools/crosscheck/crosscheck_pipeline.h"

namespace crosscheck {

/// The command line as given: the request it makes, and what the start-up resolves.
struct CommandLine {
    CrossCheckRequest request;
    std::string cty;      ///< --cty as given: a file, "-", "none", or empty to look for one
    std::string library;  ///< --lib as given, or empty for the plug-in beside the program
    std::string contest;  ///< --contest as given: a definition file, or empty for SA-TOLVEN
    bool help = false;
    bool version = false;
};

/// Reads `args` (those after the program's name) into `line`: the options, then the dates' order,
/// at least one log and standard input read once; false with a one-line `error`.
bool parseCommandLine(const std::vector<std::string_view>& args, CommandLine& line, std::string& error);

/// What --help prints, made from the options' declarations (host::helpText).
std::string usageText();

}  // namespace crosscheck
