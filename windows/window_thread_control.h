#pragma once
// Starting, arming and stopping the operator windows' thread, independent of the platform.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "core/services.h"

namespace stats {

/// The panel's window as the host's thread holds it: an opaque handle.
using PanelHandle = void*;

/// The refresh timer on the panel's window: a one-shot of 300 ms.
inline constexpr unsigned kRefreshTimerId = 1442;
inline constexpr unsigned kRefreshTimerMs = 300;

/// What starting and stopping the window thread needs from the platform.
class WindowThreadPlatform {
public:
    virtual ~WindowThreadPlatform() = default;
    /// Starts a thread that calls WindowThreadControl::runThread(); false when none could start.
    virtual bool spawnThread() = 0;
    /// Arms or kills timer 1442 on the panel's window, from either thread.
    virtual void setRefreshTimer(PanelHandle panel) = 0;
    virtual void killRefreshTimer(PanelHandle panel) = 0;
    /// Asks the panel's thread, without waiting, to close every window and end the panel.
    virtual void postStop(PanelHandle panel) = 0;
    /// Waits up to `bound` for the window thread's end signal while the calling thread keeps
    /// handling its messages; true when the signal came.
    virtual bool waitForEnd(std::chrono::milliseconds bound) = 0;
    virtual void resetEndSignal() = 0;
    virtual void signalEnd() = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
    /// The panel has finished its initialisation and runs its message loop.
    virtual void signalReady() {}
    /// At an unload, the window thread has not ended within the bound: its windows must no
    /// longer call into the plug-in, whose code is about to go.
    virtual void abandonThread() {}
};

/// The window thread seam: the host's thread starts the thread, arms and kills the refresh
/// timer and stops it; the window thread reports its panel through panelCreated().
class WindowThreadControl : public WindowThread {
public:
    /// How long stop() waits for the window thread to end: with the 20 ms that follow, an unload
    /// returns within a second even when the window thread cannot end.
    static constexpr std::chrono::milliseconds kStopBound{900};

    explicit WindowThreadControl(WindowThreadPlatform& platform) : platform_(platform) {}

    void start() override;
    bool panelExists() const override { return panelActive_.load(); }
    void armRefreshTimer() override;
    void killRefreshTimer() override;
    /// The unload path: stops the window thread, then waits 20 ms more.
    void stop() override;
    /// Kills the timer, asks the windows to close and waits (bounded) for the thread to end.
    /// Returns false when the thread had not ended within the bound.
    bool stopWindowThread();

    /// The thread's body: returns 1 at once when a panel already exists; otherwise runs
    /// `runPanel` (create, run and destroy the panel, release the host link) and returns 0.
    int runThread(const std::function<void()>& runPanel);
    /// Called on the window thread once the panel's window exists. Returns true when a stop
    /// was asked for before the window existed: the panel then ends at once.
    bool panelCreated(PanelHandle panel);
    /// Called on the window thread at the end of the panel's initialisation.
    void panelInitialised() { platform_.signalReady(); }
    /// True while the plug-in is being unloaded: the window thread must then not wait for
    /// anything the unloading thread holds (the loader lock), such as COM unloading libraries.
    bool unloading() const noexcept { return unloading_.load(); }

private:
    WindowThreadPlatform& platform_;
    std::atomic<bool> panelActive_{false};
    std::atomic<PanelHandle> panel_{nullptr};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> unloading_{false};
    std::mutex endMutex_;
};

}  // namespace stats
