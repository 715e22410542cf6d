#pragma once
// stats-crosscheck's command line: the options declared on a CLI11 app, and what CLI11 cannot check.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

#include "tools/crosscheck/crosscheck_pipeline.h"

namespace crosscheck {

/// The command line as given: the request it makes, and the texts read into it after parsing.
struct CommandLine {
    CrossCheckRequest request;
    std::string start, end;  ///< YYYY-MM-DD or empty
    std::string penalty;     ///< none, loss-plus-one or double; empty for none
    std::string cty;         ///< --cty as given: a file, "-", "none", or empty to look for one
    std::string library;     ///< --lib as given, or empty for the plug-in beside the program
};

/// Declares stats-crosscheck's options and arguments on `app`, read into `line`.
void addOptions(CLI::App& app, CommandLine& line);

/// Checks and converts what CLI11 leaves: the dates and their order, at least one log, and
/// standard input read once; false with a one-line `error`.
bool finishOptions(CommandLine& line, std::string& error);

}  // namespace crosscheck
