#include "tools/host/log_source.h"

#include "tools/logs/utf8_path.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

#include "tools/host/plugin_library.h"

namespace host {

namespace fs = std::filesystem;

LogSource LogSource::file(const fs::path& path, std::string name) {
    LogSource log;
    log.name = name.empty() ? path.string() : std::move(name);
    log.path = path;
    return log;
}

LogSource LogSource::text(std::string bytes, std::string name) {
    LogSource log;
    log.name = std::move(name);
    log.bytes = std::move(bytes);
    return log;
}

LogSource commandLineLog(const std::string& name, const fs::path& folder) {
    if (name != "-")
        return LogSource::file(logs::utf8PathFrom(folder, name), name);
    useBinaryStdin();
    std::ostringstream bytes;
    bytes << std::cin.rdbuf();
    return LogSource::text(std::move(bytes).str(), name);
}

std::unique_ptr<std::istream> openLog(const LogSource& log, std::string& error) {
    if (log.bytes) return std::make_unique<std::istringstream>(*log.bytes, std::ios::binary);
    std::error_code ec;
    if (fs::is_directory(log.path, ec)) {
        error = "cannot read the log " + log.name + ": it is a folder";
        return nullptr;
    }
    auto in = std::make_unique<std::ifstream>(log.path, std::ios::binary);
    if (!*in) {
        error = "cannot read the log " + log.name + ": " + std::strerror(errno);
        return nullptr;
    }
    return in;
}

std::uintmax_t logSize(const LogSource& log) {
    if (log.bytes) return log.bytes->size();
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(log.path, ec);
    return ec ? 0 : size;
}

}  // namespace host
