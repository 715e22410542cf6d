#include "platform/win32/profile_settings.h"

#include <windows.h>

#include <vector>

namespace stats {

std::string ProfileSettings::read(std::string_view key, std::string_view fallback) const {
    const std::string k(key), def(fallback);
    // The profile function cuts a value to the buffer without saying so: grow until it fits.
    std::vector<char> buffer(256);
    for (;;) {
        const DWORD n = GetPrivateProfileStringA(kSettingsSection, k.c_str(), def.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), kSettingsPath);
        if (n + 2 < buffer.size() || buffer.size() >= (1u << 20)) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 4);
    }
}

bool ProfileSettings::write(std::string_view key, std::string_view value) {
    const std::string k(key), v(value);
    return WritePrivateProfileStringA(kSettingsSection, k.c_str(), v.c_str(), kSettingsPath) != FALSE;
}

}  // namespace stats
