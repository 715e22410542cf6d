#pragma once
// The robot's one SQLite file: its writer connection, the pool of readers, write transactions,
// the schema's set-up, backup and integrity check. The record stores work through it.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace robot {

/// One page of a list, and how many the whole list holds.
template <typename Record>
struct Page {
    std::vector<Record> rows;
    std::int64_t total = 0;
};

/// The database. Safe to use from several threads: the writes take turns on one connection, each
/// read has a connection of its own, so that no reader waits for a writer (WAL); each write is one
/// transaction, durable when it returns.
class Database {
  public:
    /// A read connection lent to one call, given back when it goes.
    class Reading {
      public:
        Reading(Database& database, sqlite3* db) : database_(database), db_(db) {}
        ~Reading() { database_.giveBack(db_); }
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;
        sqlite3* get() const noexcept { return db_; }

      private:
        Database& database_;
        sqlite3* db_;
    };

    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    /// Opens (creating) DIR/robot.db, private to the robot's user, in WAL mode; false with `error`.
    bool open(const std::filesystem::path& folder, std::string& error);
    /// Runs `sql` (any number of statements) on the writer, outside a transaction of its own.
    bool exec(const char* sql, std::string& error);
    /// Runs `body` on the writer as one transaction, committed when it returns true, rolled back
    /// otherwise; false with `error` (SQLite's message, unless `body` set one).
    bool write(const std::function<bool(sqlite3*)>& body, std::string& error);
    /// A write whose error goes nowhere (its caller has no one to tell).
    bool write(const std::function<bool(sqlite3*)>& body);
    /// A read connection of its own.
    Reading reading();
    /// The `user_version` the schema's upgrades keep, and setting it (inside a write).
    std::int64_t schemaVersion();
    static bool setSchemaVersion(sqlite3* db, std::int64_t version);
    /// Adds `column` (its declaration) to `table` when it lacks it (inside a write).
    static bool addColumn(sqlite3* db, const char* table, const char* column, const char* declaration);

    /// Copies the whole database, as it is at one moment, to `file` while it stays in use (the
    /// uploads go on meanwhile); false with `error`.
    bool backup(const std::filesystem::path& file, std::string& error);
    /// "ok", or what the integrity check found.
    std::string integrityCheck();

  private:
    static constexpr std::size_t kMaxIdleReaders = 16;
    void giveBack(sqlite3* db);

    std::string file_;
    std::mutex mutex_;  // the writer's: one write at a time
    sqlite3* db_ = nullptr;
    std::mutex readersMutex_;  // guards idleReaders_
    std::vector<sqlite3*> idleReaders_;
};

/// Runs `sql` (any number of statements) on `db`; false when one fails.
bool execOn(sqlite3* db, const char* sql);

}  // namespace robot
