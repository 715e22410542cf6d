// One check for every tool: the robot's scoring of an upload, stats-verify and stats-replay --verify
// give the same findings for the same log (the samples, and excerpts in the layouts real loggers
// write, in tests/robot/logs/, one saved as UTF-16), by SA-TOLVEN and by a contest's definition; and the
// receipt that groups them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "tools/robot/pages.h"
#include "tools/robot/receipt.h"
#include "tools/robot/scoring.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSource = STATS_SOURCE_DIR;
const std::string kPeriod = "--start 2026-03-07 --end 2026-03-08";

// The findings a tool prints, one "LINE: error|warning: TEXT" each, without the log's name and totals.
std::string toolFindings(const std::string& command, const fs::path& log) {
    FILE* pipe = popen((command + " '" + log.string() + "' 2>/dev/null").c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pipe) pclose(pipe);
    std::istringstream lines(out);
    std::string kept, line;
    const std::string name = log.string() + ":";
    while (std::getline(lines, line))
        if (line.rfind(name, 0) == 0) kept += line.substr(name.size()) + "\n";
    return kept;
}

// The robot's findings for the log as an upload, the same way round.
robot::UploadOutcome robotOutcome(const fs::path& log, const std::string& contestFile) {
    const fs::path job = fs::temp_directory_path() / ("robot-check-" + std::to_string(getpid()));
    fs::remove_all(job);
    fs::create_directories(job);
    fs::copy_file(log, job / "log");
    robot::ScoreSettings settings;
    // SA-TOLVEN's days; a contest whose definition has periods is run by them.
    if (!contestFile.ends_with(".toml") || contestFile.ends_with("sa-tolven.toml")) {
        settings.start = std::chrono::sys_days{std::chrono::year{2026} / 3 / 7};
        settings.end = std::chrono::sys_days{std::chrono::year{2026} / 3 / 8};
    }
    settings.countryFile = (kSource / "samples/sa-tolven-cty.dat").string();
    settings.pluginLibrary = STATS_LIBRARY;
    if (!contestFile.empty()) settings.contestFile = (kSource / contestFile).string();
    robot::UploadOutcome outcome = robot::scoreUpload(job, settings);
    fs::remove_all(job);
    return outcome;
}

std::string robotFindings(const robot::UploadOutcome& outcome) {
    std::string out;
    for (const robot::Finding& f : outcome.findings)
        out += std::to_string(f.line) + (f.error ? ": error: " : ": warning: ") + f.text + "\n";
    return out;
}

}  // namespace

TEST(RobotCheck, TheRobotAndBothCommandsFindTheSame) {
    const std::string cty = " --cty '" + (kSource / "samples/sa-tolven-cty.dat").string() + "' ";
    const struct Case {
        const char* log;
        const char* contest;  // a definition file, or "" for SA-TOLVEN
        const char* state;
    } cases[] = {
        // Errors that leave the log scorable (a QSO line that does not parse, a category outside its
        // list, another own call) do not refuse it; QSOs all outside the contest's period do.
        {"samples/sa-tolven-sample.cbr", "", "accepted"},
        {"samples/verify-example.cbr", "", "accepted"},
        {"tests/robot/logs/hand-typed.cbr", "", "accepted"},
        {"tests/robot/logs/wpx-multi-two.cbr", "", "accepted"},
        {"tests/robot/logs/wpx-multi-two.cbr", "contests/cq-wpx-ssb.toml", "refused"},
        {"tests/robot/logs/nrau-county.cbr", "contests/nrau-baltic-ssb.toml", "accepted"},
        {"tests/robot/logs/nrau-county-utf16.cbr", "contests/nrau-baltic-ssb.toml", "accepted"},
        {"tests/robot/logs/hand-typed.cbr", "contests/sa-tolven.toml", "accepted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.log) + " " + c.contest);
        const fs::path log = kSource / c.log;
        const std::string contest = *c.contest ? " --contest '" + (kSource / c.contest).string() + "'" : "";
        const bool dated = !std::string_view(c.contest).ends_with(".toml") ||
                           std::string_view(c.contest).ends_with("sa-tolven.toml");
        const std::string verified = toolFindings(STATS_VERIFY + cty + (dated ? kPeriod : "") + contest, log);
        EXPECT_NE(verified.find("warning"), std::string::npos) << verified;
        const robot::UploadOutcome robot = robotOutcome(log, c.contest);
        EXPECT_EQ(robotFindings(robot), verified);
        EXPECT_EQ(robot.state, c.state);
        // stats-replay --verify checks SA-TOLVEN only, its own definition included.
        if (!*c.contest) {
            EXPECT_EQ(toolFindings(STATS_REPLAY " --verify" + cty + kPeriod, log), verified);
        }
    }
}

// Another contest is scored by its definition, not by the plug-in, and reported as such.
TEST(RobotCheck, AnotherContestIsScoredByItsDefinition) {
    const robot::UploadOutcome wpx =
        robotOutcome(kSource / "tests/robot/logs/wpx-multi-two.cbr", "contests/cq-wpx-ssb.toml");
    EXPECT_EQ(wpx.category, "MULTI-OP ALL TWO SSB HIGH ASSISTED");
    EXPECT_EQ(wpx.score, 0);  // every QSO outside the definition's period: another year's contest
    // 2 points a QSO; the dupe, the QSO outside the sub-bands and the one outside the period score
    // nothing; the counties per band as the log claims them: VO BV VA on 80 m, JH VA on 40 m.
    const robot::UploadOutcome o =
        robotOutcome(kSource / "tests/robot/logs/nrau-county.cbr", "contests/nrau-baltic-ssb.toml");
    EXPECT_EQ(o.call, "ES9ZZ");
    EXPECT_EQ(o.qsos, 8);
    EXPECT_EQ(o.score, 5 * 2 * 5);
    const robot::UploadOutcome utf16 =  // the same log saved as UTF-16
        robotOutcome(kSource / "tests/robot/logs/nrau-county-utf16.cbr", "contests/nrau-baltic-ssb.toml");
    EXPECT_EQ(std::tie(utf16.call, utf16.qsos, utf16.score, utf16.state),
              std::tie(o.call, o.qsos, o.score, o.state));
    EXPECT_NE(o.report.find("The score by the contest&#39;s definition"), std::string::npos);
    EXPECT_EQ(o.report.find("plug-in"), std::string::npos);
}

TEST(RobotReceipt, FindingsGroupByKindWithTheirLines) {
    const std::vector<std::pair<std::vector<std::uint64_t>, std::string>> lines = {
        {{}, "the whole file"},
        {{0, 7}, "line 7"},
        {{15, 28, 42}, "lines 15, 28 and 42"},
        {{1, 2, 3, 4, 5, 6, 9}, "lines 1, 2, 3, 4, 5 \xE2\x80\xA6 (7 lines)"},
    };
    for (const auto& [given, text] : lines) EXPECT_EQ(robot::linesText(given), text);

    // Two tab findings on one line are one line of their kind; errors come first; the robot's own
    // finding is a kind of its own; the kind and the lines a finding was folded from survive the store.
    const std::vector<robot::Finding> findings = robot::decodeFindings(robot::encodeFindings({
        {15, false, "byte 0x09 (tab) ... (the same on 3 lines: 15, 28 and 41)", "tab", {28, 41}},
        {15, false, "QSO: is not followed by a blank ...", "tab"},
        {58, true, "a QSO line that does not parse: 9 fields", "qso-syntax"},
        {157, true, "a QSO line that does not parse: 9 fields", "qso-syntax"},
        {0, true, "the log cannot be scored: it is an ADIF log", ""},
    }));
    const std::vector<robot::FindingGroup> groups = robot::groupFindings(findings);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].title, "the log cannot be scored: it is an ADIF log");
    EXPECT_EQ(groups[1].lines, (std::vector<std::uint64_t>{58, 157}));
    EXPECT_EQ(groups[2].title, "a tab between the fields");
    EXPECT_EQ(groups[2].findings.size(), 2u);
    EXPECT_EQ(groups[2].lines, (std::vector<std::uint64_t>{15, 28, 41}));
    robot::Receipt receipt;
    receipt.state = "refused";
    receipt.call = "CE1TLV";
    receipt.findings = findings;
    EXPECT_EQ(
        robot::receiptSentence(receipt, groups),
        "Your log of CE1TLV is not accepted because of the log cannot be scored: it is an ADIF log (the "
        "whole file): change what the errors below say and send it again (this upload replaces nothing).");
    // Accepted with errors that leave it scorable: the sentence says it counts and names what to look at
    // beyond the layout.
    receipt.state = "accepted";
    receipt.qsos = 157;
    receipt.score = 4242;
    receipt.findings.pop_back();
    receipt.findings.push_back({3, false, "CONTEST: 'NRAU' is not this contest", "contest"});
    EXPECT_EQ(robot::receiptSentence(receipt, robot::groupFindings(receipt.findings)),
              "Your log of CE1TLV is accepted: 157 QSOs, score 4242; it counts in the results. What the committee "
              "may look at: a QSO line that does not parse (lines 58 and 157); CONTEST: missing or another contest "
              "(line 3).");
    EXPECT_NE(robot::receiptJson(receipt).find("\"kind\":\"tab\",\"title\":\"a tab between the fields\""),
              std::string::npos);
}
