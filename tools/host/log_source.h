#pragma once
// A log handed to a pipeline: a file on disk, or its bytes (standard input, an upload).

#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <string>

namespace host {

/// Where a pipeline reads a log from, and the name its notes and findings give it.
struct LogSource {
    std::string name;                  ///< as notes and findings name the log ("LOG.cbr", "-")
    std::filesystem::path path;        ///< the file, when `bytes` is not set
    std::optional<std::string> bytes;  ///< the log's content, read instead of a file

    /// The file `path`, named `name` (or the path as given).
    static LogSource file(const std::filesystem::path& path, std::string name = {});
    /// The log `bytes`, named `name`.
    static LogSource text(std::string bytes, std::string name);
};

/// The log named on a command line: "-" is standard input (read whole), else the file `name`
/// taken from `folder` when relative.
LogSource commandLineLog(const std::string& name, const std::filesystem::path& folder);

/// The log opened for reading, from its first byte; null with a one-line `error`
/// ("cannot read the log NAME: REASON", a folder named as such).
std::unique_ptr<std::istream> openLog(const LogSource& log, std::string& error);

/// The size of the log in bytes, 0 when not known.
std::uintmax_t logSize(const LogSource& log);

}  // namespace host
