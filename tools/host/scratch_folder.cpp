#include "tools/host/scratch_folder.h"

#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace host {

ScratchFolder::ScratchFolder(ScratchFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}

ScratchFolder& ScratchFolder::operator=(ScratchFolder&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

ScratchFolder::~ScratchFolder() {
    remove();
}

void ScratchFolder::remove() noexcept {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    path_.clear();
}

bool ScratchFolder::create(std::string_view name, const fs::path& fallback, std::string& error) {
    remove();
    std::error_code ec;
    if (const fs::path memory = memoryBackedFolder(); !memory.empty()) {
        const fs::path dir = memory / (std::string(name) + "-" + std::to_string(processId()));
        // A folder left by an earlier process of the same id is not this one's: start it afresh.
        fs::remove_all(dir, ec);
        if (fs::create_directories(dir, ec) && !ec) {
            path_ = dir;
            return true;
        }
    }
    const fs::path dir = fallback / ("." + std::string(name) + "-" + std::to_string(processId()));
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create the folder " + dir.string() + ": " + ec.message();
        return false;
    }
    path_ = dir;
    return true;
}

}  // namespace host
