#pragma once
// A folder of this process for files that live only while it runs (the plug-in's err.txt and
// settings while a tool scores).

#include <filesystem>
#include <string>
#include <string_view>

namespace host {

/// A folder made for this process and removed with its contents when the object goes. It lies
/// on a memory-backed file system where the system has one (the plug-in replaces its settings
/// file at every reset, which on a disk waits for the disk), else in the fallback folder given.
class ScratchFolder {
  public:
    ScratchFolder() = default;
    ScratchFolder(ScratchFolder&& other) noexcept;
    ScratchFolder& operator=(ScratchFolder&& other) noexcept;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    /// Makes "<memory folder>/<name>-<process id>", or "<fallback>/.<name>-<process id>" where there is no
    /// memory folder or it cannot be written; false with a one-line `error` when neither is made.
    bool create(std::string_view name, const std::filesystem::path& fallback, std::string& error);
    const std::filesystem::path& path() const noexcept { return path_; }

  private:
    void remove() noexcept;
    std::filesystem::path path_;
};

/// The system's memory-backed folder for temporary files ("/dev/shm"), or empty where it has none.
std::filesystem::path memoryBackedFolder();

/// This process's id.
unsigned long processId() noexcept;

}  // namespace host
