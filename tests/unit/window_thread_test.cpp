// Starting and stopping the window thread against a fake platform, and a window thread that
// refreshes while the host's thread changes the contest (run under the thread sanitizer too).
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <thread>

#include "window_fakes.h"
#include "windows/window_thread_control.h"

namespace stats {
namespace {

using namespace std::chrono_literals;
using testing::FakeHost;
using testing::PluginFixture;
using testing::RecordingView;

/// A platform whose "window thread" is a std::thread running a panel loop the test supplies.
class FakePlatform final : public WindowThreadPlatform {
public:
    ~FakePlatform() override { join(); }
    void bind(WindowThreadControl& control, std::function<void(FakePlatform&)> panelLoop) {
        control_ = &control;
        panelLoop_ = std::move(panelLoop);
    }
    bool spawnThread() override {
        join();
        ++spawned;
        thread_ = std::thread([this] { exitCode = control_->runThread([this] { panelLoop_(*this); }); });
        return true;
    }
    void setRefreshTimer(PanelHandle) override { ++armed; }
    void killRefreshTimer(PanelHandle) override { ++killed; }
    void postStop(PanelHandle) override {
        std::lock_guard lock(mutex_);
        stopPosted_ = true;
        cv_.notify_all();
    }
    bool waitForEnd(std::chrono::milliseconds bound) override {
        waitedFor = bound;
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, endWaitCap < bound ? endWaitCap : bound, [this] { return ended_; });
    }
    void resetEndSignal() override {
        std::lock_guard lock(mutex_);
        ended_ = false;
        stopPosted_ = false;
    }
    void signalEnd() override {
        std::lock_guard lock(mutex_);
        ended_ = true;
        cv_.notify_all();
    }
    void sleepFor(std::chrono::milliseconds d) override { slept += d; }
    void abandonThread() override { ++abandoned; }

    /// For the panel loop: true once a stop was posted, waiting at most `d` for it.
    bool stopPosted(std::chrono::milliseconds d) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, d, [this] { return stopPosted_; });
    }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

    std::atomic<int> spawned{0}, armed{0}, killed{0}, abandoned{0};
    std::atomic<int> exitCode{-1};
    std::chrono::milliseconds waitedFor{0}, slept{0};
    std::chrono::milliseconds endWaitCap{5000};

private:
    WindowThreadControl* control_ = nullptr;
    std::function<void(FakePlatform&)> panelLoop_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool ended_ = true;
    bool stopPosted_ = false;
};

int kPanel = 0;

TEST(WindowThreadControl, StopWithoutPanelTouchesNothing) {
    FakePlatform platform;
    WindowThreadControl control(platform);
    control.stop();
    control.armRefreshTimer();
    control.killRefreshTimer();
    EXPECT_EQ(platform.killed, 0);
    EXPECT_EQ(platform.armed, 0);
    EXPECT_EQ(platform.waitedFor, 0ms);
    EXPECT_EQ(platform.slept, 0ms);
}

/// Starts a panel that runs until a stop is posted, and returns once it exists.
void startPanelUntilStopped(FakePlatform& platform, WindowThreadControl& control) {
    auto created = std::make_shared<std::atomic<bool>>(false);
    platform.bind(control, [&control, created](FakePlatform& p) {
        control.panelCreated(&kPanel);
        *created = true;
        while (!p.stopPosted(50ms)) {
        }
    });
    control.start();
    while (!*created) std::this_thread::yield();
}

TEST(WindowThreadControl, StartArmStopAndUnloadPause) {
    FakePlatform platform;
    WindowThreadControl control(platform);
    startPanelUntilStopped(platform, control);
    EXPECT_TRUE(control.panelExists());
    control.armRefreshTimer();
    control.armRefreshTimer();
    EXPECT_EQ(platform.armed, 2);
    // The Cabrillo header step kills the timer from the host's thread.
    control.killRefreshTimer();
    EXPECT_EQ(platform.killed, 1);

    control.stop();
    EXPECT_FALSE(control.panelExists());
    EXPECT_EQ(platform.killed, 2);
    EXPECT_EQ(platform.waitedFor, WindowThreadControl::kStopBound);
    EXPECT_EQ(platform.slept, 20ms);
    EXPECT_EQ(platform.abandoned, 0);  // the thread ended in time: its windows are gone anyway
    platform.join();
    EXPECT_EQ(platform.exitCode, 0);
    // No panel: the host's thread arms nothing any more.
    control.armRefreshTimer();
    EXPECT_EQ(platform.armed, 2);
}

TEST(WindowThreadControl, ASecondThreadWhileAPanelExistsEndsAtOnce) {
    FakePlatform platform;
    WindowThreadControl control(platform);
    startPanelUntilStopped(platform, control);
    int ran = 0;
    EXPECT_EQ(control.runThread([&] { ++ran; }), 1);
    EXPECT_EQ(ran, 0);
    control.stop();
}

TEST(WindowThreadControl, AStopBeforeThePanelWindowExistsEndsThePanelAtOnce) {
    FakePlatform platform;
    WindowThreadControl control(platform);
    std::atomic<bool> inThread{false}, proceed{false}, stoppedAtCreation{false};
    platform.bind(control, [&](FakePlatform&) {
        inThread = true;
        while (!proceed) std::this_thread::yield();
        stoppedAtCreation = control.panelCreated(&kPanel);
    });
    platform.endWaitCap = 10ms;
    control.start();
    while (!inThread) std::this_thread::yield();
    EXPECT_FALSE(control.stopWindowThread());  // the window does not exist yet: nothing to post to
    proceed = true;
    platform.join();
    EXPECT_TRUE(stoppedAtCreation);
    EXPECT_FALSE(control.panelExists());
}

TEST(WindowThreadControl, AHungPanelIsWaitedForOnlyUpToTheBound) {
    FakePlatform platform;
    WindowThreadControl control(platform);
    std::atomic<bool> created{false}, release{false};
    platform.bind(control, [&](FakePlatform&) {
        control.panelCreated(&kPanel);
        created = true;
        while (!release) std::this_thread::sleep_for(1ms);  // ignores the stop
    });
    platform.endWaitCap = 20ms;
    control.start();
    while (!created) std::this_thread::yield();
    EXPECT_FALSE(control.stopWindowThread());
    EXPECT_EQ(platform.waitedFor, WindowThreadControl::kStopBound);
    // A stop that is not an unload leaves the thread its windows: the code stays loaded.
    EXPECT_EQ(platform.abandoned, 0);
    // The unload's stop, whose wait runs out too, cuts the windows off the plug-in's code.
    control.stop();
    EXPECT_EQ(platform.abandoned, 1);
    release = true;
    platform.join();
}

// The window thread refreshes as fast as it can while the host's thread records contacts,
// rebuilds the worked prefixes, resets the contest and arms the timer; the thread sanitizer
// reports any access to the shared state outside the plug-in's lock.
TEST(WindowThreadControl, RefreshRacesNothingWithTheHostThread) {
    PluginFixture fx(std::filesystem::temp_directory_path());
    fx.setContest("2026", false);
    // "Start" at 1: the resets below start no thread of the fixture's own.
    fx.settings.values = {{"setup_previous", "1"}, {"HQ", "1"}, {"Start", "1"}};
    FakePlatform platform;
    WindowThreadControl control(platform);
    std::atomic<int> ticks{0};
    platform.bind(control, [&](FakePlatform& p) {
        FakeHost host;
        host.typedCall = "CE3AA";
        host.hertz = 7025000;
        RecordingView view;
        WindowThreadState shared;
        ControlPanel panel(fx.plugin, host, view, shared);
        panel.initialise();
        control.panelCreated(&kPanel);
        while (!p.stopPosted(0ms)) {
            panel.onTimer();
            panel.onUseMaster();
            host.hertz += 500;
            view.events.clear();
            ++ticks;
        }
    });
    control.start();
    ResetParams reset;
    reset.ownCall = "UA9AA";
    reset.ownCountryPrefix = "UA9";
    reset.periodEnd = {46083.0, OleDateTime::kValid};
    char out[50], hint[100];
    for (int i = 0; i < 2000 || ticks < 50; ++i) {
        const std::string nr = std::to_string(i);
        QsoParams qso;
        qso.call = i % 3 ? "CE3AA" : "LU1XX";
        qso.band = i % 2 ? "40m" : "20m";
        qso.mode = i % 5 ? "CW" : "SSB";
        qso.numberSent = "1";
        qso.numberReceived = nr;
        qso.prefix = i % 2 ? "CE3" : "LU1";
        qso.continent = "SA";
        fx.plugin.addData(qso);
        if (i % 7 == 0) fx.plugin.removeData(qso);
        CallCheckParams check{qso.call, qso.mode, qso.prefix, qso.continent, qso.band, out, hint};
        fx.plugin.checkCall(check);
        // The score summary swaps in a new list of prefixes under the lock.
        if (i % 10 == 0) fx.plugin.updateState([&](ContestState& st) { st.workedSaPrefixes = {"CE3", "LU1", nr}; });
        if (i % 500 == 499) fx.plugin.resetStats(reset);
        control.armRefreshTimer();
    }
    control.stop();
    EXPECT_GE(ticks, 50);
    EXPECT_FALSE(control.panelExists());
}

}  // namespace
}  // namespace stats
