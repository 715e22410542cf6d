#pragma once
// What the robot keeps to itself: its data folder and every file in it are for the robot's user
// only, whatever umask it was started with, and no answer names a path on the server.

#include <filesystem>
#include <string>
#include <string_view>

namespace robot {

/// Creates `folder` (and its parents) when missing and makes it 0700; false with `error`.
bool privateFolder(const std::filesystem::path& folder, std::string& error);

/// Creates `file` empty when missing and makes it 0600, its bytes kept; false with `error`.
bool privateFile(const std::filesystem::path& file, std::string& error);

/// `text` for a client: every path inside `folder` made relative to it, `folder` itself "the data
/// folder", and any other absolute path "a file on the server".
std::string withoutServerPaths(std::string_view text, const std::filesystem::path& folder);

}  // namespace robot
