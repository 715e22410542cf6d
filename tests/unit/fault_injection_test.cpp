// Failing files and a failing or hanging host object: nothing crashes, no accepted contact is
// lost, the error log holds only whole lines, and the operator is told the truth about the
// Cabrillo file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "fake_services.h"
#include "platform/portable/ini_settings.h"
#include "window_fakes.h"

namespace stats {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double kDay = 46082.0;

QsoParams contact(const char* call, const char* nr, const char* band = "40m") {
    QsoParams q;
    q.ownCall = "CE1TLV";
    q.call = call;
    q.band = band;
    q.mode = "CW";
    q.numberSent = "001";
    q.numberReceived = nr;
    q.time = {kDay + 0.5, OleDateTime::kValid};
    q.frequencyHz = 7025000;
    q.prefix = "CE3";
    q.continent = "SA";
    return q;
}

ResetParams reset(std::int32_t exportRequest = 0) {
    ResetParams r;
    r.exportRequest = exportRequest;
    r.ownCall = "CE1TLV";
    r.periodStart = {kDay, OleDateTime::kValid};
    r.periodEnd = {kDay + 1, OleDateTime::kValid};
    return r;
}

std::string readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Every line ends in CR LF and is a whole error-log line (header or contact line with its reason).
void expectWholeLines(const std::string& text) {
    ASSERT_TRUE(text.empty() || text.ends_with("\r\n")) << text;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        const std::string line = text.substr(pos, end - pos);
        EXPECT_TRUE(line == "SA TOLVEN TEST UBN file " ||
                    (line.starts_with("QSO:  ") && (line.ends_with("   DUPE !!!") || line.ends_with(" !!!"))))
            << line;
        pos = end + 2;
    }
}

class FaultInjection : public ::testing::Test {
protected:
    fakes::FakeServices fx;
    Plugin plugin{fx.services()};
    fs::path dir() const { return fx.workDir.path(); }
};

// err.txt cannot be opened (a folder of that name), then can again: the contacts are all stored,
// and what reached the file is whole lines.
TEST_F(FaultInjection, ErrorLogInTheWay) {
    fs::create_directory(dir() / "err.txt");
    EXPECT_EQ(plugin.resetStats(reset()), 1);
    EXPECT_EQ(plugin.addData(contact("LU1AA", "002")), 1);
    EXPECT_EQ(plugin.addData(contact("LU1AA", "003")), 1);  // a dupe: its line is lost, not the contact
    EXPECT_EQ(plugin.addData(contact("LU1AA", "004", "15m")), 0);
    fs::remove(dir() / "err.txt");
    EXPECT_EQ(plugin.addData(contact("LU1AA", "005")), 1);  // two DUPE lines, now written
    EXPECT_EQ(plugin.state().qsoStore.size(), 3u);
    const std::string log = readAll(dir() / "err.txt");
    expectWholeLines(log);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

// A full disk (ENOSPC from /dev/full): the write fails, the contacts stay.
TEST_F(FaultInjection, ErrorLogOnAFullDisk) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    fs::create_symlink("/dev/full", dir() / "err.txt");
    EXPECT_EQ(plugin.resetStats(reset()), 1);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(plugin.addData(contact("LU1AA", "002")), 1);
    EXPECT_EQ(plugin.state().qsoStore.size(), 50u);
    int status = 0;
    EXPECT_NE(std::string(plugin.getResult(&status)).find("Score: 1*1 = 1"), std::string::npos);
}

// The Cabrillo file cannot be created, or the disk is full when it is written: the operator is
// told that it was not written, and the store is untouched.
TEST_F(FaultInjection, CabrilloFileThatCannotBeWritten) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> block;
    } cases[] = {
        {"a folder in the way", [](const fs::path& p) { fs::create_directory(p); }},
        {"a full disk", [](const fs::path& p) { fs::create_symlink("/dev/full", p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fx.messages.shown.clear();
        std::error_code ec;
        fs::remove_all(dir() / "CE1TLV.cbr", ec);
        c.block(dir() / "CE1TLV.cbr");
        plugin.resetStats(reset(1));
        plugin.addData(contact("LU1AA", "002"));
        int status = 0;
        plugin.getResult(&status);
        ASSERT_EQ(fx.messages.shown.size(), 1u);
        EXPECT_EQ(fx.messages.shown[0].text, "The Cabrillo file could not be written: CE1TLV.cbr");
        EXPECT_EQ(fx.messages.shown[0].icon, MessageIcon::kError);
        EXPECT_EQ(plugin.state().qsoStore.size(), 1u);
        fs::remove_all(dir() / "CE1TLV.cbr", ec);
    }
    // Once the way is clear, the next export says so and the file is whole.
    fx.messages.shown.clear();
    int status = 0;
    plugin.getResult(&status);
    ASSERT_EQ(fx.messages.shown.size(), 1u);
    EXPECT_EQ(fx.messages.shown[0].text, "File produced: CE1TLV.cbr");
    EXPECT_TRUE(readAll(dir() / "CE1TLV.cbr").ends_with("END-OF-LOG:\r\n"));
}

// The settings file: a missing Plugins folder, or a folder where the file should be. Writes fail,
// reads give the defaults, and the contest works as before.
TEST(FaultInjectionSettings, SettingsFileThatCannotBeWritten) {
    for (const bool folderInTheWay : {false, true}) {
        SCOPED_TRACE(folderInTheWay ? "a folder named like the file" : "no Plugins folder");
        fakes::TempDir dir;
        if (folderInTheWay) fs::create_directories(dir.path() / "Plugins" / "SA-TOLVEN.ini");
        IniFileSettings settings(dir.path());
        fakes::RecordingMessageBox messages;
        fakes::RecordingWindowThread windows;
        ConfirmingHeaderDialog dialog;
        PortableHostFiles hostFiles(dir.path());
        Plugin plugin(PluginServices{settings, messages, windows, dialog, hostFiles, dir.path()});
        EXPECT_FALSE(settings.write("Start", "1"));
        EXPECT_EQ(plugin.resetStats(reset()), 1);
        EXPECT_EQ(windows.starts, 1);  // "Start" reads as 0 every time: the panel is offered again
        EXPECT_EQ(plugin.addData(contact("LU1AA", "002")), 1);
        int status = 0;
        EXPECT_NE(std::string(plugin.getResult(&status)).find("Score: 1*1 = 1"), std::string::npos);
        EXPECT_EQ(settings.read("Claimed", "none"), "none");
        EXPECT_EQ(plugin.resetStats(reset(1)), 1);  // the header step reads defaults, saves nothing
        EXPECT_EQ(plugin.cabrilloLog().operators, "CE1TLV");
    }
}

// A settings service whose every write fails, through a whole export run.
TEST_F(FaultInjection, SettingsWritesFailingThroughAnExport) {
    fx.settings.setFailWrites(true);
    plugin.resetStats(reset(1));
    plugin.addData(contact("LU1AA", "002"));
    int status = 0;
    plugin.getResult(&status);
    ASSERT_EQ(fx.messages.shown.size(), 1u);
    EXPECT_EQ(fx.messages.shown[0].text, "File produced: CE1TLV.cbr");
    EXPECT_FALSE(fx.settings.value("Claimed"));
}

// A host object whose calls fail: the tick ends at the failure without holding the plug-in's
// lock, and the next tick works.
TEST(FaultInjectionHost, FailingHostCallsLeaveTheStateUsable) {
    testing::PluginFixture fx;
    fx.setContest("2026", false);
    testing::FakeHost host;
    host.typedCall = "CE3AA";
    host.hertz = 7025000;
    testing::RecordingView view;
    WindowThreadState shared;
    ControlPanel panel(fx.plugin, host, view, shared);
    panel.initialise();
    host.failMacros = true;
    EXPECT_THROW(panel.onTimer(), HostCallFailed);  // "<SP1>" fails
    QsoParams q = contact("CE3AA", "002");
    EXPECT_EQ(fx.plugin.addData(q), 1);  // the lock is free
    host.failMacros = false;
    host.hertz = 14025000;
    panel.onTimer();
    EXPECT_EQ(shared.highlightedBand, 3);
    EXPECT_EQ(fx.plugin.withState([](const ContestState& s) { return s.previousQsoRows[2][3]; }), "002");
}

// A host object that does not answer: while the window thread waits in a host call, every
// export on the host's thread still returns.
class HangingHost final : public HostLink {
public:
    void lookup() override {}
    bool connected() const override { return true; }
    void runMacro(std::string_view) override {}
    std::string queryText(int) override {
        std::unique_lock lock(mutex_);
        entered = true;
        cv_.notify_all();
        cv_.wait(lock, [this] { return released; });
        return "CE3AA";
    }
    double frequency() override { return 7025000; }
    void waitEntered() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return entered; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        released = true;
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool entered = false;
    bool released = false;
};

TEST(FaultInjectionHost, HangingHostCallBlocksNoExport) {
    fakes::TempDir dir;
    testing::PluginFixture fx(dir.path());
    fx.setContest("2026", false);
    HangingHost host;
    testing::RecordingView view;
    WindowThreadState shared;
    ControlPanel panel(fx.plugin, host, view, shared);
    panel.initialise();
    std::thread window([&] { panel.onTimer(); });
    host.waitEntered();
    auto exports = std::async(std::launch::async, [&] {
        fx.plugin.resetStats(reset());
        fx.plugin.addData(contact("CE3AA", "002"));
        char out[50], hint[100];
        CallCheckParams check{"CE3AA", "CW", "CE3", "SA", "40m", out, hint};
        const int dupe = fx.plugin.checkCall(check);
        int status = 0;
        fx.plugin.getResult(&status);
        return dupe;
    });
    const bool finished = exports.wait_for(5s) == std::future_status::ready;
    host.release();
    window.join();
    ASSERT_TRUE(finished) << "an export waited for the window thread's host call";
    EXPECT_EQ(exports.get(), 0);
    EXPECT_EQ(fx.plugin.withState([](const ContestState& s) { return s.previousQsoRows[2][3]; }), "002");
}

}  // namespace
}  // namespace stats
