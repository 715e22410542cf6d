#include "windows/win32/win32_window_thread.h"

#include "windows/win32/baud.h"
#include "windows/win32/com_host_link.h"
#include "windows/win32/thread_runtime.h"

namespace stats {

Win32WindowThread::Win32WindowThread()
    : ended_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)), ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Win32WindowThread::~Win32WindowThread() = default;

void Win32WindowThread::attach(SharedContest& contest, HINSTANCE module) noexcept {
    contest_ = &contest;
    module_ = module;
}

void Win32WindowThread::start() {
    if (!contest_) return;
    control_.start();
    // Until its initialisation is done the new thread loads libraries (COM, proxies, window
    // classes), which needs the loader lock. An unload in that time would hold the lock while
    // waiting for the thread, and then unmap code the thread still runs. So the reset returns
    // only once the panel runs (or the thread has ended). The panel calls the host object while
    // it initialises, so this thread keeps answering meanwhile.
    const HANDLE events[] = {ready_.get(), ended_.get()};
    waitPumping(events, 2, kStartBound);
}

DWORD WINAPI Win32WindowThread::threadProc(void* self) { return static_cast<Win32WindowThread*>(self)->run(); }

DWORD Win32WindowThread::run() {
    return static_cast<DWORD>(control_.runThread([this] {
        ComHostLink host;
        {
            WindowContext context{*contest_, shared_, module_};
            baud panel(context, host, control_);
            panel.run();
        }
        // The host object is released and COM uninitialised on this thread before it reports
        // its end, so the host's thread never unloads code this thread still runs. During an
        // unload COM is left initialised: uninitialising may free libraries, which would wait
        // for the loader lock that the unloading thread holds while it waits for this one.
        host.release(!control_.unloading());
    }));
}

bool Win32WindowThread::spawnThread() {
    ::ResetEvent(ready_.get());
    DWORD id = 0;
    const HANDLE thread = ::CreateThread(nullptr, 0, &Win32WindowThread::threadProc, this, 0, &id);
    threadId_.store(id);
    if (!thread) {
        ::SetEvent(ended_.get());
        return false;
    }
    ::CloseHandle(thread);
    return true;
}

void Win32WindowThread::signalEnd() {
    // Once the signal is given the DLL may be unmapped before this thread has ended, and then
    // no thread-detach notification reaches the runtime for it: release its state now.
    releaseThreadRuntime(module_);
    ::SetEvent(ended_.get());
}

namespace {

BOOL CALLBACK detachOperatorWindow(HWND window, LPARAM) {
    if (Dialog::isOperatorWindow(window)) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        ::SetWindowLongPtrW(window, DWLP_DLGPROC, 0);
    }
    return TRUE;
}

}  // namespace

void Win32WindowThread::abandonThread() {
    // The thread is blocked (a host call that never returns) but still handles the messages
    // sent to its windows, and every top-level window gets the system's broadcasts. Without a
    // dialog procedure its windows get the system's default handling, not unmapped code.
    if (const DWORD id = threadId_.load()) ::EnumThreadWindows(id, &detachOperatorWindow, 0);
}

void Win32WindowThread::setRefreshTimer(PanelHandle panel) {
    ::SetTimer(static_cast<HWND>(panel), kRefreshTimerId, kRefreshTimerMs, nullptr);
}

void Win32WindowThread::killRefreshTimer(PanelHandle panel) { ::KillTimer(static_cast<HWND>(panel), kRefreshTimerId); }

void Win32WindowThread::postStop(PanelHandle panel) { ::PostMessageW(static_cast<HWND>(panel), kStopPanelMessage, 0, 0); }

bool Win32WindowThread::waitForEnd(std::chrono::milliseconds bound) {
    // The window thread may be calling the host object, which this thread serves, or sending
    // it messages: keep handling them while waiting.
    const HANDLE ended = ended_.get();
    return waitPumping(&ended, 1, bound);
}

bool Win32WindowThread::waitPumping(const HANDLE* events, DWORD count, std::chrono::milliseconds bound) {
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(bound.count());
    auto signalled = [&] { return ::WaitForMultipleObjects(count, events, FALSE, 0) < WAIT_OBJECT_0 + count; };
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return signalled();
        const DWORD r = ::MsgWaitForMultipleObjects(count, events, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (r < WAIT_OBJECT_0 + count) return true;
        if (r != WAIT_OBJECT_0 + count) return signalled();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Not ours to take: the caller's own loop must still see it, and the caller is
                // ending anyway.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return signalled();
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

}  // namespace stats
