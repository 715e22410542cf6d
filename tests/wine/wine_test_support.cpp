#include "wine_test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace wine_test {

std::filesystem::path statsDllPath() {
    if (const char* fromEnv = std::getenv("STATS_DLL"); fromEnv && *fromEnv) return fromEnv;
    char exe[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "Stats.dll";
    return std::filesystem::path(exe).parent_path() / "Stats.dll";
}

StatsLibrary::StatsLibrary(const std::filesystem::path& path) {
    // An absolute path: the tests change the current directory before loading.
    module_ = LoadLibraryA(std::filesystem::absolute(path).string().c_str());
    if (!module_)
        throw std::runtime_error("LoadLibraryA(" + path.string() + ") failed, error " +
                                 std::to_string(GetLastError()));
}

StatsLibrary::~StatsLibrary() { unload(); }

FARPROC StatsLibrary::proc(const char* name) const noexcept {
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

void StatsLibrary::unload() noexcept {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
}

TempWorkDir::TempWorkDir() : previous_(std::filesystem::current_path()) {
    static std::atomic<unsigned> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate = base / ("stats-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(counter.fetch_add(1)));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            break;
        }
    }
    std::filesystem::current_path(path_);
}

TempWorkDir::~TempWorkDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    if (!std::getenv("STATS_KEEP_TEMP")) std::filesystem::remove_all(path_, ignored);
}

void TempWorkDir::makePluginsFolder() const { std::filesystem::create_directory(path_ / "Plugins"); }

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string windowText(HWND window) {
    char buffer[4096] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string dialogItemText(HWND dialog, int item) {
    char buffer[4096] = {};
    GetDlgItemTextA(dialog, item, buffer, sizeof buffer);
    return buffer;
}

namespace {

bool isOurVisibleDialog(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return false;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    return std::string(className) == "#32770";
}

BOOL CALLBACK findAnyDialog(HWND window, LPARAM result) {
    if (!isOurVisibleDialog(window)) return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

}  // namespace

DialogWatcher::DialogWatcher(const char* caption, int command, Inspect inspect, std::chrono::milliseconds timeout)
    : caption_(caption ? caption : ""), anyCaption_(caption == nullptr), command_(command),
      inspect_(std::move(inspect)), thread_([this, timeout] { run(timeout); }) {}

DialogWatcher::~DialogWatcher() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

SeenDialog DialogWatcher::wait() {
    if (thread_.joinable()) thread_.join();
    return seen_;
}

void DialogWatcher::run(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!stop_ && std::chrono::steady_clock::now() < deadline) {
        HWND dialog = nullptr;
        if (anyCaption_)
            EnumWindows(findAnyDialog, reinterpret_cast<LPARAM>(&dialog));
        else if (HWND w = FindWindowA("#32770", caption_.c_str()); w && isOurVisibleDialog(w))
            dialog = w;
        // A dialog becomes visible only after WM_INITDIALOG, so its items hold their texts by then.
        if (dialog) {
            seen_.found = true;
            seen_.caption = windowText(dialog);
            if (GetDlgItem(dialog, 0xFFFF)) seen_.message = dialogItemText(dialog, 0xFFFF);
            if (inspect_) inspect_(dialog);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(command_, BN_CLICKED), 0);
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
}

bool pumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left < 10 ? left : 10), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

bool captureWindow(HWND window, const std::filesystem::path& bmpPath) {
    // Paint first: a window that has only just appeared may not have drawn itself yet.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    // A window of another thread paints on that thread, and Wine copies what it drew to the X
    // screen a little later: give both time before reading the screen (a busy machine needs it).
    pumpMessagesUntil([] { return false; }, std::chrono::milliseconds(400));
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;

    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files store it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    std::vector<char> pixels(static_cast<size_t>(stride) * height);
    ok = ok && GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
                         DIB_RGB_COLORS) == height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!ok) return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(bmpPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

std::filesystem::path screenshotDir() {
    const char* dir = std::getenv("STATS_SCREENSHOT_DIR");
    return dir && *dir ? std::filesystem::path(dir) : std::filesystem::path();
}

}  // namespace wine_test
