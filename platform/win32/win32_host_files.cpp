#include "platform/win32/win32_host_files.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace stats {
namespace {

// Closes a find handle however the walk ends.
class FindHandle {
  public:
    explicit FindHandle(HANDLE h) noexcept : h_(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    HANDLE get() const noexcept { return h_; }

  private:
    HANDLE h_;
};

std::optional<HostVersion> fileVersion(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || !value || length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    return HostVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                       HIWORD(info->dwFileVersionLS)};
}

}  // namespace

std::optional<HostVersion> Win32HostFiles::hostVersion() const {
    const std::string prefix = dir_.empty() ? std::string() : dir_ + "\\";
    WIN32_FIND_DATAA entry;
    std::string host;
    {
        FindHandle find(FindFirstFileA((prefix + "*.exe").c_str(), &entry));
        if (find.get() == INVALID_HANDLE_VALUE) return std::nullopt;
        // The first listed name containing "Zarv" is the host; without one there is no version
        // (rather than the version of whichever executable happened to be listed last).
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                std::strstr(entry.cFileName, "Zarv")) {
                host = entry.cFileName;
                break;
            }
        } while (FindNextFileA(find.get(), &entry));
    }
    if (host.empty()) return std::nullopt;
    return fileVersion(prefix + host);
}

}  // namespace stats
