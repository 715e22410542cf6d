#pragma once
// The robot's data folder, opened in one place: held by one server at a time, its database, its
// job and run folders, and the committee's token.

#include <filesystem>
#include <string>

#include "tools/robot/store.h"

namespace robot {

/// One server's exclusive hold on its data folder (a lock on a file in it), released when it goes.
class DataFolderLock {
  public:
    DataFolderLock() = default;
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    /// Takes the hold on `data` (which exists); false with `error` naming the folder and the process
    /// that holds it when another does.
    bool take(const std::filesystem::path& data, std::string& error);

  private:
    int fd_ = -1;
};

/// The file that holds the committee's token in the data folder `data`.
std::filesystem::path tokenFile(const std::filesystem::path& data);

/// Creates `data` on the first start and takes `lock` on it before anything in it is touched; then
/// creates its job and run folders, removes the job folders a server that stopped left, opens the
/// store for the server and reads the committee's token into `token` (made on the first start,
/// readable by the owner only). False with `error`.
bool openDataFolder(const std::filesystem::path& data, DataFolderLock& lock, Store& store, std::string& token,
                    std::string& error);

}  // namespace robot
