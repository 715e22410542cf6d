// The pipelines as library calls, as the tools and the log robot call them: the start-up, replayLog
// and checkLog against the real plug-in, on logs given as bytes, in a scratch folder of their own.
#include "tools/replay/replay_pipeline.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tools/host/startup.h"
#include "tools/logs/csv_field.h"
#include "tools/logs/score_line.h"
#include "tools/replay/qso_csv.h"
#include "tools/submission/check_log.h"

namespace fs = std::filesystem;

namespace {

class Pipelines : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv(host::kLocalCountryFileVariable, "1", 1);
        back_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("stats-pipeline-test-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
        std::ofstream("cty.dat") << "Brazil: 11: 15: SA: -10.00: 53.00: 3.0: PY:\n    PY;\n"
                                    "Argentina: 13: 14: SA: -34.80: 65.92: 3.0: LU:\n LU,LW;\n";
    }
    void TearDown() override {
        fs::current_path(back_);
        if (!HasFailure()) fs::remove_all(dir_);
    }
    host::Startup start(const std::string& cty) {
        host::Startup startup;
        std::string error;
        EXPECT_TRUE(startup.open({"test", nullptr, cty, {}, STATS_LIBRARY}, error)) << error;
        return startup;
    }

    fs::path back_, dir_;
};

std::string adif(const char* call, const char* band, const char* freq, const char* time, const char* srx) {
    return std::string("<CALL:") + std::to_string(std::string(call).size()) + ">" + call + "<BAND:3>" + band +
           "<FREQ:" + std::to_string(std::string(freq).size()) + ">" + freq +
           "<MODE:2>CW<RST_SENT:3>599<RST_RCVD:3>599<QSO_DATE:8>20260307<TIME_ON:4>" + time +
           "<STX:1>1<SRX:" + std::to_string(std::string(srx).size()) + ">" + srx + "<EOR>\n";
}

TEST(ScoreLine, ReadOnceFromTheSummary) {
    struct Case {
        const char* summary;
        std::optional<logs::Score> score;
    } cases[] = {
        {"\tQSOs\r\nTotal\t 261\r\n\r\nScore: 261*52 = 13572\r\n", logs::Score{261, 52, 13572}},
        {"Score: 1*0 = 0", logs::Score{1, 0, 0}},
        {"Score: 1*1 = 1\r\nScore: 2*3 = 6\r\n", logs::Score{2, 3, 6}},
        {"Score: 007*2 = 14", logs::Score{7, 2, 14}},
        {"no score here", std::nullopt},
        {"Score: x*1 = 1", std::nullopt},
        {"Score: 1*1 =", std::nullopt},
        {"Score: 99999999999999999999*1 = 1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(logs::parseScore(c.summary), c.score) << c.summary;
}

TEST(QsoCsv, FieldsAsRfc4180) {
    for (const auto& [in, out] : {std::pair{"CE1TLV", "CE1TLV"},
                                  {"", ""},
                                  {"a,b", "\"a,b\""},
                                  {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                  {"two\r\nlines", "\"two\r\nlines\""}})
        EXPECT_EQ(logs::csvField(in), out) << in;
}

// Accepted, new SA prefixes, a run on one frequency, a dupe and a band the rules reject; the
// export's file named after the own call; the report page; the table of answers.
TEST_F(Pipelines, ReplayGivesTypedAnswers) {
    host::Startup startup = start("cty.dat");
    replay::ReplayRequest request;
    request.log = host::LogSource::text(
        "<EOH>\n" + adif("PY3L", "40m", "7.0120", "1200", "24") +
            adif("LU1AA", "40m", "7.01205", "1202", "7") + adif("K1ABC", "40m", "7.0120", "1204", "8") +
            adif("PY3L", "40m", "7.0121", "1205", "25") + adif("LU2BB", "80m", "3.5250", "1206", "9"),
        "log.adi");
    request.choices.call = "CE1TLV";
    request.workFolder = "work";
    request.exportLog = true;
    request.report = true;
    request.answers = true;
    const replay::ReplayOutcome out = replay::replayLog(startup, request);
    ASSERT_TRUE(out.replayed) << out.failure;
    EXPECT_EQ(out.exitStatus(), host::kExitOk);
    EXPECT_EQ(out.score, (logs::Score{3, 2, 6}));
    EXPECT_EQ(out.exportedFile, fs::absolute("work/CE1TLV.cbr"));
    EXPECT_TRUE(fs::exists(out.exportedFile));
    EXPECT_TRUE(out.exportFindings.empty()) << verify::findingsText("x", out.exportFindings);
    EXPECT_EQ(out.reportPage.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(fs::current_path(), dir_) << "the current folder is the same again";
    ASSERT_EQ(out.answers.size(), 5u);
    EXPECT_EQ(replay::qsoCsv(out.answers, "record"),
              "record,time,band,mode,call,sent,received,answer,reason,new_sa_prefix,operating,transmitter\r\n"
              "1,2026-03-07T12:00:00Z,40m,CW,PY3L,1,24,accepted,,PY3,run,\r\n"
              "2,2026-03-07T12:02:00Z,40m,CW,LU1AA,1,7,accepted,,LU1,run,\r\n"
              "3,2026-03-07T12:04:00Z,40m,CW,K1ABC,1,8,accepted,,,run,\r\n"
              "4,2026-03-07T12:05:00Z,40m,CW,PY3L,1,25,dupe,,,unknown,\r\n"
              "5,2026-03-07T12:06:00Z,80m,CW,LU2BB,1,9,rejected,NO CONTEST BAND !!!,,unknown,\r\n");
}

// A Cabrillo input: its check findings carry their rule, the transmitter id its QSO; a log that is
// none and a folder fail before anything runs.
TEST_F(Pipelines, CabrilloInputAndFailures) {
    host::Startup startup = start("none");
    replay::ReplayRequest request;
    request.log = host::LogSource::text(
        "START-OF-LOG: 3.0\nCALLSIGN: CE1TLV\nCONTEST: SA-TOLVEN\nE-MAIL: a@b\n"
        "QSO: 21035 CW 2026-03-07 1206 CE1TLV 599 001 PY3L 599 24 1\nEND-OF-LOG:\n",
        "log.cbr");
    request.report = true;
    request.answers = true;
    replay::ReplayOutcome out = replay::replayLog(startup, request);
    ASSERT_TRUE(out.replayed) << out.failure;
    EXPECT_TRUE(out.cabrillo);
    ASSERT_EQ(out.answers.size(), 1u);
    EXPECT_EQ(out.answers[0].transmitter, "1");
    EXPECT_TRUE(std::any_of(
        out.cabrilloFindings.begin(), out.cabrilloFindings.end(),
        [](const verify::CheckFinding& f) { return f.rule == verify::Rule::kBand && f.line == 5; }));
    EXPECT_NE(out.reportPage.find(std::string(verify::ruleTitle(verify::Rule::kUnknownTag))),
              std::string::npos);

    request.log = host::LogSource::text("just text\n", "x.txt");
    out = replay::replayLog(startup, request);
    EXPECT_FALSE(out.replayed);
    EXPECT_NE(out.failure.find("x.txt holds no QSO"), std::string::npos) << out.failure;
    request.log = host::LogSource::file(dir_, "here");
    EXPECT_EQ(replay::replayLog(startup, request).failure, "cannot read the log here: it is a folder");
}

// The check: the file's rules and the plug-in's dupes and score, each finding with its rule.
TEST_F(Pipelines, CheckNamesRulesAndComparesTheClaim) {
    const std::string log =
        "START-OF-LOG: 3.0\r\nCALLSIGN: CE1TLV\r\nCONTEST: SA-TOLVEN\r\nCLAIMED-SCORE: 99\r\n"
        "QSO:  7012 CW 2026-03-07 1206 CE1TLV 599 001 PY3L 599 24\r\n"
        "QSO:  7013 CW 2026-03-07 1210 CE1TLV 599 002 PY3L 599 25\r\n";
    struct Case {
        const char* cty;
        std::vector<verify::Rule> rules;
        bool compared;
        logs::Score score;
    } cases[] = {
        {"cty.dat",
         {verify::Rule::kClaimedScore, verify::Rule::kEndOfLog, verify::Rule::kDupe},
         true,
         {1, 1, 1}},
        {"none", {verify::Rule::kEndOfLog, verify::Rule::kDupe}, false, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        host::Startup startup = start(c.cty);
        const verify::CheckOutcome out = verify::checkLog(startup, {host::LogSource::text(log, "log.cbr")});
        std::vector<verify::Rule> rules;
        for (const verify::CheckFinding& f : out.findings) rules.push_back(f.rule);
        EXPECT_EQ(rules, c.rules) << c.cty << ": " << verify::findingsText("log.cbr", out.findings);
        EXPECT_EQ(out.claimCompared, c.compared) << c.cty;
        EXPECT_EQ(out.pluginScore, c.score) << c.cty;
        EXPECT_EQ(out.claimedScore, "99");
        EXPECT_EQ(out.exitStatus(), host::kExitFindings);
        EXPECT_EQ(out.notes.size(), c.compared ? 0u : 1u);
    }
    host::Startup startup = start("none");
    EXPECT_EQ(
        verify::checkLog(startup, {host::LogSource::file(dir_ / "missing.cbr", "missing.cbr")}).exitStatus(),
        host::kExitFailure);
}

// The country file: given, none, or searched in the current folder only (STATS_CTY_LOCAL).
TEST_F(Pipelines, StartupFindsTheCountryFile) {
    struct Case {
        const char* cty;
        bool loaded;
        const char* note;
    } cases[] = {{"", true, "using the country file "},
                 {"none", false, "no country file"},
                 {"cty.dat", true, "using the country file cty.dat"}};
    for (const Case& c : cases) {
        host::Startup startup = start(c.cty);
        EXPECT_EQ(startup.countryFile() != nullptr, c.loaded) << c.cty;
        EXPECT_EQ(startup.countryFileNote().rfind(c.note, 0), 0u) << startup.countryFileNote();
        EXPECT_EQ(startup.countryFileSearched(), std::string(c.cty).empty());
    }
    fs::remove("cty.dat");
    EXPECT_EQ(start("").countryFile(), nullptr) << "not the machine's";
    host::Startup startup;
    std::string error;
    EXPECT_FALSE(startup.open({"test", nullptr, "missing.dat", {}, {}}, error));
    EXPECT_EQ(error.rfind("cannot read the country file missing.dat", 0), 0u) << error;
}

}  // namespace
