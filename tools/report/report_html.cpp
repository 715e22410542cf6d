#include "tools/report/report_html.h"

#include "tools/report/html_page.h"
#include "tools/report/report_format.h"
#include "tools/report/report_sections.h"

namespace report {
namespace {

constexpr std::string_view kExtraStyle =
    ".notice{background:#fff4e5;border:1px solid #e0a050;border-radius:8px;padding:10px 14px;margin:16px 0}\n"
    ".one{color:#b3261e}\n"
    "td.num{white-space:nowrap}\n"
    ".tile{flex:1 1 100px}\n"
    "ul.counts{margin:4px 0 8px;padding-left:20px}\n"
    "table.claim th{background:none;font-weight:400}\n"
    ".names{line-height:1.7;word-spacing:4px}\n";

}  // namespace

std::string reportPage(const ContestReport& r, const ReportPageInfo& info, const ContestReport* other,
                       const ReportPageInfo* otherInfo) {
    const SummaryTable summary = parseSummary(info.summary);
    const std::string call = callOf(summary, info);
    const ReportAnalysis analysis = analyseReport(r, info.minBreak, info.period);

    std::string out;
    out.reserve(64 * 1024);
    html::beginPage(out, (call.empty() ? std::string("Contest report") : call) + " \xE2\x80\x93 " + summary.title,
                            kExtraStyle);
    pageHeader(out, r, summary, info);
    out += "<main>\n";
    noticeBox(out, info);
    keyFigures(out, r, summary, info, analysis);
    scoreSection(out, summary, info);
    if (r.contacts()) {
        rateSections(out, r, analysis, bandChangesOf(r, info), info.words);
        timeSection(out, r, analysis);
        runSection(out, r, analysis);
    }
    prefixSection(out, r, info.words);
    if (other && otherInfo) compareSection(out, r, info, analysis, *other, *otherInfo);
    problemSection(out, r, info);
    out += "</main>\n";
    html::endPage(out, "Written by " + info.generator + " from " + std::string(fileNameOf(info.logName)) + ". " +
                           info.words.source);
    return out;
}

}  // namespace report
