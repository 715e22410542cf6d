#pragma once
// Fakes of the platform services for tests and benchmarks that build their own Plugin.

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "plugin/plugin.h"
#include "core/services.h"
#include "platform/portable/headless_reports.h"

namespace stats::fakes {

/// Settings in memory. Keys are compared exactly (the plug-in always spells them the same way).
class InMemorySettings final : public Settings {
  public:
    std::string read(std::string_view key, std::string_view fallback = {}) const override {
        std::lock_guard lock(mutex_);
        const auto it = values_.find(key);
        return it != values_.end() ? it->second : std::string(fallback);
    }
    bool write(std::string_view key, std::string_view value) override {
        std::lock_guard lock(mutex_);
        writes_.emplace_back(key, value);
        if (failWrites_) return false;
        values_.insert_or_assign(std::string(key), std::string(value));
        return true;
    }

    /// The stored value, or nullopt when the key was never written.
    std::optional<std::string> value(std::string_view key) const {
        std::lock_guard lock(mutex_);
        const auto it = values_.find(key);
        return it != values_.end() ? std::optional(it->second) : std::nullopt;
    }
    void set(std::string_view key, std::string_view value) {
        std::lock_guard lock(mutex_);
        values_.insert_or_assign(std::string(key), std::string(value));
    }
    /// Every write in order, including failed ones.
    std::vector<std::pair<std::string, std::string>> writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    void clearWrites() {
        std::lock_guard lock(mutex_);
        writes_.clear();
    }
    /// Makes every write fail (as a missing "Plugins" folder does) and store nothing.
    void setFailWrites(bool fail) {
        std::lock_guard lock(mutex_);
        failWrites_ = fail;
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string, std::less<>> values_;
    std::vector<std::pair<std::string, std::string>> writes_;
    bool failWrites_ = false;
};

/// A window thread that runs nothing and counts what it was asked to do.
class RecordingWindowThread final : public WindowThread {
  public:
    void start() override {
        ++starts;
        if (startCreatesPanel) panel = true;
        if (onStart) onStart();
    }
    bool panelExists() const override { return panel.load(); }
    void armRefreshTimer() override {
        ++arms;
        if (onArm) onArm();
    }
    void killRefreshTimer() override { ++kills; }
    void stop() override {
        ++stops;
        panel = false;
    }

    /// Whether start() makes a panel exist at once (a real thread sets it a little later).
    bool startCreatesPanel = false;
    /// Run inside start() and armRefreshTimer(), as the window thread's work would (e.g. reading the state).
    std::function<void()> onStart;
    std::function<void()> onArm;
    std::atomic<bool> panel{false};
    std::atomic<int> starts{0};
    std::atomic<int> arms{0};
    std::atomic<int> kills{0};
    std::atomic<int> stops{0};
};

/// Message boxes that are recorded instead of shown.
class RecordingMessageBox final : public MessageBoxService {
  public:
    struct Shown {
        std::optional<std::string> caption;
        std::string text;
        MessageIcon icon;
    };
    void show(const char* caption, const std::string& text, MessageIcon icon) override {
        std::lock_guard lock(mutex_);
        shown.push_back(Shown{caption ? std::optional<std::string>(caption) : std::nullopt, text, icon});
    }
    std::vector<Shown> shown;

  private:
    std::mutex mutex_;
};

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("stats-test-" + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const noexcept { return path_; }

  private:
    std::filesystem::path path_;
};

/// Every service a Plugin needs, faked, with its work folder in a TempDir.
struct FakeServices {
    InMemorySettings settings;
    RecordingMessageBox messages;
    RecordingWindowThread windows;
    ConfirmingHeaderDialog headerDialog;
    PortableHostFiles hostFiles;
    TempDir workDir;

    PluginServices services() {
        return PluginServices{settings, messages, windows, headerDialog, hostFiles, workDir.path()};
    }
};

}  // namespace stats::fakes
