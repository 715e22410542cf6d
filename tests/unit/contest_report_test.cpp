// The contest report: its counts against the plug-in's own summary and err.txt lines for real runs,
// the counting on a made-up run, and hostile texts on the page.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/report/contest_report.h"
#include "tools/logs/cty.h"
#include "tools/report/html_page.h"
#include "tools/logs/log_input.h"
#include "tools/report/report_html.h"
#include "tools/host/replay_session.h"

namespace fs = std::filesystem;
using namespace replay;
using namespace host;
using namespace std::chrono;

namespace {

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t end; (end = text.find("\r\n")) != std::string_view::npos; text.remove_prefix(end + 2))
        out.emplace_back(text.substr(0, end));
    return out;
}

// Each log replayed through the real plug-in: the report's counts must be the summary's and err.txt's.
TEST(ContestReport, CountsAgreeWithThePluginsSummaryAndErrorLog) {
    const fs::path source = STATS_SOURCE_DIR;
    const struct {
        fs::path log;
        const char* cty;
    } logs[] = {{source / "samples" / "sa-tolven-sample.adi", nullptr},
                {source / "samples" / "sa-tolven-sample.cbr", "sa-tolven-cty.dat"}};
    for (const auto& [log, cty] : logs) {
        SCOPED_TRACE(log.string());
        CountryFile countries;
        std::string error;
        if (cty) {
            std::ifstream ctyFile(source / "samples" / cty, std::ios::binary);
            ASSERT_TRUE(countries.load(ctyFile, error)) << error;
        }
        const fs::path dir = fs::temp_directory_path() / ("contest-report-test-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "Plugins");
        const fs::path startDir = fs::current_path();
        fs::current_path(dir);
        PluginLibrary library;
        ASSERT_TRUE(library.load(STATS_LIBRARY, error)) << error;
        std::ifstream in(log, std::ios::binary);
        LoadedLog loaded;
        ASSERT_TRUE(readLog(in, log.string(), cty ? &countries : nullptr, loaded, [](const std::string&) {}));
        const ReplayLog& contacts = loaded.contacts;
        ContestReport report;
        ContestSetup setup;
        setup.ownCall = loaded.ownCall;
        const ReplayResult result = replayContest(library.exports(), contacts, setup, [&](const QsoOutcome& o) {
            const auto t = contacts.texts(o.index);
            report.add({contacts[o.index].when, contacts[o.index].record, t[ReplayLog::kBand], t[ReplayLog::kMode],
                        t[ReplayLog::kCall], t[ReplayLog::kPrefix], o.check, o.hint, o.added, o.errorLines});
        });
        const std::vector<std::string> errorLog = lines(slurp("err.txt").substr(result.errorLogStart));
        library.unload();
        fs::current_path(startDir);
        fs::remove_all(dir);

        const SummaryTable summary = parseSummary(result.summary);
        ReportPageInfo info;
        info.summary = result.summary;
        const std::string page = reportPage(report, info);
        EXPECT_NE(page.find("<th>The plug-in&#39;s score for these QSOs</th><td class=\"num\">" +
                            html::grouped(std::stoll(summary.score)) + "</td>"),
                  std::string::npos);
        ASSERT_GE(summary.rows.size(), 2u);
        const auto& total = summary.rows.back();
        ASSERT_EQ(total[0], "Total");
        EXPECT_EQ(std::to_string(report.qsos()), total[1]);
        EXPECT_EQ(std::to_string(report.multipliers()), total[3]);
        EXPECT_EQ(std::to_string(report.qsos() * report.multipliers()), summary.score);
        EXPECT_EQ(report.prefixes().size(), report.multipliers());
        for (std::size_t row = 1; row + 1 < summary.rows.size(); ++row) {
            const auto band = std::find(report.bands().begin(), report.bands().end(), summary.rows[row][0]);
            ASSERT_NE(band, report.bands().end()) << summary.rows[row][0];
            std::uint64_t qsos = 0;
            for (const auto& [n, h] : report.hours()) qsos += h.bands[band - report.bands().begin()].qsos;
            EXPECT_EQ(std::to_string(qsos), summary.rows[row][1]) << summary.rows[row][0];
        }

        // err.txt: the rejections with their reasons in order, then as many DUPE lines as the dupes gave.
        std::vector<std::string> reasons;
        std::uint64_t dupeLines = 0;
        for (const std::string& line : errorLog)
            if (line.ends_with("   DUPE !!!"))
                ++dupeLines;
            else
                reasons.push_back(line.substr(line.rfind("   ") + 3));
        ASSERT_EQ(reasons.size(), report.rejectedCount());
        for (std::size_t i = 0; i < report.rejected().size(); ++i) EXPECT_EQ(report.rejected()[i].text, reasons[i]);
        EXPECT_EQ(report.dupeLines(), dupeLines);
        std::map<std::uint64_t, std::string> callOf;
        for (std::size_t i = 0; i < contacts.size(); ++i) callOf[contacts[i].record] = contacts.texts(i)[ReplayLog::kCall];
        for (const Problem& dupe : report.dupes()) {
            EXPECT_NE(dupe.repeats, dupe.record);
            EXPECT_EQ(callOf[dupe.repeats], dupe.call) << "record " << dupe.record;
        }
    }
}

ReportContact contact(int minute, std::uint64_t record, const char* band, const char* call, int check, int added,
                      const char* hint = "", const char* errorLines = "") {
    return {sys_seconds{hours{24 * 20519 + 12} + minutes{minute}}, record, band, "CW", call, "LU1", check, hint,
            added, errorLines};
}

TEST(ContestReport, CountsAMadeUpRun) {
    ContestReport r;
    const ReportContact run[] = {
        contact(0, 1, "40m", "LU1AA", 2, 1, "New mult !!! LU1 New SA Prefix !!!"),
        contact(5, 2, "40m", "K1AB", 2, 1),
        contact(9, 3, "80m", "LU2BB", 2, 0, "New mult !!! LU2 New SA Prefix !!!",
                "QSO:  3525  CW  2026-03-07 1209  CE1TLV  599  3  LU2BB  599  7   NO CONTEST BAND !!!\r\n"),
        contact(61, 4, "20m", "LU2BB", 2, 1, "New mult !!! LU2 New SA Prefix !!!"),
        contact(100, 5, "40m", "LU1AA", 0, 1, "", "DUPE line\r\n"),
        contact(101, 6, "40m", "LU1AA", 0, 1, "", "DUPE line\r\nDUPE line\r\n"),
        contact(102, 7, "40m", "PY1ZZ", 2, 1, "unexpected hint"),
    };
    for (const ReportContact& c : run) r.add(c);
    EXPECT_EQ(r.contacts(), 7u);
    EXPECT_EQ(r.qsos(), 4u);
    EXPECT_EQ(r.multipliers(), 2u) << "LU1, LU2 once taken; an odd hint names the contact's own prefix, LU1";
    EXPECT_EQ(r.rejectedCount(), 1u);
    ASSERT_EQ(r.rejected().size(), 1u);
    EXPECT_EQ(r.rejected()[0].text, "NO CONTEST BAND !!!");
    EXPECT_EQ(r.dupeCount(), 2u);
    EXPECT_EQ(r.dupeLines(), 3u);
    EXPECT_EQ(r.dupes()[1].repeats, 1u);
    EXPECT_EQ(r.prefixes().at("LU2").record, 4u);
    EXPECT_EQ(r.bands(), (std::vector<std::string>{"40m", "20m"}));
    ASSERT_EQ(r.hours().size(), 2u);
    const HourCounts& first = r.hours().begin()->second;
    EXPECT_EQ(first.bands[0].qsos, 2u);
    EXPECT_EQ(first.bands[0].newPrefixes, 1u);
    EXPECT_EQ(first.rejected, 1u);
    const HourCounts& second = r.hours().rbegin()->second;
    EXPECT_EQ(second.bands[1].newPrefixes, 1u);
    EXPECT_EQ(second.bands[0].dupes, 2u);
    ASSERT_EQ(r.breaks().size(), 2u) << "9 -> 61 and 61 -> 100 minutes";
    EXPECT_EQ(r.timeOn(), minutes{102 - 52 - 39});
    ASSERT_EQ(r.running().size(), 4u);
    EXPECT_EQ(r.running().back().qsos, 4u);

    for (int i = 0; i < 250; ++i) r.add(contact(200, 100 + i, "80m", "X", 2, 0));
    EXPECT_EQ(r.rejectedCount(), 251u);
    EXPECT_EQ(r.rejected().size(), ContestReport::kListed);
    for (int i = 0; i < 3; ++i) r.addFinding(10 + i, i == 0, "rule", "finding");
    EXPECT_EQ(r.errorCount(), 1u);
    EXPECT_EQ(r.warningCount(), 2u);

    // Grouped by reason and band, each group listing its first contacts; a finding at a rejected
    // QSO's line is counted but listed with that QSO only.
    ASSERT_EQ(r.rejectedGroups().size(), 2u);
    EXPECT_EQ(r.rejectedGroups()[1].reason, "rejected (no err.txt line)");
    EXPECT_EQ(r.rejectedGroups()[1].count, 250u);
    EXPECT_EQ(r.rejectedGroups()[1].first.size(), ContestReport::kGroupListed);
    ASSERT_EQ(r.dupeGroups().size(), 1u);
    EXPECT_EQ(r.dupeGroups()[0].count, 2u);
    r.addFinding(3, false, "outside the contest bands", "frequency '3525' kHz is outside the contest bands (7000-7300 and 14000-14350 kHz)");
    r.addFinding(20, false, "outside the contest bands", "frequency '21035' kHz is outside the contest bands (7000-7300 and 14000-14350 kHz)");
    EXPECT_EQ(r.findingsOnProblemQsos(), 1u);
    ASSERT_EQ(r.findingGroups().size(), 2u);
    EXPECT_EQ(r.findingGroups()[1].reason, "outside the contest bands");
    EXPECT_EQ(r.findingGroups()[1].first.at(0).record, 20u);
    EXPECT_EQ(r.prefixes().at("LU1").qsos, 2u) << "LU1AA and the odd hint naming LU1; not the dupes";
}

TEST(HtmlPage, EscapesAnyBytesIntoTextAndValidUtf8) {
    const struct {
        std::string_view in;
        std::string_view out;
    } cases[] = {
        {"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"&amp; \"q\"", "&amp;amp; &quot;q&quot;"},
        {"S\xC3\xA3o Paulo \xE2\x82\xAC \xF0\x9F\x93\xBB", "S\xC3\xA3o Paulo \xE2\x82\xAC \xF0\x9F\x93\xBB"},
        {"a\tb\nc", "a\tb\nc"},
        {std::string_view("\x00\x01\x7F", 3), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xFF\xC3", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC2\x85|\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80", "\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) EXPECT_EQ(html::escaped(c.in), c.out) << c.in;
    EXPECT_EQ(html::grouped(1234567), "1\xE2\x80\x89" "234\xE2\x80\x89" "567");
    EXPECT_EQ(html::grouped(-12), "-12");
}

TEST(ReportPage, HostileTextsShowAsTextAndThePageNeedsNothingFromOutside) {
    ContestReport r;
    r.add(contact(0, 1, "<b>40m", "<script>alert(1)</script>", 2, 1, "New mult !!! <img src=x> New SA Prefix !!!"));
    r.add(contact(1, 2, "40m", "&amp;", 2, 0, "", "QSO: ...   <i>REASON</i>\r\n"));
    r.add(contact(200, 3, "<b>40m", "K1", 2, 1));  // the band's break and run rows name it too
    r.addFinding(3, true, "unknown </td>", "tag </td> unknown");
    ReportPageInfo info;
    info.logName = "<log>.adi";
    info.summary = "\tSA TOLVEN CONTEST <x>\r\n\t\tContestant: <script> \r\n\tQSOs\r\nTotal\t 1\r\n\r\nScore: 1*1 = 1\r\n";
    info.header = {{"SOAPBOX", "<script>alert(2)</script> &amp;"}, {"NAME", "O'Brien & \"Sons\""}};
    const std::string page = reportPage(r, info);
    for (std::string_view raw : {"<script", "<img", "<b>40m", "<i>REASON", "</td> unknown", "src=\"", "href=\"", "<link",
                                 "url(", "@import", "http"})
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    for (std::string_view shown : {"&lt;script&gt;alert(1)&lt;/script&gt;", "&amp;amp;", "&lt;img src=x&gt;",
                                   "&lt;i&gt;REASON&lt;/i&gt;", "O&#39;Brien &amp; &quot;Sons&quot;", "&lt;log&gt;.adi"})
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
}

}  // namespace
