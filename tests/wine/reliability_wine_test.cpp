// Unloading under stress: a host object that never answers, and a hundred load-start-unload
// rounds in one process, counting the process's handles and threads.
#include <windows.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "plugin/exports.h"
#include "core/ole_date.h"
#include "fake_dispatch.h"
#include "wine_test_support.h"

namespace {

using namespace std::chrono_literals;
using Date = stats::OleDateTime;

// {0B7D2A61-3C44-4E8F-9A21-7D5E6F102C33}
const CLSID kHangingHostClsid = {0x0b7d2a61, 0x3c44, 0x4e8f, {0x9a, 0x21, 0x7d, 0x5e, 0x6f, 0x10, 0x2c, 0x33}};
constexpr const char* kHangingClsidText = "{0B7D2A61-3C44-4E8F-9A21-7D5E6F102C33}";

/// A host object whose every call blocks until the test process ends: it never answers.
class HangingZarv final : public wine_test::FakeDispatch {
public:
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        ++calls;
        for (;;) Sleep(INFINITE);  // never answers
    }
    std::atomic<int> calls{0};
};

/// Serves the hanging object from a thread of its own (its apartment), so that the test's main
/// thread stays free to unload the plug-in while the window thread waits for an answer.
class HangingHostThread {
public:
    HangingHostThread() {
        wine_test::registerHostProgId(kHangingClsidText);
        // Detached: its apartment blocks forever inside Invoke once the plug-in calls it.
        std::thread([this] {
            CoInitialize(nullptr);
            DWORD cookie = 0;
            registered = SUCCEEDED(RegisterActiveObject(&host, kHangingHostClsid, ACTIVEOBJECT_STRONG, &cookie));
            ready = true;
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        }).detach();
        while (!ready) Sleep(1);
    }
    // Leaked on purpose: the object must outlive the blocked call.
    HangingZarv host;
    std::atomic<bool> ready{false};
    std::atomic<bool> registered{false};
};

void resetThroughExport(const wine_test::StatsLibrary& dll) {
    auto fn = dll.get<decltype(&ResetStats0)>("ResetStats0");
    const Date start{46082.0, Date::kValid}, end{46083.0, Date::kValid};
    const char* e = "";
    fn("", 0, "LU1AA", &start, &end, e, e, e, e, e, e, e, e, e, "CE", 0, 0, 0, 0.0, 0.0, e, e, e);
}

HWND waitForPanel(std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    wine_test::pumpMessagesUntil(
        [&] { return (found = FindWindowA(nullptr, "Setup SA-TOLVEN 2026")) != nullptr && IsWindowVisible(found); },
        timeout);
    return found;
}

int threadCount() {
    const HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

// The process's handle count; Wine answers 0, so there the value of a fresh handle stands in
// for it (handles are numbered from the lowest free slot, so leaked ones push it up by 4 each).
DWORD handleCount() {
    DWORD n = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n > 0) return n;
    const HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    n = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(probe) / 4);
    CloseHandle(probe);
    return n;
}

// The lowest free TLS index: leaked indexes push it up by one each.
DWORD freeTlsIndex() {
    const DWORD index = TlsAlloc();
    TlsFree(index);
    return index;
}

// A hundred rounds of load, contest start (the panel opens), unload: no handle, thread or TLS
// index is left behind. The statically linked thread runtime holds a thread handle and an event
// for every thread that used it, and a TLS index per load; without the plug-in's release of
// them each round left four handles and one index (a process has about a thousand).
TEST(Reliability, HundredLoadStartUnloadRoundsLeakNothing) {
    wine_test::TempWorkDir dir;
    dir.makePluginsFolder();
    auto round = [] {
        // "Start" at 0: every reset opens the panel.
        WritePrivateProfileStringA("Settings", "Start", "0", ".\\Plugins\\SA-TOLVEN.ini");
        wine_test::StatsLibrary dll;
        if (!dll.handle()) return false;
        resetThroughExport(dll);
        const bool opened = waitForPanel(5s) != nullptr;
        dll.unload();
        return opened && FindWindowA(nullptr, "Setup SA-TOLVEN 2026") == nullptr;
    };
    ASSERT_TRUE(round());  // warm-up: whatever the system loads once stays loaded
    Sleep(100);
    const DWORD handles = handleCount();
    const int threads = threadCount();
    const DWORD tls = freeTlsIndex();
    int opened = 0;
    for (int i = 0; i < 100; ++i) {
        opened += round();
        std::fprintf(stderr, "\rround %d", i + 1);  // a crash shows how far it got
    }
    std::fprintf(stderr, "\n");
    Sleep(200);  // threads that have signalled their end are a moment from being gone
    const DWORD handlesAfter = handleCount();
    const int threadsAfter = threadCount();
    const DWORD tlsAfter = freeTlsIndex();
    std::printf("[          ] handles %lu -> %lu, threads %d -> %d, free TLS index %lu -> %lu over 100 rounds\n",
                static_cast<unsigned long>(handles), static_cast<unsigned long>(handlesAfter), threads, threadsAfter,
                static_cast<unsigned long>(tls), static_cast<unsigned long>(tlsAfter));
    EXPECT_EQ(opened, 100);
    EXPECT_LE(handlesAfter, handles + 5);  // a few for lazily created system objects, not one per round
    EXPECT_LE(threadsAfter, threads);
    EXPECT_LE(tlsAfter, tls + 2);
}

// Where the unloaded plug-in's image was, and how many times code there was run afterwards
// (first-chance faults seen by a vectored handler: Wine ignores a fault in a window procedure).
std::atomic<std::uintptr_t> g_imageStart{0}, g_imageEnd{0};
std::atomic<int> g_runsInUnloadedCode{0};

LONG CALLBACK countRunsInUnloadedCode(EXCEPTION_POINTERS* info) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->ExceptionRecord->ExceptionAddress);
    if (at >= g_imageStart && at < g_imageEnd) ++g_runsInUnloadedCode;
    return EXCEPTION_CONTINUE_SEARCH;
}

// The panel is open and the window thread waits for a host object that never answers: the
// host's unload still returns within a second. The window thread stays blocked in that call, but
// it keeps handling the messages sent to its windows (a system-wide broadcast reaches every
// top-level window), so those windows must no longer lead into the unloaded code. Runs in a
// process of its own: the blocked thread and its windows stay for good.
int unloadWithAHostThatNeverAnswers() {
    CoInitialize(nullptr);
    wine_test::TempWorkDir dir;
    dir.makePluginsFolder();
    static HangingHostThread* hanging = new HangingHostThread;  // outlives the blocked call
    if (!hanging->registered) return 2;
    auto dll = std::make_unique<wine_test::StatsLibrary>();
    if (!dll->handle()) return 3;
    const auto base = reinterpret_cast<const BYTE*>(dll->handle());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    g_imageStart = reinterpret_cast<std::uintptr_t>(base);
    g_imageEnd = g_imageStart + nt->OptionalHeader.SizeOfImage;
    resetThroughExport(*dll);
    // The panel's initialisation tells the host "<MODE:CW>": that call never comes back.
    if (!wine_test::pumpMessagesUntil([&] { return hanging->host.calls > 0; }, 5s)) return 4;
    const auto t0 = std::chrono::steady_clock::now();
    dll->unload();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    std::fprintf(stderr, "unload with a hanging host took %lld ms\n", static_cast<long long>(took.count()));
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "Zarv2.Application\\CLSID");
    if (took >= 1000ms) return 5;
    const HWND panel = FindWindowA(nullptr, "Setup SA-TOLVEN 2026");
    if (!panel) return 6;  // the blocked thread's panel is expected to be left
    AddVectoredExceptionHandler(1, &countRunsInUnloadedCode);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(panel, WM_SETTINGCHANGE, 0, 0, SMTO_BLOCK, 2000, &answer);
    PostMessageA(panel, WM_COMMAND, IDCANCEL, 0);
    Sleep(200);
    return g_runsInUnloadedCode == 0 ? 0 : 7;
}

TEST(Reliability, UnloadWithAHostThatNeverAnswers) {
    // Exit codes: 2 host not registered, 3 DLL not loaded, 4 host never called, 5 unload too
    // slow, 6 no panel left to send to, 7 a message to it ran the unloaded code.
    EXPECT_EXIT(std::exit(unloadWithAHostThatNeverAnswers()), ::testing::ExitedWithCode(0), "");
}

/// A host object that fails every call.
class FailingZarv final : public wine_test::FakeDispatch {
public:
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_FAIL;
    }
};

// {0B7D2A61-3C44-4E8F-9A21-7D5E6F102C34}
const CLSID kFailingHostClsid = {0x0b7d2a61, 0x3c44, 0x4e8f, {0x9a, 0x21, 0x7d, 0x5e, 0x6f, 0x10, 0x2c, 0x34}};

BOOL CALLBACK findErrorBox(HWND window, LPARAM out) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770" || !IsWindowVisible(window)) return TRUE;
    if (wine_test::dialogItemText(window, 0xFFFF).find("failed the call") == std::string::npos) return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

// The message box the window thread shows for a failed host call, if one is open.
HWND errorBox() {
    HWND found = nullptr;
    EnumWindows(&findErrorBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A failed host call left its message box open on the window thread when the host unloads the
// plug-in: the stop ends the box, and the window thread ends within the wait instead of staying
// in the box past the unload. Runs in a process of its own, as a failure leaves windows behind.
int unloadWithAnErrorBoxOpen() {
    CoInitialize(nullptr);
    wine_test::TempWorkDir dir;
    dir.makePluginsFolder();
    static FailingZarv host;
    wine_test::registerHostProgId("{0B7D2A61-3C44-4E8F-9A21-7D5E6F102C34}");
    DWORD cookie = 0;
    if (FAILED(RegisterActiveObject(&host, kFailingHostClsid, ACTIVEOBJECT_STRONG, &cookie))) return 2;
    const int threadsBefore = threadCount();
    auto dll = std::make_unique<wine_test::StatsLibrary>();
    if (!dll->handle()) return 3;
    resetThroughExport(*dll);  // the panel's "<MODE:CW>" fails: the box opens
    HWND box = nullptr;
    if (!wine_test::pumpMessagesUntil([&] { return (box = errorBox()) != nullptr; }, 5s)) return 4;
    const auto t0 = std::chrono::steady_clock::now();
    dll->unload();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    std::fprintf(stderr, "unload with an error box open took %lld ms\n", static_cast<long long>(took.count()));
    RevokeActiveObject(cookie, nullptr);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "Zarv2.Application\\CLSID");
    if (took >= 500ms) return 5;  // the wait ran out: the box held the window thread
    const bool ended = wine_test::pumpMessagesUntil([&] { return threadCount() <= threadsBefore; }, 2s);
    return ended && !IsWindow(box) ? 0 : 6;
}

TEST(Reliability, UnloadWithAnErrorBoxOpen) {
    // Exit codes: 2 host not registered, 3 DLL not loaded, 4 no box, 5 unload too slow,
    // 6 window thread or box still there.
    EXPECT_EXIT(std::exit(unloadWithAnErrorBoxOpen()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
