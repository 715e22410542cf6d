#pragma once
// Settings in a private-profile file on systems without the Windows profile functions.

#include <filesystem>
#include <mutex>

#include "core/services.h"

namespace stats {

/// The settings file "Plugins\SA-TOLVEN.ini", section "Settings", resolved against `baseDir`.
class IniFileSettings final : public Settings {
public:
    explicit IniFileSettings(std::filesystem::path baseDir = {});
    std::string read(std::string_view key, std::string_view fallback = {}) const override;
    bool write(std::string_view key, std::string_view value) override;

private:
    std::filesystem::path baseDir_;
    mutable std::mutex mutex_;
};

}  // namespace stats
