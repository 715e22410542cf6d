// The cross-check pipeline called as the robot calls it: the same results on any thread count,
// the texts it returns the files it writes, and the runs that give no result said so.
#include "tools/crosscheck/crosscheck_pipeline.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_files.h"
#include "tools/contest/definition_file.h"
#include "tools/crosscheck/contest_generator.h"
#include "tools/host/scratch_folder.h"

namespace fs = std::filesystem;
using namespace crosscheck;
using test_files::slurp;
using test_files::spit;

namespace {

class CrossCheckPipeline : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("crosscheck-pipeline-test-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        spit(dir_ / "cty.dat", countryFileText());
        contest_ = generateContest({8, 30, 4, 0.05});
        for (std::size_t i = 0; i < contest_.logs.size(); ++i)
            spit(dir_ / "logs" / (contest_.logs[i].call + ".log"), cabrilloText(contest_, i));
        request_.inputs = {"logs"};
        request_.baseFolder = dir_;
        request_.pluginLibrary = STATS_LIBRARY;
        request_.countryFile = "cty.dat";
        request_.start = kFirstDay;
        request_.end = kLastDay;
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    fs::path dir_;
    SyntheticContest contest_;
    CrossCheckRequest request_;
};

TEST_F(CrossCheckPipeline, SameResultsOnAnyThreadCountAndAsWritten) {
    std::vector<Progress> seen;
    request_.onProgress = [&](const Progress& p) { seen.push_back(p); };
    request_.outputFolder = "out";
    request_.jobs = 3;
    const CrossCheckRun threads = checkLogFiles(request_);
    ASSERT_TRUE(threads.ok()) << threads.failure;
    ASSERT_EQ(threads.logs.size(), contest_.logs.size());
    EXPECT_EQ(slurp(dir_ / "out/results.csv"), threads.resultsCsv);
    EXPECT_EQ(slurp(dir_ / "out/results.html"), threads.resultsHtml);
    for (const LogCheck& log : threads.logs) EXPECT_EQ(slurp(dir_ / "out" / log.result.reportFile), log.reportText);
    // Stages in order, each item counted once in order on any thread, the last one finished.
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_TRUE(seen[i - 1].stage < seen[i].stage ||
                    (seen[i - 1].stage == seen[i].stage && seen[i - 1].done < seen[i].done));
        EXPECT_LE(seen[i].done, seen[i].total);
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().stage, Stage::kWriting);
    EXPECT_EQ(seen.back().done, 1u);

    request_.onProgress = {};
    request_.outputFolder.clear();
    request_.jobs = 1;
    const CrossCheckRun single = checkLogFiles(request_);
    ASSERT_TRUE(single.ok()) << single.failure;
    EXPECT_EQ(single.resultsCsv, threads.resultsCsv);
    EXPECT_EQ(single.resultsHtml, threads.resultsHtml);
    EXPECT_EQ(single.notes, threads.notes);
    ASSERT_EQ(single.logs.size(), threads.logs.size());
    for (std::size_t k = 0; k < threads.logs.size(); ++k) EXPECT_EQ(single.logs[k].reportText, threads.logs[k].reportText);
    std::size_t flagged = 0;
    for (const LogCheck& log : threads.logs) flagged += log.lines.size();
    EXPECT_GE(flagged, contest_.faults.size() * 9 / 10);
}

// A run that cannot start fails with the reason; a run where no log is usable is no result.
TEST_F(CrossCheckPipeline, RunsWithoutAResult) {
    const struct {
        fs::path library, countries;
        const char* failure;
    } broken[] = {
        {dir_ / "nowhere.so", "cty.dat", "nowhere.so"},
        {STATS_LIBRARY, "missing.dat", "missing.dat: No such file or directory"},
        {STATS_LIBRARY, "logs", "cannot read the country file logs"},
    };
    for (const auto& b : broken) {
        request_.pluginLibrary = b.library;
        request_.countryFile = b.countries;
        const CrossCheckRun run = checkLogFiles(request_);
        EXPECT_NE(run.failure.find(b.failure), std::string::npos) << run.failure;
    }
    request_.pluginLibrary = STATS_LIBRARY;
    request_.countryFile.clear();
    request_.inputs = {"logs/" + contest_.logs[0].call + ".log", "nothing-here"};
    request_.end = kFirstDay - std::chrono::days{30};
    request_.start = request_.end;
    const CrossCheckRun none = checkLogFiles(request_);
    EXPECT_TRUE(none.ok()) << none.failure;
    EXPECT_FALSE(none.anyLogUsed());
    ASSERT_EQ(none.unusable.size(), 2u);
    EXPECT_EQ(none.unusable[0].reason, "no such file or folder");
    EXPECT_TRUE(none.unusable[1].reason.starts_with("no QSO in the contest period")) << none.unusable[1].reason;
}

// Each log is ranked in the rules' category its header gives (a Cabrillo 2.0 CATEGORY: line where
// the 3.0 tags are missing); a checklog and a log of no category are listed apart, never ranked.
// results.csv keeps the header's values and adds the category, or why the log is not ranked.
TEST_F(CrossCheckPipeline, TheRulesCategories) {
    const struct {
        const char* header;  // the CATEGORY lines the log has
        const char* first;   // results.csv: operator, assisted, band, mode, power, overlay
        const char* last;    // results.csv: transmitter, category, not_ranked
    } cases[] = {
        {"CATEGORY-OPERATOR: MULTI-OP\r\nCATEGORY-TRANSMITTER: TWO\r\n", "MULTI-OP,,,,,", "TWO,MULTI-OP,"},
        {"CATEGORY-OPERATOR: CHECKLOG\r\nCATEGORY-POWER: LOW\r\n", "CHECKLOG,,,,LOW,", ",,checklog"},
        {"CATEGORY-OPERATOR: SINGLE-OP\r\n", "SINGLE-OP,,,,,", ",,CATEGORY-POWER: missing"},
        {"CATEGORY: SINGLE-OP-ASSISTED ALL QRP CW\r\n", "SINGLE-OP,ASSISTED,ALL,CW,QRP,", ",SINGLE-OP QRP,"},
        {"CATEGORY: MULTI-TWO 40M HIGH\r\nCATEGORY-POWER: LOW\r\n", "MULTI-OP,,40M,,LOW,", "TWO,MULTI-OP,"},
        {"CATEGORY-OPERATOR: SINGLE-OP\r\nCATEGORY-POWER: high\r\n", "SINGLE-OP,,,,HIGH,",
         ",SINGLE-OP HIGH,"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::string text = cabrilloText(contest_, i);
        const std::size_t from = text.find("CATEGORY-"), to = text.find("CREATED-BY:");
        spit(dir_ / "logs" / (contest_.logs[i].call + ".log"),
             text.replace(from, to - from, cases[i].header));
    }
    const CrossCheckRun run = checkLogFiles(request_);
    ASSERT_TRUE(run.ok()) << run.failure;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string& call = contest_.logs[i].call;
        const std::size_t row = run.resultsCsv.find("\n" + call + ",");
        ASSERT_NE(row, std::string::npos) << call;
        const std::string line = run.resultsCsv.substr(row + 1, run.resultsCsv.find('\n', row + 1) - row);
        EXPECT_TRUE(line.starts_with(call + "," + cases[i].first + ",")) << line;
        EXPECT_TRUE(line.ends_with("," + std::string(cases[i].last) + "\r\n")) << line;
    }
    const std::string& html = run.resultsHtml;
    for (const char* shown :
         {"<h2>Checklogs, not ranked: 1</h2>", "<h2>Logs in none of the rules&#39; categories: 1</h2>",
          "<td class=\"why\">CATEGORY-POWER: missing</td>"})
        EXPECT_NE(html.find(shown), std::string::npos) << shown;
    // The rules' categories in their order: the single operators by power, then the multi-operators.
    EXPECT_LT(html.find("<h2>SINGLE-OP HIGH</h2>"), html.find("<h2>SINGLE-OP QRP</h2>"));
    EXPECT_LT(html.find("<h2>SINGLE-OP QRP</h2>"), html.find("<h2>MULTI-OP</h2>"));
    EXPECT_LT(html.find("<h2>MULTI-OP</h2>"), html.find("<h2>Checklogs"));
}

// Logs received but not accepted are counted and listed with the cross-check's unusable ones, and
// the reports name such a call for what it is; its QSOs score as with any station without a log.
// The links to the reports go with linkReports.
TEST_F(CrossCheckPipeline, LogsNotAcceptedAndTheLinks) {
    const contest::ContestDefinition nrau =
        contest::readDefinition(fs::path(STATS_SOURCE_DIR) / "contests/nrau-baltic-ssb.toml");
    const SyntheticContest made = generateContest({6, 30, 3, 0.0, &nrau});
    fs::remove_all(dir_ / "logs");
    for (std::size_t i = 1; i < made.logs.size(); ++i)
        spit(dir_ / "logs" / (made.logs[i].call + ".log"), cabrilloText(made, i));
    spit(dir_ / "logs/empty.log", "");
    request_.contest = nrau;
    request_.start.reset();
    request_.end.reset();
    const std::string refused = made.logs[0].call;
    const CrossCheckRun plain = checkLogFiles(request_);
    ASSERT_TRUE(plain.ok()) << plain.failure;
    request_.notAccepted = {{refused, "sent after the deadline <late>"}};
    request_.linkReports = false;
    const CrossCheckRun run = checkLogFiles(request_);
    ASSERT_TRUE(run.ok()) << run.failure;

    const std::string& html = run.resultsHtml;
    EXPECT_NE(html.find("Logs received, not scored: 2"), std::string::npos);
    EXPECT_NE(html.find("<td>" + refused + "</td><td class=\"err\">sent after the deadline &lt;late&gt;"),
              std::string::npos);
    EXPECT_EQ(html.find("<a "), std::string::npos);
    EXPECT_NE(plain.resultsHtml.find("<a href=\"" + run.logs[0].result.reportFile + "\">"),
              std::string::npos);
    EXPECT_EQ(run.resultsCsv, plain.resultsCsv);
    // The reports as before but for the wording.
    std::size_t named = 0;
    for (std::size_t k = 0; k < run.logs.size(); ++k) {
        std::string expected = plain.logs[k].reportText;
        for (std::size_t at = 0;
             (at = expected.find(refused + " sent no log and is", at)) != std::string::npos; ++named)
            expected.replace(at, refused.size() + 19, refused + ": log received, not accepted;");
        EXPECT_EQ(run.logs[k].reportText, expected);
    }
    EXPECT_GT(named, 0u);
}

// A log whose QSO lines change order once matched, its count the same, is not scored with the
// verdicts of the lines first read.
TEST_F(CrossCheckPipeline, ALogChangedAfterTheMatchingIsNotScored) {
    const fs::path file = dir_ / "logs" / (contest_.logs[0].call + ".log");
    request_.onProgress = [&](const Progress& p) {
        if (p.stage != Stage::kMatching || p.done != 1) return;
        std::string text = slurp(file);
        const std::size_t first = text.find("QSO:"), second = text.find("QSO:", first + 1);
        const std::string line = text.substr(first, second - first);
        text.insert(text.find('\n', second) + 1, line);
        spit(file, text.erase(first, line.size()));
    };
    const CrossCheckRun run = checkLogFiles(request_);
    const std::string changed = file.lexically_relative(dir_).generic_string() + ": the file changed";
    EXPECT_TRUE(std::any_of(run.notes.begin(), run.notes.end(), [&](const std::string& n) { return n.starts_with(changed); }));
}

// An ADIF field holding a line break leaves every report line whole.
TEST(CrossCheckReport, AFieldsLineBreakStaysOnItsLine) {
    LogResult log;
    log.call = "A1AA";
    const std::string text = reportText(log, {{Verdict::kBustedExchange, 3, "record 3", "received 1\r\nFAKE"}},
                                        {{"B1BB", 4, "record 4", "your number 2 as 1\nFAKE"}}, {180, false, Penalty::kNone, ""});
    EXPECT_EQ(text.find("\nFAKE"), std::string::npos) << text;
}

TEST(ScratchFolder, MadeForTheProcessAndRemovedWithIt) {
    const fs::path fallback = fs::temp_directory_path() / ("scratch-test-" + std::to_string(getpid()));
    fs::path made;
    {
        host::ScratchFolder outer;
        {
            host::ScratchFolder scratch;
            std::string error;
            ASSERT_TRUE(scratch.create("scratch-test", fallback, error)) << error;
            made = scratch.path();
            EXPECT_NE(made.filename().string().find(std::to_string(host::processId())), std::string::npos);
            spit(made / "Plugins/x.ini", "x");
            outer = std::move(scratch);
        }
        EXPECT_TRUE(fs::exists(made / "Plugins/x.ini"));
    }
    EXPECT_FALSE(fs::exists(made));
    fs::remove_all(fallback);
}

}  // namespace
