#include "platform/portable/ini_settings.h"

namespace stats {

IniFileSettings::IniFileSettings(std::filesystem::path baseDir) : baseDir_(std::move(baseDir)) {}

std::string IniFileSettings::read(std::string_view, std::string_view fallback) const { return std::string(fallback); }

bool IniFileSettings::write(std::string_view, std::string_view) { return false; }

}  // namespace stats
