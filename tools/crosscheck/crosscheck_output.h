#pragma once
// What the cross-check writes for people: the per-log report (CALL.ubn), results.csv and
// results.html. Plain texts from plain data, testable without the plug-in.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/logs/score_line.h"

namespace crosscheck {

/// The Cabrillo categories kept per log, in the order of results.csv's columns (the transmitter
/// came last and is the last column, so the older columns keep their places).
inline constexpr std::array<const char*, 7> kCategoryTags = {
    "CATEGORY-OPERATOR", "CATEGORY-ASSISTED", "CATEGORY-BAND",       "CATEGORY-MODE",
    "CATEGORY-POWER",    "CATEGORY-OVERLAY",  "CATEGORY-TRANSMITTER"};

/// A score as the plug-in's summary ends: "Score: Q*M = S".
using Score = logs::Score;

/// One QSO line of a report: the verdict, where the QSO stands, and what the verdict rests on.
struct ReportLine {
    Verdict verdict = Verdict::kVerified;
    std::uint64_t line = 0;
    std::string qsoLine;
    std::string evidence;
    std::string label;  ///< the verdict as shown, where it says more than its name; "" for the name
};

/// A QSO of another log that miscopied this station's call or number.
struct CopiedLine {
    std::string call;  ///< the other log's station
    std::uint64_t line = 0;
    std::string qsoLine;
    std::string evidence;  ///< what it wrote, and this log's line
};

/// What a NIL or a busted call costs beyond the lost QSO.
enum class Penalty : std::uint8_t { kNone, kLossPlusOne, kDouble };

/// "none", "loss-plus-one", "double".
std::string_view penaltyName(Penalty penalty);

/// The QSOs a NIL or a busted call costs beyond itself under `penalty`.
int penaltyQsos(Penalty penalty);

/// One usable log's results.
struct LogResult {
    std::string call;
    std::string file;        ///< the log file as given
    std::string reportFile;  ///< its report's file name in the output folder
    std::array<std::string, kCategoryTags.size()> categories;
    contest::Placement placement;  ///< where it stands in the rules' categories
    Score claimed, checked;
    std::array<std::size_t, kVerdictCount> counts{};  ///< QSOs per Verdict
    std::array<std::size_t, kVerdictCount> lost{};    ///< of those, the QSOs that lost credit
    std::size_t skippedLines = 0;                     ///< QSO lines the reader could not use
    std::size_t qsoLines = 0;                         ///< QSO lines read
    long long clockOffsetMinutes = 0;                 ///< how far the log's clock is ahead
    std::size_t offsetMatches = 0;                    ///< the exact matches the offset rests on
    long long penaltyQsos = 0;                        ///< QSOs the penalty takes beyond the lost ones
    long long finalScore = 0;                         ///< (checked QSOs - penalty) * checked multipliers
    std::vector<std::string> warnings;                ///< about the log as read (an accepted other contest)
    /// Scored by the contest's definition (not the plug-in): the scores' points, and the claimed
    /// points each verdict took (the penalties' apart, in penaltyQsos).
    bool byDefinition = false;
    long long claimedPoints = 0, checkedPoints = 0;
    std::array<long long, kVerdictCount> lostPoints{};
};

/// How a report is headed: the committee's choices.
struct ReportSettings {
    std::int64_t windowSeconds = 180;
    bool uniquesRemoved = false;
    Penalty penalty = Penalty::kNone;
    std::string period;  ///< "2026-03-07 to 2026-03-08", empty when not checked
    std::string contest;  ///< the contest's name as its logs give it
};

/// The QSOs claimed minus the QSOs checked, by the verdicts that took them: every QSO the
/// plug-in counts in the claimed score and that lost credit (dupes, other bands and modes and
/// QSOs without a number it never counts).
std::vector<std::pair<Verdict, std::size_t>> deductions(const LogResult& log);

/// A log that could not be used, and why.
struct UnusableLog {
    std::string file;
    std::string reason;
};

/// A log received but not accepted for the cross-check (the robot refused it), and why.
struct ReceivedLog {
    std::string call;
    std::string reason;
};

/// What results.html shows beside the scored logs, and how.
struct ResultsPage {
    std::vector<UnusableLog> unusable;     ///< the logs the cross-check could not use
    std::vector<ReceivedLog> notAccepted;  ///< the logs received but never given to it
    bool linkReports = true;               ///< each call links to its report in the same folder
};

/// A file name for `call` that every file system takes: letters, digits and '-' kept, '/' as
/// '-', anything else as '_', names the systems reserve prefixed with '_'; never empty.
std::string safeFileName(std::string_view call);

/// The report of one log, CR LF lines: the head with the scores, then one line per QSO that lost
/// credit or is unique.
std::string reportText(const LogResult& log, const std::vector<ReportLine>& lines,
                       const std::vector<CopiedLine>& copied, const ReportSettings& settings);

/// results.csv: a header row, then one row per log (RFC 4180: CR LF, quoted where needed); with
/// `withPoints` (a contest scored by its definition) the claimed and checked points last.
std::string csvText(const std::vector<LogResult>& logs, bool withPoints = false);

/// results.html: the logs by category, sorted by final score, each linked to its report (unless
/// `page` says not); the logs received but not scored below. Self-contained, in the style of the
/// replay's report.
std::string htmlText(const std::vector<LogResult>& logs, const ResultsPage& page,
                     const ReportSettings& settings);

}  // namespace crosscheck
