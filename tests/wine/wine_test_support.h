#pragma once
// Helpers for the Wine test host: the plug-in loaded as the host loads it, a scratch working
// directory per test, files read back, and a watcher that answers modal dialogs.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace wine_test {

using namespace std::chrono_literals;

/// Full path of Stats.dll: $STATS_DLL if set, else the DLL beside the test host.
std::filesystem::path statsDllPath();

/// Stats.dll loaded with LoadLibraryA, freed with FreeLibrary on destruction (which stops its threads).
class StatsLibrary {
public:
    explicit StatsLibrary(const std::filesystem::path& path = statsDllPath());
    StatsLibrary(const StatsLibrary&) = delete;
    StatsLibrary& operator=(const StatsLibrary&) = delete;
    ~StatsLibrary();

    HMODULE handle() const noexcept { return module_; }
    /// The export called `name`, or null.
    FARPROC proc(const char* name) const noexcept;
    /// The export called `name` as a function pointer of type F (null when missing).
    template <typename F>
    F get(const char* name) const noexcept {
        return reinterpret_cast<F>(reinterpret_cast<void*>(proc(name)));
    }
    /// Frees the library now (a second call does nothing).
    void unload() noexcept;

private:
    HMODULE module_ = nullptr;
};

/// A fresh, empty directory made the current one for the lifetime of the object; the previous
/// current directory is restored and the directory removed on destruction (kept when
/// $STATS_KEEP_TEMP is set, to look at what a failing test wrote).
class TempWorkDir {
public:
    TempWorkDir();
    TempWorkDir(const TempWorkDir&) = delete;
    TempWorkDir& operator=(const TempWorkDir&) = delete;
    ~TempWorkDir();

    const std::filesystem::path& path() const noexcept { return path_; }
    /// Creates the "Plugins" subfolder that the settings file needs.
    void makePluginsFolder() const;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

/// The whole content of a file, byte for byte; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);
/// Replaces a file with `content`, byte for byte.
void writeFile(const std::filesystem::path& path, const std::string& content);

/// Text of a window or of a dialog item (GetWindowTextA / GetDlgItemTextA).
std::string windowText(HWND window);
std::string dialogItemText(HWND dialog, int item);

/// What a DialogWatcher found.
struct SeenDialog {
    bool found = false;
    std::string caption;
    /// The message text of a message box (dialog item 0xFFFF); empty for other dialogs.
    std::string message;
};

/// A thread that waits for a top-level dialog with the given caption to become visible, lets
/// `inspect` look at it (on the watcher's thread, while the dialog runs), then posts WM_COMMAND
/// `command` to it. Modal dialogs and message boxes block the calling thread, so a test starts a
/// watcher before the call that opens one. Caption null: any visible dialog of this process.
class DialogWatcher {
public:
    using Inspect = std::function<void(HWND)>;
    explicit DialogWatcher(const char* caption, int command = IDOK, Inspect inspect = {},
                           std::chrono::milliseconds timeout = 10s);
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
    ~DialogWatcher();

    /// Waits for the watcher to finish and returns what it saw.
    SeenDialog wait();

private:
    void run(std::chrono::milliseconds timeout);

    std::string caption_;
    bool anyCaption_;
    int command_;
    Inspect inspect_;
    std::atomic<bool> stop_{false};
    SeenDialog seen_;
    std::thread thread_;
};

/// Dispatches this thread's messages until `done()` holds or `timeout` passes; returns done().
/// Use it where the test's thread must stay responsive (COM calls and SendMessage from other threads).
bool pumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

/// Saves the screen area of `window` as a 24-bit BMP file (only meaningful under a real display,
/// e.g. scripts/run-wine-tests.sh --xvfb). Returns false on failure.
bool captureWindow(HWND window, const std::filesystem::path& bmpPath);
/// Where tests put screenshots: $STATS_SCREENSHOT_DIR, or empty when screenshots are not wanted.
std::filesystem::path screenshotDir();

}  // namespace wine_test
