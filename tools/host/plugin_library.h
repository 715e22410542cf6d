#pragma once
// The plug-in library as the host loads it: the file opened at run time, the exports found by name.

#include <memory>
#include <string>
#include <utility>

#include "cabrillo/header_answers.h"
#include "plugin/exports.h"

namespace host {

/// The exports the replay calls, resolved by their plain names.
struct PluginExports {
    decltype(&::ResetStats0) resetStats = nullptr;
    decltype(&::AddData0) addData = nullptr;
    decltype(&::GetResult0) getResult = nullptr;
    decltype(&::CheckCallFunc0) checkCall = nullptr;
};

/// A loaded plug-in library; unloading it (on destruction) runs the plug-in's own shutdown.
class PluginLibrary {
  public:
    PluginLibrary() = default;
    /// One owner per loaded library: a copy would close it twice.
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
    PluginLibrary(PluginLibrary&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), exports_(std::exchange(other.exports_, {})) {}
    PluginLibrary& operator=(PluginLibrary&&) = delete;

    /// Loads `path` and resolves the exports; false with a one-line `error`.
    bool load(const std::string& path, std::string& error);
    const PluginExports& exports() const noexcept { return exports_; }
    void unload() noexcept;
    ~PluginLibrary() { unload(); }

  private:
    void* handle_ = nullptr;
    PluginExports exports_;
};

/// The system's side of loading a library: open (null with a one-line `error`), find an
/// export by name (null when missing), close.
void* openLibrary(const std::string& path, std::string& error);
void* findExport(void* library, const char* name) noexcept;
void closeLibrary(void* library) noexcept;

/// The file name of the plug-in on this system: "Stats.dll" or "Stats.so".
const char* pluginFileName() noexcept;

/// The folder of the running executable (UTF-8), or "" when it cannot be found.
std::string executableFolder(const char* argv0);

/// The program's arguments as UTF-8 text: `argv` as given on POSIX; on Windows read again from
/// the wide command line, since `argv` there holds the ANSI code page's rendering of them.
std::vector<std::string> commandLineArguments(int argc, char** argv);

/// Keeps the bytes written to stdout exactly as given (no CR LF translation on Windows).
void useBinaryStdout() noexcept;

/// Switches stdin to binary (no CR LF translation on Windows), for a log read from it.
void useBinaryStdin() noexcept;

/// True when stderr is a terminal (progress is shown only there).
bool stderrIsTerminal() noexcept;

/// Answers the plug-in's modal dialogs while it runs, so an export runs unattended: the Cabrillo
/// header dialog gets `headerAnswers` typed into its fields, then OK; the export's result box gets OK
/// and its text goes to stderr. Where the plug-in shows no dialogs, its headless header dialog gets
/// the answers through a file named by STATS_HEADER_ANSWERS (platform/portable/headless_reports.h).
class DialogConfirmer {
  public:
    explicit DialogConfirmer(const stats::HeaderAnswers& headerAnswers = {});
    ~DialogConfirmer();
    DialogConfirmer(const DialogConfirmer&) = delete;
    DialogConfirmer& operator=(const DialogConfirmer&) = delete;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace host
