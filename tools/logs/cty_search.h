#pragma once
// Where the replay looks for a country file (cty.dat) when none is named on the command line.

#include <filesystem>
#include <vector>

namespace replay {

/// The places, in order: beside the program, the current folder, the working folder (--dir), and
/// with `systemFolders` elsewhere than on Windows where Debian's tlf package installs one. Empty
/// folders and repeats are left out.
std::vector<std::filesystem::path> countryFileCandidates(const std::filesystem::path& programFolder,
                                                         const std::filesystem::path& currentFolder,
                                                         const std::filesystem::path& workFolder,
                                                         bool systemFolders = true);

/// The first of `candidates` that is a file (links followed), or an empty path.
std::filesystem::path firstExistingFile(const std::vector<std::filesystem::path>& candidates);

}  // namespace replay
