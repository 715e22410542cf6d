#include "tools/host/startup.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <system_error>

#include "stats_version.h"
#include "tools/logs/cty_search.h"
#include "tools/logs/utf8_path.h"

namespace host {

namespace fs = std::filesystem;

std::vector<fs::path> countryFileSearchPath(const fs::path& programFolder, const fs::path& currentFolder,
                                            const fs::path& workFolder) {
    const bool systemFolders = std::getenv(kLocalCountryFileVariable) == nullptr;
    return logs::countryFileCandidates(programFolder, currentFolder, workFolder, systemFolders);
}

bool Startup::open(const StartupOptions& options, std::string& error) {
    tool_ = options.tool;
    std::error_code ec;
    startFolder_ = fs::current_path(ec);
    if (ec) {
        error = "cannot determine the current folder: " + ec.message();
        return false;
    }
    if (!loadCountryFile(options, error)) return false;
    libraryPath_ = options.library.empty() ? logs::utf8Path(executableFolder(options.argv0)) / pluginFileName()
                                           : fromStart(options.library);
    return true;
}

bool Startup::loadCountryFile(const StartupOptions& options, std::string& error) {
    ctyName_ = options.cty;
    ctySearched_ = ctyName_.empty();
    if (ctySearched_) {
        const fs::path work =
            options.workFolder.empty() ? fs::path() : fromStart(options.workFolder.string());
        ctyName_ = logs::firstExistingFile(
                       countryFileSearchPath(executableFolder(options.argv0), startFolder_, work))
                       .string();
    }
    if (ctyName_ == kNoCountryFile) ctyName_.clear();
    if (ctyName_.empty()) return true;
    std::error_code ec;
    if (fs::is_directory(fromStart(ctyName_), ec)) {
        error = "cannot read the country file " + ctyName_ + ": it is a folder";
        return false;
    }
    std::ifstream in(fromStart(ctyName_), std::ios::binary);
    if (!in) {
        error = "cannot read the country file " + ctyName_ + ": " + std::strerror(errno);
        return false;
    }
    if (!countries_.load(in, error)) {
        error = "country file " + ctyName_ + ": " + error;
        return false;
    }
    hasCountries_ = true;
    return true;
}

const PluginExports* Startup::plugin(std::string& error) {
    if (!loaded_) loaded_ = library_.load(libraryPath_.string(), error);
    return loaded_ ? &library_.exports() : nullptr;
}

fs::path Startup::fromStart(const std::string& path) const {
    return logs::utf8PathFrom(startFolder_, path);
}

std::string Startup::countryFileNote() const {
    return hasCountries_ ? "using the country file " + ctyName_
                         : std::string("no country file (give one with --cty FILE)");
}

void Startup::note(const std::string& message) const {
    std::fprintf(stderr, "%s: %s\n", tool_.c_str(), message.c_str());
}

int Startup::fail(const std::string& message, int status) const {
    note(message);
    return status;
}

NoteFunction Startup::noteFunction() const {
    return [this](const std::string& message) { note(message); };
}

int runTool(const char* tool, bool parsed, const std::string& error, bool help, bool version,
            const std::string& usage, const std::function<int()>& run) {
    if (!parsed) {
        std::fprintf(stderr, "%s: %s\n", tool, error.c_str());
        return kExitUsage;
    }
    if (help) {
        std::fputs(usage.c_str(), stdout);
        return kExitOk;
    }
    if (version) {
        std::printf("%s %s\n", tool, STATS_VERSION_TEXT);
        return kExitOk;
    }
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", tool, e.what());
        return kExitFailure;
    }
}

}  // namespace host
