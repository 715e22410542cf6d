#pragma once
// The operator windows' thread on Windows: a thread running the control panel modally.

#include <windows.h>

#include <atomic>

#include "windows/control_panel.h"
#include "windows/win32/win32_handles.h"
#include "windows/window_thread_control.h"

namespace stats {

class SharedContest;

/// The window thread seam of the DLL. Nothing starts before attach() gives it the shared contest.
class Win32WindowThread final : public WindowThread, private WindowThreadPlatform {
public:
    Win32WindowThread();
    ~Win32WindowThread() override;

    /// The contest whose state the windows show, and the module holding the templates.
    void attach(SharedContest& contest, HINSTANCE module) noexcept;

    /// How long a reset waits for a new panel to finish its initialisation.
    static constexpr std::chrono::milliseconds kStartBound{2000};

    void start() override;
    bool panelExists() const override { return control_.panelExists(); }
    void armRefreshTimer() override { control_.armRefreshTimer(); }
    void killRefreshTimer() override { control_.killRefreshTimer(); }
    void stop() override { control_.stop(); }

private:
    static DWORD WINAPI threadProc(void* self);
    DWORD run();

    bool spawnThread() override;
    void setRefreshTimer(PanelHandle panel) override;
    void killRefreshTimer(PanelHandle panel) override;
    void postStop(PanelHandle panel) override;
    bool waitForEnd(std::chrono::milliseconds bound) override;
    void signalReady() override { ::SetEvent(ready_.get()); }
    void abandonThread() override;
    /// Waits up to `bound` for any of `events` while handling this thread's messages.
    static bool waitPumping(const HANDLE* events, DWORD count, std::chrono::milliseconds bound);
    void resetEndSignal() override { ::ResetEvent(ended_.get()); }
    void signalEnd() override;
    void sleepFor(std::chrono::milliseconds duration) override { ::Sleep(static_cast<DWORD>(duration.count())); }

    WindowThreadControl control_{*this};
    SharedContest* contest_ = nullptr;
    HINSTANCE module_ = nullptr;
    UniqueEvent ended_;
    UniqueEvent ready_;
    std::atomic<DWORD> threadId_{0};
    // Lasting from one panel to the next; touched on the window thread only.
    WindowThreadState shared_;
};

}  // namespace stats
