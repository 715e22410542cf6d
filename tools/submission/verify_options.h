#pragma once
// The command line of stats-verify.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/contest/contest_choice.h"

namespace verify {

/// What the command line asks for.
struct VerifyOptions {
    std::string logFile;  ///< the log; "-": standard input
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
    std::string call;     ///< own call for the replay; empty: CALLSIGN:
    std::string country;  ///< own country prefix; empty: from the country file
    std::string dir;      ///< the plug-in's folder; empty: a scratch folder
    std::string cty;      ///< country file; empty: searched; "none": no file
    std::string library;  ///< the plug-in; empty: next to the tool
    std::string contestFile;  ///< --contest: a contest definition file; empty: SA-TOLVEN
    /// The contest resolved from contestFile: the built-in SA-TOLVEN without one.
    contest::ContestDefinition contest = contest::builtinContest();
    bool help = false;
    bool version = false;
};

/// Parses the arguments after the program name; false with a one-line `error`.
bool parseVerifyOptions(const std::vector<std::string_view>& args, VerifyOptions& options,
                        std::string& error);

/// The --help text, made from the options' declarations (host::helpText).
std::string verifyUsageText();

}  // namespace verify
