// The robot's store on its own: which version of a call counts, the committee's choices and their
// audit trail, the calls received and not accepted, the totals, an older robot's database upgraded.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "tools/robot/store.h"

namespace fs = std::filesystem;

namespace {

fs::path freshFolder(const std::string& name) {
    const fs::path folder =
        fs::temp_directory_path() / ("robot-store-test-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// One version of a call's log as scored; version N works the call "WN".
struct Version {
    bool late = false;
    const char* state = "accepted";
    const char* call = "LU1ABC";
};

std::int64_t put(robot::Store& store, const Version& v, const std::string& address = "192.0.2.1") {
    std::string error;
    const std::string n = std::to_string(store.uploads().all().size() + 1);
    const auto id =
        store.uploads().add("log", "sha", "2026-03-08 10:00:00", address, "C" + n, "K" + n, v.late, error);
    robot::UploadOutcome outcome{.state = v.state, .call = v.call, .worked = {"W" + n}};
    if (outcome.state == "refused") outcome.findings = {{3, true, "QSO: the band is missing " + n, "band"}};
    EXPECT_TRUE(id && store.uploads().finish(*id, outcome, error)) << error;
    return id.value_or(0);
}

// The counting logs as "call#id", and the wanted list as "call:logs", each joined by spaces.
std::string counting(robot::Store& store) {
    std::string out;
    for (const robot::UploadRecord& r : store.uploads().currentLogs())
        out += (out.empty() ? "" : " ") + r.call + "#" + std::to_string(r.id);
    return out;
}

std::string wanted(robot::Store& store) {
    std::string out;
    for (const robot::WantedCall& w : store.uploads().wanted(100))
        out += (out.empty() ? "" : " ") + w.call + ":" + std::to_string(w.logs);
    return out;
}

}  // namespace

TEST(RobotStore, ALateVersionDoesNotReplaceOneSentInTime) {
    const struct {
        std::vector<Version> versions;
        const char* counts;
        const char* wanted;
    } cases[] = {
        {{{false}, {true}}, "LU1ABC#1", "W1:1"},  // the case the committee met
        {{{true}}, "LU1ABC#1", "W1:1"},           // only late: the newest late counts
        {{{true}, {true}}, "LU1ABC#2", "W2:1"},
        {{{false}, {false}}, "LU1ABC#2", "W2:1"},  // in time: the newest counts
        {{{true}, {false}}, "LU1ABC#2", "W2:1"},
        {{{false}, {true}, {false, "refused"}}, "LU1ABC#1", "W1:1"},  // refused versions never count
        {{{false, "refused"}, {true}}, "LU1ABC#2", "W2:1"},
    };
    int n = 0;
    for (const auto& c : cases) {
        robot::Store store;
        std::string error;
        ASSERT_TRUE(store.open(freshFolder("late" + std::to_string(++n)), error)) << error;
        for (const Version& v : c.versions) put(store, v);
        EXPECT_EQ(counting(store), c.counts) << "case " << n;
        EXPECT_EQ(wanted(store), c.wanted) << "case " << n;
        // The store's flags agree with the logs that count.
        for (const robot::UploadRecord& r : store.uploads().all())
            EXPECT_EQ(r.counts, std::string(c.counts) == "LU1ABC#" + std::to_string(r.id)) << "case " << n;
    }
}

TEST(RobotStore, TheCommitteeChoosesTheVersionThatCountsAndUndoesIt) {
    robot::Store store;
    std::string error;
    ASSERT_TRUE(store.open(freshFolder("choice"), error)) << error;
    put(store, {false}, "192.0.2.1");
    put(store, {true}, "198.51.100.9");
    put(store, {false, "refused"});
    put(store, {false, "accepted", "CE1AA"});
    using A = robot::ChoiceAnswer;
    // Each step: choose (or undo) an upload; the answer, the logs that count and the wanted list after it.
    const struct {
        bool choose;
        std::int64_t id;
        A answer;
        const char* counts;
        const char* wanted;
    } steps[] = {
        {true, 2, A::kDone, "CE1AA#4 LU1ABC#2", "W2:1 W4:1"},  // the late one taken
        {true, 3, A::kNotAccepted, "CE1AA#4 LU1ABC#2", "W2:1 W4:1"},
        {true, 99, A::kNoUpload, "CE1AA#4 LU1ABC#2", "W2:1 W4:1"},
        {false, 1, A::kNotChosen, "CE1AA#4 LU1ABC#2", "W2:1 W4:1"},
        {true, 1, A::kDone, "CE1AA#4 LU1ABC#1", "W1:1 W4:1"},   // another choice replaces it
        {false, 1, A::kDone, "CE1AA#4 LU1ABC#1", "W1:1 W4:1"},  // undone: the rule again, the same here
        {true, 2, A::kDone, "CE1AA#4 LU1ABC#2", "W2:1 W4:1"},
        {false, 2, A::kDone, "CE1AA#4 LU1ABC#1", "W1:1 W4:1"},
    };
    for (const auto& s : steps) {
        const std::string at = "2026-03-10 12:00:0" + std::to_string(&s - steps);
        const A answer = s.choose ? store.uploads().choose(s.id, at, "API (token)")
                                  : store.uploads().unchoose(s.id, at, "committee page");
        EXPECT_EQ(answer, s.answer) << "step " << &s - steps;
        EXPECT_EQ(counting(store), s.counts) << "step " << &s - steps;
        EXPECT_EQ(wanted(store), s.wanted) << "step " << &s - steps;
    }
    // A new version sent in time does not undo the committee's choice.
    ASSERT_EQ(store.uploads().choose(2, "2026-03-10 12:01:00", "API (token)"), A::kDone);
    put(store, {false});
    EXPECT_EQ(counting(store), "CE1AA#4 LU1ABC#2");
    EXPECT_EQ(wanted(store), "W2:1 W4:1");

    // The audit trail: every choice and undoing that was made, none of those refused.
    std::string trail;
    for (const robot::ChoiceEvent& e : store.uploads().choiceLog())
        trail += e.at.substr(17) + (e.chosen ? " +" : " -") + std::to_string(e.upload) + " " + e.call + " " +
                 e.who + "\n";
    EXPECT_EQ(trail,
              "00 +2 LU1ABC API (token)\n04 +1 LU1ABC API (token)\n05 -1 LU1ABC committee page\n"
              "06 +2 LU1ABC API (token)\n07 -2 LU1ABC committee page\n00 +2 LU1ABC API (token)\n");
}

TEST(RobotStore, ARefusedStationIsReceivedNotWantedAndTheTotalsCountEachKind) {
    robot::Store store;
    std::string error;
    ASSERT_TRUE(store.open(freshFolder("refused"), error)) << error;
    // PY2BB sends two refused versions; LU3CC is refused, then accepted late; CE1AA works them and ZZ9ZZ.
    for (const Version& v : {Version{false, "refused", "PY2BB"}, Version{true, "refused", "PY2BB"},
                             Version{false, "refused", "LU3CC"}, Version{true, "accepted", "LU3CC"}})
        put(store, v);
    const auto id = store.uploads().add("log", "sha", "2026-03-08 11:00:00", "192.0.2.1", "C5", "K5", false, error);
    robot::UploadOutcome outcome{.state = "accepted", .call = "CE1AA", .worked = {"PY2BB", "ZZ9ZZ", "LU3CC"}};
    ASSERT_TRUE(id && store.uploads().finish(*id, outcome, error)) << error;
    EXPECT_EQ(wanted(store), "W4:1 ZZ9ZZ:1");
    const auto refused = store.uploads().receivedNotAccepted();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].call + " " + std::to_string(refused[0].logs) + " " + refused[0].reason,
              "PY2BB 1 QSO: the band is missing 2");  // the newest refusal's first error
    const robot::UploadTotals t = store.uploads().totals();
    EXPECT_EQ(std::vector<std::int64_t>({t.uploads, t.accepted, t.refused, t.late, t.counting}),
              std::vector<std::int64_t>({5, 2, 3, 2, 2}));
}

TEST(RobotStore, AnOlderRobotsDatabaseOpensAndIsUpgradedInPlace) {
    const fs::path folder = freshFolder("old");
    // The previous robot's schema (version 1): the newest accepted version counted, late or not.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "robot.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, R"sql(
CREATE TABLE uploads(id INTEGER PRIMARY KEY, received TEXT NOT NULL, address TEXT NOT NULL, sha256 TEXT NOT NULL,
  bytes BLOB NOT NULL, confirmation TEXT NOT NULL UNIQUE, report_key TEXT NOT NULL UNIQUE,
  late INTEGER NOT NULL DEFAULT 0, state TEXT NOT NULL DEFAULT 'received', call TEXT NOT NULL DEFAULT '',
  category TEXT NOT NULL DEFAULT '', format TEXT NOT NULL DEFAULT '', qsos INTEGER NOT NULL DEFAULT 0,
  score INTEGER, claimed TEXT, findings TEXT NOT NULL DEFAULT '', report BLOB, replaces_other INTEGER);
CREATE TABLE worked(upload INTEGER NOT NULL REFERENCES uploads(id), call TEXT NOT NULL, PRIMARY KEY(upload, call))
  WITHOUT ROWID;
CREATE TABLE runs(id INTEGER PRIMARY KEY, started TEXT NOT NULL, state TEXT NOT NULL,
  progress TEXT NOT NULL DEFAULT '', published INTEGER NOT NULL DEFAULT 0);
CREATE TABLE worked_counts(call TEXT PRIMARY KEY, logs INTEGER NOT NULL) WITHOUT ROWID;
CREATE VIEW current_logs AS SELECT * FROM uploads u WHERE state = 'accepted' AND call <> ''
  AND id = (SELECT MAX(id) FROM uploads v WHERE v.call = u.call AND v.state = 'accepted');
INSERT INTO uploads(id, received, address, sha256, bytes, confirmation, report_key, late, state, call, qsos)
  VALUES(1, '2026-03-08 10:00:00', '192.0.2.1', 's', 'log', 'C1', 'K1', 0, 'accepted', 'LU1ABC', 210),
        (2, '2026-03-09 10:00:00', '198.51.100.9', 's', 'log', 'C2', 'K2', 1, 'accepted', 'LU1ABC', 1);
INSERT INTO worked VALUES(1, 'W1'), (2, 'W2');
INSERT INTO worked_counts VALUES('W2', 1);
INSERT INTO runs(started, state) VALUES('2026-03-09 11:00:00', 'running');
PRAGMA user_version = 1;
)sql",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);

    for (int opening = 0; opening < 2; ++opening) {  // upgraded once, then opened as it is
        robot::Store store;
        std::string error;
        ASSERT_TRUE(store.open(folder, error)) << error;
        EXPECT_EQ(counting(store), "LU1ABC#1");
        EXPECT_EQ(wanted(store), "W1:1");
        EXPECT_EQ(store.runs().find(1)->state, "failed");
        EXPECT_EQ(store.integrityCheck(), "ok");
        ASSERT_EQ(store.uploads().choose(2, "2026-03-10 09:00:00", "API (token)"),
                  robot::ChoiceAnswer::kDone);
        EXPECT_EQ(counting(store), "LU1ABC#2");
        ASSERT_EQ(store.uploads().unchoose(2, "2026-03-10 09:01:00", "API (token)"),
                  robot::ChoiceAnswer::kDone);
        ASSERT_TRUE(store.settings().set("published-run", "1", error)) << error;
        EXPECT_EQ(store.settings().get("published-run"), std::optional<std::string>("1"));
    }
}
