#pragma once
// The sections of the contest report page, each appended to the page in turn: the header with the
// key figures, the score, the rates, time on and breaks, run or search and pounce, the SA prefixes,
// the comparison with a second log and the problems.

#include <string>
#include <string_view>

#include "tools/report/contest_report.h"
#include "tools/report/report_analysis.h"
#include "tools/report/report_html.h"

namespace report {

/// How the page counts band changes.
enum class BandChanges {
    kInOrder,         ///< a single transmitter: each contact against the one before
    kPerTransmitter,  ///< the log gives transmitter ids: each against its transmitter's contact before
    kNotKnown,        ///< several transmitters and no ids: the changes mean nothing, none shown
};
/// The log's kind: more than one transmitter (CATEGORY-TRANSMITTER other than ONE, or several ids).
BandChanges bandChangesOf(const ContestReport& r, const ReportPageInfo& info);

/// The contestant's call: the summary's, else the log's CALLSIGN, else "".
std::string callOf(const SummaryTable& s, const ReportPageInfo& info);
/// The value of a header tag of the log, "" when it has none.
std::string headerValue(const ReportPageInfo& info, std::string_view tag);

/// The page's top: call, contest, first and last QSO, categories and soapbox.
void pageHeader(std::string& out, const ContestReport& r, const SummaryTable& summary, const ReportPageInfo& info);
/// A warning when QSOs had no continent, so that the SA prefixes are too few.
void noticeBox(std::string& out, const ReportPageInfo& info);
/// The tiles of key figures: score (and claim), QSOs, SA prefixes, dupes, rejected, time on, best hour.
void keyFigures(std::string& out, const ContestReport& r, const SummaryTable& summary, const ReportPageInfo& info,
                const ReportAnalysis& a);
/// The plug-in's score summary, set against the claimed score.
void scoreSection(std::string& out, const SummaryTable& s, const ReportPageInfo& info);
/// The rates: the charts per hour and band and over the contest, the best rates, the hour table.
void rateSections(std::string& out, const ContestReport& r, const ReportAnalysis& a, BandChanges changes,
                  const ReportWords& words);
/// Time on and breaks, of the station and per band.
void timeSection(std::string& out, const ContestReport& r, const ReportAnalysis& a);
/// Run or search and pounce, by band and hour.
void runSection(std::string& out, const ContestReport& r, const ReportAnalysis& a);
/// The SA prefixes (the contest's multipliers) with the QSO that first gave each.
void prefixSection(std::string& out, const ContestReport& r, const ReportWords& words);
/// The second log beside the first: key figures, the difference over time, what only one worked.
void compareSection(std::string& out, const ContestReport& a, const ReportPageInfo& infoA,
                    const ReportAnalysis& analysisA, const ContestReport& b, const ReportPageInfo& infoB);
/// Rejected QSOs, dupes and the Cabrillo check's findings, grouped.
void problemSection(std::string& out, const ContestReport& r, const ReportPageInfo& info);

}  // namespace report
