// Loading the plug-in with LoadLibraryA, and the Windows side of running it unattended.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/host/header_choices.h"
#include "tools/host/plugin_library.h"

namespace host {

namespace {

std::wstring wideOf(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string utf8Of(const wchar_t* wide, std::size_t size) {
    if (size == 0) return {};
    const int length = static_cast<int>(size);
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

}  // namespace

void* openLibrary(const std::string& path, std::string& error) {
    // The path is UTF-8 (as the tools hold every name): the wide call takes any name.
    const HMODULE module = LoadLibraryW(wideOf(path).c_str());
    if (!module) error = "cannot load the plug-in " + path + ": error " + std::to_string(GetLastError());
    return module;
}

void* findExport(void* library, const char* name) noexcept {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) noexcept { FreeLibrary(static_cast<HMODULE>(library)); }

const char* pluginFileName() noexcept {
    return "Stats.dll";
}

std::string executableFolder(const char*) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {  // a longer path than MAX_PATH: a larger buffer
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : utf8Of(path.data(), slash);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(utf8Of(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return arguments;
}

void useBinaryStdout() noexcept {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

void useBinaryStdin() noexcept {
    _setmode(_fileno(stdin), _O_BINARY);
}

bool stderrIsTerminal() noexcept {
    return _isatty(_fileno(stderr)) != 0;
}

// The dialogs run modally on the thread that called the export: a watcher looks for them among
// that thread's windows, fills the header dialog's fields and presses OK, as the operator would.
struct DialogConfirmer::State {
    DWORD hostThread = GetCurrentThreadId();
    stats::HeaderAnswers answers;
    std::atomic<bool> stop{false};
    std::thread watcher;
    // A window stays listed until it has handled the posted OK: answer each one once.
    std::vector<HWND> answered;

    static BOOL CALLBACK confirm(HWND window, LPARAM param) {
        State* self = reinterpret_cast<State*>(param);
        char caption[64] = {};
        char className[16] = {};
        GetWindowTextA(window, caption, sizeof caption);
        GetClassNameA(window, className, sizeof className);
        if (std::string(className) != "#32770" || !IsWindowEnabled(window)) return TRUE;
        if (std::find(self->answered.begin(), self->answered.end(), window) != self->answered.end())
            return TRUE;
        const std::string title(caption);
        if (title == "Output") {
            char text[512] = {};
            GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
            std::fprintf(stderr, "Output: %s\n", text);
        } else if (title != "SA TOLVEN") {
            return TRUE;
        } else if (!IsWindowVisible(window)) {
            return TRUE;  // still in WM_INITDIALOG, which would overwrite the fields
        } else {
            self->fill(window);
        }
        self->answered.push_back(window);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }

    // Types each answer into its control. A combo box picks the list entry that reads exactly as
    // the answer; any other text goes into its edit part, as typed.
    void fill(HWND dialog) const {
        for (const auto& [tag, value] : answers) {
            const stats::HeaderControl* control = headerControlOf(tag);
            HWND item = control ? GetDlgItem(dialog, control->id) : nullptr;
            if (!item) continue;
            if (!control->listEntries.empty()) {
                const LRESULT index =
                    SendMessageA(item, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(value.c_str()));
                if (index >= 0 && entryText(item, index) == value) {
                    SendMessageA(item, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
                    continue;
                }
                SendMessageA(item, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            }
            SetWindowTextA(item, value.c_str());
        }
    }

    static std::string entryText(HWND combo, LRESULT index) {
        const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length < 0) return {};
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        return text;
    }
};

DialogConfirmer::DialogConfirmer(const stats::HeaderAnswers& headerAnswers) : state_(std::make_unique<State>()) {
    State* s = state_.get();
    s->answers = headerAnswers;
    s->watcher = std::thread([s] {
        while (!s->stop.load()) {
            EnumThreadWindows(s->hostThread, &State::confirm, reinterpret_cast<LPARAM>(s));
            Sleep(50);
        }
    });
}

DialogConfirmer::~DialogConfirmer() {
    state_->stop.store(true);
    state_->watcher.join();
}

}  // namespace host
