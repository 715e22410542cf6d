#pragma once
// Fakes for the operator windows' logic: settings in memory, a scripted host, a recording view.

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "plugin/plugin.h"
#include "platform/portable/headless_reports.h"
#include "windows/control_panel.h"

namespace stats::testing {

class MemorySettings final : public Settings {
public:
    std::string read(std::string_view key, std::string_view fallback = {}) const override {
        std::lock_guard lock(mutex_);
        auto it = values.find(std::string(key));
        return it == values.end() ? std::string(fallback) : it->second;
    }
    bool write(std::string_view key, std::string_view value) override {
        std::lock_guard lock(mutex_);
        values[std::string(key)] = std::string(value);
        writes.push_back(std::string(key) + "=" + std::string(value));
        return true;
    }
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;

private:
    mutable std::mutex mutex_;
};

class SilentMessages final : public MessageBoxService {
public:
    void show(const char*, const std::string& text, MessageIcon) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

/// A host object: present or not, with a typed call and a frequency the test sets.
class FakeHost final : public HostLink {
public:
    void lookup() override { connected_ = present; }
    bool connected() const override { return connected_; }
    void runMacro(std::string_view text) override {
        if (!connected_) return;
        if (failMacros) throw HostCallFailed("Invoke failed");
        macros.emplace_back(text);
    }
    std::string queryText(int which) override {
        if (!connected_) return {};
        queried.push_back(which);
        return typedCall;
    }
    double frequency() override { return connected_ ? hertz : 0.0; }

    bool present = true;
    bool failMacros = false;
    std::string typedCall;
    double hertz = 0.0;
    std::vector<std::string> macros;
    std::vector<int> queried;

private:
    bool connected_ = false;
};

/// Records every window operation in one log, and tracks which windows are open.
class RecordingView final : public PanelView {
public:
    void placePanel(int x, int y) override { log("place " + std::to_string(x) + "," + std::to_string(y)); }
    void setPanelIcon() override { log("icon"); }
    void setPanelCaption(std::string_view text) override { caption = text; log("caption " + caption); }
    void setControlText(int id, std::string_view text) override { texts[id] = text; }
    void moveControl(int id, int x, int y, int w, int h) override {
        log("move " + std::to_string(id) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
            std::to_string(w) + "x" + std::to_string(h));
    }
    void enableControl(int id, bool enabled) override { this->enabled[id] = enabled; }
    void showFlags(const PanelFlags& f) override { shown = f; }
    void armTimer() override { timerArmed = true; log("arm"); }
    void killTimer() override { timerArmed = false; log("kill"); }
    bool isOpen(AuxWindow w) const override { return open_.count(w) != 0; }
    void open(AuxWindow w) override { open_.insert(w); ++opened[w]; log("open " + name(w)); }
    void close(AuxWindow w) override { open_.erase(w); log("close " + name(w)); }
    void setWindowText(AuxWindow w, std::string_view text) override { windowText[w] = text; }
    void invalidate(AuxWindow w) override { log("invalidate " + name(w)); }
    void setPrefixItems(const std::vector<std::string>& items) override { prefixItems = items; log("items"); }

    static std::string name(AuxWindow w) {
        return w == AuxWindow::kSaPrefix ? "rda" : w == AuxWindow::kPrevQso ? "DXCC" : "Itu";
    }
    void log(std::string entry) { events.push_back(std::move(entry)); }
    bool logged(const std::string& entry) const {
        for (const auto& e : events)
            if (e == entry) return true;
        return false;
    }

    std::vector<std::string> events;
    std::string caption;
    std::map<int, std::string> texts;
    std::map<int, bool> enabled;
    PanelFlags shown;
    bool timerArmed = false;
    std::map<AuxWindow, std::string> windowText;
    std::map<AuxWindow, int> opened;
    std::vector<std::string> prefixItems;

private:
    std::set<AuxWindow> open_;
};

/// A plug-in object on fake services, with helpers that shape its state as the host's calls would.
struct PluginFixture {
    MemorySettings settings;
    SilentMessages messages;
    NoWindowThread windows;
    ConfirmingHeaderDialog headerDialog;
    PortableHostFiles hostFiles;
    Plugin plugin;

    explicit PluginFixture(std::filesystem::path workDir = {})
        : plugin(PluginServices{settings, messages, windows, headerDialog, hostFiles, std::move(workDir)}) {}

    void setContest(std::string year, bool russian) {
        plugin.updateState([&](ContestState& s) {
            s.contestYear = std::move(year);
            s.homeCountryUA = russian ? 1 : 0;
            for (std::size_t r = 0; r < 6; ++r) s.previousQsoRows[r] = {kPanelBands[r], "-", "-", "-"};
        });
    }
};

}  // namespace stats::testing
