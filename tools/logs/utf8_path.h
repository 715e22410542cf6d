#pragma once
// The tools hold file names as UTF-8 text (the command line's arguments, a folder's listing), and
// make paths of them here: on POSIX the bytes as they are, on Windows their UTF-16 form, where a
// path made from narrow text would read it in the C library's code page and lose any name outside
// ASCII.

#include <filesystem>
#include <string_view>

namespace logs {

/// The path named by the UTF-8 text `name`.
inline std::filesystem::path utf8Path(std::string_view name) {
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
}

/// The path named by `name`, a relative one taken from `folder`.
inline std::filesystem::path utf8PathFrom(const std::filesystem::path& folder, std::string_view name) {
    std::filesystem::path path = utf8Path(name);
    return path.is_absolute() ? path : folder / path;
}

}  // namespace logs
