#pragma once
// The platform services the plug-in is given: each has a Win32 and a portable implementation,
// and tests substitute their own.

#include <string>
#include <string_view>

namespace stats {

inline constexpr const char* kSettingsPath = "Plugins\\SA-TOLVEN.ini";
inline constexpr const char* kSettingsSection = "Settings";

/// The settings file: the keys of one section of a private-profile file. Safe from both threads.
class Settings {
public:
    virtual ~Settings() = default;
    /// The value of `key`, whole, or `fallback` when the file or the key is missing.
    virtual std::string read(std::string_view key, std::string_view fallback = {}) const = 0;
    /// Writes `key` = `value` at once; returns false when the write failed (callers ignore it).
    virtual bool write(std::string_view key, std::string_view value) = 0;

    /// A numeric key, converted as atoi does ("12abc" gives 12, "abc" and a missing key 0).
    int readInt(std::string_view key) const;
};

enum class MessageIcon { kNone, kInformation, kError };

/// Modal message boxes for the operator, owned by the calling thread's active window.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    /// Shows `text`; a null `caption` gives the platform's default title. Returns when it is closed.
    virtual void show(const char* caption, const std::string& text, MessageIcon icon) = 0;
    /// The same with no owner window, even when the calling thread has an active one.
    virtual void showUnowned(const char* caption, const std::string& text, MessageIcon icon) {
        show(caption, text, icon);
    }
};

/// The operator windows' thread as the host's thread sees it.
class WindowThread {
public:
    virtual ~WindowThread() = default;
    /// Starts the thread that runs the control panel; returns at once.
    virtual void start() = 0;
    /// True while a control panel exists.
    virtual bool panelExists() const = 0;
    /// (Re)starts the panel's one-shot refresh timer (300 ms), if a panel exists.
    virtual void armRefreshTimer() = 0;
    /// Stops the refresh timer, if a panel exists.
    virtual void killRefreshTimer() = 0;
    /// Closes every window and ends the thread (bounded wait).
    virtual void stop() = 0;
};

/// A window thread that never runs: the platform has no windows, or a test wants none.
class NoWindowThread final : public WindowThread {
public:
    void start() override {}
    bool panelExists() const override { return false; }
    void armRefreshTimer() override {}
    void killRefreshTimer() override {}
    void stop() override {}
};

}  // namespace stats
