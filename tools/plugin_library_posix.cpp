// Loading the plug-in on systems with dlopen.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "tools/plugin_library.h"

namespace replay {

void* openLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        // dlerror() names the file itself.
        error = std::string("cannot load the plug-in: ") + (why ? why : path.c_str());
    }
    return library;
}

void* findExport(void* library, const char* name) noexcept { return dlsym(library, name); }

void closeLibrary(void* library) noexcept { dlclose(library); }

const char* pluginFileName() noexcept {
    return "Stats.so";
}

std::string executableFolder(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec && argv0) self = std::filesystem::absolute(argv0, ec);
    return ec ? std::string() : self.parent_path().string();
}

void useBinaryStdout() noexcept {}

bool stderrIsTerminal() noexcept {
    return isatty(STDERR_FILENO) == 1;
}

struct DialogConfirmer::State {};
DialogConfirmer::DialogConfirmer() = default;
DialogConfirmer::~DialogConfirmer() = default;

}  // namespace replay
