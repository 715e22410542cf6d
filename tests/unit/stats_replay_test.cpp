// The built stats-replay program, run as a user runs it: exit codes, messages, output files,
// and the replay of the sample log compared byte for byte with the golden files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

class StatsReplay : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("stats-replay-test-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    // Runs the tool in the test's folder; the arguments are given as one shell text.
    ToolRun run(const std::string& args) const {
        const std::string command =
            "cd '" + dir_.string() + "' && '" STATS_REPLAY "' " + args + " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        ToolRun r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(dir_ / "out.txt");
        r.err = slurp(dir_ / "err.txt");
        return r;
    }

    fs::path dir_;
};

bool oneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

TEST_F(StatsReplay, HelpAndVersion) {
    ToolRun r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: stats-replay", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
    r = run("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "stats-replay " STATS_VERSION_TEXT_FOR_TEST "\n");
}

TEST_F(StatsReplay, WrongCommandLinesGiveOneLineAndStatusTwo) {
    for (const char* args : {"", "--bogus x.adi", "a.adi b.adi", "x.adi --start 2026-13-01",
                             "x.adi --check LU1AA", "x.adi --call"}) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_TRUE(oneLine(r.err)) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("stats-replay: ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "") << args;
    }
}

TEST_F(StatsReplay, UnreadableFilesGiveOneLineAndStatusOne) {
    spit(dir_ / "ok.adi",
         "<CALL:5>LU1AA<BAND:3>40m<MODE:2>CW<QSO_DATE:8>20260301<TIME_ON:4>1200<STX:1>1<SRX:1>5<CONT:2>SA<"
         "EOR>");
    spit(dir_ / "bad-cty.dat", "this is not a country file\n");
    fs::create_directories(dir_ / "folder.adi");
    struct Case {
        const char* args;
        const char* part;
    } cases[] = {
        {"missing.adi", "cannot read the log missing.adi"},
        {"folder.adi", "folder.adi"},
        {"--cty missing.dat ok.adi", "cannot read the country file missing.dat"},
        {"--cty bad-cty.dat ok.adi", "country file bad-cty.dat: "},
        {"--call CE1TLV --dir ok.adi ok.adi", "working folder"},
        {"--lib missing.so ok.adi", "cannot load the plug-in"},
        {"--lib ok.adi ok.adi", "cannot load the plug-in"},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_TRUE(oneLine(r.err)) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.part), std::string::npos) << r.err;
    }
}

TEST_F(StatsReplay, MalformedRecordsAreNamedAndSkipped) {
    spit(dir_ / "log.adi",
         "<EOH>\n"
         "<CALL:5>LU1AA<BAND:3>40m<MODE:2>CW<QSO_DATE:8>20260301<TIME_ON:4>1200<STX:1>1<SRX:1>5<CONT:2>SA<"
         "EOR>\n"
         "<CALL:x>LU2BB<EOR>\n"
         "<CALL:5>LU3CC<BAND:3>40m<MODE:2>CW<QSO_DATE:8>20260230<TIME_ON:4>1200<EOR>\n"
         "<CALL:5>LU4DD<BAND:3>40m<MODE:2>CW<QSO_DATE:8>20260301<TIME_ON:4>1201<STX:1>2<SRX:1>6<CONT:2>SA\n");
    const ToolRun r = run("--call CE1TLV --dir work log.adi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("record 2 skipped: tag <CALL:x> has a malformed length"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("record 3 skipped: QSO_DATE '20260230'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("record 4 has no <EOR>"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2 QSO(s) replayed, 2 record(s) skipped"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_directory(dir_ / "work" / "Plugins"));
}

TEST_F(StatsReplay, OwnCallOfTheErrorLogLines) {
    spit(dir_ / "log.adi",
         "<CALL:4>K1AB<BAND:3>80m<MODE:2>CW<QSO_DATE:8>20260301<TIME_ON:4>1200<RST_SENT:3>599<STX:1>1<SRX:1>5"
         "<STATION_CALLSIGN:5>LU9XX<EOR>\n"
         "<CALL:4>K2CD<BAND:3>15m<MODE:2>CW<QSO_DATE:8>20260301<TIME_ON:4>1201<RST_SENT:3>599<STX:1>2<SRX:1>6<EOR>\n");
    ToolRun r = run("--dir work log.adi");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Contestant: LU9XX \r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  LU9XX  599  1  K1AB  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  LU9XX  599  2  K2CD  "), std::string::npos) << "the log's station for the rest";
    r = run("--call CE1TLV --dir work log.adi");
    EXPECT_NE(r.out.find("Contestant: CE1TLV \r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  CE1TLV  599  1  K1AB  "), std::string::npos) << "--call wins";
    EXPECT_NE(r.out.find("  CE1TLV  599  2  K2CD  "), std::string::npos) << r.out;
}

// The sample log through the plug-in in export mode: summary, error-log lines and Cabrillo file
// against the golden files (STATS_UPDATE_GOLDEN=1 writes them instead).
TEST_F(StatsReplay, SampleLogMatchesTheGoldenFiles) {
    const fs::path golden = fs::path(STATS_SOURCE_DIR) / "tests" / "golden" / "replay";
    spit(dir_ / "work" / "Plugins" / "SA-TOLVEN.ini", slurp(golden / "SA-TOLVEN.ini"));
    const ToolRun r = run("--export --cty none --dir work '" STATS_SOURCE_DIR "/samples/sa-tolven-sample.adi'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string cabrillo = slurp(dir_ / "work" / "CE1TLV.cbr");
    const std::string errorLog = slurp(dir_ / "work" / "err.txt");
    if (std::getenv("STATS_UPDATE_GOLDEN")) {
        spit(golden / "replay-output.txt", r.out);
        spit(golden / "CE1TLV.cbr", cabrillo);
        spit(golden / "err.txt", errorLog);
        GTEST_SKIP() << "golden files written to " << golden;
    }
    if (!fs::exists(golden / "replay-output.txt"))
        GTEST_SKIP() << "no golden files yet: STATS_UPDATE_GOLDEN=1 ctest --preset native -R SampleLog";
    EXPECT_EQ(r.out, slurp(golden / "replay-output.txt"));
    EXPECT_EQ(cabrillo, slurp(golden / "CE1TLV.cbr"));
    EXPECT_EQ(errorLog, slurp(golden / "err.txt"));
    EXPECT_NE(r.err.find("record(s) skipped"), std::string::npos);
}

// The header dialog answered as the operator would: mode and band from an ADIF log's QSOs, the
// options (tests/golden/replay/header-options.args, also replayed under Wine) over both. And the
// country file: found in the current folder, else a warning below the summary.
TEST_F(StatsReplay, HeaderAnswersAndTheCountryFile) {
    const fs::path golden = fs::path(STATS_SOURCE_DIR) / "tests" / "golden" / "replay";
    const std::string log = "'" + (golden / "header-options.adi").string() + "'";
    ToolRun r = run("--export --cty none --dir plain " + log);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(slurp(dir_ / "plain" / "LU1TLV.cbr").find("CATEGORY-MODE: SSB\r\nCATEGORY-BAND: 40M\r\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Score: 3*2 = 6\r\nWarning: 1 QSO(s) without a continent (no CONT in the log, no "
                         "country file): their South-American prefixes are not counted."),
              std::string::npos)
        << r.out;

    std::string args;
    std::ifstream options(golden / "header-options.args");
    for (std::string line; std::getline(options, line);) args += " '" + line + "'";
    r = run("--export --cty none --dir options" + args + " " + log);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string cabrillo = slurp(dir_ / "options" / "LU1TLV.cbr");
    if (std::getenv("STATS_UPDATE_GOLDEN")) spit(golden / "header-options.cbr", cabrillo);
    EXPECT_EQ(cabrillo, slurp(golden / "header-options.cbr"));
    EXPECT_NE(r.err.find("--category-assisted 'assisted' is not in the dialog's list (ASSISTED, NON-ASSISTED)"),
              std::string::npos)
        << r.err;

    spit(dir_ / "cty.dat", "Argentina: 13: 14: SA: -34.80: 65.92: 3.0: LU:\n LU,LW;\n");
    r = run("--dir found " + log);
    EXPECT_NE(r.err.find("using the country file " + (dir_ / "cty.dat").string()), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Score: 3*3 = 9\r\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
}

TEST_F(StatsReplay, CallCheckAfterTheLog) {
    spit(dir_ / "log.adi",
         "<CALL:5>LU1AA<BAND:3>40m<MODE:2>CW<QSO_DATE:8>20260301<TIME_ON:4>1200<STX:1>1<SRX:1>5<EOR>\n");
    spit(dir_ / "cty.dat",
         "Argentina: 13: 14: SA: -34.80: 65.92: 3.0: LU:\n LU,LW;\nUnited States: 5: 8: NA: 1: 2: 3: K:\n "
         "K,W;\n");
    struct Case {
        const char* check;
        const char* line;
    } cases[] = {
        {"lu1aa --band 40M --mode cw", "Check LU1AA 40m CW (prefix LU1, continent SA): 0 dupe\r\n"},
        {"LU1AA --band 40m --mode SSB",
         "Check LU1AA 40m SSB (prefix LU1, continent SA): 1 not a dupe, SA prefix already worked\r\n"},
        {"LU1ZZ --band 20m --mode CW",
         "Check LU1ZZ 20m CW (prefix LU1, continent SA): 1 not a dupe, SA prefix already worked\r\n"},
        {"LW2/K1ABC --band 20m --mode CW",
         "Check LW2/K1ABC 20m CW (prefix LW2, continent SA): 2 new multiplier\r\n"
         "New mult !!! LW2 New SA Prefix !!!\r\n"},
        {"K1ABC --band 20m --mode CW",
         "Check K1ABC 20m CW (prefix K1, continent NA): 2 not a dupe, outside SA\r\n"},
    };
    for (const Case& c : cases) {
        const ToolRun r =
            run("--call CE1TLV --dir work --cty cty.dat --check " + std::string(c.check) + " log.adi");
        EXPECT_EQ(r.status, 0) << r.err;
        const std::size_t at = r.out.find("Check ");
        ASSERT_NE(at, std::string::npos) << r.out;
        EXPECT_EQ(r.out.substr(at), c.line) << c.check;
    }
}

}  // namespace
