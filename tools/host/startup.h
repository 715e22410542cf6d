#pragma once
// What every tool that drives the plug-in does at its start: the country file found and loaded,
// the plug-in library's path resolved and the library loaded, notes on stderr under the tool's
// name, and the exit statuses the tools share.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/host/plugin_library.h"
#include "tools/logs/cty.h"

namespace host {

/// Done.
inline constexpr int kExitOk = 0;
/// A file cannot be read or written, the plug-in cannot be loaded.
inline constexpr int kExitFailure = 1;
/// A wrong command line.
inline constexpr int kExitUsage = 2;
/// The check found errors in the log.
inline constexpr int kExitFindings = 3;

/// The --cty value that asks for no country file.
inline constexpr std::string_view kNoCountryFile = "none";

/// Environment variable: when set (to anything), the search for a country file keeps to the folder
/// of the tool, the current folder and the working folder, and skips the system's (the tests set it).
inline constexpr const char* kLocalCountryFileVariable = "STATS_CTY_LOCAL";

/// Called with one line for the operator.
using NoteFunction = std::function<void(const std::string&)>;

/// What a tool's start is given, mostly from its command line.
struct StartupOptions {
    std::string tool;                  ///< the tool's name, which prefixes its notes ("stats-replay")
    const char* argv0 = nullptr;       ///< the program as started, to find its folder
    std::string cty;                   ///< --cty: a file, "none", or empty to search
    std::filesystem::path workFolder;  ///< searched for cty.dat after the current folder; empty: not searched
    std::string library;               ///< --lib: the plug-in; empty: the one next to the tool
};

/// The country file and the plug-in a tool runs with, and its voice on stderr. Movable before
/// noteFunction() is taken (the function refers to the object).
class Startup {
  public:
    /// Finds and loads the country file and resolves the plug-in's path (the plug-in is loaded at
    /// its first use); false with a one-line `error` (without the tool's prefix).
    bool open(const StartupOptions& options, std::string& error);

    /// The plug-in's exports, loading the library on first use; null with a one-line `error`.
    const PluginExports* plugin(std::string& error);
    /// Unloads the plug-in (its shutdown runs); the next plugin() loads it again.
    void unloadPlugin() noexcept {
        library_.unload();
        loaded_ = false;
    }

    const std::string& tool() const noexcept { return tool_; }
    /// The current folder at the start; relative paths of the command line are taken from it.
    const std::filesystem::path& startFolder() const noexcept { return startFolder_; }
    /// `path` as given when absolute, else from the start folder.
    std::filesystem::path fromStart(const std::string& path) const;

    /// The loaded country file, or null when there is none.
    const logs::CountryFile* countryFile() const noexcept { return hasCountries_ ? &countries_ : nullptr; }
    /// The country file's name as given or found; empty when there is none.
    const std::string& countryFileName() const noexcept { return ctyName_; }
    /// True when no --cty was given and the file was looked for.
    bool countryFileSearched() const noexcept { return ctySearched_; }
    /// Which country file is in use, in one line: "using the country file X", or "no country file ...".
    std::string countryFileNote() const;

    const std::filesystem::path& libraryPath() const noexcept { return libraryPath_; }

    /// One line on stderr: "TOOL: message".
    void note(const std::string& message) const;
    /// note(message), then `status` for main to return.
    int fail(const std::string& message, int status = kExitFailure) const;
    /// A function that notes each line it is given.
    NoteFunction noteFunction() const;

  private:
    bool loadCountryFile(const StartupOptions& options, std::string& error);

    std::string tool_;
    std::filesystem::path startFolder_;
    logs::CountryFile countries_;
    bool hasCountries_ = false;
    std::string ctyName_;
    bool ctySearched_ = false;
    std::filesystem::path libraryPath_;
    PluginLibrary library_;
    bool loaded_ = false;
};

/// What a tool's main does around its work, the same for every tool: a wrong command line
/// (`parsed` false) as "TOOL: error" (status 2), --help's `usage` and --version's line on stdout
/// (status 0); else `run()`, an exception from it as one line (status 1).
int runTool(const char* tool, bool parsed, const std::string& error, bool help, bool version,
            const std::string& usage, const std::function<int()>& run);

/// A tool's whole main: `parse(args, options, error)` reads the command line into `Options` (with
/// `help` and `version` members), then runTool with `run(options, argv0)`.
template <typename Options, typename Parse, typename Run>
int toolMain(const char* tool, int argc, char** argv, Parse parse, const std::string& usage, Run run) {
    const std::vector<std::string> given = commandLineArguments(argc, argv);
    const std::vector<std::string_view> args(given.begin() + (given.empty() ? 0 : 1), given.end());
    Options options;
    std::string error;
    const bool parsed = parse(args, options, error);
    return runTool(tool, parsed, error, options.help, options.version, usage,
                   [&] { return run(options, argc > 0 ? argv[0] : nullptr); });
}

/// The places searched for cty.dat when no --cty is given: those of countryFileCandidates, without
/// the system's folders when kLocalCountryFileVariable is set.
std::vector<std::filesystem::path> countryFileSearchPath(const std::filesystem::path& programFolder,
                                                         const std::filesystem::path& currentFolder,
                                                         const std::filesystem::path& workFolder);

}  // namespace host
