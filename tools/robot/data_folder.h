#pragma once
// The robot's data folder, opened in one place: its database, its job and run folders, and the
// committee's token.

#include <filesystem>
#include <string>

#include "tools/robot/store.h"

namespace robot {

/// The file that holds the committee's token in the data folder `data`.
std::filesystem::path tokenFile(const std::filesystem::path& data);

/// Creates `data` with its job and run folders on the first start, removes the job folders a server
/// that stopped left, opens the store for the server and reads the committee's token into `token`
/// (made on the first start, readable by the owner only). False with `error`.
bool openDataFolder(const std::filesystem::path& data, Store& store, std::string& token, std::string& error);

}  // namespace robot
