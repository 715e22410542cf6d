#pragma once
// What the committee sets once for the robot, key to value.

#include <optional>
#include <string>

#include "tools/robot/database.h"

namespace robot {

/// The settings' records. Thread-safe as the Database is.
class SettingsStore {
  public:
    explicit SettingsStore(Database& database) : db_(database) {}

    /// Creates the settings' table when missing.
    bool setUp(std::string& error);

    /// The value of `key`, none when it was never set.
    std::optional<std::string> get(const std::string& key);
    /// Sets `key` to `value`; false with `error`.
    bool set(const std::string& key, const std::string& value, std::string& error);
    /// Forgets `key`; false with `error`.
    bool clear(const std::string& key, std::string& error);

  private:
    Database& db_;
};

}  // namespace robot
