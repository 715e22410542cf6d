#pragma once
// The robot's embedded store: one SQLite file, and a store for each kind of record in it (the
// uploads and the logs that count, the cross-check runs, the settings).

#include <filesystem>
#include <string>

#include "tools/robot/database.h"
#include "tools/robot/run_store.h"
#include "tools/robot/settings_store.h"
#include "tools/robot/upload_store.h"

namespace robot {

/// The store the services are given: the database and its record stores, all thread-safe.
class Store {
  public:
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    /// Who opens the store: the server, or a program beside a server that may be running (the backup).
    enum class Opener { kServer, kBeside };

    /// Opens (creating) DIR/robot.db and sets up each record's tables; false with `error`. For the
    /// server, an older robot's database is brought up to date, the runs a server that stopped left
    /// "running" are marked "failed" (its uploads left "received" it scores again).
    bool open(const std::filesystem::path& folder, std::string& error, Opener opener = Opener::kServer);

    UploadStore& uploads() noexcept { return uploads_; }
    RunStore& runs() noexcept { return runs_; }
    SettingsStore& settings() noexcept { return settings_; }

    /// Copies the whole database, as it is at one moment, to `file` while it stays in use; false with
    /// `error`.
    bool backup(const std::filesystem::path& file, std::string& error) {
        return database_.backup(file, error);
    }
    /// "ok", or what the integrity check found.
    std::string integrityCheck() { return database_.integrityCheck(); }

  private:
    Database database_;
    UploadStore uploads_{database_};
    RunStore runs_{database_};
    SettingsStore settings_{database_};
};

}  // namespace robot
