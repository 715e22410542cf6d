#include "tools/robot/settings_store.h"

#include "tools/robot/statement.h"

namespace robot {

bool SettingsStore::setUp(std::string& error) {
    return db_.exec(
        "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;",
        error);
}

std::optional<std::string> SettingsStore::get(const std::string& key) {
    const Database::Reading reader = db_.reading();
    Statement s(reader.get(), "SELECT value FROM settings WHERE key = ?");
    s.bind(1, key);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return s.text(0);
}

bool SettingsStore::set(const std::string& key, const std::string& value, std::string& error) {
    return db_.write(
        [&](sqlite3* db) {
            Statement s(
                db,
                "INSERT INTO settings(key, value) VALUES(?, ?) ON CONFLICT(key) DO UPDATE SET value = ?2");
            s.bind(1, key).bind(2, value);
            return s.done();
        },
        error);
}

bool SettingsStore::clear(const std::string& key, std::string& error) {
    return db_.write(
        [&](sqlite3* db) {
            Statement s(db, "DELETE FROM settings WHERE key = ?");
            s.bind(1, key);
            return s.done();
        },
        error);
}

}  // namespace robot
