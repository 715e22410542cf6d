#pragma once
// The tools' one command-line convention, on CLI11: `--opt value` and `--opt=value` (`--opt=` an
// empty value), the last of a repeated option wins, `-` a log on standard input, --help and
// --version handled by the tool, every error one line naming the option, and --help's text made
// from the options' declarations (helpText).

#include <CLI/CLI.hpp>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

/// A CLI11 application with the tools' conventions: no built-in help (the tool prints helpText on
/// stdout), the last value of a repeated option wins, unknown options collected for parseCommandLine
/// to name.
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

/// --contest FILE, the contest's definition, into `file` (the tools' one wording).
CLI::Option* addContestOption(CLI::App& app, std::string& file);

/// --cty FILE, the country file, into `file` (the tools' one wording of the one search).
CLI::Option* addCountryFileOption(CLI::App& app, std::string& file);

/// --lib FILE, the plug-in library, into `file`.
CLI::Option* addLibraryOption(CLI::App& app, std::string& file);

/// --start and --end, the contest period's first and last day (UTC), into `start` and `end`: when either is
/// given they replace the definition's periods (contest::RunPeriod holds the rule).
void addPeriodOptions(CLI::App& app, std::optional<std::chrono::sys_days>& start,
                      std::optional<std::chrono::sys_days>& end);

/// --jobs N, how much work runs at once, from 1 to `most` (`what` names it in an error: "threads").
CLI::Option* addJobsOption(CLI::App& app, unsigned& jobs, long long most, const std::string& what);

/// A tool's --help, made from the declarations of `app`: "Usage: NAME [options] POSITIONALS" (the
/// required options named before [options]); the app's description, one paragraph; then the options
/// group by group (CLI11's group(), in the order first declared; those of the group "" are left
/// out), each as its names, its value name and its description, aligned and wrapped; then `notes`
/// (examples, exit statuses), as given. The value name is the option's option_text() ("VALUE"
/// without one, none for a flag); a positional is listed when it has a description, named by its
/// option_text() or its name ("LOG..." when it takes several). A description gains "(required)"
/// and "(default: X)" for a captured default.
std::string helpText(const CLI::App& app, std::string_view notes = {});

}  // namespace host
