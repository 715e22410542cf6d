#pragma once
// The tools' one command-line convention, on CLI11: `--opt value` and `--opt=value` (`--opt=` an
// empty value), the last of a repeated option wins, `-` a log on standard input, --help and
// --version handled by the tool, every error one line naming the option.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

namespace host {

/// A CLI11 application with the tools' conventions: no built-in help (the tool prints its own
/// usage text on stdout), the last value of a repeated option wins, unknown options collected for
/// parseCommandLine to name.
void applyConventions(CLI::App& app);

/// Parses `args` (those after the program name); false with a one-line `error`.
bool parseCommandLine(CLI::App& app, const std::vector<std::string_view>& args, std::string& error);

/// A check that refuses an empty value.
CLI::Validator nonEmpty();

/// A whole-number check from `low` to `high`, its message naming what the number counts.
CLI::Validator wholeNumber(long long low, long long high, const std::string& what);

/// An option `name` taking a date YYYY-MM-DD into `day`.
CLI::Option* addDateOption(CLI::App& app, const std::string& name, std::optional<std::chrono::sys_days>& day,
                           const std::string& description);

}  // namespace host
