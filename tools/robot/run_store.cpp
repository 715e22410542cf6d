#include "tools/robot/run_store.h"

#include "tools/robot/statement.h"

namespace robot {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY,
  started TEXT NOT NULL,
  state TEXT NOT NULL,
  progress TEXT NOT NULL DEFAULT '',
  published INTEGER NOT NULL DEFAULT 0);
)sql";

constexpr const char* kRunColumns = "SELECT id, started, state, progress, published FROM runs ";

RunRecord runFrom(const Statement& s) {
    return {s.integer(0), s.text(1), s.text(2), s.text(3), s.integer(4) != 0};
}

std::vector<RunRecord> runsFrom(Statement& s) {
    std::vector<RunRecord> out;
    while (s.step() == SQLITE_ROW) out.push_back(runFrom(s));
    return out;
}

}  // namespace

bool RunStore::setUp(bool server, std::string& error) {
    if (!db_.exec(kSchema, error)) return false;
    return !server || db_.exec(
                          "UPDATE runs SET state = 'failed', progress = 'the robot stopped during the run' "
                          "WHERE state = 'running';",
                          error);
}

std::int64_t RunStore::add(const std::string& started) {
    std::int64_t id = 0;
    db_.write([&](sqlite3* db) {
        Statement s(db, "INSERT INTO runs(started, state) VALUES(?, 'running')");
        s.bind(1, started);
        if (!s.done()) return false;
        id = sqlite3_last_insert_rowid(db);
        return true;
    });
    return id;
}

void RunStore::update(std::int64_t id, const std::string& state, const std::string& progress) {
    db_.write([&](sqlite3* db) {
        Statement s(db, "UPDATE runs SET state = ?, progress = ? WHERE id = ?");
        s.bind(1, state).bind(2, progress).bind(3, id);
        return s.done();
    });
}

void RunStore::publish(std::int64_t id) {
    db_.write([&](sqlite3* db) {
        Statement s(db, "UPDATE runs SET published = 1 WHERE id = ? AND state = 'done'");
        s.bind(1, id);
        return s.done();
    });
}

std::optional<RunRecord> RunStore::find(std::int64_t id) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), std::string(kRunColumns) + "WHERE id = ?");
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return runFrom(s);
}

std::vector<RunRecord> RunStore::all() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), std::string(kRunColumns) + "ORDER BY id DESC");
    return runsFrom(s);
}

Page<RunRecord> RunStore::page(std::int64_t offset, std::int64_t limit) {
    const Database::Reading reader = db_.reading();
    Page<RunRecord> page;
    Statement count(reader.get(), "SELECT COUNT(*) FROM runs");
    if (count.step() == SQLITE_ROW) page.total = count.integer(0);
    Statement s(reader.get(), std::string(kRunColumns) + "ORDER BY id DESC LIMIT ? OFFSET ?");
    s.bind(1, limit).bind(2, offset);
    page.rows = runsFrom(s);
    return page;
}

std::optional<RunRecord> RunStore::published() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(),
                std::string(kRunColumns) + "WHERE published = 1 AND state = 'done' ORDER BY id DESC LIMIT 1");
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return runFrom(s);
}

}  // namespace robot
