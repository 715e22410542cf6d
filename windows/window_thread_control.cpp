#include "windows/window_thread_control.h"

#include <mutex>

namespace stats {

void WindowThreadControl::start() {
    if (panelActive_.load()) stopWindowThread();
    {
        std::lock_guard lock(endMutex_);
        platform_.resetEndSignal();
    }
    // A failed start leaves no panel, so a later reset tries again.
    platform_.spawnThread();
}

void WindowThreadControl::armRefreshTimer() {
    if (PanelHandle panel = panel_.load()) platform_.setRefreshTimer(panel);
}

void WindowThreadControl::killRefreshTimer() {
    if (PanelHandle panel = panel_.load()) platform_.killRefreshTimer(panel);
}

bool WindowThreadControl::stopWindowThread() {
    if (!panelActive_.load()) return true;
    killRefreshTimer();
    if (!panelActive_.load()) return true;
    // The stop is posted, never sent: the window thread may be inside a call to the host
    // object that waits for this very thread, which keeps answering while it waits below.
    stopRequested_.store(true);
    if (PanelHandle panel = panel_.load()) platform_.postStop(panel);
    return platform_.waitForEnd(kStopBound);
}

void WindowThreadControl::stop() {
    unloading_.store(true);
    const bool wasRunning = panelActive_.load();
    if (!stopWindowThread()) platform_.abandonThread();
    if (wasRunning) platform_.sleepFor(std::chrono::milliseconds(20));
}

int WindowThreadControl::runThread(const std::function<void()>& runPanel) {
    if (panelActive_.exchange(true)) return 1;
    stopRequested_.store(false);
    try {
        runPanel();
    } catch (...) {
        // Nothing may leave the thread; the panel is gone either way.
    }
    panel_.store(nullptr);
    // Signalled only after the panel, its windows and the host link are gone, so nothing of
    // the plug-in runs on this thread once the host's unload stops waiting. The panel is gone
    // for the host's thread by the time the signal comes, and a start in between cannot have
    // its fresh signal set by this old thread.
    std::lock_guard lock(endMutex_);
    panelActive_.store(false);
    platform_.signalEnd();
    return 0;
}

bool WindowThreadControl::panelCreated(PanelHandle panel) {
    panel_.store(panel);
    // Set before the stop flag is read: a stop that found no window yet has set the flag first.
    return stopRequested_.load();
}

}  // namespace stats
