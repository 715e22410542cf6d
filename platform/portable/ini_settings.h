#pragma once
// Settings in a private-profile file on systems without the Windows profile functions.

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/services.h"

namespace stats {

/// The settings file "Plugins\SA-TOLVEN.ini", section "Settings", resolved against `baseDir`
/// (the current directory when empty), read and written by the rules of the platform's
/// private-profile functions. The folder is never created; the file is replaced atomically.
class IniFileSettings final : public Settings {
  public:
    explicit IniFileSettings(std::filesystem::path baseDir = {});
    std::string read(std::string_view key, std::string_view fallback = {}) const override;
    bool write(std::string_view key, std::string_view value) override;

    /// Where the file is: `baseDir` joined with the parts of "Plugins\SA-TOLVEN.ini".
    const std::filesystem::path& filePath() const noexcept { return path_; }

  private:
    std::filesystem::path path_;
    mutable std::mutex mutex_;
};

/// The private-profile text rules, apart from the file handling.
namespace ini {

/// The value of `key` in the first section named `section` (names compared case-insensitively,
/// blanks around them ignored), trimmed and without one pair of enclosing quotes.
std::optional<std::string> findValue(std::string_view text, std::string_view section, std::string_view key);

/// `text` with `key` set to `value`: replaced in place, else appended after the section's last
/// entry, else in a new section at the end. Every other line is kept byte for byte; new lines end in CR LF.
std::string setValue(std::string_view text, std::string_view section, std::string_view key,
                     std::string_view value);

}  // namespace ini
}  // namespace stats
