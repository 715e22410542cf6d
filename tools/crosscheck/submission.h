#pragma once
// The logs as the committee receives them: the files named, each read and judged usable or not
// with the reason, and the usable ones as the matching takes them.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/contest/contest_choice.h"
#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"
#include "tools/logs/log_input.h"

namespace logs {
class CountryFile;
}

namespace crosscheck {

/// A log file to read and the name it is shown by.
struct LogFile {
    std::filesystem::path path;
    std::string shown;  ///< with '/' on every system, relative to the base folder where it lies below it
};

/// What decides whether a log is used.
struct SubmissionRules {
    std::optional<std::chrono::sys_days> start, end;  ///< the contest period, if checked
    std::vector<std::string> acceptContests;          ///< other CONTEST: names taken (upper case)
    bool callFromName = false;                        ///< a log naming no station is its file's stem
    /// The contest as resolved (not owned): it names the contest, lays out the QSO lines and gives
    /// the periods where start and end are not given (contest::RunPeriod).
    const contest::ContestDefinition* contest = &contest::builtinContest();
    /// The logs are read as the plug-in's host reads them (its own contest), not by the layout.
    bool hostLayout = false;
};

/// A log as read, with what the committee needs of it.
struct Submission {
    LogFile source;
    logs::LoadedLog loaded;
    std::vector<Qso> qsos;  ///< a log read by a contest's definition: its QSOs (loaded holds no contacts)
    std::string call;
    std::string problem;                ///< why it cannot be used; empty when it can
    std::vector<std::string> notes;     ///< the reader's notes
    std::vector<std::string> warnings;  ///< about a log that is used all the same
    std::array<std::string, kCategoryTags.size()> categories;
};

/// The logs of `inputs` (files, or folders opened one level deep in name order; relative to
/// `base`); "-" stands for `standardInput`. Inputs that do not exist go to `unusable`.
std::vector<LogFile> logFiles(const std::vector<std::string>& inputs, const std::filesystem::path& base,
                              const std::filesystem::path& standardInput, std::vector<UnusableLog>& unusable);

/// Reads `s.source` and judges it: `s.problem` says why it cannot be used.
void readSubmission(Submission& s, const logs::CountryFile* countries, const SubmissionRules& rules);

/// The value of the header tag `tag` (upper case, trimmed; "" when missing). A category tag the
/// log leaves out is taken from a Cabrillo 2.0 CATEGORY: line where that names its value.
std::string headerCategory(const logs::LoadedLog& log, std::string_view tag);

/// Usable logs with one call: copies of one log (the same QSOs) give the first; logs that differ,
/// none, whatever the order they came in.
void setAsideSharedCalls(std::vector<Submission>& submissions);

/// The contacts of a usable log as the matching takes them; a log read by a definition gives up its
/// QSOs to it.
StationLog stationLog(Submission& s);

/// True when `contacts` are the QSOs `log` was made of (a file read again may have changed).
bool sameContacts(const StationLog& log, const logs::ReplayLog& contacts);

/// `s` with a-z as A-Z.
std::string upperCase(std::string s);

}  // namespace crosscheck
