// A committee's whole season through the robot, on a generated contest of 150 logs by a contest
// definition: every upload taken (those with the header faults real loggers write too), a late
// version and the committee's choice, a cross-check run published in the rules' categories with
// every link answered, the same scores as the cross-check on its own, and a backup that a new robot
// serves byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>

#include "robot_fixture.h"
#include "tools/contest/definition_file.h"
#include "tools/crosscheck/contest_generator.h"
#include "tools/crosscheck/crosscheck_pipeline.h"

namespace fs = std::filesystem;
using namespace robot_test;

namespace {

constexpr std::size_t kStations = 150;

std::string replaced(std::string log, const std::string& from, const std::string& to) {
    const std::size_t at = log.find(from);
    if (at == std::string::npos) throw std::runtime_error("no " + from + " in the log");
    return log.replace(at, from.size(), to);
}

// The header's line of `tag`, with its line end.
std::string headerLine(const std::string& log, const std::string& tag) {
    const std::size_t at = log.find("\r\n" + tag + ": ") + 2;
    return log.substr(at, log.find("\r\n", at) + 2 - at);
}

// The header faults that loggers write and that never cost a log: Cabrillo 2.0 tags, a value
// retired from the lists, a near miss of a tag, CONTEST: missing or naming another contest.
const std::vector<std::function<std::string(const std::string&)>>& headerFaults() {
    static const std::vector<std::function<std::string(const std::string&)>> faults = {
        [](const std::string& log) {
            std::string out = log;
            for (const char* tag : {"CATEGORY-OPERATOR", "CATEGORY-TRANSMITTER", "CATEGORY-MODE", "CATEGORY-BAND",
                                    "CATEGORY-POWER"})
                out = replaced(out, headerLine(out, tag), "");
            return replaced(out, "CREATED-BY:", "CATEGORY: SINGLE-OP ALL LOW\r\nCREATED-BY:");
        },
        [](const std::string& log) { return replaced(log, "CREATED-BY:", "ARRL-SECTION: DX\r\nCREATED-BY:"); },
        [](const std::string& log) { return replaced(log, "CREATED-BY:", "CATEGORY-OVERLAY: OVER-50\r\nCREATED-BY:"); },
        [](const std::string& log) { return replaced(log, "CREATED-BY:", "OPERATOR: LY2XX\r\nCREATED-BY:"); },
        [](const std::string& log) { return replaced(log, headerLine(log, "CONTEST"), ""); },
        [](const std::string& log) { return replaced(log, headerLine(log, "CONTEST"), "CONTEST: CQ-WW-SSB\r\n"); },
    };
    return faults;
}

// What a robot serves of its public results and run, address by address.
std::map<std::string, std::string> served(Robot& robot, const std::vector<std::string>& addresses) {
    std::map<std::string, std::string> pages;
    for (const std::string& address : addresses) {
        const bool api = address.rfind("/api/", 0) == 0;
        const auto answer = api ? robot.client->Get(address, robot.committee()) : robot.client->Get(address);
        pages[address] = answer ? std::to_string(answer->status) + "\n" + answer->body : "no answer";
    }
    return pages;
}

// The links of a page, as written.
std::vector<std::string> links(const std::string& page) {
    std::vector<std::string> found;
    const std::regex href("href=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), href); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[1].str());
    return found;
}

}  // namespace

TEST(RobotSeason, GeneratedContestFromUploadsToARestoredBackup) {
    const contest::ContestDefinition nrau = contest::readDefinition(STATS_SOURCE_DIR "/contests/nrau-baltic-ssb.toml");
    crosscheck::GeneratorOptions options;
    options.stations = kStations;
    options.qsosPerStation = 12;
    options.seed = 41;
    options.contest = &nrau;
    const crosscheck::SyntheticContest contest = crosscheck::generateContest(options);
    std::vector<std::string> logs;
    for (std::size_t i = 0; i < contest.logs.size(); ++i) logs.push_back(crosscheck::cabrilloText(contest, i));
    for (std::size_t i = 0; i < headerFaults().size(); ++i) logs[i] = headerFaults()[i](logs[i]);

    const fs::path data = freshFolder("season");
    robot::RobotConfig config = configFor(data);
    config.score.contestFile = STATS_SOURCE_DIR "/contests/nrau-baltic-ssb.toml";
    config.uploadsPerMinute = 1000;
    {
        Robot robot(config);
        for (const std::string& log : logs) {
            const auto answer = robot.upload(log);
            ASSERT_TRUE(answer);
            EXPECT_EQ(answer->status, 201) << log.substr(0, 400) << answer->body;
        }
    }

    // The committee starts the robot again with the deadline passed: a late version of the first
    // station's log, 1 QSO of its 12, is kept but does not count until the committee takes it.
    config.deadline = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) - std::chrono::hours(1);
    Robot robot(config);
    const std::string& first = contest.logs.front().call;
    const std::string late = crosscheck::cabrilloText(contest, 0);
    const std::size_t cut = late.find("QSO:", late.find("QSO:") + 1);
    const auto lateAnswer = robot.upload(late.substr(0, cut) + "END-OF-LOG:\r\n");
    ASSERT_EQ(lateAnswer->status, 201) << lateAnswer->body;
    EXPECT_EQ(field(lateAnswer->body, "late"), "true");
    EXPECT_TRUE(has(field(lateAnswer->body, "summary"), "sent after the deadline, it counts in the results where no "
                                                        "version of this log came in time, or once the committee takes it"));
    const auto counting = [&] {
        const std::string list = robot.client->Get("/api/logs")->body;
        return field(list.substr(list.find("\"" + first + "\"")), "qsos");
    };
    const std::string onTimeQsos = counting();
    EXPECT_NE(onTimeQsos, "1");
    const std::string lateId = field(lateAnswer->body, "id");
    EXPECT_EQ(robot.client->Post("/api/uploads/" + lateId + "/choose", robot.committee(), "", "text/plain")->status, 200);
    EXPECT_EQ(counting(), "1");
    EXPECT_EQ(robot.client->Post("/api/calls/" + first + "/choice/clear", robot.committee(), "", "text/plain")->status,
              200);
    EXPECT_EQ(counting(), onTimeQsos);
    const std::string uploads = robot.client->Get("/api/uploads", robot.committee())->body;
    EXPECT_TRUE(has(uploads, "\"audit\"")) << uploads.substr(0, 600);

    // The run, published with the station reports: the rules' three categories, every link answered.
    const auto started = robot.client->Post("/api/crosscheck", robot.committee(), "", "text/plain");
    ASSERT_EQ(started->status, 202);
    ASSERT_EQ(endOfRun(robot, 1), "\"done\"");
    ASSERT_EQ(robot.client->Post("/api/crosscheck/1/publish?reports=1", robot.committee(), "", "text/plain")->status,
              200);
    const auto results = robot.client->Get("/results/");
    ASSERT_EQ(results->status, 200);
    for (const char* category : {"A ", "B ", "C "})
        EXPECT_TRUE(has(results->body, "<h2>" + std::string(category))) << category;
    std::set<std::string> checked;
    for (const std::string& link : links(results->body)) {
        const std::string address = link.front() == '/' ? link : "/results/" + link;
        if (!checked.insert(address).second) continue;
        EXPECT_EQ(robot.client->Get(address)->status, 200) << address;
    }
    EXPECT_GE(checked.size(), kStations);

    // The same scores as the cross-check on its own, over the logs as sent.
    const fs::path sent = data.parent_path() / (data.filename().string() + "-logs");
    fs::create_directories(sent);
    for (std::size_t i = 0; i < logs.size(); ++i)
        std::ofstream(sent / (contest.logs[i].call + ".cbr"), std::ios::binary) << logs[i];
    crosscheck::CrossCheckRequest request;
    request.inputs = {sent.string()};
    request.pluginLibrary = STATS_LIBRARY;
    request.contest = nrau;
    const crosscheck::CrossCheckRun alone = crosscheck::checkLogFiles(request);
    ASSERT_TRUE(alone.ok()) << alone.failure;
    EXPECT_EQ(robot.client->Get("/api/crosscheck/1/results.csv", robot.committee())->body, alone.resultsCsv);

    // A backup, started as a robot of its own, serves the same pages byte for byte.
    std::vector<std::string> addresses = {"/results/", "/logs", "/api/logs", "/api/crosscheck/1/results.csv",
                                          "/api/crosscheck/1/logs.zip", "/api/crosscheck/1/reports.zip"};
    for (const std::string& link : links(results->body))
        if (link.find(".ubn") != std::string::npos && addresses.size() < 12) addresses.push_back("/results/" + link);
    const auto before = served(robot, addresses);
    const fs::path copy = freshFolder("season-copy");
    std::string error;
    fs::create_directories(copy);
    ASSERT_TRUE(robot.server.store().backup(copy / "robot.db", error)) << error;
    robot::RobotConfig restoredConfig = config;
    restoredConfig.data = copy;
    Robot restored(restoredConfig);
    const auto after = served(restored, addresses);
    for (const std::string& address : addresses) EXPECT_EQ(after.at(address), before.at(address)) << address;
    fs::remove_all(sent);
}
