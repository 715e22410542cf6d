#pragma once
// The report page's SVG charts: QSOs per hour and band, the rate curve, the running totals and the
// difference between two logs, all over one time axis. Inline SVG styled by the shared style sheet.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/report/contest_report.h"
#include "tools/report/report_analysis.h"
#include "tools/report/report_html.h"

namespace report {

/// The hours grouped into at most kMaxBars bars of a whole number of hours each, aligned to UTC
/// midnight when a bar is a divisor of a day.
struct Bars {
    static constexpr std::size_t kMaxBars = 72;
    std::int64_t hoursPer = 1;
    std::int64_t firstHour = 0;
    std::size_t count = 0;
    std::vector<std::vector<std::uint32_t>> qsos;  ///< [bar][band]
    std::vector<std::uint32_t> dupes, newPrefixes, rejected;

    /// Where bar `i` starts.
    std::chrono::sys_seconds start(std::size_t i) const {
        return std::chrono::sys_seconds{std::chrono::hours{firstHour + static_cast<std::int64_t>(i) * hoursPer}};
    }
};

/// The bars of the report's hours; none when it has no hour.
Bars makeBars(const ContestReport& r);

/// A small square in band k's colour, for legends and table heads.
std::string swatch(std::size_t k);

/// QSOs per bar, stacked by band, with its heading and legend.
void rateChart(std::string& out, const ContestReport& r, const Bars& b, const ReportWords& words);
/// The rate in the analysis' steps as QSOs per hour.
void rateCurve(std::string& out, const ReportAnalysis& a, const Bars& b);
/// QSOs, SA prefixes (the multipliers) and the score over the contest, the station's breaks shaded.
void runningChart(std::string& out, const ContestReport& r, const Bars& b, const ReportAnalysis& a,
                  const ReportWords& words);
/// How far log `a` is ahead of `b` in QSOs and score over the contest.
void differenceChart(std::string& out, const ContestReport& a, const ContestReport& b, const std::string& callA,
                     const std::string& callB);

}  // namespace report
