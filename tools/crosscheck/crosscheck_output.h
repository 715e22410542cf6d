#pragma once
// What the cross-check writes for people: the per-log report (CALL.ubn), results.csv and
// results.html. Plain texts from plain data, testable without the plug-in.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/crosscheck/crosscheck.h"

namespace crosscheck {

/// The Cabrillo categories shown per log, in this order.
inline constexpr std::array<const char*, 6> kCategoryTags = {"CATEGORY-OPERATOR", "CATEGORY-ASSISTED",
                                                             "CATEGORY-BAND",     "CATEGORY-MODE",
                                                             "CATEGORY-POWER",    "CATEGORY-OVERLAY"};

/// A score as the plug-in's summary ends: "Score: Q*M = S".
struct Score {
    long long qsos = 0;
    long long multipliers = 0;
    long long score = 0;
};

/// Reads Q, M and S from the last "Score: Q*M = S" line of a summary; false when there is none.
bool parseScore(std::string_view summary, Score& score);

/// One QSO line of a report: the verdict, where the QSO stands, and what the verdict rests on.
struct ReportLine {
    Verdict verdict = Verdict::kVerified;
    std::uint64_t line = 0;
    std::string qsoLine;
    std::string evidence;
};

/// One usable log's results.
struct LogResult {
    std::string call;
    std::string file;        ///< the log file as given
    std::string reportFile;  ///< its report's file name in the output folder
    std::array<std::string, kCategoryTags.size()> categories;
    Score claimed, checked;
    std::array<std::size_t, 6> counts{};  ///< QSOs per Verdict
    std::size_t skippedLines = 0;         ///< QSO lines the reader could not use
};

/// A log that could not be used, and why.
struct UnusableLog {
    std::string file;
    std::string reason;
};

/// A file name for `call` that every file system takes: letters, digits and '-' kept, '/' as
/// '-', anything else as '_', names the systems reserve prefixed with '_'; never empty.
std::string safeFileName(std::string_view call);

/// The report of one log, CR LF lines: the head with the scores, then one line per QSO that lost
/// credit or is unique.
std::string reportText(const LogResult& log, const std::vector<ReportLine>& lines, std::int64_t windowSeconds,
                       bool uniquesRemoved);

/// results.csv: a header row, then one row per log (RFC 4180: CR LF, quoted where needed).
std::string csvText(const std::vector<LogResult>& logs);

/// results.html: the logs by category, sorted by checked score, each linked to its report; the
/// logs that could not be used below. Self-contained, in the style of the replay's report.
std::string htmlText(const std::vector<LogResult>& logs, const std::vector<UnusableLog>& unusable,
                     std::int64_t windowSeconds, bool uniquesRemoved);

}  // namespace crosscheck
