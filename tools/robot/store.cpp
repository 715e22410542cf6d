#include "tools/robot/store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <charconv>
#include <memory>
#include <utility>

#include "tools/robot/private_files.h"

namespace robot {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS uploads(
  id INTEGER PRIMARY KEY,
  received TEXT NOT NULL,
  address TEXT NOT NULL,
  sha256 TEXT NOT NULL,
  bytes BLOB NOT NULL,
  confirmation TEXT NOT NULL UNIQUE,
  report_key TEXT NOT NULL UNIQUE,
  late INTEGER NOT NULL DEFAULT 0,
  state TEXT NOT NULL DEFAULT 'received',
  call TEXT NOT NULL DEFAULT '',
  category TEXT NOT NULL DEFAULT '',
  format TEXT NOT NULL DEFAULT '',
  qsos INTEGER NOT NULL DEFAULT 0,
  score INTEGER,
  claimed TEXT,
  findings TEXT NOT NULL DEFAULT '',
  report BLOB,
  replaces_other INTEGER);
CREATE INDEX IF NOT EXISTS uploads_call ON uploads(call, state, id);
CREATE TABLE IF NOT EXISTS worked(upload INTEGER NOT NULL REFERENCES uploads(id), call TEXT NOT NULL,
  PRIMARY KEY(upload, call)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY,
  started TEXT NOT NULL,
  state TEXT NOT NULL,
  progress TEXT NOT NULL DEFAULT '',
  published INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS worked_counts(call TEXT PRIMARY KEY, logs INTEGER NOT NULL) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS worked_counts_logs ON worked_counts(logs DESC, call);
CREATE VIEW IF NOT EXISTS current_logs AS
  SELECT * FROM uploads u WHERE state = 'accepted' AND call <> ''
    AND id = (SELECT MAX(id) FROM uploads v WHERE v.call = u.call AND v.state = 'accepted');
)sql";

constexpr const char* kUploadColumns =
    "id, received, address, sha256, length(bytes), confirmation, report_key, late, state, call, category, "
    "format, qsos, score, claimed, findings, length(report) > 0, replaces_other";

// One prepared statement, finalized when it goes.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int at, const std::string& text) {
        sqlite3_bind_text(stmt_, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& blob(int at, const std::string& bytes) {
        sqlite3_bind_blob(stmt_, at, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int at, std::int64_t value) {
        sqlite3_bind_int64(stmt_, at, value);
        return *this;
    }
    Statement& bindNull(int at) {
        sqlite3_bind_null(stmt_, at);
        return *this;
    }
    /// SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::string text(int column) const {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool null(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Writes `file`'s data to the disk; false when it cannot.
bool syncFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    return synced;
}

UploadRecord uploadFrom(const Statement& s) {
    UploadRecord r;
    r.id = s.integer(0);
    r.received = s.text(1);
    r.address = s.text(2);
    r.sha256 = s.text(3);
    r.size = s.integer(4);
    r.confirmation = s.text(5);
    r.reportKey = s.text(6);
    r.late = s.integer(7) != 0;
    r.state = uploadStateNamed(s.text(8));
    r.call = s.text(9);
    r.category = s.text(10);
    r.format = s.text(11);
    r.qsos = s.integer(12);
    if (!s.null(13)) r.score = s.integer(13);
    if (!s.null(14)) r.claimed = s.text(14);
    r.findings = decodeFindings(s.text(15));
    r.hasReport = s.integer(16) != 0;
    if (!s.null(17)) r.replacesOtherAddress = s.integer(17);
    return r;
}

// The version an accepted upload replaces when that one came from another address: whoever sends
// a call's log from elsewhere may not be its station, so the committee is shown it.
std::optional<std::int64_t> replacedFromElsewhere(sqlite3* db, std::int64_t id, const UploadOutcome& o) {
    if (o.state != "accepted" || o.call.empty()) return std::nullopt;
    Statement s(db,
                "SELECT c.id FROM current_logs c JOIN uploads u ON u.id = ? "
                "WHERE c.call = ? AND c.id < u.id AND c.address <> u.address");
    s.bind(1, id).bind(2, o.call);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.integer(0);
}

RunRecord runFrom(const Statement& s) {
    return {s.integer(0), s.text(1), s.text(2), s.text(3), s.integer(4) != 0};
}

}  // namespace

namespace {

constexpr std::pair<UploadState, std::string_view> kStateNames[] = {
    {UploadState::kReceived, "received"}, {UploadState::kAccepted, "accepted"}, {UploadState::kRefused, "refused"},
    {UploadState::kFailed, "failed"},     {UploadState::kInterrupted, "interrupted"},
};

}  // namespace

std::string_view stateName(UploadState state) {
    for (const auto& [s, name] : kStateNames)
        if (s == state) return name;
    return "failed";
}

UploadState uploadStateNamed(std::string_view name) {
    for (const auto& [s, n] : kStateNames)
        if (n == name) return s;
    return UploadState::kFailed;
}

std::string encodeFindings(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings) {
        out += f.error ? 'E' : 'W';
        if (!f.kind.empty()) out += ':' + f.kind;
        out += '\t';
        out += std::to_string(f.line);
        // A finding said once for many lines keeps them after its own, each after a '+': a reader
        // that knows only the one line reads up to the first '+'.
        for (const std::uint64_t more : f.folded) out += '+' + std::to_string(more);
        out += '\t';
        for (const char c : f.text) out += (c == '\n' || c == '\r') ? ' ' : c;
        out += '\n';
    }
    return out;
}

std::vector<Finding> decodeFindings(const std::string& text) {
    std::vector<Finding> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + at, end - at);
        at = end + 1;
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) continue;
        Finding f;
        const std::string_view mark = line.substr(0, tab1);
        f.error = mark.substr(0, 1) == "E";
        if (mark.size() > 2 && mark[1] == ':') f.kind = mark.substr(2);
        const char* next = std::from_chars(line.data() + tab1 + 1, line.data() + tab2, f.line).ptr;
        for (std::uint64_t more = 0; next < line.data() + tab2 && *next == '+';) {
            next = std::from_chars(next + 1, line.data() + tab2, more).ptr;
            f.folded.push_back(more);
        }
        f.text = std::string(line.substr(tab2 + 1));
        out.push_back(std::move(f));
    }
    return out;
}

Store::~Store() {
    for (sqlite3* reader : idleReaders_) sqlite3_close_v2(reader);
    if (db_) sqlite3_close_v2(db_);
}

bool Store::exec(const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return false;
}

bool Store::upgrade(std::string& error) {
    // A database of an older robot lacks the columns added since.
    Statement s(db_, "SELECT 1 FROM pragma_table_info('uploads') WHERE name = 'replaces_other'");
    return s.step() == SQLITE_ROW || exec("ALTER TABLE uploads ADD COLUMN replaces_other INTEGER", error);
}

Store::Reading Store::reading() {
    {
        std::lock_guard lock(readersMutex_);
        if (!idleReaders_.empty()) {
            sqlite3* db = idleReaders_.back();
            idleReaders_.pop_back();
            return Reading(*this, db);
        }
    }
    // A connection of its own for each thread that reads at once: in WAL mode none of them waits for
    // the writer, nor the writer for them. Each reads only (query_only), used by one thread at a time.
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return Reading(*this, nullptr);  // its statements fail: the reader finds nothing
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_exec(db, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    return Reading(*this, db);
}

void Store::giveBack(sqlite3* db) {
    if (!db) return;
    std::unique_lock lock(readersMutex_);
    // As many stay open as were ever busy at once, up to a bound; the rest close.
    if (idleReaders_.size() < kMaxIdleReaders) return idleReaders_.push_back(db);
    lock.unlock();
    sqlite3_close_v2(db);
}

bool Store::open(const std::filesystem::path& folder, std::string& error, Opener opener) {
    std::lock_guard lock(mutex_);
    file_ = (folder / "robot.db").string();
    const std::string& file = file_;
    // The database holds the report keys and the contesters' addresses: the robot's user's alone.
    // SQLite gives its WAL and shared-memory files the database's mode; those of an older robot
    // are set here too.
    if (!privateFile(file, error)) return false;
    for (const char* suffix : {"-wal", "-shm"})
        if (std::filesystem::exists(file + suffix) && !privateFile(file + suffix, error)) return false;
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = "cannot open the database " + file + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
        return false;
    }
    sqlite3_busy_timeout(db_, 10000);
    // WAL: readers never wait for the writer, and a commit is one append to the log. synchronous=FULL
    // syncs the log at every commit, so an upload that was answered survives a power cut as well as
    // a killed process; NORMAL would only guard against the latter. An upload costs one sync.
    if (!exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", error) ||
        !exec(kSchema, error) || (opener == Opener::kServer && !upgrade(error))) {
        error = "cannot set up the database " + file + ": " + error;
        return false;
    }
    // Beside a running server, "running" is the run it is busy with.
    if (opener == Opener::kBeside) return true;
    return countWorkedOnce(error) && exec("UPDATE runs SET state = 'failed', progress = 'the robot stopped during the run' "
                "WHERE state = 'running';",
                error);
}

std::optional<std::int64_t> Store::addUpload(const std::string& bytes, const std::string& sha256,
                                             const std::string& received, const std::string& address,
                                             const std::string& confirmation, const std::string& reportKey,
                                             bool late, std::string& error) {
    std::lock_guard lock(mutex_);
    Statement s(db_,
                "INSERT INTO uploads(received, address, sha256, bytes, confirmation, report_key, late) "
                "VALUES(?, ?, ?, ?, ?, ?, ?)");
    s.bind(1, received).bind(2, address).bind(3, sha256).blob(4, bytes).bind(5, confirmation).bind(6, reportKey);
    s.bind(7, std::int64_t{late});
    if (s.step() != SQLITE_DONE) {
        error = sqlite3_errmsg(db_);
        return std::nullopt;
    }
    return sqlite3_last_insert_rowid(db_);
}

bool Store::finishUpload(std::int64_t id, const UploadOutcome& o, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!exec("BEGIN IMMEDIATE", error)) return false;
    bool ok = true;
    {
        Statement s(db_,
                    "UPDATE uploads SET state = ?, call = ?, category = ?, format = ?, qsos = ?, score = ?, "
                    "claimed = ?, findings = ?, report = ?, replaces_other = ? WHERE id = ?");
        s.bind(1, std::string(stateName(uploadStateNamed(o.state)))).bind(2, o.call).bind(3, o.category);
        s.bind(4, o.format).bind(5, o.qsos);
        o.score ? s.bind(6, *o.score) : s.bindNull(6);
        o.claimed ? s.bind(7, *o.claimed) : s.bindNull(7);
        const auto replaced = replacedFromElsewhere(db_, id, o);
        replaced ? s.bind(10, *replaced) : s.bindNull(10);
        s.bind(8, encodeFindings(o.findings)).blob(9, o.report).bind(11, id);
        ok = s.step() == SQLITE_DONE;
        Statement w(db_, "INSERT OR IGNORE INTO worked(upload, call) VALUES(?, ?)");
        for (const std::string& call : o.worked) {
            if (!ok) break;
            w.bind(1, id).bind(2, call);
            ok = w.step() == SQLITE_DONE;
            w.reset();
        }
        ok = ok && countWorked(id, o);
    }
    if (!ok) {
        error = sqlite3_errmsg(db_);
        std::string ignored;
        exec("ROLLBACK", ignored);
        return false;
    }
    if (exec("COMMIT", error)) return true;
    // A commit that failed may leave the transaction open, and every later write would join it
    // uncommitted.
    std::string ignored;
    if (!sqlite3_get_autocommit(db_)) exec("ROLLBACK", ignored);
    return false;
}

bool Store::countWorked(std::int64_t id, const UploadOutcome& o) {
    if (uploadStateNamed(o.state) != UploadState::kAccepted || o.call.empty()) return true;
    Statement newest(db_, "SELECT MAX(id) FROM uploads WHERE call = ? AND state = 'accepted' AND id <> ?");
    newest.bind(1, o.call).bind(2, id);
    if (newest.step() != SQLITE_ROW) return false;
    // Scored out of turn (two workers): a newer version of the call's log counts already.
    if (!newest.null(0) && newest.integer(0) > id) return true;
    if (!newest.null(0)) {
        Statement fewer(db_,
                        "UPDATE worked_counts SET logs = logs - 1 WHERE call IN (SELECT call FROM worked WHERE upload = ?)");
        fewer.bind(1, newest.integer(0));
        if (fewer.step() != SQLITE_DONE) return false;
    }
    Statement more(db_,
                   "INSERT INTO worked_counts(call, logs) SELECT call, 1 FROM worked WHERE upload = ? "
                   "ON CONFLICT(call) DO UPDATE SET logs = logs + 1");
    more.bind(1, id);
    return more.step() == SQLITE_DONE;
}

bool Store::countWorkedOnce(std::string& error) {
    {
        Statement version(db_, "PRAGMA user_version");
        if (version.step() == SQLITE_ROW && version.integer(0) >= 1) return true;
    }
    // A database from before the counts: counted once from the logs that count.
    if (exec("BEGIN IMMEDIATE; DELETE FROM worked_counts;"
             "INSERT INTO worked_counts SELECT w.call, COUNT(*) FROM worked w JOIN current_logs c ON w.upload = c.id "
             "GROUP BY w.call; PRAGMA user_version = 1; COMMIT;",
             error))
        return true;
    std::string ignored;
    if (!sqlite3_get_autocommit(db_)) exec("ROLLBACK", ignored);
    return false;
}

std::optional<UploadRecord> Store::uploadByConfirmation(const std::string& code) {
    const Reading reader = reading();
    Statement s(reader.get(), (std::string("SELECT ") + kUploadColumns + " FROM uploads WHERE confirmation = ?").c_str());
    s.bind(1, code);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return uploadFrom(s);
}

std::optional<UploadRecord> Store::uploadByReportKey(const std::string& key) {
    const Reading reader = reading();
    Statement s(reader.get(), (std::string("SELECT ") + kUploadColumns + " FROM uploads WHERE report_key = ?").c_str());
    s.bind(1, key);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return uploadFrom(s);
}

std::string Store::reportPage(const std::string& key) {
    const Reading reader = reading();
    Statement s(reader.get(), "SELECT report FROM uploads WHERE report_key = ?");
    s.bind(1, key);
    return s.step() == SQLITE_ROW ? s.text(0) : std::string();
}

std::vector<UploadRecord> Store::uploads() {
    const Reading reader = reading();
    Statement s(reader.get(), (std::string("SELECT ") + kUploadColumns + " FROM uploads ORDER BY id").c_str());
    std::vector<UploadRecord> out;
    while (s.step() == SQLITE_ROW) out.push_back(uploadFrom(s));
    return out;
}

namespace {

// `text` as a LIKE pattern that matches it anywhere, its own % and _ taken as they are.
std::string containing(const std::string& text) {
    std::string pattern = "%";
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

}  // namespace

Page<UploadRecord> Store::uploadsPage(const UploadQuery& query) {
    const Reading reader = reading();
    // The calls searched in their index alone: a row's call lies past its log's bytes.
    constexpr const char* kWhere = " FROM uploads INDEXED BY uploads_call WHERE ?1 = '' OR call LIKE ?2 ESCAPE '\\'";
    Page<UploadRecord> page;
    Statement count(reader.get(), (std::string("SELECT COUNT(*)") + kWhere).c_str());
    count.bind(1, query.call).bind(2, containing(query.call));
    if (count.step() == SQLITE_ROW) page.total = count.integer(0);
    Statement s(reader.get(), (std::string("SELECT ") + kUploadColumns + " FROM uploads WHERE id IN (SELECT id" +
                               kWhere + " ORDER BY id DESC LIMIT ?3 OFFSET ?4) ORDER BY id DESC")
                                  .c_str());
    s.bind(1, query.call).bind(2, containing(query.call)).bind(3, query.limit).bind(4, query.offset);
    while (s.step() == SQLITE_ROW) page.rows.push_back(uploadFrom(s));
    return page;
}

std::vector<UploadRecord> Store::currentLogs() {
    const Reading reader = reading();
    Statement s(reader.get(), (std::string("SELECT ") + kUploadColumns + " FROM current_logs ORDER BY call").c_str());
    std::vector<UploadRecord> out;
    while (s.step() == SQLITE_ROW) out.push_back(uploadFrom(s));
    return out;
}

std::string Store::uploadBytes(std::int64_t id) {
    const Reading reader = reading();
    Statement s(reader.get(), "SELECT bytes FROM uploads WHERE id = ?");
    s.bind(1, id);
    return s.step() == SQLITE_ROW ? s.text(0) : std::string();
}

std::vector<std::int64_t> Store::unscoredUploads() {
    const Reading reader = reading();
    Statement s(reader.get(), "SELECT id FROM uploads WHERE state = 'received' ORDER BY id");
    std::vector<std::int64_t> out;
    while (s.step() == SQLITE_ROW) out.push_back(s.integer(0));
    return out;
}

std::vector<WantedCall> Store::wanted(std::size_t limit) {
    const Reading reader = reading();
    Statement s(reader.get(),
                "SELECT call, logs FROM worked_counts WHERE logs > 0 AND call NOT IN (SELECT call FROM current_logs) "
                "ORDER BY logs DESC, call LIMIT ?");
    s.bind(1, static_cast<std::int64_t>(limit));
    std::vector<WantedCall> out;
    while (s.step() == SQLITE_ROW) out.push_back({s.text(0), s.integer(1)});
    return out;
}

std::int64_t Store::addRun(const std::string& started) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "INSERT INTO runs(started, state) VALUES(?, 'running')");
    s.bind(1, started);
    if (s.step() != SQLITE_DONE) return 0;
    return sqlite3_last_insert_rowid(db_);
}

void Store::updateRun(std::int64_t id, const std::string& state, const std::string& progress) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "UPDATE runs SET state = ?, progress = ? WHERE id = ?");
    s.bind(1, state).bind(2, progress).bind(3, id);
    s.step();
}

void Store::publishRun(std::int64_t id) {
    std::lock_guard lock(mutex_);
    Statement s(db_, "UPDATE runs SET published = 1 WHERE id = ? AND state = 'done'");
    s.bind(1, id);
    s.step();
}

std::optional<RunRecord> Store::run(std::int64_t id) {
    const Reading reader = reading();
    Statement s(reader.get(), "SELECT id, started, state, progress, published FROM runs WHERE id = ?");
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return runFrom(s);
}

std::vector<RunRecord> Store::runs() {
    const Reading reader = reading();
    Statement s(reader.get(), "SELECT id, started, state, progress, published FROM runs ORDER BY id DESC");
    std::vector<RunRecord> out;
    while (s.step() == SQLITE_ROW) out.push_back(runFrom(s));
    return out;
}

Page<RunRecord> Store::runsPage(std::int64_t offset, std::int64_t limit) {
    const Reading reader = reading();
    Page<RunRecord> page;
    Statement count(reader.get(), "SELECT COUNT(*) FROM runs");
    if (count.step() == SQLITE_ROW) page.total = count.integer(0);
    Statement s(reader.get(),
                "SELECT id, started, state, progress, published FROM runs ORDER BY id DESC LIMIT ? OFFSET ?");
    s.bind(1, limit).bind(2, offset);
    while (s.step() == SQLITE_ROW) page.rows.push_back(runFrom(s));
    return page;
}

std::optional<RunRecord> Store::publishedRun() {
    const Reading reader = reading();
    Statement s(reader.get(),
                "SELECT id, started, state, progress, published FROM runs WHERE published = 1 AND state = 'done' "
                "ORDER BY id DESC LIMIT 1");
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return runFrom(s);
}

bool Store::backup(const std::filesystem::path& file, std::string& error) {
    // One snapshot: VACUUM INTO reads the whole database in one read transaction, which in WAL mode
    // neither waits for the uploads' writes nor makes them wait, and never starts over (the backup
    // API's steps start again after every write of another connection, so under a steady stream of
    // uploads they never end). The copy is written beside the file, synced, then renamed over it.
    const std::filesystem::path partial = file.string() + ".partial";
    std::error_code ec;
    std::filesystem::remove(partial, ec);
    // Created empty and private first (VACUUM INTO takes an empty file): the copy holds what the
    // database holds.
    if (!privateFile(partial, error)) return false;
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(db, 10000);
        Statement s(db, "VACUUM INTO ?");
        s.bind(1, partial.string());
        ok = s.step() == SQLITE_DONE;
    }
    if (!ok) error = "backup to " + file.string() + " failed: " + (db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close_v2(db);
    if (ok && !syncFile(partial)) {
        ok = false;
        error = "backup to " + file.string() + " failed: cannot sync " + partial.string();
    }
    if (ok) std::filesystem::rename(partial, file, ec);
    if (ok && ec) {
        ok = false;
        error = "cannot write " + file.string() + ": " + ec.message();
    }
    if (!ok) std::filesystem::remove(partial, ec);
    return ok;
}

std::string Store::integrityCheck() {
    const Reading reader = reading();
    Statement s(reader.get(), "PRAGMA integrity_check");
    std::string out;
    while (s.step() == SQLITE_ROW) out += (out.empty() ? "" : "; ") + s.text(0);
    return out;
}

}  // namespace robot
