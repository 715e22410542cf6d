#pragma once
// stats-crosscheck's command line: the options declared on a CLI11 app, what CLI11 cannot check,
// and where the country file and the plug-in are found when none is named.

#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
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

/// The country file to read: `cty` as given, none for "none", else the first found where the
/// replay looks for one (said through `note`, as is finding none).
std::filesystem::path countryFileFor(const std::string& cty, const char* argv0, const std::filesystem::path& startDir,
                                     const std::function<void(const std::string&)>& note);

/// The plug-in to load: `library` as given, else the one beside the program.
std::filesystem::path pluginLibraryFor(const std::string& library, const char* argv0);

}  // namespace crosscheck
