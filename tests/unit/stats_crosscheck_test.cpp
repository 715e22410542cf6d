// The built stats-crosscheck run as a committee runs it: a synthetic contest with every injected
// fault reported and nothing else, and hostile logs beside good ones.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <tuple>

#include "core/contest_rules.h"
#include "test_files.h"
#include "tools/crosscheck/contest_generator.h"

namespace fs = std::filesystem;
using namespace crosscheck;
using test_files::slurp;
using test_files::spit;

namespace {

// RFC 4180 rows: quoted fields may hold commas, doubled quotes and line ends.
std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') rows.back().back() += text[++i];
            else if (c == '"') quoted = false;
            else rows.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
    return rows;
}

class StatsCrosscheck : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("stats-crosscheck-test-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        spit(dir_ / "cty.dat", countryFileText());
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }
    // Runs `program` in the test's folder: its exit status; stdout in out.txt, stderr in err_.
    int runProgram(const std::string& program, const std::string& args) {
        const std::string command = "cd '" + dir_.string() + "' && '" + program + "' " + args + " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        err_ = slurp(dir_ / "err.txt");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    int run(const std::string& args) { return runProgram(STATS_CROSSCHECK, "--cty cty.dat " + args); }
    // A command line, its exit status and how stdout (status 0) or stderr (otherwise) begins.
    struct Expected {
        std::string args;
        int status;
        std::string begins;
    };
    void expectAll(const std::string& program, const std::vector<Expected>& cases) {
        for (const Expected& c : cases) {
            EXPECT_EQ(runProgram(program, c.args), c.status) << c.args << ": " << err_;
            const std::string shown = c.status ? err_ : slurp(dir_ / "out.txt");
            EXPECT_TRUE(shown.starts_with(c.begins)) << c.args << ": " << shown;
        }
    }
    void writeContest(const SyntheticContest& contest) {
        for (std::size_t i = 0; i < contest.logs.size(); ++i)
            spit(dir_ / "logs" / (contest.logs[i].call + ".log"), cabrilloText(contest, i));
    }
    fs::path dir_;
    std::string err_;
};

// Every exact fault reported with its verdict, inferred ones mostly; and for every log the
// QSOs claimed less those checked are the deductions the report lists.
TEST_F(StatsCrosscheck, ReportsEveryInjectedFaultAndNothingElse) {
    const SyntheticContest contest = generateContest({15, 60, 11, 0.05});
    writeContest(contest);
    ASSERT_EQ(run("--start 2026-03-07 --end 2026-03-08 --penalty loss-plus-one --qso-csv qsos.csv logs"), 0) << err_;
    using Flag = std::tuple<std::string, std::uint64_t, std::string>;
    std::vector<Flag> expected, reported;
    for (const auto& f : contest.faults) expected.emplace_back(f.call, f.line, std::string(verdictName(f.verdict)));
    const auto rows = csvRows(slurp(dir_ / "crosscheck/results.csv"));
    ASSERT_EQ(rows.size(), contest.logs.size() + 1);
    auto column = [&](std::size_t r, const std::string& name) {
        const auto at = std::find(rows[0].begin(), rows[0].end(), name);
        EXPECT_NE(at, rows[0].end()) << name;
        return at == rows[0].end() ? 0L : std::stol(rows[r][static_cast<std::size_t>(at - rows[0].begin())]);
    };
    std::size_t offsetsNamed = 0;  // time mismatches that say which clock offsets they took off
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), rows[0].size());
        const std::string report = slurp(dir_ / "crosscheck" / (rows[r][0] + ".ubn"));
        offsetsNamed += report.find("(credit kept; offsets taken off: this log ") != std::string::npos;
        std::istringstream lines(report);
        long deducted = -1;
        for (std::string line; std::getline(lines, line);) {
            ASSERT_EQ(line.back(), '\r');
            if (line.starts_with("Claimed - checked: ")) {
                deducted = 0;
                for (std::size_t at = line.find(": ", 18); at != std::string::npos; at = line.find(", ", at + 1))
                    deducted += std::stol(line.substr(line.find_last_of(' ', line.find_first_of(",\r", at + 2)) + 1));
                EXPECT_EQ(deducted, std::stol(line.substr(19))) << line;
            }
            if (line.starts_with("How others copied you")) break;
            const std::size_t at = line.find(" line ");
            if (line.rfind("QSO:") == std::string::npos || at == std::string::npos) continue;
            std::string verdict = line.substr(0, at);
            verdict.erase(verdict.find_last_not_of(' ') + 1);
            reported.emplace_back(rows[r][0], std::stoull(line.substr(at + 6)), verdict);
        }
        const long claimed = column(r, "claimed_qsos"), checked = column(r, "checked_qsos");
        EXPECT_EQ(claimed - checked, deducted) << rows[r][0];
        EXPECT_EQ(column(r, "final_score"),
                  (checked - column(r, "nil") - column(r, "busted_call")) * column(r, "checked_mults"));
        EXPECT_NE(report.find("Penalty: loss-plus-one"), std::string::npos);
    }
    EXPECT_GT(offsetsNamed, 0u);
    // Each category ranked by the final score, the penalty taken off.
    const std::string html = slurp(dir_ / "crosscheck/results.html");
    long previous = 0;
    for (std::size_t row = html.find("<tr><td class=\"num\">"); row != std::string::npos;
         row = html.find("<tr><td class=\"num\">", row + 1)) {
        const std::size_t end = html.find("</tr>", row);
        const std::size_t cell = html.rfind("<td class=\"num score\">", end);
        const long score = std::stol(html.substr(cell + 22));
        if (html.compare(row, 29, "<tr><td class=\"num\">1</td><td") != 0) {
            EXPECT_LE(score, previous) << html.substr(row, 80);
        }
        previous = score;
    }
    std::sort(reported.begin(), reported.end());
    std::sort(expected.begin(), expected.end());
    std::vector<Flag> missed, extra;
    std::set_difference(expected.begin(), expected.end(), reported.begin(), reported.end(), std::back_inserter(missed));
    std::set_difference(reported.begin(), reported.end(), expected.begin(), expected.end(), std::back_inserter(extra));
    for (const Flag& f : missed) EXPECT_NE(std::get<2>(f).find("(inferred)"), std::string::npos) << std::get<0>(f) << " " << std::get<1>(f);
    for (const Flag& f : extra) EXPECT_EQ(std::get<2>(f), "UNIQUE") << std::get<0>(f) << " " << std::get<1>(f);
    EXPECT_LE(missed.size() * 5, expected.size() / 10);

    // The QSO table: every QSO line once, each reported verdict on its line, points only where credited.
    const auto qsos = csvRows(slurp(dir_ / "qsos.csv"));
    std::size_t lines = 0;
    for (const auto& log : contest.logs) lines += log.qsos.size();
    ASSERT_EQ(qsos.size(), lines + 1);
    std::vector<Flag> tabled;
    for (std::size_t r = 1; r < qsos.size(); ++r) {
        const std::string& label = qsos[r][8];  // a busted exchange names its field
        const std::string verdict = label.ends_with("(inferred)") ? label : label.substr(0, label.find(" ("));
        if (verdict != "VERIFIED" && verdict != "NO LOG") tabled.emplace_back(qsos[r][0], std::stoull(qsos[r][1]), verdict);
        EXPECT_EQ(qsos[r][9], verdict == "VERIFIED" || verdict == "TIME MISMATCH" ? "1" : qsos[r][9]) << qsos[r][1];
    }
    std::sort(tabled.begin(), tabled.end());
    EXPECT_EQ(tabled, reported);
}

TEST_F(StatsCrosscheck, HostileLogsAreReportedAndTheOthersKept) {
    SyntheticContest contest = generateContest({4, 20, 5, 0.0});
    writeContest(contest);
    auto log = [](const std::string& call, const std::string& contestName, const std::string& qsos) {
        return "START-OF-LOG: 3.0\r\nCALLSIGN: " + call + "\r\nCONTEST: " + contestName +
               "\r\nCATEGORY-OPERATOR: SINGLE-OP\r\n" + qsos + "END-OF-LOG:\r\n";
    };
    const std::string qso = "QSO:  7012 CW 2026-03-07 1300 X 599 001 " + contest.logs[0].call + " 599 010\r\n";
    struct Case {
        const char* file;
        std::string text;
        const char* message;  // on stderr; "" when the log is used
    } cases[] = {
        {"dupe-a.log", log("AA1DUP", "SA-TOLVEN", qso), "AA1DUP is in more than one log"},
        {"dupe-b.log", log("aa1dup", "SA-TOLVEN", ""), "AA1DUP is in more than one log"},
        {"copy-a.log", log("AA1CPY", "SA-TOLVEN", qso), ""},  // sent twice, the header mended: one is used
        {"copy-b.log", log("AA1CPY", "SA-TOLVEN\r\nX-NOTE: mended", qso), "AA1CPY: the same QSOs as logs/copy-a.log"},
        {"empty.log", log("AA1NIL", "SA-TOLVEN", ""), "AA1NIL has no QSO"},
        {"other.log", log("AA1OTH", "CQ-WW-CW", qso), "a log of another contest (CONTEST: CQ-WW-CW)"},
        {"garbled.log", log("AA1BAD", "SA-TOLVEN", "QSO: 7012 CW yesterday\r\n" + qso), "garbled.log: line 5"},
        {"long.log", log("AA1LNG", "SA-TOLVEN", "X-NOTE: " + std::string(1 << 20, 'x') + "\r\n" + qso), ""},
        {"comma.log", log("K1,\"Q\"", "SA-TOLVEN", qso), ""},
        {"angle.log", log("<B>K1", "SA-TOLVEN", qso), ""},
        {"notes.txt", "just some notes\n", "not a Cabrillo log"},
        {"accepted.log", log("AA1ACC", "OTHER-TEST", qso), "accepted.log: a log of another contest"},
        {"dupes.log", log("AA1DPS", "SA-TOLVEN", qso + qso + qso), ""},
        {"bands.log", log("AA1OOB", "SA-TOLVEN", "QSO: 21012 CW 2026-03-07 1300 X 599 001 K1X 599 010\r\n"), ""},
        {"before.log", log("AA1EARLY", "SA-TOLVEN", "QSO: 7012 CW 2026-03-01 1300 X 599 001 K1X 599 010\r\n"),
         "no QSO in the contest period (2026-03-07 to 2026-03-08)"},
        {"blank.log", log("AA1BLK", "SA-TOLVEN", "CLAIMED-SCORE:\r\n\r\n\t\r\nQSO:\t7012\tCW 2026-03-07 1300 X 599 001 " + contest.logs[0].call + "\t599 010\r\n"), ""},
        {"station.adi", "<EOH>\n<STATION_CALLSIGN:6>AA1ADI<CALL:4>K1ZZ<QSO_DATE:8>20260307<TIME_ON:4>1300"
                        "<BAND:3>40m<MODE:2>CW<STX:1>1<SRX:1>5<EOR>\n", ""},
        {"aa1nam.adi", "<EOH>\n<CALL:4>K1ZZ<QSO_DATE:8>20260307<TIME_ON:4>1301<BAND:3>20m<MODE:2>CW<STX:1>1<SRX:1>6<EOR>\n",
         ""},
    };
    for (const Case& c : cases) spit(dir_ / "logs" / c.file, c.text);
    spit(dir_ / "logs/huge.log", log("AA1BIG", "SA-TOLVEN", qso));
    fs::resize_file(dir_ / "logs/huge.log", std::uintmax_t{1} << 30);  // sparse: no disk taken
    ASSERT_EQ(run("--out out --start 2026-03-07 --end 2026-03-08 --accept-contest other-test --call-from-name logs"), 0)
        << err_;
    for (const Case& c : cases) {
        if (*c.message) {
            EXPECT_NE(err_.find(c.message), std::string::npos) << c.file << ": " << err_;
        }
    }

    const auto rows = csvRows(slurp(dir_ / "out/results.csv"));
    std::vector<std::string> calls;
    for (const auto& row : rows) {
        EXPECT_EQ(row.size(), rows[0].size());
        calls.push_back(row[0]);
    }
    std::sort(calls.begin() + 1, calls.end());
    std::vector<std::string> want = {"call",   "<B>K1",  "AA1BAD", "AA1LNG", "AA1NIL", "K1,\"Q\"", "AA1ACC",
                                     "AA1DPS", "AA1OOB", "AA1BLK", "AA1ADI", "AA1NAM", "AA1CPY"};
    for (const auto& l : contest.logs) want.push_back(l.call);
    std::sort(want.begin() + 1, want.end());
    EXPECT_EQ(calls, want);
    for (const auto& row : rows) {
        if (row[0] == contest.logs[0].call) {
            // Claimed: the QSOs on the contest's bands (the generator works others too).
            const auto counted = std::count_if(contest.logs[0].qsos.begin(), contest.logs[0].qsos.end(),
                                               [](const Qso& q) { return stats::kContest.band(q.band) != nullptr; });
            EXPECT_EQ(row[7], std::to_string(counted));
        }
    }

    const std::string html = slurp(dir_ / "out/results.html");
    EXPECT_EQ(html.find("<B>"), std::string::npos);
    EXPECT_NE(html.find("&lt;B&gt;K1"), std::string::npos);
    EXPECT_NE(html.find("href=\"_B_K1.ubn\">&lt;B&gt;K1</a>"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "out/K1__Q_.ubn"));
    EXPECT_EQ(html.find("CQ-WW-CW") != std::string::npos, true);
    EXPECT_NE(err_.find("huge.log: not used: the file has 1024 MiB; a log of more than 256 MiB is not read"),
              std::string::npos);
    // The reconciliation of the odd logs, and a warning in the accepted one.
    for (const auto& [file, line] : {std::pair{"AA1DPS", "; DUPE 2, "}, {"AA1OOB", "OUT OF BAND 1,"},
                                     {"AA1ACC", "Warning: a log of another contest (CONTEST: OTHER-TEST)"},
                                     {"AA1BLK", "QSO lines: 1;"}, {"AA1ADI", "Claimed: 1 QSOs"}})
        EXPECT_NE(slurp(dir_ / "out" / (std::string(file) + ".ubn")).find(line), std::string::npos) << file;
}

TEST_F(StatsCrosscheck, CommandLine) {
    for (const char* args : {"", "--window", "--window x logs", "--bogus logs", "--penalty half logs",
                             "--start 2026-02-30 logs", "--start 2026-03-08 --end 2026-03-07 logs"}) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << args << ": " << err_;
    }
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("--lib nowhere.so logs"), 1);

    // Values after '=' or a space, standard input as a log, help and version on stdout; refused:
    // numbers out of range, standard input twice, and a run where no log could be used.
    writeContest(generateContest({3, 10, 2, 0.0}));
    spit(dir_ / "other/a.log", "START-OF-LOG: 3.0\r\nCALLSIGN: AA1OTH\r\nCONTEST: CQ-WW-CW\r\nEND-OF-LOG:\r\n");
    const std::string piped = generateContest({3, 10, 2, 0.0}).logs[0].call;
    expectAll(STATS_CROSSCHECK,
              {{"--cty cty.dat --out=eq --window=5 --jobs=1 logs", 0, "3 log(s) cross-checked"},
               {"--cty cty.dat --out piped - < logs/" + piped + ".log", 0, "1 log(s) cross-checked"},
               {"--cty - --out=ctypiped --window=5 logs < cty.dat", 0, "3 log(s) cross-checked"},
               {"--help", 0, "Usage: stats-crosscheck [options] LOG...\n"},
               {"--version", 0, "stats-crosscheck "},
               {"--jobs 0 logs", 2, "stats-crosscheck: option --jobs: '0' is not a number of threads from 1 to 1024"},
               {"--cty - - < cty.dat", 2, "stats-crosscheck: standard input can be read once"},
               {"- - < cty.dat", 2, "stats-crosscheck: standard input can be read once"},
               {"--cty cty.dat --out none other", 1, "stats-crosscheck: other/a.log: not used"}});
    EXPECT_NE(err_.find("\nstats-crosscheck: no log could be used (1 set aside"), std::string::npos) << err_;
    EXPECT_TRUE(fs::exists(dir_ / "eq/results.html"));
    EXPECT_EQ(slurp(dir_ / "ctypiped/results.csv"), slurp(dir_ / "eq/results.csv"));  // the country file piped
    EXPECT_EQ(csvRows(slurp(dir_ / "piped/results.csv"))[1][0], piped);
}

TEST_F(StatsCrosscheck, MakeContestCommandLine) {
    expectAll(MAKE_CONTEST,
              {{"--help", 0, "Usage: make-contest [options] OUT_DIR\n"},
               {"--version", 0, "make-contest "},
               {"--stations=3 --qsos=5 --seed=9 --faults=0.1 made", 0, ""},
               {"made", 0, ""},
               {"", 2, "make-contest: no OUT_DIR given"},
               {"--stations 1 made", 2, "make-contest: option --stations: '1' is not a number of stations from 2 to 20000"},
               {"--qsos 0 made", 2, "make-contest: option --qsos: '0' is not a number of QSOs from 1 to 10000"},
               {"--qsos 12x made", 2, "make-contest: option --qsos: '12x' is not a number"},
               {"--seed -1 made", 2, "make-contest: option --seed: '-1' is negative"},
               {"--faults 0.2 made", 2, "make-contest: option --faults: '0.2' is not a rate from 0 to 0.15"},
               {"--stations 20000 --qsos 10000 made", 2, "make-contest: --stations times --qsos is at most 20000000"},
               {"--bogus made", 2, "make-contest: unknown option '--bogus'"}});
    EXPECT_TRUE(fs::exists(dir_ / "made/logs"));
    EXPECT_TRUE(slurp(dir_ / "made/faults.csv").starts_with("call,line,verdict,credit,what\n"));
}

// A contest from its definition, hand-written logs in its layout: the results, the QSO table and a
// report byte for byte as checked by hand (tests/golden/crosscheck); and beside the verdicts another
// checking published for the same logs, the comparison says where the two agree.
TEST_F(StatsCrosscheck, AContestFromItsDefinition) {
    const fs::path golden = fs::path(STATS_SOURCE_DIR) / "tests/golden/crosscheck";
    const std::string contest = (fs::path(STATS_SOURCE_DIR) / "contests/nrau-baltic-ssb.toml").string();
    fs::create_directories(dir_ / "nrau");
    for (const auto& f : fs::directory_iterator(golden / "nrau-excerpt"))
        if (f.path().extension() == ".txt") fs::copy_file(f.path(), dir_ / "nrau" / f.path().filename());
    ASSERT_EQ(run("--contest '" + contest + "' --out out --qso-csv out/qsos.csv nrau"), 0) << err_;
    EXPECT_NE(err_.find("nrau/LA4DD.txt: CONTEST: ESFD is not NRAU-BALTIC-SSB, but its QSO lines fit"), std::string::npos);
    for (const char* file : {"results.csv", "qsos.csv", "LY2BB.ubn"})
        EXPECT_EQ(slurp(dir_ / "out" / file), slurp(golden / "nrau-excerpt-checked" / file)) << file;

    const std::string script = (fs::path(STATS_SOURCE_DIR) / "scripts/compare-published.py").string();
    ASSERT_EQ(runProgram("python3", "'" + script + "' '" + (golden / "nrau-excerpt").string() + "' --tool '" +
                                        STATS_CROSSCHECK + "' --contest '" + contest + "'"), 0) << err_;
    const std::string compared = slurp(dir_ / "out.txt");
    for (const char* line : {"verified where the published checking credits fully: 12/12 = 100.00 %",
                             "busted exchange where it found a number or county mismatch: 2/2 = 100.00 %",
                             "kept with points: 1/1 = 100.00 %", "without a busted-call dispute: 2/2 = 100.00 %",
                             "\nnot found               .      .      .      1      1      .      .      1      .       3\n",
                             "[4] DUPE; [5] NIL;"})
        EXPECT_NE(compared.find(line), std::string::npos) << line << "\n" << compared;
}

// The other layout of a published checking: per station, a report of its QSOs not confirmed under
// their reasons, numbers written with three digits whatever the log wrote. A UTF-16 log is read as it
// was sent, a second log of one call left out; a miscopy costs both stations, and so does a QSO the two
// logs hold further apart in time than the definition allows.
TEST_F(StatsCrosscheck, AContestBesideReportsOfItsUnconfirmedQsos) {
    const fs::path golden = fs::path(STATS_SOURCE_DIR) / "tests/golden/crosscheck/lz-excerpt";
    fs::copy(golden, dir_ / "lz", fs::copy_options::recursive);
    fs::copy_file(dir_ / "lz/logs/LZ0ZZA.CBR", dir_ / "lz/logs/LZ0ZZA_.CBR");
    std::string utf16 = "\xFF\xFE";
    for (const char c : slurp(golden / "logs/LZ0ZZC.CBR")) utf16 += std::string{c, '\0'};
    spit(dir_ / "lz/logs/LZ0ZZC.CBR", utf16);
    const std::string script = (fs::path(STATS_SOURCE_DIR) / "scripts/compare-published.py").string();
    const std::string contest = (fs::path(STATS_SOURCE_DIR) / "contests/lz-field-day.toml").string();
    ASSERT_EQ(runProgram("python3",
                         "'" + script + "' lz --tool '" + STATS_CROSSCHECK + "' --contest '" + contest + "'"),
              0)
        << err_;
    const std::string compared = slurp(dir_ / "out.txt");
    for (const char* line :
         {"note: LZ0ZZC.CBR is UTF-16 text", "note: LZ0ZZA_.CBR is a second log of LZ0ZZA; LZ0ZZA.CBR",
          "verified where the reports confirm: 4/4 = 100.00 %",
          "no credit where they take the QSO: 6/6 = 100.00 %", "-4 min against LZ0ZZC line 5: ",
          "(credit lost)", "scores within 1 % of the reports: 3/3 = 100.00 %",
          "scores within 1 % of the second checker: 2/3 = 66.67 %",
          "== published ERROR_RECEIVE / ours BUSTED EXCHANGE (serial) (1)"})
        EXPECT_NE(compared.find(line), std::string::npos) << line << "\n" << compared;
}

// Refused: a definition that does not read (named at its line), --penalty beside it; a run whose
// logs have QSO lines of another layout has no log to use, and says why with the first line.
TEST_F(StatsCrosscheck, AContestDefinitionRefusesWhatDoesNotFit) {
    writeContest(generateContest({3, 10, 2, 0.0}));
    const std::string contest = (fs::path(STATS_SOURCE_DIR) / "contests/nrau-baltic-ssb.toml").string();
    spit(dir_ / "broken.toml", "title = \"x\"\nnames = [\"X\"]\nbogus = 1\n");
    expectAll(STATS_CROSSCHECK,
              {{"--contest broken.toml logs", 2, "stats-crosscheck: broken.toml:"},
               {"--contest '" + contest + "' --penalty double logs", 2, "stats-crosscheck: --penalty: the contest's"},
               {"--cty cty.dat --contest '" + contest + "' logs", 1, "stats-crosscheck: logs/"}});
    EXPECT_NE(err_.find(" tried; the first: line 10 skipped: 10 fields "
                        "where a QSO line of NRAU-BALTIC-SSB has 12 (frequency, mode, date, time, own call, sent "
                        "rst, serial and county, call, received rst, serial and county)"),
              std::string::npos) << err_;
    EXPECT_NE(err_.find("no log could be used (3 set aside"), std::string::npos) << err_;
}

// SA-TOLVEN's definition file is the built-in record: the same run, scored through the plug-in.
TEST_F(StatsCrosscheck, SaTolvensDefinitionIsTheBuiltInContest) {
    const SyntheticContest contest = generateContest({6, 30, 7, 0.05});
    writeContest(contest);
    const std::string file = (fs::path(STATS_SOURCE_DIR) / "contests/sa-tolven.toml").string();
    ASSERT_EQ(run("--out builtin logs"), 0) << err_;
    ASSERT_EQ(run("--contest '" + file + "' --out file logs"), 0) << err_;
    for (const std::string& name : {std::string("results.csv"), std::string("results.html"), contest.logs[0].call + ".ubn"})
        EXPECT_EQ(slurp(dir_ / "file" / name), slurp(dir_ / "builtin" / name)) << name;
}

// --help lists every option each tool declares, and each option it lists is one the tool knows.
TEST_F(StatsCrosscheck, HelpNamesEveryOption) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> tools = {
        {STATS_CROSSCHECK,
         {"--out", "--contest", "--qso-csv", "--window", "--start", "--end", "--penalty", "--no-uniques", "--accept-contest", "--call-from-name",
          "--cty", "--lib", "--jobs", "--version", "-h", "--help"}},
        {MAKE_CONTEST, {"--stations", "--qsos", "--seed", "--faults", "--contest", "--version", "-h", "--help"}}};
    for (const auto& [program, options] : tools) {
        ASSERT_EQ(runProgram(program, "--help"), 0) << program;
        const std::string help = slurp(dir_ / "out.txt");
        std::vector<std::string> listed;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) {
            if (!line.starts_with("  -")) continue;
            std::istringstream words(line);
            for (std::string word; words >> word && word.starts_with('-');)
                listed.push_back(word.ends_with(',') ? word.substr(0, word.size() - 1) : word);
        }
        EXPECT_EQ(listed, options) << help;
        for (const std::string& option : listed) {
            runProgram(program, option + " x");
            EXPECT_EQ(err_.find("unknown option"), std::string::npos) << program << " " << option << ": " << err_;
        }
    }
}

}  // namespace
