// The operator windows for real: Stats.dll loaded by this host, which plays the logging
// program's automation object "Zarv2.Application" on its main thread.
#include <cstdio>
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "core/ole_date.h"
#include "resources/resource.h"
#include "fake_dispatch.h"
#include "wine_test_support.h"

namespace {

using namespace std::chrono_literals;

// {6C1E3F52-9A4B-4C2D-8E11-5A7B3C9D0F21}
const CLSID kFakeHostClsid = {0x6c1e3f52, 0x9a4b, 0x4c2d, {0x8e, 0x11, 0x5a, 0x7b, 0x3c, 0x9d, 0x0f, 0x21}};
constexpr const char* kClsidText = "{6C1E3F52-9A4B-4C2D-8E11-5A7B3C9D0F21}";

/// The host's automation object: records macros, answers the typed call and the frequency.
class FakeZarv final : public wine_test::FakeDispatch {
public:
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        std::lock_guard lock(mutex_);
        if (id == 16 && (flags & DISPATCH_METHOD) && params && params->cArgs == 1 && params->rgvarg[0].vt == VT_BSTR) {
            if (refusedMacros > 0 && refusedMacros--) return E_FAIL;
            const BSTR text = params->rgvarg[0].bstrVal;
            macros_.emplace_back(text, text + SysStringLen(text));
            return S_OK;
        }
        if (id == 8 && (flags & DISPATCH_METHOD) && params && params->cArgs == 1 && params->rgvarg[0].vt == VT_I4 &&
            params->rgvarg[0].lVal == 5 && result) {
            result->vt = VT_BSTR;
            const std::wstring wide(typedCall_.begin(), typedCall_.end());
            result->bstrVal = SysAllocString(wide.c_str());
            return S_OK;
        }
        if (id == 2 && (flags & DISPATCH_PROPERTYGET) && result) {
            result->vt = VT_R8;
            result->dblVal = hertz_;
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    void setTypedCall(std::string call) {
        std::lock_guard lock(mutex_);
        typedCall_ = std::move(call);
    }
    void setFrequency(double hz) {
        std::lock_guard lock(mutex_);
        hertz_ = hz;
    }
    std::vector<std::string> macros() {
        std::lock_guard lock(mutex_);
        return macros_;
    }
    /// How many of the next macro calls fail; set before the plug-in can call.
    int refusedMacros = 0;
    bool received(const std::string& macro) {
        for (const auto& m : macros())
            if (m == macro) return true;
        return false;
    }
    int count(const std::string& macro) {
        int n = 0;
        for (const auto& m : macros()) n += m == macro;
        return n;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> macros_;
    std::string typedCall_;
    double hertz_ = 0.0;
};

/// The fake object, registered for the ProgID and in the running object table while it lives.
class RegisteredHost {
public:
    RegisteredHost() {
        wine_test::registerHostProgId(kClsidText);
        registered_ = SUCCEEDED(RegisterActiveObject(&host, kFakeHostClsid, ACTIVEOBJECT_STRONG, &cookie_));
    }
    ~RegisteredHost() {
        if (registered_) RevokeActiveObject(cookie_, nullptr);
    }
    bool registered() const { return registered_; }
    FakeZarv host;

private:
    DWORD cookie_ = 0;
    bool registered_ = false;
};

using Date = stats::OleDateTime;

class OperatorWindows : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        dir_.makePluginsFolder();
        dll_ = std::make_unique<wine_test::StatsLibrary>();
        ASSERT_NE(dll_->handle(), nullptr);
    }
    void TearDown() override {
        dll_.reset();
        CoUninitialize();
    }

    void reset(const char* ownCountry = "CE") {
        auto fn = dll_->get<decltype(&ResetStats0)>("ResetStats0");
        const Date start{46082.0, Date::kValid}, end{46083.0, Date::kValid};  // 1 and 2 March 2026
        const char* e = "";
        fn("", 0, "LU1AA", &start, &end, e, e, e, e, e, e, e, e, e, ownCountry, 0, 0, 0, 0.0, 0.0, e, e, e);
    }
    void addQso(const char* call, const char* band, const char* mode, double time, const char* nr, const char* prefix) {
        auto fn = dll_->get<decltype(&AddData0)>("AddData0");
        const Date t{time, Date::kValid};
        const char* e = "";
        fn("LU1AA", call, &t, &t, &t, &t, 0, 7025000, mode, "599", "599", "001", nr, e, e, e, e, e, e, e, e, prefix,
           e, 0, 0, 0, 0.0, 0.0, e, "SA", e, band, e);
    }
    int checkCall(const char* call) {
        auto fn = dll_->get<decltype(&CheckCallFunc0)>("CheckCall0");
        char out[50] = "", hint[100] = "";
        const char* e = "";
        return fn(call, 0, 0, "CW", e, e, e, e, e, e, e, e, "CE3", e, 0, 0, 0, 0.0, 0.0, e, "SA", e, e, e, "40m", e,
                  out, hint);
    }
    std::string setting(const char* key) {
        char value[100] = "";
        GetPrivateProfileStringA("Settings", key, "", value, sizeof value, ".\\Plugins\\SA-TOLVEN.ini");
        return value;
    }
    static HWND waitForWindow(const char* caption, std::chrono::milliseconds timeout = 5s) {
        HWND found = nullptr;
        // Visible: the window is shown only after its initialisation has placed it.
        wine_test::pumpMessagesUntil(
            [&] { return (found = FindWindowA(nullptr, caption)) != nullptr && IsWindowVisible(found); }, timeout);
        return found;
    }
    static void pumpFor(std::chrono::milliseconds d) {
        wine_test::pumpMessagesUntil([] { return false; }, d);
    }
    static void click(HWND dialog, int id) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static void screenshot(HWND window, const char* name) {
        if (auto dir = wine_test::screenshotDir(); !dir.empty() && window) {
            pumpFor(300ms);
            EXPECT_TRUE(wine_test::captureWindow(window, dir / name)) << name;
        }
    }
    // Unloads the plug-in with its windows open; returns how long FreeLibrary took.
    std::chrono::milliseconds unloadTimed() {
        const auto t0 = std::chrono::steady_clock::now();
        dll_->unload();
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    }

    wine_test::TempWorkDir dir_;
    std::unique_ptr<wine_test::StatsLibrary> dll_;
};

TEST_F(OperatorWindows, PanelTalksToTheHostAndUnloadsPromptly) {
    RegisteredHost reg;
    ASSERT_TRUE(reg.registered());
    reset();
    const HWND panel = waitForWindow("Setup SA-TOLVEN 2026");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(setting("Start"), "1");
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return reg.host.received("<MODE:CW>"); }, 3s));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, IDC_CW)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel, IDC_SSB)));
    EXPECT_TRUE(GetWindowLongA(panel, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT r{};
    GetWindowRect(panel, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(panel, IDC_ITU)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(panel, IDC_USE_MASTER)));
    EXPECT_EQ(SendDlgItemMessageA(panel, IDC_ZONE_COMBO, CB_GETCOUNT, 0, 0), 90);
    EXPECT_EQ(wine_test::dialogItemText(panel, IDC_PREV_QSO), "Previous QSO");
    EXPECT_NE(SendMessageA(panel, WM_GETICON, ICON_BIG, 0), 0);

    click(panel, IDC_SSB);
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return reg.host.received("<MODE:SSB>"); }, 3s));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, IDC_SSB)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel, IDC_CW)));

    click(panel, IDC_USE_MASTER);
    click(panel, IDC_USE_MASTER);
    click(panel, IDC_SA_PREFIX);
    click(panel, IDC_PREV_QSO);
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return setting("setup_previous") == "1"; }, 3s));
    EXPECT_EQ(setting("setup_mast"), "0");
    EXPECT_EQ(setting("HQ"), "1");

    // The refresh names the typed call in the previous-QSO window and lists the worked prefixes.
    addQso("CE3AA", "40m", "CW", 46082.0 + 15 / 1440.0, "015", "CE3");
    addQso("CE3AA", "40m", "SSB", 46082.0 + 62 / 1440.0, "077", "CE3");
    addQso("LU2BB", "20m", "CW", 46082.0 + 70 / 1440.0, "003", "LU2");
    int status = 0;
    dll_->get<decltype(&GetResult0)>("GetResult0")(&status);
    reg.host.setTypedCall("CE3AA");
    reg.host.setFrequency(7025000);
    checkCall("CE3AA");
    const HWND prev = waitForWindow("SA TOLVEN 2026 worked with CE3AA");
    ASSERT_NE(prev, nullptr);
    const HWND list = waitForWindow("Worked SA prefix");
    ASSERT_NE(list, nullptr);
    const HWND box = GetDlgItem(list, IDC_PREFIX_LIST);
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return SendMessageA(box, LB_GETCOUNT, 0, 0) == 2; }, 2s));
    char item[32] = "";
    SendMessageA(box, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, " CE3");
    SendMessageA(box, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, " LU2");

    // A move of 250 Hz is not reported, one of 400 Hz is.
    const int sp1 = reg.host.count("<SP1>");
    EXPECT_GE(sp1, 1);
    reg.host.setFrequency(7025250);
    checkCall("CE3AA");
    pumpFor(700ms);
    EXPECT_EQ(reg.host.count("<SP1>"), sp1);
    reg.host.setFrequency(7025400);
    checkCall("CE3AA");
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return reg.host.count("<SP1>") == sp1 + 1; }, 2s));

    // A moved window saves its corner at the next mouse movement over it.
    SetWindowPos(prev, nullptr, 250, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageA(prev, WM_SETCURSOR, reinterpret_cast<WPARAM>(prev), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return setting("dxcc_x") == "250"; }, 2s));
    EXPECT_EQ(setting("dxcc_y"), "120");

    SetWindowPos(list, nullptr, 520, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(prev, nullptr, 10, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    screenshot(panel, "panel-en.bmp");
    screenshot(prev, "prev-qso.bmp");
    screenshot(list, "sa-prefixes.bmp");

    // Well inside the stop's 0.9 s bound: the window thread really ended, the wait did not run out.
    const auto took = unloadTimed();
    std::printf("unload took %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took, 700ms);
    EXPECT_EQ(FindWindowA(nullptr, "Setup SA-TOLVEN 2026"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Worked SA prefix"), nullptr);
}

TEST_F(OperatorWindows, RussianTextsAndTheItuWindow) {
    RegisteredHost reg;
    WritePrivateProfileStringA("Settings", "ITU", "1", ".\\Plugins\\SA-TOLVEN.ini");
    reset("UA9");
    const std::wstring caption = L"\x0423\x0441\x0442\x0430\x043d\x043e\x0432\x043a\x0438 SA-TOLVEN 2026";
    HWND panel = nullptr;
    wine_test::pumpMessagesUntil(
        [&] { return (panel = FindWindowW(nullptr, caption.c_str())) != nullptr && IsWindowVisible(panel); }, 5s);
    ASSERT_NE(panel, nullptr);
    wchar_t text[64] = L"";
    GetDlgItemTextW(panel, IDC_PREV_QSO, text, 64);
    EXPECT_STREQ(text, L"\x041f\x0440\x0435\x0434\x044b\x0434\x0443\x0449\x0438\x0435 QSO");
    GetDlgItemTextW(panel, IDC_SA_PREFIX, text, 64);
    EXPECT_STREQ(text, L"SA Prefix");

    // The ITU option opens its window on the first refresh, at its default place, all boxes clear.
    const HWND itu = waitForWindow("ITU zone");
    ASSERT_NE(itu, nullptr);
    RECT r{};
    GetWindowRect(itu, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
    int ticked = 0;
    for (int id = IDC_ITU_FIRST; id < IDC_ITU_FIRST + 90; ++id) ticked += IsDlgButtonChecked(itu, id) == BST_CHECKED;
    EXPECT_EQ(ticked, 0);
    EXPECT_EQ(wine_test::dialogItemText(itu, 1050), "5");
    EXPECT_EQ(wine_test::dialogItemText(itu, 1103), "90");

    // Tab moves between the boxes, although the thread's loop is the panel's.
    const DWORD thread = GetWindowThreadProcessId(itu, nullptr);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const HWND first = GetDlgItem(itu, 1014);
    PostMessageA(first, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(wine_test::pumpMessagesUntil(
        [&] { return GetGUIThreadInfo(thread, &gui) && gui.hwndFocus == GetDlgItem(itu, 1015); }, 2s));

    SetWindowPos(itu, nullptr, 10, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    screenshot(panel, "panel-ru.bmp");
    screenshot(itu, "itu.bmp");
    EXPECT_LT(unloadTimed(), 700ms);
    EXPECT_EQ(FindWindowA(nullptr, "ITU zone"), nullptr);
}

TEST_F(OperatorWindows, AHostRefusingTheFirstCallLeavesTheWholePanel) {
    RegisteredHost reg;
    reg.host.refusedMacros = 1;
    WritePrivateProfileStringA("Settings", "setup_previous", "1", ".\\Plugins\\SA-TOLVEN.ini");
    wine_test::DialogWatcher box("Error");
    const auto t0 = std::chrono::steady_clock::now();
    reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms) << "the reset waited out its bound";
    const HWND panel = waitForWindow("Setup SA-TOLVEN 2026");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(panel, IDC_PREV_QSO), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, IDC_CW)));
    EXPECT_NE(box.wait().message.find("failed the call"), std::string::npos);
    // The panel goes on: the refresh tick opens the previous-QSO window for a typed call.
    reg.host.setTypedCall("CE3AA");
    checkCall("CE3AA");
    EXPECT_NE(waitForWindow("SA TOLVEN 2026 worked with CE3AA"), nullptr);
}

BOOL CALLBACK countPanels(HWND w, LPARAM n) {
    char title[64] = "";
    GetWindowTextA(w, title, sizeof title);
    if (std::string(title) == "Setup SA-TOLVEN 2026") ++*reinterpret_cast<int*>(n);
    return TRUE;
}

TEST_F(OperatorWindows, WithoutTheHostObjectThePanelStillWorks) {
    reset();
    const HWND panel = waitForWindow("Setup SA-TOLVEN 2026");
    ASSERT_NE(panel, nullptr);
    click(panel, IDC_SSB);
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return !IsWindowEnabled(GetDlgItem(panel, IDC_SSB)); }, 2s));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel, IDC_CW)));
    // The SA-prefix option opens its list 300 ms after the click even without the host.
    click(panel, IDC_SA_PREFIX);
    EXPECT_TRUE(wine_test::pumpMessagesUntil([&] { return setting("HQ") == "1"; }, 2s));
    checkCall("CE3AA");
    pumpFor(500ms);
    // A second reset while the panel runs starts no second panel.
    reset();
    pumpFor(300ms);
    int panels = 0;
    EnumWindows(&countPanels, reinterpret_cast<LPARAM>(&panels));
    EXPECT_EQ(panels, 1);
    EXPECT_LT(unloadTimed(), 700ms);
}

TEST_F(OperatorWindows, ClosedPanelArmsNoTimerAndTheNextResetsReopenIt) {
    reset();
    const HWND panel = waitForWindow("Setup SA-TOLVEN 2026");
    ASSERT_NE(panel, nullptr);
    PostMessageA(panel, WM_CLOSE, 0, 0);
    EXPECT_TRUE(wine_test::pumpMessagesUntil([] { return FindWindowA(nullptr, "Setup SA-TOLVEN 2026") == nullptr; }, 2s));
    checkCall("CE3AA");  // no panel: nothing to arm
    reset();             // "Start" 1 -> 0, no panel
    pumpFor(300ms);
    EXPECT_EQ(FindWindowA(nullptr, "Setup SA-TOLVEN 2026"), nullptr);
    EXPECT_EQ(setting("Start"), "0");
    reset();  // "Start" 0 -> the panel again
    EXPECT_NE(waitForWindow("Setup SA-TOLVEN 2026"), nullptr);
}

}  // namespace

// A host that unloads the plug-in right after the reset that started the panel (a replay, a
// quick restart) must not leave the window thread running in unloaded code.
TEST_F(OperatorWindows, UnloadRightAfterTheResetThatStartsThePanel) {
    RegisteredHost reg;
    for (int round = 0; round < 5; ++round) {
        WritePrivateProfileStringA("Settings", "Start", "0", ".\\Plugins\\SA-TOLVEN.ini");
        reset();
        EXPECT_TRUE(FindWindowA(nullptr, "Setup SA-TOLVEN 2026")) << "the reset returns once the panel runs";
        EXPECT_LT(unloadTimed(), 700ms) << "round " << round;
        EXPECT_EQ(FindWindowA(nullptr, "Setup SA-TOLVEN 2026"), nullptr);
        dll_ = std::make_unique<wine_test::StatsLibrary>();
    }
}
