#pragma once
// The contest report as one self-contained HTML page: key figures, the plug-in's score summary,
// the rate per hour and band (chart and table), the running totals, the SA prefixes, the problems
// and the breaks. Inline CSS and SVG only: it reads the same offline and with scripts disabled.

#include <string>
#include <utility>
#include <vector>

#include "tools/report/contest_report.h"
#include "tools/report/report_analysis.h"

namespace report {

/// What the page shows beside the counts.
struct ReportPageInfo {
    std::string logName;          ///< the log file as given
    std::string placeWord = "record";  ///< how the file's places are named: "record" or "line"
    std::string summary;          ///< GetResult0's text
    /// Cabrillo header tags with their values (the export's, or the input's): categories, name, soapbox.
    std::vector<std::pair<std::string, std::string>> header;
    std::string generator;        ///< "stats-replay 1.2.3"
    /// QSOs whose continent is not known (no country file): their SA prefixes are not counted.
    std::uint64_t continentUnknown = 0;
    /// The check's finding about CLAIMED-SCORE ("line 12: CLAIMED-SCORE: 5 differs ..."), or why
    /// the claim was not compared; empty when it agrees or the log claims none.
    std::string claimFinding;
    std::chrono::minutes minBreak{30};
    TimePeriod period;  ///< the contest period of --start/--end
};

/// The page. Its size is bounded by the hours and the listed entries, not by the contacts. With
/// `other`, a second log (kept with `keepCalls`) is set beside the first.
std::string reportPage(const ContestReport& report, const ReportPageInfo& info, const ContestReport* other = nullptr,
                       const ReportPageInfo* otherInfo = nullptr);

}  // namespace report
