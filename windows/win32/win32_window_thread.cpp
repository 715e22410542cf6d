#include "windows/win32/win32_window_thread.h"

#include "windows/win32/baud.h"
#include "windows/win32/com_host_link.h"

namespace stats {

Win32WindowThread::Win32WindowThread() : ended_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

Win32WindowThread::~Win32WindowThread() = default;

void Win32WindowThread::attach(Plugin& plugin, HINSTANCE module) noexcept {
    plugin_ = &plugin;
    module_ = module;
}

void Win32WindowThread::start() {
    if (plugin_) control_.start();
}

DWORD WINAPI Win32WindowThread::threadProc(void* self) { return static_cast<Win32WindowThread*>(self)->run(); }

DWORD Win32WindowThread::run() {
    return static_cast<DWORD>(control_.runThread([this] {
        ComHostLink host;
        {
            WindowContext context{*plugin_, shared_, module_};
            baud panel(context, host, control_);
            panel.run();
        }
        // The host object is released and COM uninitialised on this thread before it reports
        // its end, so the host's thread never unloads code this thread still runs.
        host.release();
    }));
}

bool Win32WindowThread::spawnThread() {
    const HANDLE thread = ::CreateThread(nullptr, 0, &Win32WindowThread::threadProc, this, 0, nullptr);
    if (!thread) {
        ::SetEvent(ended_.get());
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

void Win32WindowThread::setRefreshTimer(PanelHandle panel) {
    ::SetTimer(static_cast<HWND>(panel), kRefreshTimerId, kRefreshTimerMs, nullptr);
}

void Win32WindowThread::killRefreshTimer(PanelHandle panel) { ::KillTimer(static_cast<HWND>(panel), kRefreshTimerId); }

void Win32WindowThread::postStop(PanelHandle panel) { ::PostMessageW(static_cast<HWND>(panel), kStopPanelMessage, 0, 0); }

bool Win32WindowThread::waitForEnd(std::chrono::milliseconds bound) {
    // The window thread may be calling the host object, which this thread serves, or sending
    // it messages: keep handling them while waiting.
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(bound.count());
    const HANDLE ended = ended_.get();
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return ::WaitForSingleObject(ended, 0) == WAIT_OBJECT_0;
        const DWORD r = ::MsgWaitForMultipleObjects(1, &ended, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return ::WaitForSingleObject(ended, 0) == WAIT_OBJECT_0;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Not ours to take: the caller's own loop must still see it, and the caller is
                // ending anyway.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return ::WaitForSingleObject(ended, 0) == WAIT_OBJECT_0;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

}  // namespace stats
