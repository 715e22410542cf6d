// The robot through its HTTP API, in process: a server on 127.0.0.1 port 0 with the real worker
// program and plug-in, and httplib's client.
#include <gtest/gtest.h>
#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "robot_fixture.h"
#include "robot_logs.h"
#include "tools/crosscheck/crosscheck_pipeline.h"
#include "tools/robot/client_address.h"
#include "tools/robot/private_files.h"
#include "tools/robot/robot_server.h"
#include "tools/robot/text.h"

namespace fs = std::filesystem;
using namespace robot_test;

TEST(RobotApi, EachUploadIsAnsweredAsTheCheckFindsIt) {
    Robot robot(configFor(freshFolder("answers")));
    const std::string good = stationLog("CE1TLV", 5);
    auto withLine = [&](const std::string& from, const std::string& to) {
        std::string log = good;
        log.replace(log.find(from), from.size(), to);
        return log;
    };
    const std::string adif = "<EOH>\n<CALL:5>PY3LA <STATION_CALLSIGN:6>LU1ABC <QSO_DATE:8>20260307 <TIME_ON:4>1200 "
                             "<BAND:3>20m <MODE:2>CW <RST_SENT:3>599 <STX:1>1 <RST_RCVD:3>599 <SRX:2>17 <EOR>\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : good) utf16 += std::string{c, '\0'};
    const struct Case {
        std::string log;
        int status;
        const char* accepted;
        std::string call;
        std::size_t errors, warnings;
        const char* text;  // in the first finding
    } cases[] = {
        {good, 201, "true", "\"CE1TLV\"", 0, 0, ""},
        {withLine("CONTEST: SA-TOLVEN", "CONTEST:SA-TOLVEN"), 201, "true", "\"CE1TLV\"", 0, 1, "not followed by a blank"},
        {"\r\n" + good, 201, "true", "\"CE1TLV\"", 0, 1, "empty line"},
        // Faults that leave the log scorable are told, and the log counts.
        {withLine("CONTEST: SA-TOLVEN", "CONTEST: CQ-WW-CW"), 201, "true", "\"CE1TLV\"", 0, 1, "is not this contest"},
        {withLine("END-OF-LOG:\r\n", ""), 201, "true", "\"CE1TLV\"", 1, 0, "END-OF-LOG: missing"},
        {withLine("CALLSIGN: CE1TLV", "CALLSIGN:"), 422, "false", "\"CE1TLV\"", 1, 0, "CALLSIGN: is empty"},
        {"", 422, "false", "\"\"", 1, 0, "the file is empty"},
        {std::string("\x7F" "ELF\x02\x01\0\0\n\x01\x02", 11), 422, "false", "\"\"", 1, 0, "not a text file"},
        {utf16, 201, "true", "\"CE1TLV\"", 0, 1, "UTF-16 text: read as such"},
        {adif, 201, "true", "\"LU1ABC\"", 0, 0, ""},
    };
    for (const Case& c : cases) {
        const auto res = robot.upload(c.log);
        ASSERT_TRUE(res) << c.log;
        const std::string& body = res->body;
        EXPECT_EQ(res->status, c.status) << body;
        EXPECT_EQ(field(body, "accepted"), c.accepted) << body;
        EXPECT_EQ(field(body, "call"), c.call) << body;
        EXPECT_EQ(field(body, "confirmation").size(), 14u) << body;
        const std::string errors = body.substr(body.find("\"errors\":"));
        const std::string warnings = body.substr(body.find("\"warnings\":"));
        EXPECT_EQ(std::count(errors.begin(), errors.begin() + errors.find(']'), '{'), long(c.errors)) << body;
        EXPECT_EQ(std::count(warnings.begin(), warnings.begin() + warnings.find(']'), '{'), long(c.warnings)) << body;
        EXPECT_TRUE(has(body, c.text)) << body;
        EXPECT_TRUE(has(field(body, "summary"), c.status == 201 ? " is accepted: " : " is not accepted because of ")) << body;
    }
    // The first log's report: at its unguessable address only.
    const auto res = robot.upload(good);
    const std::string report = field(res->body, "report");
    ASSERT_TRUE(std::regex_match(report, std::regex("\"/report/[0-9a-f]{32}\""))) << res->body;
    EXPECT_EQ(field(res->body, "qsos"), "5");
    EXPECT_NE(field(res->body, "score"), "null");
    const auto page = robot.client->Get(report.substr(1, report.size() - 2));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_TRUE(has(page->body, "CE1TLV"));
    EXPECT_TRUE(page->has_header("Content-Security-Policy"));
    EXPECT_EQ(robot.client->Get("/report/0123456789abcdef0123456789abcdef")->status, 404);
    EXPECT_EQ(robot.client->Get("/report/..%2Frobot.db")->status, 404);
    // The form and the box on the page: the same answer as a receipt.
    httplib::MultipartFormDataItems form = {{"log", good, "CE1TLV.cbr", "application/octet-stream"}};
    const auto fromFile = robot.client->Post("/upload", form);
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->status, 201);
    EXPECT_TRUE(has(fromFile->body, "id=\"confirmation\"") && has(fromFile->body, "/report/"));
    form = {{"log", "", "", ""}, {"text", good, "", ""}};
    EXPECT_EQ(robot.client->Post("/upload", form)->status, 201);
    form = {{"log", good, "CE1TLV.cbr", ""}};
    EXPECT_EQ(robot.client->Post("/api/logs", form)->status, 201);
    form.push_back(form.front());  // two files are not one log
    EXPECT_EQ(robot.client->Post("/api/logs", form)->status, 400);
}

TEST(RobotApi, EveryVersionIsKeptAndTheNewestAcceptedCounts) {
    Robot robot(configFor(freshFolder("versions")));
    ASSERT_EQ(robot.upload(stationLog("LU1ABC", 3))->status, 201);
    ASSERT_EQ(robot.upload(stationLog("LU1ABC", 4))->status, 201);
    // QSOs all in a mode the contest does not score: another contest's log.
    std::string refused = stationLog("LU1ABC", 6);
    for (std::size_t at = refused.find(" CW "); at != std::string::npos; at = refused.find(" CW ", at))
        refused.replace(at, 4, " RY ");
    ASSERT_EQ(robot.upload(refused)->status, 422);
    // A log's call is a call, or the log is refused at its CALLSIGN: line and the call kept nowhere.
    for (const std::string& call : {std::string("<script>"), std::string("=CMD|X"), std::string(1'000'000, 'A')}) {
        const auto bad = robot.upload(stationLog(call, 2));
        EXPECT_EQ(bad->status, 422);
        EXPECT_EQ(field(bad->body, "call"), "\"\"");
        EXPECT_TRUE(has(bad->body, "{\"line\":2,\"text\":\"CALLSIGN: '")) << bad->body.substr(0, 300);
    }

    const auto logs = robot.client->Get("/api/logs");
    EXPECT_TRUE(has(logs->body, "{\"call\":\"LU1ABC\",\"category\":\"\",\"qsos\":4,")) << logs->body;
    EXPECT_FALSE(has(logs->body, "<script>")) << logs->body;
    EXPECT_FALSE(has(robot.client->Get("/logs")->body, "SCRIPT"));
    // The calls worked by the current logs: those of LU1ABC's second version, not of both.
    const auto wanted = robot.client->Get("/api/wanted", robot.committee());
    EXPECT_TRUE(has(wanted->body, "{\"call\":\"PY0AAA\",\"logs\":1},{\"call\":\"PY1ABA\",\"logs\":1},"
                                  "{\"call\":\"PY2ACA\",\"logs\":1},{\"call\":\"PY3ADA\",\"logs\":1}]"))
        << wanted->body;

    EXPECT_EQ(robot.client->Get("/api/uploads")->status, 401);
    EXPECT_EQ(robot.client->Get("/api/uploads", {{"Authorization", "Bearer nonsense"}})->status, 401);
    const auto uploads = robot.client->Get("/api/uploads", robot.committee());
    ASSERT_EQ(uploads->status, 200);
    const std::string& u = uploads->body;
    const std::string lu = u.substr(u.find("{\"call\":\"LU1ABC\""));
    EXPECT_EQ(field(lu, "counts"), "2") << u;
    std::size_t versions = 0;
    for (std::size_t at = u.find("\"sha256\""); at != std::string::npos; at = u.find("\"sha256\"", at + 1)) ++versions;
    EXPECT_EQ(versions, 6u) << u;
    EXPECT_LT(u.size(), 20000u);

    // A new version from another address than the one it replaces is marked for the committee.
    std::string error;
    robot::Store& store = robot.server.store();
    const auto id = store.uploads().add("x", "00", "2026-03-09 10:00:00", "192.0.2.7", "C0DE", "K3Y", false, error);
    robot::UploadOutcome moved{.state = "accepted", .call = "LU1ABC"};
    ASSERT_TRUE(id && store.uploads().finish(*id, moved, error)) << error;
    EXPECT_EQ(store.uploads().all().back().replacesOtherAddress, std::optional<std::int64_t>(2));
    EXPECT_TRUE(has(robot.client->Get("/api/uploads", robot.committee())->body, "\"replaces_other_address\":2"));
    const auto page = robot.client->Post("/committee/signin", "token=" + robot.server.committeeToken(),
                                         "application/x-www-form-urlencoded");
    const std::string cookie = page->get_header_value("Set-Cookie");
    EXPECT_TRUE(has(robot.client->Get("/committee", {{"Cookie", cookie.substr(0, cookie.find(';'))}})->body,
                    "replaces #2 from another address"));
}

TEST(RobotApi, CommitteeSignsInCrossChecksAndPublishes) {
    Robot robot(configFor(freshFolder("committee")));
    // Nothing accepted yet: the run fails and says why.
    const auto empty = robot.client->Post("/api/crosscheck", robot.committee(), "", "text/plain");
    ASSERT_EQ(empty->status, 202);
    EXPECT_EQ(empty->body, "{\"id\":1}\n");
    EXPECT_EQ(endOfRun(robot, 1), "\"failed\"");
    EXPECT_EQ(field(robot.client->Get("/api/crosscheck/1", robot.committee())->body, "progress"),
              "\"no accepted log to cross-check\"");
    for (const auto& [call, log] : contestLogs({"CE1AA", "LU2BB", "PY3CC", "CX4DD"}))
        ASSERT_EQ(robot.upload(log)->status, 201) << log;
    const auto wanted = robot.client->Get("/api/wanted", robot.committee());
    EXPECT_TRUE(has(wanted->body, "{\"wanted\":[{\"call\":\"ZW9ZZZ\",\"logs\":4}],")) << wanted->body;

    // The sign-in page: a session cookie a script cannot read nor another site send.
    EXPECT_EQ(robot.client->Get("/committee")->status, 401);
    EXPECT_EQ(robot.client->Post("/committee/signin", "token=wrong", "application/x-www-form-urlencoded")->status, 401);
    const auto signin =
        robot.client->Post("/committee/signin", "token=" + robot.server.committeeToken(), "application/x-www-form-urlencoded");
    ASSERT_EQ(signin->status, 303);
    const std::string cookie = signin->get_header_value("Set-Cookie");
    EXPECT_TRUE(has(cookie, "HttpOnly") && has(cookie, "SameSite=Strict")) << cookie;
    const httplib::Headers session = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    const auto page = robot.client->Get("/committee", session);
    ASSERT_EQ(page->status, 200);
    std::smatch csrf;
    ASSERT_TRUE(std::regex_search(page->body, csrf, std::regex("name=\"csrf\" value=\"([0-9a-f]+)\"")));
    EXPECT_EQ(robot.client->Post("/api/crosscheck", session, "", "text/plain")->status, 403);
    httplib::Headers foreign = session;
    foreign.emplace("Origin", "http://evil.example");
    EXPECT_EQ(robot.client->Post("/committee/crosscheck", foreign, "csrf=" + csrf[1].str(),
                                 "application/x-www-form-urlencoded")->status, 403);

    httplib::Headers proxied = session;  // the page as a reverse proxy serving HTTPS shows it
    proxied.emplace("Origin", "https://127.0.0.1:" + std::to_string(robot.server.port()));
    const auto started = robot.client->Post("/committee/crosscheck", proxied, "csrf=" + csrf[1].str(),
                                            "application/x-www-form-urlencoded");
    ASSERT_EQ(started->status, 303);
    ASSERT_EQ(endOfRun(robot, 2), "\"done\"") << robot.client->Get("/api/crosscheck/2", robot.committee())->body;
    EXPECT_EQ(robot.client->Get("/api/crosscheck/2")->status, 401);
    const auto csv = robot.client->Get("/api/crosscheck/2/results.csv", robot.committee());
    EXPECT_EQ(csv->status, 200);
    EXPECT_TRUE(has(csv->body, "CX4DD")) << csv->body;
    EXPECT_EQ(robot.client->Get("/api/crosscheck/2/results.html", session)->status, 200);
    const auto ubn = robot.client->Get("/api/crosscheck/2/ubn/PY3CC", robot.committee());
    EXPECT_EQ(ubn->status, 200);
    EXPECT_TRUE(has(ubn->body, "PY3CC")) << ubn->body;
    EXPECT_EQ(robot.client->Get("/api/crosscheck/2/ubn/K1NONE", robot.committee())->status, 404);
    EXPECT_EQ(robot.client->Get("/api/crosscheck/2/ubn/..%2F..%2Frobot.db", robot.committee())->status, 404);
    const auto zip = robot.client->Get("/api/crosscheck/2/logs.zip", robot.committee());
    ASSERT_EQ(zip->status, 200);
    EXPECT_EQ(zip->body.substr(0, 2), "PK");
    EXPECT_TRUE(has(zip->body, "LU2BB.cbr") && has(zip->body, "CALLSIGN: LU2BB"));

    EXPECT_EQ(robot.client->Get("/results")->status, 404);
    EXPECT_EQ(robot.client->Post("/api/crosscheck/2/publish", robot.committee(), "", "text/plain")->status, 200);
    const auto results = robot.client->Get("/results/");
    EXPECT_EQ(results->status, 200);
    EXPECT_TRUE(has(results->body, "CE1AA"));
}

// A log of exactly `size` bytes: a station's log padded with SOAPBOX lines of 80 bytes, the last of
// them longer by what is left.
std::string logOfSize(std::size_t size) {
    const std::string log = stationLog("CE1TLV", 2);
    const auto line = [](std::size_t bytes) { return "SOAPBOX: " + std::string(bytes - 11, 'x') + "\r\n"; };
    const std::size_t room = size - log.size(), lines = room / 80;
    std::string padding;
    for (std::size_t i = 0; i + 1 < lines; ++i) padding += line(80);
    padding += line(80 + room % 80);
    const std::size_t head = log.find("CONTEST:");
    return log.substr(0, head) + padding + log.substr(head);
}

// The limit is the log's, sent alone or as a form: the form's framing comes on top of it.
TEST(RobotApi, UploadLimitWithAndWithoutAForm) {
    robot::RobotConfig config = configFor(freshFolder("upload-limit"));
    config.maxUploadBytes = 100 * 1024;
    config.uploadsPerMinute = 100;
    Robot robot(config);
    for (const bool form : {false, true})
        for (const std::size_t size : {config.maxUploadBytes - 100, config.maxUploadBytes, config.maxUploadBytes + 1}) {
            const std::string log = logOfSize(size);
            ASSERT_EQ(log.size(), size);
            const auto answer = form ? robot.client->Post("/api/logs", httplib::MultipartFormDataItems{
                                                                           {"log", log, "CE1TLV.cbr", "text/plain"}})
                                     : robot.upload(log);
            ASSERT_TRUE(answer);
            SCOPED_TRACE((form ? "form, " : "raw, ") + std::to_string(size) + " bytes");
            EXPECT_EQ(answer->status, size > config.maxUploadBytes ? 413 : 201) << answer->body;
            if (answer->status == 413) {
                EXPECT_TRUE(has(answer->body, "larger than 100 KiB")) << answer->body;
            }
        }
}

TEST(RobotApi, LimitsAndDeadline) {
    robot::RobotConfig config = configFor(freshFolder("limits"));
    config.uploadsPerMinute = 3;
    config.deadline = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) - std::chrono::hours(1);
    Robot robot(config);
    const auto big = robot.upload(std::string(5 * 1024 * 1024 + 1, 'x'));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);
    EXPECT_TRUE(has(big->body, "larger than 5 MiB")) << big->body;
    // A chunked body has no length to check first: it is cut off at the limit all the same. A body that
    // does not arrive whole (a broken chunk) is not stored as a log.
    const auto chunked = robot.client->Post(
        "/api/logs",
        [](std::size_t at, httplib::DataSink& sink) {
            const std::string block(1 << 20, 'x');
            return at < 8 * block.size() ? sink.write(block.data(), block.size()) : (sink.done(), true);
        },
        "text/plain");
    ASSERT_TRUE(chunked);
    EXPECT_EQ(chunked->status, 413);
    const std::size_t stored = robot.server.store().uploads().all().size();
    httplib::Client raw("127.0.0.1", robot.server.port());
    const auto broken = raw.Post("/api/logs", {{"Transfer-Encoding", "chunked"}},
                                 "20\r\n" + stationLog("CE1TLV", 2).substr(0, 32) + "\r\nzz\r\n", "text/plain");
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->status, 400);
    EXPECT_EQ(robot.server.store().uploads().all().size(), stored);
    const auto late = robot.upload(stationLog("CE1TLV", 2));
    EXPECT_EQ(late->status, 201);
    EXPECT_EQ(field(late->body, "late"), "true");
    EXPECT_EQ(field(late->body, "id"), std::to_string(robot.server.store().uploads().all().back().id));
    EXPECT_TRUE(has(robot.client->Get("/api/logs")->body, "\"late\":true"));
    robot.upload(stationLog("CE1TLV", 2));
    robot.upload(stationLog("CE1TLV", 2));
    const auto limited = robot.upload(stationLog("CE1TLV", 2));
    EXPECT_EQ(limited->status, 429);
    EXPECT_FALSE(limited->get_header_value("Retry-After").empty());
    const auto page = robot.client->Get("/");
    EXPECT_TRUE(has(page->get_header_value("Content-Security-Policy"), "default-src 'none'"));
    for (const char* told : {"SA-TOLVEN CW/SSB (C)", "(later logs are taken and marked late)", "Cabrillo or ADIF", "5 MiB"})
        EXPECT_TRUE(has(page->body, told)) << told;

    config = configFor(freshFolder("closed"));
    config.deadline = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) - std::chrono::hours(1);
    config.closed = true;
    Robot closed(config);
    const auto refused = closed.upload(stationLog("CE1TLV", 2));
    EXPECT_EQ(refused->status, 403);
    EXPECT_TRUE(has(closed.client->Get("/")->body, "(later logs are not taken)"));
    EXPECT_TRUE(has(refused->body, "deadline")) << refused->body;
}

TEST(RobotApi, AWorkerThatCrashesOrHangsCostsOnlyItsUpload) {
    const fs::path scripts = freshFolder("workers");
    fs::create_directories(scripts);
    const struct {
        const char* name;
        const char* body;
        const char* problem;
    } workers[] = {{"crash.sh", "kill -SEGV $$\n", "crashed"}, {"hang.sh", "exec sleep 30\n", "longer than"},
                   {"garbage.sh", "cd \"$2\" && : >report.html && printf 'state\\tpending\\nend\\t\\n' >outcome\n",
                    "no valid state"},
                   {"paths.sh", "echo \"cannot read $2/log, nor (/usr/lib/stats/Stats.so)\" >\"$2/failure\"; exit 3\n",
                    "cannot read jobs/1/log, nor (a file on the server)"}};
    for (const auto& w : workers) {
        const fs::path script = scripts / w.name;
        std::ofstream(script) << "#!/bin/sh\n" << w.body;
        chmod(script.c_str(), 0755);
        robot::RobotConfig config = configFor(freshFolder(w.name));
        config.workerProgram = script;
        config.jobTimeLimit = std::chrono::milliseconds(500);
        Robot robot(config);
        const auto res = robot.upload(stationLog("CE1TLV", 2));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 500);
        EXPECT_TRUE(has(res->body, w.problem)) << res->body;
        EXPECT_FALSE(has(res->body, config.data.string())) << res->body;
        EXPECT_EQ(robot.client->Get("/api/logs")->status, 200);
    }
}

TEST(RobotApi, TheStoreOpensAgainAndItsBackupServesTheSameLogs) {
    const fs::path data = freshFolder("reopen");
    std::string token, logs;
    {
        Robot robot(configFor(data));
        token = robot.server.committeeToken();
        ASSERT_EQ(robot.upload(stationLog("CE1TLV", 3))->status, 201);
        ASSERT_EQ(robot.upload(stationLog("LU1ABC", 2))->status, 201);
        logs = robot.client->Get("/api/logs")->body;
        std::string error;
        ASSERT_TRUE(robot.server.store().backup(data.string() + "-copy.db", error)) << error;
    }
    struct stat info {};
    ASSERT_EQ(stat((data / "committee-token").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    Robot again(configFor(data));
    EXPECT_EQ(again.server.committeeToken(), token);
    EXPECT_EQ(again.client->Get("/api/logs")->body, logs);
    EXPECT_EQ(again.server.store().integrityCheck(), "ok");

    const fs::path restored = freshFolder("restored");
    fs::create_directories(restored);
    fs::copy_file(data.string() + "-copy.db", restored / "robot.db");
    Robot fromBackup(configFor(restored));
    EXPECT_EQ(fromBackup.client->Get("/api/logs")->body, logs);
}

TEST(RobotApi, TheDataIsTheRobotsAloneWhateverTheUmask) {
    const mode_t before = umask(022);
    const fs::path data = freshFolder("private");
    {
        Robot robot(configFor(data));
        for (const auto& [call, log] : contestLogs({"CE1AA", "LU2BB"})) ASSERT_EQ(robot.upload(log)->status, 201);
        ASSERT_EQ(robot.client->Post("/api/crosscheck", robot.committee(), "", "text/plain")->status, 202);
        ASSERT_EQ(endOfRun(robot, 1), "\"done\"");
        const std::string html = robot.client->Get("/api/crosscheck/1/results.html", robot.committee())->body;
        EXPECT_FALSE(has(html, data.string()));
        std::string error;
        ASSERT_TRUE(robot.server.store().backup(data.string() + "-backup.db", error)) << error;
        for (const auto& [file, mode] : {std::pair{data, 0700u}, {data / "jobs", 0700u}, {data / "runs", 0700u},
                                         {data / "robot.db", 0600u},
                                         {data / "robot.db-wal", 0600u}, {data / "robot.db-shm", 0600u},
                                         {fs::path(data.string() + "-backup.db"), 0600u}}) {
            struct stat info {};
            ASSERT_EQ(stat(file.c_str(), &info), 0) << file;
            EXPECT_EQ(info.st_mode & 0777, mode) << file;
        }
    }
    umask(before);
}

TEST(RobotApi, ARunStartsEmptyOnlyOnceRecordedAndEndsBeforeTheServer) {
    // A folder left from a database since replaced by its backup; a cross-check worker that takes 1 s.
    const fs::path data = freshFolder("runs");
    fs::create_directories(data / "runs" / "1" / "logs");
    std::ofstream(data / "runs" / "1" / "logs" / "ZZ9OLD.cbr") << stationLog("ZZ9OLD", 2);
    robot::RobotConfig config = configFor(data);
    config.workerProgram = data.string() + "-slow.sh";
    config.runTimeLimit = std::chrono::seconds(5);
    std::ofstream(config.workerProgram) << "#!/bin/sh\n[ $1 = --crosscheck-worker ] && sleep $(cat \"$0.delay\" 2>/dev/null || echo 1)\n"
                                           "exec " STATS_ROBOT " \"$@\"\n";
    chmod(config.workerProgram.c_str(), 0755);
    Robot robot(config);
    for (const auto& [call, log] : contestLogs({"CE1AA", "LU2BB"})) ASSERT_EQ(robot.upload(log)->status, 201);
    const auto post = [&] { return robot.client->Post("/api/crosscheck", robot.committee(), "", "text/plain")->status; };
    ASSERT_EQ(post(), 202);
    robot::Store beside;  // as the backup opens it: the run goes on as it is
    std::string error;
    ASSERT_TRUE(beside.open(data, error, robot::Store::Opener::kBeside)) << error;
    EXPECT_EQ(robot.server.store().runs().find(1)->state, "running");
    ASSERT_EQ(endOfRun(robot, 1), "\"done\"");
    const auto zip = robot.client->Get("/api/crosscheck/1/logs.zip", robot.committee());
    EXPECT_TRUE(has(zip->body, "LU2BB.cbr") && !has(zip->body, "ZZ9OLD")) << zip->body;

    // A run that hangs is stopped at its time limit, and the next one may start.
    std::ofstream(config.workerProgram.string() + ".delay") << 60;
    ASSERT_EQ(post(), 202);
    EXPECT_EQ(endOfRun(robot, 2), "\"failed\"");
    EXPECT_TRUE(has(robot.server.store().runs().find(2)->progress, "took longer than 5 s")) << robot.server.store().runs().find(2)->progress;
    fs::remove(config.workerProgram.string() + ".delay");

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((data / "robot.db").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TRIGGER no_runs BEFORE INSERT ON runs BEGIN SELECT RAISE(FAIL, 'full'); END", 0, 0, 0);
    EXPECT_EQ(post(), 503);
    sqlite3_exec(db, "DROP TRIGGER no_runs", 0, 0, 0);
    sqlite3_close(db);
    EXPECT_EQ(post(), 202);
    // Stopped by a signal's thread and by the destructor at once: both wait for the run.
    std::thread signal([&] { robot.server.stop(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    robot.server.stop();
    EXPECT_EQ(robot.server.store().runs().find(3)->state, "done");
    signal.join();
}

namespace {
int otherListeningPort(int known);
}  // namespace

TEST(RobotApi, OneServerPerDataFolderAndPort) {
    const fs::path data = freshFolder("lock");
    auto first = std::make_unique<Robot>(configFor(data));
    const std::string pid = "(pid " + std::to_string(getpid()) + ")";
    const struct {
        fs::path data;
        int port;
        std::string refusal;  // empty: it opens
    } starts[] = {{data, 0, "the data folder " + data.string() + " is in use by another stats-robot " + pid},
                  {freshFolder("lock-other"), first->server.port(), "cannot listen on 127.0.0.1:"},
                  {data, 0, ""}};
    for (const auto& s : starts) {
        if (s.refusal.empty()) first.reset();  // the folder is free once its server is gone
        robot::RobotConfig config = configFor(s.data);
        config.port = s.port;
        robot::RobotServer second(config);
        std::string error;
        EXPECT_EQ(second.open(error), s.refusal.empty()) << s.data;
        EXPECT_TRUE(has(error, s.refusal)) << error;
    }
    // None of them, opened or not, left a socket listening (a connection to it would wait forever).
    EXPECT_EQ(otherListeningPort(0), 0);
}

TEST(RobotText, TheClientIsTheLastForwardedAddressOnlyFromATrustedProxy) {
    const std::vector<std::string> trusted = {"127.0.0.1", "2001:db8::1"};
    const struct {
        const char* peer;
        std::vector<std::string> forwardedFor;
        const char* client;
    } cases[] = {{"127.0.0.1", {"203.0.113.9"}, "203.0.113.9"},
                 {"127.0.0.1", {"6.6.6.6, 203.0.113.9 "}, "203.0.113.9"},  // what the client claimed goes
                 {"127.0.0.1", {"6.6.6.6", "2001:DB8:0::7"}, "2001:db8::7"},
                 {"::ffff:127.0.0.1", {"203.0.113.9"}, "203.0.113.9"},
                 {"2001:db8::1", {"203.0.113.9"}, "203.0.113.9"},
                 {"127.0.0.1", {"<script>"}, "127.0.0.1"},
                 {"127.0.0.1", {}, "127.0.0.1"},
                 {"198.51.100.4", {"203.0.113.9"}, "198.51.100.4"}};  // not a trusted proxy
    for (const auto& c : cases)
        EXPECT_EQ(robot::clientAddress(c.peer, c.forwardedFor, trusted), c.client) << c.peer;
    EXPECT_EQ(robot::clientAddress("127.0.0.1", {"203.0.113.9"}, {}), "127.0.0.1");
}

TEST(RobotText, AnAnswerNamesNoServerPath) {
    for (const auto& [text, shown] : {std::pair{"cannot read /srv/robot/jobs/7/log", "cannot read jobs/7/log"},
                                      {"in /srv/robot: full", "in the data folder: full"},
                                      {"no plug-in at '/usr/lib/x.so', nor /srv/robotx", "no plug-in at 'a file on "
                                                                                        "the server', nor a file on "
                                                                                        "the server"},
                                      {"took 5 s/run, 1/2 done", "took 5 s/run, 1/2 done"}})
        EXPECT_EQ(robot::withoutServerPaths(text, "/srv/robot"), shown);
}

namespace {

// The request as sent from the address `from`, on a connection of its own; the answer's first line.
std::string rawStatusLine(int port, const std::string& request, const char* from = "127.0.0.1") {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const timeval bound{10, 0};  // no answer in 10 s fails the test rather than hangs it
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, from, &address.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    char answer[256] = {};
    const bool sent = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                      write(fd, request.data(), request.size()) == ssize_t(request.size());
    const ssize_t n = sent ? read(fd, answer, sizeof answer - 1) : 0;
    close(fd);
    const std::string line(answer, std::size_t(std::max<ssize_t>(n, 0)));
    return line.substr(0, line.find('\r'));
}

}  // namespace

TEST(RobotApi, AnUploadWaitingForItsWorkerHoldsNoRequestAndABodilessPostIsEmpty) {
    // Workers that take a second each; the answer waits for none.
    const fs::path data = freshFolder("async");
    robot::RobotConfig config = configFor(data);
    config.workerProgram = data.string() + "-slow.sh";
    std::ofstream(config.workerProgram) << "#!/bin/sh\nsleep 1\nexec " STATS_ROBOT " \"$@\"\n";
    chmod(config.workerProgram.c_str(), 0755);
    config.answerWait = std::chrono::milliseconds(0);
    Robot robot(config);
    const auto sent = std::chrono::steady_clock::now();
    std::vector<std::string> receipts;
    for (int i = 0; i < 3; ++i) {
        const auto res = robot.upload(stationLog("CE1TLV", 3));
        ASSERT_EQ(res->status, 202) << res->body;
        EXPECT_EQ(field(res->body, "state"), "\"received\"");
        receipts.push_back(res->get_header_value("Location"));
        ASSERT_TRUE(std::regex_match(receipts.back(), std::regex("/api/receipt/[0-9a-f]{32}"))) << receipts.back();
    }
    EXPECT_EQ(robot.client->Get("/api/logs")->status, 200);
    EXPECT_EQ(robot.client->Get(receipts[0])->status, 202);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(900));
    for (const std::string& receipt : receipts) {
        auto res = robot.client->Get(receipt);
        for (int i = 0; i < 200 && res->status == 202; ++i, res = robot.client->Get(receipt))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(field(res->body, "accepted"), "true") << res->body;
    }
    const httplib::MultipartFormDataItems form = {{"log", stationLog("LU1ABC", 2), "LU1ABC.cbr", ""}};
    const auto page = robot.client->Post("/upload", form);
    EXPECT_EQ(page->status, 202);
    EXPECT_TRUE(has(page->get_header_value("Refresh"), "url=/receipt/")) << page->get_header_value("Refresh");

    // A committee POST without a body, as `curl -X POST` sends it: taken as empty at once.
    const std::string post = "POST /api/crosscheck HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                             robot.server.committeeToken() + "\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(rawStatusLine(robot.server.port(), post), "HTTP/1.1 202 Accepted");
}

TEST(RobotApi, TheCommitteeChoosesTheVersionThatCountsByApiAndByForm) {
    Robot robot(configFor(freshFolder("choice")));
    robot::Store& store = robot.server.store();
    // LU1ABC's 210 QSOs in time, then 1 QSO late from elsewhere; PY2BB refused; CE1AA works both.
    const struct {
        const char* call;
        bool late;
        const char* state;
        std::vector<std::string> worked;
    } versions[] = {{"LU1ABC", false, "accepted", {}},
                    {"LU1ABC", true, "accepted", {}},
                    {"PY2BB", false, "refused", {}},
                    {"CE1AA", false, "accepted", {"PY2BB", "ZZ9ZZ"}}};
    std::string error;
    for (const auto& v : versions) {
        const std::string n = std::to_string(&v - versions);
        const auto id = store.uploads().add("log", "sha", "2026-03-08 10:00:00", "192.0.2." + n, "C" + n,
                                            "K" + n, v.late, error);
        robot::UploadOutcome outcome{.state = v.state, .call = v.call, .worked = v.worked};
        if (outcome.state == "refused") outcome.findings = {{2, true, "CALLSIGN: missing", ""}};
        outcome.qsos = v.late ? 1 : 210;
        ASSERT_TRUE(id && store.uploads().finish(*id, outcome, error)) << error;
    }
    const std::string cookie = robot.client
                                   ->Post("/committee/signin", "token=" + robot.server.committeeToken(),
                                          "application/x-www-form-urlencoded")
                                   ->get_header_value("Set-Cookie");
    httplib::Headers session = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    std::smatch csrf;
    const std::string before = robot.client->Get("/committee", session)->body;
    ASSERT_TRUE(std::regex_search(before, csrf, std::regex("name=\"csrf\" value=\"([0-9a-f]+)\"")));
    session.emplace("Origin", "http://127.0.0.1:" + std::to_string(robot.server.port()));
    const auto counting = [&] {
        const std::string u = robot.client->Get("/api/uploads", robot.committee())->body;
        return field(u.substr(u.find("{\"call\":\"LU1ABC\"")), "counts");
    };
    EXPECT_EQ(counting(), "1");  // the late version does not replace the one sent in time
    const struct {
        const char* path;
        int status;
        const char* counts;
    } steps[] = {{"/api/uploads/2/choose", 200, "2"},          {"/api/uploads/3/choose", 409, "2"},
                 {"/api/uploads/99/choose", 404, "2"},         {"/api/uploads/1/unchoose", 409, "2"},
                 {"/committee/uploads/2/unchoose", 303, "1"},  {"/committee/uploads/2/choose", 303, "2"},
                 {"/api/uploads/2/unchoose", 200, "1"},        {"/committee/uploads/2/choose", 303, "2"},
                 {"/api/calls/lu1abc/choice/clear", 200, "1"}, {"/api/calls/LU1ABC/choice/clear", 409, "1"},
                 {"/committee/uploads/2/choose", 303, "2"}};
    for (const auto& s : steps) {
        const bool form = std::string(s.path).rfind("/committee", 0) == 0;
        const auto done = form ? robot.client->Post(s.path, session, "csrf=" + csrf[1].str(),
                                                    "application/x-www-form-urlencoded")
                               : robot.client->Post(s.path, robot.committee(), "", "text/plain");
        EXPECT_EQ(done->status, s.status) << s.path << done->body;
        EXPECT_EQ(counting(), s.counts) << s.path;
    }
    EXPECT_EQ(
        robot.client->Post("/committee/uploads/2/unchoose", session, "", "application/x-www-form-urlencoded")
            ->status,
        403);  // no form token
    EXPECT_TRUE(
        has(robot.client->Get("/api/logs")->body, "{\"call\":\"LU1ABC\",\"category\":\"\",\"qsos\":1,"));

    // The audit trail in the JSON and on the page; the totals; PY2BB received, not wanted.
    const std::string uploads = robot.client->Get("/api/uploads", robot.committee())->body;
    EXPECT_TRUE(has(uploads, "\"chosen\":2,\"versions\":[")) << uploads;
    EXPECT_TRUE(has(uploads, "\"upload\":2,\"action\":\"chosen\",\"by\":\"API (token)\"}")) << uploads;
    EXPECT_TRUE(has(uploads, "\"upload\":2,\"action\":\"undone\",\"by\":\"committee page\"}")) << uploads;
    const std::string page = robot.client->Get("/committee", session)->body;
    for (const char* part :
         {"<dt>Uploads</dt><dd>4</dd>", "<dt>Late</dt><dd>1</dd>", "<dt>Logs that count</dt><dd>2</dd>",
          "counts (chosen)", "Undo the choice", "<td>choice undone</td><td>API (token)</td>",
          "<td>PY2BB</td><td class=\"num\">1</td><td class=\"refused\">CALLSIGN: missing</td>"})
        EXPECT_TRUE(has(page, part)) << part;
    EXPECT_LT(page.find("id=\"search\""), page.find("id=\"wanted\""));
    const std::string wanted = robot.client->Get("/api/wanted", robot.committee())->body;
    EXPECT_EQ(wanted,
              "{\"wanted\":[{\"call\":\"ZZ9ZZ\",\"logs\":1}],\"received_not_accepted\":"
              "[{\"call\":\"PY2BB\",\"logs\":1,\"reason\":\"CALLSIGN: missing\"}]}\n");
}

TEST(RobotApi, TheCommitteePageShowsAPageOfUploadsAndSearchesByCall) {
    Robot robot(configFor(freshFolder("pages")));
    robot::Store& store = robot.server.store();
    std::string error;
    for (int i = 0; i < 60; ++i) {  // stored, never scored: the page shows them all the same
        const std::string n = std::to_string(i);
        ASSERT_TRUE(store.uploads().add("log", "sha", "2026-03-08 10:00:00", "127.0.0.1", "C" + n, "k" + n, false, error));
    }
    // Upload 7 as the call LU7ABC, 17 as LU17ABC; 30 and 20 as two versions of CE1AA scored out of turn.
    const struct {
        int id;
        const char* call;
        std::vector<std::string> worked;
    } scored[] = {{7, "LU7ABC", {"K1A"}}, {17, "LU17ABC", {"K1A"}}, {30, "CE1AA", {"K1A", "K2B"}}, {20, "CE1AA", {"K3C"}}};
    for (const auto& u : scored) {
        robot::UploadOutcome outcome;
        outcome.state = "accepted";
        outcome.call = u.call;
        outcome.worked = u.worked;
        ASSERT_TRUE(store.uploads().finish(u.id, outcome, error)) << error;
    }
    const auto wanted = store.uploads().wanted(10);
    ASSERT_EQ(wanted.size(), 2u);
    EXPECT_EQ(wanted[0].call + std::to_string(wanted[0].logs) + wanted[1].call + std::to_string(wanted[1].logs), "K1A3K2B1");
    const struct {
        const char* query;
        const char* pager;
        std::size_t rows;
    } cases[] = {{"", "Uploads 1&ndash;50 of 60", 50},
                 {"?page=2", "Uploads 51&ndash;60 of 60", 10},
                 {"?page=9", "Uploads none here of 60", 0},
                 {"?call=7abc", "Uploads 1&ndash;2 of 2", 2},
                 {"?call=ce1", "Uploads 1&ndash;2 of 2", 2},
                 {"?call=%25", "Uploads none here of 0", 0}};
    for (const auto& c : cases) {
        const auto page = robot.client->Get(std::string("/committee") + c.query, robot.committee());
        ASSERT_EQ(page->status, 200);
        EXPECT_TRUE(has(page->body, c.pager)) << c.query;
        std::size_t rows = 0;
        for (std::size_t at = page->body.find("<code>"); at != std::string::npos; at = page->body.find("<code>", at + 1)) ++rows;
        EXPECT_EQ(rows, c.rows) << c.query;
    }
}

TEST(RobotApi, EveryRequestIsBoundedBeforeItsBodyIsRead) {
    robot::RobotConfig config = configFor(freshFolder("bounds"));
    config.headDeadline = std::chrono::milliseconds(1000);
    config.requestDeadline = std::chrono::milliseconds(1500);
    Robot robot(config);
    const int port = robot.server.port();
    std::string headers;
    for (int i = 0; i < 200; ++i) headers += "X-" + std::to_string(i) + ": " + std::string(100, 'a') + "\r\n";
    const std::string chunked = "Host: x\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n" + std::string(1000, 'a');
    const std::string halfUpload = "POST /api/logs HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\nSTART";
    const std::string length = "HTTP/1.1\r\nHost: x\r\nContent-Length: ";
    const struct {
        std::string request;
        int held;  // connections that send half an upload first, and wait
        const char* status;
    } cases[] = {{"GET / HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n", 0, "HTTP/1.1 431 Request Header Fields Too Large"},
                 {"GET / HTTP/1.1\r\n" + chunked, 0, "HTTP/1.1 400 Bad Request"},
                 {"POST /nothing HTTP/1.1\r\n" + chunked, 0, "HTTP/1.1 404 Not Found"},
                 {"POST /api/logs " + length + "5308417\r\n\r\n", 0, "HTTP/1.1 413 Payload Too Large"},
                 {"POST /committee/signin " + length + "65537\r\n\r\n", 0, "HTTP/1.1 413 Payload Too Large"},
                 {"POST /api/logs " + length + "5\r\nExpect: 100-continue\r\n\r\n", 0, "HTTP/1.1 100 Continue"},
                 {"GET / HTTP/1.1\r\nHost: x\r\n", 0, "HTTP/1.1 408 Request Timeout"},
                 {halfUpload, 0, "HTTP/1.1 408 Request Timeout"},
                 {"GET /\r\n\r\n", 0, "HTTP/1.1 400 Bad Request"},
                 {halfUpload, 16, "HTTP/1.1 429 Too Many Requests"},
                 {"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 15, "HTTP/1.1 200 OK"}};
    for (const auto& c : cases) {
        // The connections of the cases before are gone first: they count toward the address's cap.
        std::this_thread::sleep_for(std::chrono::milliseconds(c.held ? 300 : 0));
        std::vector<int> held;
        for (int i = 0; i < c.held; ++i) {
            held.push_back(socket(AF_INET, SOCK_STREAM, 0));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<std::uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ASSERT_EQ(connect(held.back(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ASSERT_EQ(write(held.back(), halfUpload.data(), halfUpload.size()), ssize_t(halfUpload.size()));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(c.held ? 300 : 0));
        EXPECT_EQ(rawStatusLine(port, c.request), c.status) << c.request.substr(0, 40);
        for (const int fd : held) close(fd);
    }
}

namespace {

// The port this process listens on besides `known`: the HTTP server's, behind the front door.
int otherListeningPort(int known) {
    std::set<std::string> sockets;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (target.rfind("socket:[", 0) == 0) sockets.insert(target.substr(8, target.size() - 9));
    }
    std::ifstream table("/proc/net/tcp");
    std::string line, slot, local, remote, state, skip, inode;
    while (std::getline(table, line)) {
        std::istringstream(line) >> slot >> local >> remote >> state >> skip >> skip >> skip >> skip >> skip >> inode;
        const std::size_t colon = local.find(':');
        const int port = colon == std::string::npos || state != "0A" ? 0 : std::stoi(local.substr(colon + 1), nullptr, 16);
        if (port != 0 && port != known && sockets.count(inode)) return port;
    }
    return 0;
}

}  // namespace

TEST(RobotApi, TheFrontDoorNamesEachPeerAndNoClientForgesIt) {
    robot::RobotConfig config = configFor(freshFolder("peers"));
    config.trustedProxies = {"127.0.0.1"};
    Robot robot(config);
    const std::string log = stationLog("CE1TLV", 3);
    const struct {
        const char* from;
        const char* headers;
        const char* address;
    } cases[] = {{"127.0.0.2", "X-Robot-Peer: 0 6.6.6.6\r\nX-Forwarded-For: 6.6.6.7\r\n", "127.0.0.2"},
                 {"127.0.0.1", "x-robot-peer: 0 6.6.6.6\r\nX-Forwarded-For: 203.0.113.9\r\n", "203.0.113.9"}};
    const std::string post = "POST /api/logs HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(log.size()) + "\r\n";
    for (const auto& c : cases)
        EXPECT_EQ(rawStatusLine(robot.server.port(), post + c.headers + "\r\n" + log, c.from), "HTTP/1.1 201 Created");
    const std::string uploads = robot.client->Get("/api/uploads", robot.committee())->body;
    for (const auto& c : cases) EXPECT_TRUE(has(uploads, std::string("\"address\":\"") + c.address + "\"")) << uploads;
    EXPECT_FALSE(has(uploads, "6.6.6."));
    // The HTTP server behind takes nothing that does not come through the front door.
    const int inner = otherListeningPort(robot.server.port());
    ASSERT_NE(inner, 0);
    EXPECT_EQ(rawStatusLine(inner, post + "X-Robot-Peer: 0 6.6.6.6\r\n\r\n" + log), "HTTP/1.1 403 Forbidden");
}

TEST(RobotJson, OnlyValidUtf8PassesIntoAString) {
    // A surrogate, an overlong '/', a code point past U+10FFFF; then good UTF-8 and markup.
    for (const std::string bad : {"\xED\xA0\x80", "\xE0\x80\xAF", "\xF4\x90\x80\x80"}) {
        std::string each;
        for (std::size_t i = 0; i < bad.size(); ++i) each += "\\ufffd";
        EXPECT_EQ(robot::jsonString(bad), "\"" + each + "\"") << bad;
    }
    EXPECT_EQ(robot::jsonString("K\xC3\xA9\xF0\x9F\x93\xBB<\""), "\"K\xC3\xA9\xF0\x9F\x93\xBB\\u003c\\\"\"");
}

namespace {

// Starts a cross-check and waits for it to be done; its id.
std::int64_t finishedRun(Robot& robot) {
    const auto started = robot.client->Post("/api/crosscheck", robot.committee(), "", "text/plain");
    const std::int64_t id = std::stoll(field(started->body, "id"));
    EXPECT_EQ(endOfRun(robot, id), "\"done\"");
    return id;
}

std::string committeeGet(Robot& robot, const std::string& address) {
    const auto res = robot.client->Get(address, robot.committee());
    return res && res->status == 200 ? res->body : "HTTP " + std::to_string(res ? res->status : 0);
}

}  // namespace

TEST(RobotApi, AnyRunIsMadePublicWithOrWithoutItsReportsAndTakenDown) {
    Robot robot(configFor(freshFolder("publish")));
    const std::vector<std::string> calls = {"CE1AA", "LU2BB", "PY3CC"};
    std::map<std::string, std::string> keys;  // the receipts' keys: the first version of each, then CE1AA's second
    for (const auto& [call, log] : contestLogs(calls)) keys[call] = field(robot.upload(log)->body, "report");
    // Another contest's log, on 10 m: refused.
    std::string refused = stationLog("CX4DD", 2);
    for (std::size_t at; (at = refused.find("QSO: 14020")) != std::string::npos;) refused.replace(at, 10, "QSO: 28020");
    ASSERT_EQ(robot.upload(refused)->status, 422);
    const std::int64_t first = finishedRun(robot);
    keys["CE1AA later"] = field(robot.upload(contestLogs(calls).at("CE1AA") + "\r\n")->body, "report");
    const std::int64_t second = finishedRun(robot);
    const auto receipt = [&](const std::string& key) { return robot.client->Get("/api/receipt/" + key.substr(9, 32))->body; };
    EXPECT_EQ(robot.client->Post("/api/crosscheck/9/publish", robot.committee(), "", "text/plain")->status, 409);

    const struct {
        std::int64_t run;
        bool reports;
        const char* firstVersion;  // of CE1AA, for its first and its later upload's receipts
        const char* laterVersion;
    } cases[] = {{second, true, "\"later\"", "\"this\""},
                 {first, false, "\"this\"", "\"earlier\""},
                 {second, false, "\"later\"", "\"this\""},
                 {first, true, "\"this\"", "\"earlier\""}};
    for (const auto& c : cases) {
        const std::string run = "/api/crosscheck/" + std::to_string(c.run);
        const auto published = robot.client->Post(run + "/publish?reports=" + (c.reports ? "1" : "0"),
                                                  robot.committee(), "", "text/plain");
        ASSERT_EQ(published->status, 200) << published->body;
        EXPECT_EQ(field(published->body, "reports_public"), c.reports ? "true" : "false");
        const auto moved = robot.client->Get("/results");
        EXPECT_EQ(moved->status, 302);
        EXPECT_EQ(moved->get_header_value("Location"), "/results/");
        const auto page = robot.client->Get("/results/");
        ASSERT_EQ(page->status, 200);
        if (c.reports) {
            EXPECT_EQ(page->body, committeeGet(robot, run + "/results.html"));
        }
        for (const std::string& call : calls) {
            const auto report = robot.client->Get("/results/" + call + ".ubn");
            EXPECT_EQ(report->status, c.reports ? 200 : 404) << call;
            if (c.reports) {
                EXPECT_EQ(report->body, committeeGet(robot, run + "/ubn/" + call));
            }
            EXPECT_EQ(has(page->body, "href=\"" + call + ".ubn\""), c.reports) << call;
            EXPECT_TRUE(has(page->body, call));
        }
        EXPECT_TRUE(has(page->body, "CX4DD"));
        // Exactly one run is public, on the committee's page and in each run's state.
        const std::string committee = committeeGet(robot, "/committee");
        const std::regex marked("data-public=\"public\"><td>([0-9]+)<");
        const auto at = std::sregex_iterator(committee.begin(), committee.end(), marked);
        ASSERT_EQ(std::distance(at, std::sregex_iterator()), 1);
        EXPECT_EQ((*at)[1].str(), std::to_string(c.run));
        for (const std::int64_t other : {first, second})
            EXPECT_EQ(field(committeeGet(robot, "/api/crosscheck/" + std::to_string(other)), "published"),
                      other == c.run ? "true" : "false");
        // Each station's receipt shows its report of those results, and which version they were made from.
        const std::string earlier = receipt(keys["CE1AA"]), later = receipt(keys["CE1AA later"]);
        EXPECT_EQ(field(earlier, "version"), c.firstVersion);
        EXPECT_EQ(field(later, "version"), c.laterVersion);
        EXPECT_EQ(field(receipt(keys["LU2BB"]), "version"), "\"this\"");
        EXPECT_TRUE(has(robot.client->Get("/receipt/" + keys["LU2BB"].substr(9, 32))->body, "id=\"station-report\""));
    }
    const std::string zip = committeeGet(robot, "/api/crosscheck/" + std::to_string(second) + "/reports.zip");
    for (const std::string& call : calls) {
        EXPECT_TRUE(has(zip, call + ".ubn")) << call;
        EXPECT_TRUE(has(zip, committeeGet(robot, "/api/crosscheck/" + std::to_string(second) + "/ubn/" + call)));
    }
    // Taken down: nothing public, the receipts say nothing of results.
    const std::string down = "/api/crosscheck/" + std::to_string(first) + "/unpublish";
    EXPECT_EQ(robot.client->Post(down, robot.committee(), "", "text/plain")->status, 200);
    EXPECT_EQ(robot.client->Post(down, robot.committee(), "", "text/plain")->status, 409);
    for (const char* address : {"/results", "/results/", "/results/CE1AA.ubn"})
        EXPECT_EQ(robot.client->Get(address)->status, 404) << address;
    EXPECT_EQ(field(receipt(keys["LU2BB"]), "results"), "null");
    EXPECT_FALSE(has(committeeGet(robot, "/committee"), "data-public"));
}

TEST(RobotApi, ARunAnOlderRobotLeftOnDiskIsTakenInElseOfferedAgain) {
    const fs::path data = freshFolder("older");
    std::map<std::string, std::string> before;  // run 1's outputs as served
    std::map<std::string, std::string> logs = contestLogs({"CE1AA", "LU2BB"});
    {
        Robot robot(configFor(data));
        for (const auto& [call, log] : logs) ASSERT_EQ(robot.upload(log)->status, 201);
        ASSERT_EQ(finishedRun(robot), 1);
        ASSERT_EQ(finishedRun(robot), 2);
        for (const char* output : {"results.csv", "results.html", "logs.zip", "ubn/CE1AA"})
            before[output] = committeeGet(robot, std::string("/api/crosscheck/1/") + output);
    }
    // As an older robot left them: the outputs in run 1's folder only, run 2's folder gone; run 1
    // published, as it marked it.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((data / "robot.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM run_files; UPDATE runs SET published = 1 WHERE id = 1", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    fs::create_directories(data / "runs/1/out");
    fs::create_directories(data / "runs/1/logs");
    std::ofstream(data / "runs/1/out/results.csv", std::ios::binary) << before["results.csv"];
    std::ofstream(data / "runs/1/out/results.html", std::ios::binary) << before["results.html"];
    std::ofstream(data / "runs/1/out/CE1AA.ubn", std::ios::binary) << before["ubn/CE1AA"];
    for (const auto& [call, log] : logs) std::ofstream(data / "runs/1/logs" / (call + ".cbr"), std::ios::binary) << log;

    Robot robot(configFor(data));
    for (const auto& [output, bytes] : before)
        EXPECT_EQ(committeeGet(robot, "/api/crosscheck/1/" + output), bytes) << output;
    EXPECT_FALSE(fs::exists(data / "runs/1"));
    EXPECT_EQ(field(committeeGet(robot, "/api/crosscheck/2"), "files_kept"), "false");
    EXPECT_EQ(robot.client->Get("/api/crosscheck/2/results.csv", robot.committee())->status, 410);
    EXPECT_TRUE(has(committeeGet(robot, "/committee"), "run 2's files are not in this database"));
    EXPECT_EQ(robot.client->Post("/api/crosscheck/2/publish?reports=1", robot.committee(), "", "text/plain")->status, 409);
    // Still public, with the reports its page links to; never without them.
    EXPECT_EQ(field(committeeGet(robot, "/api/crosscheck/1"), "reports_public"), "true");
    EXPECT_EQ(robot.client->Get("/results/CE1AA.ubn")->body, before["ubn/CE1AA"]);
    EXPECT_EQ(robot.client->Post("/api/crosscheck/1/publish", robot.committee(), "", "text/plain")->status, 409);
    EXPECT_EQ(field(robot.client->Get("/api/receipt/" + robot.server.store().uploads().all()[0].reportKey)->body,
                    "version"),
              "\"this\"");
}
