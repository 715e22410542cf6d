#include "tools/robot/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

namespace robot {

bool privateFolder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    // Set, not masked: a folder made under umask 022, or by an older robot, is 0755 until here.
    if (!ec) fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    if (ec) error = "cannot make the folder " + folder.string() + " private: " + ec.message();
    return !ec;
}

bool privateFile(const fs::path& file, std::string& error) {
    // Created 0600 so that it is never readable by others, not even between its creation and a chmod.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    const bool ok = fd >= 0 && fchmod(fd, 0600) == 0;
    const int why = errno;
    if (fd >= 0) close(fd);
    if (!ok) error = "cannot make the file " + file.string() + " private: " + std::strerror(why);
    return ok;
}

namespace {

// True when a path may start at `at`: at the start, or after a blank, a quote, a bracket or '='.
bool pathStarts(std::string_view text, std::size_t at) {
    return text[at] == '/' &&
           (at == 0 || std::string_view(" \t'\"([=").find(text[at - 1]) != std::string_view::npos);
}

// Where the path starting at `at` ends: a blank, a quote, a bracket, or ':' ',' ';' before a blank or
// the end.
std::size_t pathEnd(std::string_view text, std::size_t at) {
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (std::string_view(" \t\r\n'\")]").find(c) != std::string_view::npos) break;
        if ((c == ':' || c == ',' || c == ';') && (at + 1 == text.size() || text[at + 1] == ' ')) break;
    }
    return at;
}

}  // namespace

std::string withoutServerPaths(std::string_view text, const fs::path& folder) {
    std::string root = folder.lexically_normal().string();
    if (root.size() > 1 && root.back() == '/') root.pop_back();
    const std::string inside = root + "/";
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        if (!pathStarts(text, at)) {
            out += text[at++];
            continue;
        }
        // The data folder by its whole name first: its own path may hold blanks.
        if (text.substr(at, inside.size()) == inside) {
            at += inside.size();
            continue;
        }
        const std::size_t end = pathEnd(text, at);
        out += text.substr(at, end - at) == root ? "the data folder" : "a file on the server";
        at = end;
    }
    return out;
}

}  // namespace robot
