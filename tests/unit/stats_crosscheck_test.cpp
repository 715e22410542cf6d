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

#include "tools/crosscheck/contest_generator.h"

namespace fs = std::filesystem;
using namespace crosscheck;

namespace {

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void spit(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

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
    int run(const std::string& args) {
        const std::string command = "cd '" + dir_.string() + "' && '" STATS_CROSSCHECK "' --cty cty.dat " + args +
                                    " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        err_ = slurp(dir_ / "err.txt");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    void writeContest(const SyntheticContest& contest) {
        for (std::size_t i = 0; i < contest.logs.size(); ++i)
            spit(dir_ / "logs" / (contest.logs[i].call + ".log"), cabrilloText(contest, i));
    }
    fs::path dir_;
    std::string err_;
};

TEST_F(StatsCrosscheck, ReportsEveryInjectedFaultAndNothingElse) {
    const SyntheticContest contest = generateContest({15, 60, 11, 0.05});
    writeContest(contest);
    ASSERT_EQ(run("logs"), 0) << err_;
    using Flag = std::tuple<std::string, std::uint64_t, std::string>;
    std::vector<Flag> expected, reported;
    for (const auto& f : contest.faults) expected.emplace_back(f.call, f.line, std::string(verdictName(f.verdict)));
    const auto rows = csvRows(slurp(dir_ / "crosscheck/results.csv"));
    ASSERT_EQ(rows.size(), contest.logs.size() + 1);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), rows[0].size());
        const std::string report = slurp(dir_ / "crosscheck" / (rows[r][0] + ".ubn"));
        std::istringstream lines(report);
        for (std::string line; std::getline(lines, line);) {
            ASSERT_EQ(line.back(), '\r');
            const std::size_t at = line.find(" line ");
            if (line.rfind("QSO:") == std::string::npos || at == std::string::npos) continue;
            std::string verdict = line.substr(0, at);
            verdict.erase(verdict.find_last_not_of(' ') + 1);
            reported.emplace_back(rows[r][0], std::stoull(line.substr(at + 6)), verdict);
        }
        // Claimed and checked QSOs as the plug-in counts them: checked are the credited ones.
        const long claimed = std::stol(rows[r][7]), checked = std::stol(rows[r][10]);
        const long credited = std::stol(rows[r][13]) + std::stol(rows[r][17]) + std::stol(rows[r][18]);
        EXPECT_EQ(checked, credited) << rows[r][0];
        EXPECT_GE(claimed, checked) << rows[r][0];
        EXPECT_GE(std::stol(rows[r][9]), std::stol(rows[r][12])) << rows[r][0];
    }
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, expected);
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
        {"empty.log", log("AA1NIL", "SA-TOLVEN", ""), "AA1NIL has no QSO"},
        {"other.log", log("AA1OTH", "CQ-WW-CW", qso), "a log of another contest (CONTEST: CQ-WW-CW)"},
        {"garbled.log", log("AA1BAD", "SA-TOLVEN", "QSO: 7012 CW yesterday\r\n" + qso), "garbled.log: line 5"},
        {"long.log", log("AA1LNG", "SA-TOLVEN", "X-NOTE: " + std::string(1 << 20, 'x') + "\r\n" + qso), ""},
        {"comma.log", log("K1,\"Q\"", "SA-TOLVEN", qso), ""},
        {"angle.log", log("<B>K1", "SA-TOLVEN", qso), ""},
        {"notes.txt", "just some notes\n", "not a Cabrillo log"},
    };
    for (const Case& c : cases) spit(dir_ / "logs" / c.file, c.text);
    ASSERT_EQ(run("--out out logs"), 0) << err_;
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
    std::vector<std::string> want = {"call", "<B>K1", "AA1BAD", "AA1LNG", "AA1NIL", "K1,\"Q\""};
    for (const auto& l : contest.logs) want.push_back(l.call);
    std::sort(want.begin() + 1, want.end());
    EXPECT_EQ(calls, want);
    for (const auto& row : rows) {
        if (row[0] == contest.logs[0].call) {
            EXPECT_EQ(row[7], std::to_string(contest.logs[0].qsos.size()));
        }
    }

    const std::string html = slurp(dir_ / "out/results.html");
    EXPECT_EQ(html.find("<B>"), std::string::npos);
    EXPECT_NE(html.find("&lt;B&gt;K1"), std::string::npos);
    EXPECT_NE(html.find("href=\"_B_K1.ubn\">&lt;B&gt;K1</a>"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir_ / "out/K1__Q_.ubn"));
    EXPECT_EQ(html.find("CQ-WW-CW") != std::string::npos, true);
}

TEST_F(StatsCrosscheck, CommandLine) {
    for (const char* args : {"", "--window", "--window x logs", "--bogus logs"}) {
        EXPECT_EQ(run(args), 2) << args;
        EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << args << ": " << err_;
    }
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(run("--lib nowhere.so logs"), 1);
}

}  // namespace
