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
        // The tool looks for a country file only beside itself and in the test's folders, never in
        // the machine's (a tlf installation has one).
        setenv("STATS_CTY_LOCAL", "1", 1);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("stats-replay-test-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    // Runs the tool in the test's folder (or `folder`); the arguments are given as one shell text.
    ToolRun run(const std::string& args, const char* tool = STATS_REPLAY, const fs::path& folder = {}) const {
        const std::string command = "cd '" + (folder.empty() ? dir_ : folder).string() + "' && '" + tool + "' " +
                                    args + " >'" + (dir_ / "out.txt").string() + "' 2>'" + (dir_ / "err.txt").string() + "'";
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
        {"--cty folder.adi ok.adi", "country file folder.adi: it is a folder"},
        {"--call CE1TLV --dir ok.adi ok.adi", "working folder"},
        {"--lib missing.so ok.adi", "cannot load the plug-in"},
        {"--lib ok.adi ok.adi", "cannot load the plug-in"},
        {"--verify missing.cbr", "cannot read the log missing.cbr"},
        {"--verify folder.adi", "folder.adi: it is a folder"},
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

// The sample log, as ADIF and as Cabrillo, through the plug-in in export mode: summary, error-log
// lines and Cabrillo file against the golden files (STATS_UPDATE_GOLDEN=1 writes them instead).
TEST_F(StatsReplay, SampleLogMatchesTheGoldenFiles) {
    const fs::path replayGolden = fs::path(STATS_SOURCE_DIR) / "tests" / "golden" / "replay";
    struct Case {
        fs::path golden;
        std::string args;
        const char* skippedNote;
    } cases[] = {
        {replayGolden, "--cty none '" STATS_SOURCE_DIR "/samples/sa-tolven-sample.adi'", "record(s) skipped"},
        {replayGolden / "cabrillo",
         "--cty '" STATS_SOURCE_DIR "/samples/sa-tolven-cty.dat' '" STATS_SOURCE_DIR "/samples/sa-tolven-sample.cbr'",
         "4 line(s) skipped"},
    };
    for (const Case& c : cases) {
        const fs::path& golden = c.golden;
        fs::remove_all(dir_ / "work");
        spit(dir_ / "work" / "Plugins" / "SA-TOLVEN.ini", slurp(replayGolden / "SA-TOLVEN.ini"));
        const ToolRun r = run("--export --dir work " + c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string cabrillo = slurp(dir_ / "work" / "CE1TLV.cbr");
        const std::string errorLog = slurp(dir_ / "work" / "err.txt");
        if (std::getenv("STATS_UPDATE_GOLDEN")) {
            spit(golden / "replay-output.txt", r.out);
            spit(golden / "CE1TLV.cbr", cabrillo);
            spit(golden / "err.txt", errorLog);
            continue;
        }
        EXPECT_EQ(r.out, slurp(golden / "replay-output.txt")) << golden;
        EXPECT_EQ(cabrillo, slurp(golden / "CE1TLV.cbr")) << golden;
        EXPECT_EQ(errorLog, slurp(golden / "err.txt")) << golden;
        EXPECT_NE(r.err.find(c.skippedNote), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("CE1TLV.cbr:"), std::string::npos) << "the check of the written file: " << r.err;
    }
    if (std::getenv("STATS_UPDATE_GOLDEN")) GTEST_SKIP() << "golden files written to " << replayGolden;
}

// The header dialog answered as the operator would: mode and band from an ADIF log's QSOs; a
// Cabrillo log's own categories, with the options of tests/golden/replay/header-options.args over
// them (also replayed under Wine). And the country file: found in the current folder, else a
// warning below the summary.
TEST_F(StatsReplay, HeaderAnswersAndTheCountryFile) {
    const fs::path golden = fs::path(STATS_SOURCE_DIR) / "tests" / "golden" / "replay";
    const std::string log = "'" + (golden / "header-options.adi").string() + "'";
    ToolRun r = run("--export --cty none --dir plain " + log);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(slurp(dir_ / "plain" / "LU1TLV.cbr").find("CATEGORY-MODE: SSB\r\nCATEGORY-BAND: 40M\r\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Score: 3*2 = 6\r\nWarning: 1 QSO(s) without a continent (none in the log, no "
                         "country file): their South-American prefixes are not counted."),
              std::string::npos)
        << r.out;

    std::string args;
    std::ifstream options(golden / "header-options.args");
    for (std::string line; std::getline(options, line);) args += " '" + line + "'";
    r = run("--export --cty none --dir options" + args + " '" + (golden / "header-options.log").string() + "'");
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

// A Cabrillo log in the layout other loggers write replays exactly as the same QSOs in ADIF.
TEST_F(StatsReplay, CabrilloLogScoresAsTheSameQsosInAdif) {
    spit(dir_ / "cty.dat",
         "Argentina: 13: 14: SA: -34.80: 65.92: 3.0: LU:\n LU,LW;\nChile: 12: 14: SA: -30: 71: 4.0: CE:\n CE;\n"
         "Brazil: 11: 15: SA: -10: 53: 3.0: PY:\n PY;\nUnited States: 5: 8: NA: 1: 2: 3: K:\n K,W;\n");
    spit(dir_ / "log.cbr",
         "\xEF\xBB\xBFSTART-OF-LOG: 3.0\r\nContest: SA-TOLVEN\r\ncallsign: ce1tlv\r\nCATEGORY-MODE: MIXED  \r\n"
         "QSO:  7012 CW 2026-03-01 1200 CE1TLV        599  001  LU1AA         599  005    0\r\n"
         "QSO: 14025 CW 2026-03-01 1201 CE1TLV        599  002  PY3L          599  017    1\r\n"
         "X-QSO: 14025 CW 2026-03-01 1202 CE1TLV      599  003  W1AW          599  100    1\r\n"
         "QSO:\t7000\tPH\t2026-03-01\t1203\tCE1TLV\t59\t003\tLU1AA\t59\t006\r\n"
         "QSO: 21025 CW 2026-03-01 1204 CE1TLV        599  004  K1ABC         599  001    0\r\n"
         "QSO: 14200 PH 2026-03-01 1205 CE1TLV        59   005  PY3L\r\n"
         "QSO: 14200 PH 2026-03-01 1206 CE1TLV        59   006  LU1AA         59   007    1\r\n"
         "QSO: 14201 PH 2026-03-01 1206 CE1TLV        59   007  LU1AA         59   008    1\r\nEND-OF-LOG:\r\n");
    std::string adif = "<EOH>\n";
    for (const char* qso : {"7.012<MODE:2>CW<TIME_ON:4>1200<RST_SENT:3>599<STX_STRING:3>001<CALL:5>LU1AA"
                            "<RST_RCVD:3>599<SRX_STRING:3>005",
                            "14.025<MODE:2>CW<TIME_ON:4>1201<RST_SENT:3>599<STX_STRING:3>002<CALL:4>PY3L"
                            "<RST_RCVD:3>599<SRX_STRING:3>017",
                            "7.000<MODE:3>SSB<TIME_ON:4>1203<RST_SENT:2>59<STX_STRING:3>003<CALL:5>LU1AA"
                            "<RST_RCVD:2>59<SRX_STRING:3>006",
                            "21.025<MODE:2>CW<TIME_ON:4>1204<RST_SENT:3>599<STX_STRING:3>004<CALL:5>K1ABC"
                            "<RST_RCVD:3>599<SRX_STRING:3>001",
                            "14.200<MODE:3>SSB<TIME_ON:4>1206<RST_SENT:2>59<STX_STRING:3>006<CALL:5>LU1AA"
                            "<RST_RCVD:2>59<SRX_STRING:3>007",
                            "14.201<MODE:3>SSB<TIME_ON:4>1206<RST_SENT:2>59<STX_STRING:3>007<CALL:5>LU1AA"
                            "<RST_RCVD:2>59<SRX_STRING:3>008"})
        adif += std::string("<STATION_CALLSIGN:6>CE1TLV<QSO_DATE:8>20260301<FREQ:") +
                std::to_string(std::string(qso).find('<')) + ">" + qso + "<EOR>\n";
    spit(dir_ / "log.adi", adif);
    const ToolRun fromAdif = run("--cty cty.dat --dir adif log.adi");
    const ToolRun fromCabrillo = run("--cty cty.dat --dir cbr log.cbr");
    EXPECT_EQ(fromCabrillo.status, 0) << fromCabrillo.err;
    EXPECT_NE(fromAdif.out.find("Score: "), std::string::npos) << fromAdif.err;
    EXPECT_EQ(fromCabrillo.out, fromAdif.out);
    EXPECT_NE(fromCabrillo.err.find("log.cbr: line 10 skipped: 8 fields"), std::string::npos) << fromCabrillo.err;
    EXPECT_NE(fromCabrillo.err.find("1 X-QSO line(s) not replayed"), std::string::npos) << fromCabrillo.err;
    EXPECT_NE(fromCabrillo.err.find("6 QSO(s) replayed, 1 line(s) skipped"), std::string::npos);

    // A header without QSOs replays nothing; a file that is no log at all is refused.
    spit(dir_ / "empty.cbr", "START-OF-LOG: 3.0\nCALLSIGN: CE1TLV\nEND-OF-LOG:\n");
    spit(dir_ / "binary.cbr", std::string("\x7F" "ELF\x02\x01\0\0\xFF\xFE", 10) + std::string(100000, '\0'));
    EXPECT_NE(run("--dir w empty.cbr").err.find("0 QSO(s) replayed, 0 line(s) skipped"), std::string::npos);
    const ToolRun binary = run("--dir w binary.cbr");
    EXPECT_EQ(binary.status, 1);
    EXPECT_EQ(binary.err, "stats-replay: binary.cbr holds no QSO: it is neither a Cabrillo log (no START-OF-LOG: "
                          "line) nor an ADIF log (no valid record, no <EOH>)\n");
}

// The report is written whole or not at all; a path it cannot take ends the run with status 1
// after the normal output.
TEST_F(StatsReplay, ReportFileOrAClearMessage) {
    const std::string qso = "<CALL:8>CE1&amp;<BAND:3>40m<MODE:2>CW<QSO_DATE:8>20260301<TIME_ON:4>1200<STX:1>1<SRX:1>5<EOR>\n";
    spit(dir_ / "log.adi", qso + qso);
    fs::create_directories(dir_ / "folder.html");
    struct Case {
        const char* report;
        int status;
        const char* message;
    } cases[] = {
        {"r.html", 0, "report written to r.html"},
        {"missing/r.html", 1, "stats-replay: report not written: cannot write "},
        {"folder.html", 1, "folder.html: it is a folder"},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(std::string("--call CE1TLV --dir work --report ") + c.report + " log.adi");
        EXPECT_EQ(r.status, c.status) << c.report;
        EXPECT_NE(r.out.find("Score: 1*0 = 0"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    const std::string page = slurp(dir_ / "r.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<td class=\"mono\">CE1&amp;AMP;</td>"), std::string::npos) << "the call as text";
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path();

    // A second log replayed beside the first, in a folder of its own; one that cannot be read ends the run.
    ASSERT_EQ(run("--call CE1TLV --dir work --report r.html --compare log.adi log.adi").status, 0);
    EXPECT_NE(slurp(dir_ / "r.html").find("<h2>Compared with"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "work" / "compare" / "err.txt"));
    const ToolRun missing = run("--call CE1TLV --dir work --report r.html --compare nothere.adi log.adi");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read the log nothere.adi"), std::string::npos) << missing.err;

    // A Cabrillo input: the check's findings with their lines, beside the plug-in's counts.
    ASSERT_EQ(run("--dir work --report c.html '" STATS_SOURCE_DIR "/samples/verify-example.cbr'").status, 0);
    EXPECT_NE(slurp(dir_ / "c.html").find("<tr><td class=\"num\">7</td><td class=\"warn\">warning</td><td>unknown tag E-MAIL:"),
              std::string::npos);
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

// --verify: the file's rules, then the plug-in's answers for its QSOs: a dupe names the line it
// repeats, and the claimed score is the plug-in's.
TEST_F(StatsReplay, VerifyACabrilloLog) {
    spit(dir_ / "cty.dat", "Brazil: 11: 15: SA: -10.00: 53.00: 3.0: PY:\n    PY;\n");
    const std::string head = "START-OF-LOG: 3.0\r\nCALLSIGN: CE1TLV\r\nCONTEST: SA-TOLVEN\r\nCLAIMED-SCORE: 99\r\n";
    const std::string qsos = "QSO:  7012 CW 2026-03-07 1206 CE1TLV 599 001 PY3L 599 24\r\n"
                             "QSO:  7013 CW 2026-03-07 1210 CE1TLV 599 002 PY3L 599 25\r\n";
    spit(dir_ / "log.cbr", head + qsos + "END-OF-LOG:\r\n");
    ToolRun r = run("--verify --cty cty.dat log.cbr");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "log.cbr:4: warning: CLAIMED-SCORE: 99 differs from the plug-in's score for these QSOs, 1\n"
                     "log.cbr:6: warning: dupe: PY3L on 40m CW again (first at line 5)\n"
                     "0 error(s), 2 warning(s)\n");
    spit(dir_ / "log.cbr", head + qsos);
    r = run("--verify --cty cty.dat log.cbr");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("log.cbr:6: error: END-OF-LOG: missing"), std::string::npos) << r.out;
    EXPECT_EQ(run("--verify --export log.cbr").status, 2);
}

// stats-verify is the same check; it names the country file it uses, reads a log from standard
// input as "-", and prints the README's example as the README shows it.
TEST_F(StatsReplay, StatsVerifyChecksAsVerifyDoes) {
    const std::string args = "--cty samples/sa-tolven-cty.dat samples/verify-example.cbr";
    const ToolRun verify = run(args, STATS_VERIFY, STATS_SOURCE_DIR);
    EXPECT_EQ(verify.status, 3) << verify.err;
    EXPECT_EQ(verify.err.rfind("stats-verify: using the country file samples/sa-tolven-cty.dat\n", 0), 0u) << verify.err;
    EXPECT_NE(slurp(fs::path(STATS_SOURCE_DIR) / "README.md").find("```\n" + verify.out + "```\n"), std::string::npos)
        << verify.out;
    EXPECT_EQ(run("--verify " + args, STATS_REPLAY, STATS_SOURCE_DIR).out, verify.out);
    const ToolRun piped = run("--cty none - < '" STATS_SOURCE_DIR "/samples/verify-example.cbr'", STATS_VERIFY);
    EXPECT_EQ(piped.status, 3);
    EXPECT_EQ(piped.out.rfind("-:4: error: CATEGORY-OPERATOR", 0), 0u) << piped.out;
    EXPECT_NE(piped.err.find("stats-verify: no country file"), std::string::npos) << piped.err;
    for (const char* wrong : {"", "a.cbr b.cbr", "--export a.cbr", "--start 2026-03-08 --end 2026-03-07 a.cbr"}) {
        const ToolRun r = run(wrong, STATS_VERIFY);
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_TRUE(oneLine(r.err)) << r.err;
    }
    // Findings that fill stdout's buffer and cannot be written are a failure, not the findings' status.
    std::string lines = "START-OF-LOG: 3.0\n";
    for (int i = 0; i < 400; ++i) lines += "QSO: 7012 CW 2026-03-07 1200 CE3XX 599 001 LU1AA 599 001\n";
    spit(dir_ / "many.cbr", lines);
    const std::string toFull = "cd '" + dir_.string() + "' && '" STATS_VERIFY "' --cty none many.cbr";
    const int full = std::system((toFull + " >/dev/full 2>/dev/null").c_str());
    EXPECT_EQ(WIFEXITED(full) ? WEXITSTATUS(full) : -1, 1);
    const ToolRun both = run("--verify --report x.html a.cbr");
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("does not go with --report"), std::string::npos) << both.err;
}

// stats-verify --contest: a log of another contest checked by its definition, without the plug-in's
// replay; a definition that does not read is a wrong command line naming its file and line.
TEST_F(StatsReplay, StatsVerifyByAContestDefinition) {
    spit(dir_ / "nrau.cbr",
         "START-OF-LOG: 3.0\nCALLSIGN: OH2XX\nCONTEST: NRAU-BALTIC-SSB\n"
         "QSO: 3610 PH 2022-01-09 0631 OH2XX 59 001 UU SM5AA 59 001 SL\n"
         "QSO: 7060 PH 2022-01-09 0700 OH2XX 59 002 UU LA1BB 59 014 OS\n"
         "QSO: 7062 PH 2022-01-09 0710 OH2XX 59 003 UU LA1BB 59 020 OS\nEND-OF-LOG:\n");
    const std::string definition = " --contest '" STATS_SOURCE_DIR "/contests/nrau-baltic-ssb.toml' ";
    ToolRun r = run(definition + "nrau.cbr", STATS_VERIFY);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "nrau.cbr:6: warning: dupe: LA1BB on 40m SSB again (first at line 5)\n0 error(s), 1 warning(s)\n");
    EXPECT_EQ(r.err,
              "stats-verify: CLAIMED-SCORE not checked: the plug-in scores only SA-TOLVEN, not "
              "NRAU-BALTIC-SSB\n");
    spit(dir_ / "broken.toml", "# NRAU\nnames = [\"NRAU\"]\ntitle = 3\n");
    r = run("--contest broken.toml nrau.cbr", STATS_VERIFY);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "stats-verify: broken.toml:3: title must be a string, not an integer\n");
    EXPECT_NE(run("--help", STATS_VERIFY).out.find("--contest FILE"), std::string::npos);
}
