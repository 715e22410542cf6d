#include "tools/robot/data_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// The first line of the open file `fd`: the pid the holder of the lock wrote.
std::string holderOf(int fd) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    std::string line(text, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    return line.substr(0, line.find('\n'));
}

}  // namespace

DataFolderLock::~DataFolderLock() {
    if (fd_ >= 0) close(fd_);  // the lock goes with the descriptor
}

bool DataFolderLock::take(const fs::path& data, std::string& error) {
    // A lock the kernel drops when the process ends, however it ends: no stale lock after a kill -9.
    // Close-on-exec, so that the workers hold nothing of it.
    const fs::path file = data / "robot.lock";
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        const std::string holder = holderOf(fd);
        close(fd);
        error = why == EWOULDBLOCK ? "the data folder " + data.string() + " is in use by another stats-robot (pid " +
                                         (holder.empty() ? std::string("unknown") : holder) + ")"
                                   : "cannot lock " + file.string() + ": " + std::strerror(why);
        return false;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        close(fd);
        error = "cannot write " + file.string();
        return false;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
    return true;
}

fs::path tokenFile(const fs::path& data) {
    return data / "committee-token";
}

bool openDataFolder(const fs::path& data, DataFolderLock& lock, Store& store, std::string& token,
                    std::string& error) {
    // Held before anything in the folder is touched: a second server would remove the first one's
    // job folders and score beside it with a rate limit of its own.
    if (!privateFolder(data, error) || !lock.take(data, error)) return false;
    if (!privateFolder(data / "jobs", error) || !privateFolder(data / "runs", error)) return false;
    std::error_code ec;
    // Job folders left by a server that stopped: their uploads are scored again from the store.
    for (const auto& entry : fs::directory_iterator(data / "jobs", ec)) fs::remove_all(entry.path(), ec);
    return store.open(data, error) && committeeTokenOf(tokenFile(data), token, error);
}

}  // namespace robot
