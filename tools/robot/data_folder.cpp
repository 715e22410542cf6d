#include "tools/robot/data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tools/robot/private_files.h"
#include "tools/robot/text.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

// The committee's token: made on the first start, read on the next, readable by the owner only.
bool committeeTokenOf(const fs::path& file, std::string& token, std::string& error) {
    std::error_code ec;
    if (fs::exists(file, ec)) {
        std::ifstream in(file);
        std::getline(in, token);
        if (token.size() < 32) {
            error = "the committee token in " + file.string() + " is too short";
            return false;
        }
        return true;
    }
    token = randomHex(32);
    const fs::path temporary = file.string() + ".new";
    // Owner-only before the token is written (fchmod too: a leftover file keeps its mode on open).
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string line = token + "\n";
    const bool written = fd >= 0 && fchmod(fd, 0600) == 0 &&
                         write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if ((fd >= 0 && close(fd) != 0) || !written) {
        error = "cannot write " + temporary.string();
        return false;
    }
    fs::rename(temporary, file, ec);
    if (ec) error = "cannot write " + file.string() + ": " + ec.message();
    return !ec;
}

}  // namespace

fs::path tokenFile(const fs::path& data) {
    return data / "committee-token";
}

bool openDataFolder(const fs::path& data, Store& store, std::string& token, std::string& error) {
    if (!privateFolder(data, error) || !privateFolder(data / "jobs", error) || !privateFolder(data / "runs", error))
        return false;
    std::error_code ec;
    // Job folders left by a server that stopped: their uploads are scored again from the store.
    for (const auto& entry : fs::directory_iterator(data / "jobs", ec)) fs::remove_all(entry.path(), ec);
    return store.open(data, error) && committeeTokenOf(tokenFile(data), token, error);
}

}  // namespace robot
