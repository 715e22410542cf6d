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

/// How the page names who scored the log and what its multipliers are. The defaults are
/// SA-TOLVEN's: the plug-in and its SA prefixes; another contest is scored by its definition.
struct ReportWords {
    std::string scorer = "the plug-in";       ///< "score, as the plug-in computes it"
    std::string scoreName = "The plug-in's score for these QSOs";
    std::string multiplier = "SA prefix";     ///< one multiplier
    std::string multipliers = "SA prefixes";  ///< several
    std::string unit = "prefix", units = "prefixes", unitHead = "Prefix";  ///< in the multipliers' own list
    std::string newColumn = "New SA";         ///< the hour table's column of new multipliers
    std::string newExplained = "the QSOs for which the plug-in announced a new SA prefix while the call was typed";
    std::string running = "score (QSOs \xC3\x97 SA prefixes)";  ///< the running chart's third line
    std::string source =  ///< the page's last words: where every count comes from
        "Every count comes from the plug-in's answers while the log was replayed: AddData0, its err.txt lines, "
        "and CheckCall0 asked before each QSO.";
};

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
    ReportWords words;
};

/// The page. Its size is bounded by the hours and the listed entries, not by the contacts. With
/// `other`, a second log (kept with `keepCalls`) is set beside the first.
std::string reportPage(const ContestReport& report, const ReportPageInfo& info, const ContestReport* other = nullptr,
                       const ReportPageInfo* otherInfo = nullptr);

}  // namespace report
