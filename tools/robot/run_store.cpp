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
CREATE TABLE IF NOT EXISTS run_files(
  run INTEGER NOT NULL REFERENCES runs(id),
  kind TEXT NOT NULL,
  name TEXT NOT NULL,
  upload INTEGER REFERENCES uploads(id),
  bytes BLOB,
  UNIQUE(run, kind, name));
)sql";

constexpr const char* kRunColumns =
    "SELECT id, started, state, progress, EXISTS(SELECT 1 FROM run_files f WHERE f.run = runs.id) FROM runs ";

RunRecord runFrom(const Statement& s) {
    RunRecord r{s.integer(0), s.text(1), s.text(2), s.text(3)};
    r.filesKept = s.integer(4) != 0;
    return r;
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

namespace {

constexpr const char* kKindNames[] = {"result", "report", "log"};

std::string kindName(RunFile::Kind kind) {
    return kKindNames[static_cast<int>(kind)];
}

}  // namespace

bool RunStore::finish(std::int64_t id, const std::string& progress, const std::vector<RunFile>& files,
                      std::string& error) {
    return db_.write(
        [&](sqlite3* db) {
            Statement clear(db, "DELETE FROM run_files WHERE run = ?");
            clear.bind(1, id);
            if (!clear.done()) return false;
            Statement add(db, "INSERT INTO run_files(run, kind, name, upload, bytes) VALUES(?, ?, ?, ?, ?)");
            for (const RunFile& f : files) {
                add.bind(1, id).bind(2, kindName(f.kind)).bind(3, f.name);
                f.upload ? add.bind(4, *f.upload) : add.bindNull(4);
                // A log that is an upload is kept as the reference alone.
                const bool byReference = f.kind == RunFile::Kind::kLog && f.upload;
                byReference ? add.bindNull(5) : add.blob(5, f.bytes);
                if (!add.done()) return false;
                add.reset();
            }
            Statement done(db, "UPDATE runs SET state = 'done', progress = ? WHERE id = ?");
            done.bind(1, progress).bind(2, id);
            return done.done() && sqlite3_changes(db) == 1;
        },
        error);
}

std::optional<std::string> RunStore::file(std::int64_t run, RunFile::Kind kind, const std::string& name) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(),
                "SELECT coalesce(f.bytes, u.bytes) FROM run_files f LEFT JOIN uploads u ON u.id = f.upload "
                "WHERE f.run = ? AND f.kind = ? AND f.name = ? COLLATE NOCASE");
    s.bind(1, run).bind(2, kindName(kind)).bind(3, name);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.text(0);
}

std::vector<RunFile> RunStore::files(std::int64_t run, RunFile::Kind kind) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(),
                "SELECT f.name, f.upload, coalesce(f.bytes, u.bytes) FROM run_files f LEFT JOIN uploads u "
                "ON u.id = f.upload WHERE f.run = ? AND f.kind = ? ORDER BY f.name");
    s.bind(1, run).bind(2, kindName(kind));
    std::vector<RunFile> out;
    while (s.step() == SQLITE_ROW)
        out.push_back({kind, s.text(0), s.null(1) ? std::nullopt : std::optional(s.integer(1)), s.text(2)});
    return out;
}

std::vector<std::string> RunStore::fileNames(std::int64_t run, RunFile::Kind kind) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT name FROM run_files WHERE run = ? AND kind = ? ORDER BY name");
    s.bind(1, run).bind(2, kindName(kind));
    std::vector<std::string> out;
    while (s.step() == SQLITE_ROW) out.push_back(s.text(0));
    return out;
}

std::optional<RunReport> RunStore::reportOf(std::int64_t run, const std::string& call) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(),
                "SELECT f.bytes, f.upload, u.received FROM run_files f JOIN uploads u ON u.id = f.upload "
                "WHERE f.run = ? AND f.kind = 'report' AND u.call = ? ORDER BY f.upload DESC LIMIT 1");
    s.bind(1, run).bind(2, call);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return RunReport{s.text(0), s.integer(1), s.text(2)};
}

std::optional<std::int64_t> RunStore::olderPublished() {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT MAX(id) FROM runs WHERE published = 1 AND state = 'done'");
    if (s.step() != SQLITE_ROW || s.null(0)) return std::nullopt;
    return s.integer(0);
}

bool RunStore::forgetOlderPublished(std::string& error) {
    return db_.write(
        [](sqlite3* db) { return execOn(db, "UPDATE runs SET published = 0 WHERE published <> 0"); }, error);
}

}  // namespace robot
