// Loading the plug-in on systems with dlopen.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "tools/plugin_library.h"

namespace replay {
namespace {

template <typename F>
void resolve(void* handle, const char* name, F& out, std::string& missing) {
    out = reinterpret_cast<F>(dlsym(handle, name));
    if (!out) missing += missing.empty() ? name : std::string(", ") + name;
}

}  // namespace

bool PluginLibrary::load(const std::string& path, std::string& error) {
    unload();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        // dlerror() names the file itself.
        error = std::string("cannot load the plug-in: ") + (why ? why : path.c_str());
        return false;
    }
    std::string missing;
    resolve(handle_, "ResetStats0", exports_.resetStats, missing);
    resolve(handle_, "AddData0", exports_.addData, missing);
    resolve(handle_, "GetResult0", exports_.getResult, missing);
    resolve(handle_, "CheckCall0", exports_.checkCall, missing);
    if (!missing.empty()) {
        error = "the plug-in " + path + " does not export " + missing;
        unload();
        return false;
    }
    return true;
}

void PluginLibrary::unload() noexcept {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
    exports_ = {};
}

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
