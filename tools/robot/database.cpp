#include "tools/robot/database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include "tools/robot/private_files.h"
#include "tools/robot/statement.h"

namespace robot {

namespace {

// Writes `file`'s data to the disk; false when it cannot.
bool syncFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    return synced;
}

// Ends a transaction that is still open after a failure: every later write would join it uncommitted.
void rollBack(sqlite3* db) {
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace

bool execOn(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Database::~Database() {
    for (sqlite3* reader : idleReaders_) sqlite3_close_v2(reader);
    if (db_) sqlite3_close_v2(db_);
}

bool Database::open(const std::filesystem::path& folder, std::string& error) {
    std::lock_guard lock(mutex_);
    file_ = (folder / "robot.db").string();
    const std::string& file = file_;
    // The database holds the report keys and the contesters' addresses: the robot's user's alone.
    // SQLite gives its WAL and shared-memory files the database's mode; those of an older robot
    // are set here too.
    if (!privateFile(file, error)) return false;
    for (const char* suffix : {"-wal", "-shm"})
        if (std::filesystem::exists(file + suffix) && !privateFile(file + suffix, error)) return false;
    if (sqlite3_open_v2(file.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = "cannot open the database " + file + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
        return false;
    }
    sqlite3_busy_timeout(db_, 10000);
    // WAL: readers never wait for the writer, and a commit is one append to the log. synchronous=FULL
    // syncs the log at every commit, so an upload that was answered survives a power cut as well as
    // a killed process; NORMAL would only guard against the latter. An upload costs one sync.
    if (!execOn(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;")) {
        error = "cannot set up the database " + file + ": " + sqlite3_errmsg(db_);
        return false;
    }
    return true;
}

bool Database::exec(const char* sql, std::string& error) {
    std::lock_guard lock(mutex_);
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return false;
}

bool Database::write(const std::function<bool(sqlite3*)>& body, std::string& error) {
    std::lock_guard lock(mutex_);
    if (!execOn(db_, "BEGIN IMMEDIATE")) {
        error = sqlite3_errmsg(db_);
        return false;
    }
    const std::string before = error;
    if (body(db_) && execOn(db_, "COMMIT")) return true;
    if (error == before) error = sqlite3_errmsg(db_);
    rollBack(db_);
    return false;
}

bool Database::write(const std::function<bool(sqlite3*)>& body) {
    std::string ignored;
    return write(body, ignored);
}

Database::Reading Database::reading() {
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
    if (sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(db);
        return Reading(*this, nullptr);  // its statements fail: the reader finds nothing
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_exec(db, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    return Reading(*this, db);
}

void Database::giveBack(sqlite3* db) {
    if (!db) return;
    std::unique_lock lock(readersMutex_);
    // As many stay open as were ever busy at once, up to a bound; the rest close.
    if (idleReaders_.size() < kMaxIdleReaders) return idleReaders_.push_back(db);
    lock.unlock();
    sqlite3_close_v2(db);
}

std::int64_t Database::schemaVersion() {
    const Reading reader = reading();
    Statement s(reader.get(), "PRAGMA user_version");
    return s.step() == SQLITE_ROW ? s.integer(0) : 0;
}

bool Database::setSchemaVersion(sqlite3* db, std::int64_t version) {
    // A pragma takes no bound value; the number is the robot's own.
    return execOn(db, ("PRAGMA user_version = " + std::to_string(version)).c_str());
}

bool Database::addColumn(sqlite3* db, const char* table, const char* column, const char* declaration) {
    Statement has(db, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?");
    has.bind(1, std::string(table)).bind(2, std::string(column));
    if (has.step() == SQLITE_ROW) return true;
    return execOn(
        db, (std::string("ALTER TABLE ") + table + " ADD COLUMN " + column + " " + declaration).c_str());
}

bool Database::backup(const std::filesystem::path& file, std::string& error) {
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

std::string Database::integrityCheck() {
    const Reading reader = reading();
    Statement s(reader.get(), "PRAGMA integrity_check");
    std::string out;
    while (s.step() == SQLITE_ROW) out += (out.empty() ? "" : "; ") + s.text(0);
    return out;
}

}  // namespace robot
