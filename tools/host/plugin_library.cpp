// Loading the plug-in and finding its exports, on top of the system's library functions.
#include "tools/host/plugin_library.h"

namespace host {
namespace {

template <typename F>
void resolve(void* library, const char* name, F& out, std::string& missing) {
    out = reinterpret_cast<F>(findExport(library, name));
    if (!out) missing += missing.empty() ? name : std::string(", ") + name;
}

}  // namespace

bool PluginLibrary::load(const std::string& path, std::string& error) {
    unload();
    handle_ = openLibrary(path, error);
    if (!handle_) return false;
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
    if (handle_) closeLibrary(handle_);
    handle_ = nullptr;
    exports_ = {};
}

}  // namespace host
