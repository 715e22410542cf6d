#include "tools/host/scratch_folder.h"

#include <process.h>

namespace host {

// Windows has no memory-backed file system: the fallback folder is used.
std::filesystem::path memoryBackedFolder() {
    return {};
}

unsigned long processId() noexcept {
    return static_cast<unsigned long>(_getpid());
}

}  // namespace host
