// Loading the plug-in on systems with dlopen.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/portable/headless_reports.h"
#include "tools/host/plugin_library.h"

namespace host {

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

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void useBinaryStdout() noexcept {}

void useBinaryStdin() noexcept {}

bool stderrIsTerminal() noexcept {
    return isatty(STDERR_FILENO) == 1;
}

// The plug-in's headless header dialog reads the answers from a file while the reset runs.
struct DialogConfirmer::State {
    std::filesystem::path file;
};

DialogConfirmer::DialogConfirmer(const stats::HeaderAnswers& headerAnswers) : state_(std::make_unique<State>()) {
    if (headerAnswers.empty()) return;
    std::error_code ec;
    state_->file = std::filesystem::temp_directory_path(ec) /
                   ("stats-replay-header-" + std::to_string(getpid()) + ".txt");
    std::ofstream out(state_->file, std::ios::binary | std::ios::trunc);
    out << stats::formatHeaderAnswers(headerAnswers);
    // A file that was not written whole makes the dialog cancel the export and say why.
    out.close();
    setenv(stats::kHeaderAnswersVariable, state_->file.c_str(), 1);
}

DialogConfirmer::~DialogConfirmer() {
    if (state_->file.empty()) return;
    unsetenv(stats::kHeaderAnswersVariable);
    std::error_code ec;
    std::filesystem::remove(state_->file, ec);
}

}  // namespace host
