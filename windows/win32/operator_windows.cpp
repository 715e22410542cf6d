#include "windows/win32/operator_windows.h"

#include "core/shared_contest.h"
#include "resources/resource.h"

namespace stats {
namespace {

constexpr COLORREF kItuTextBackground = RGB(255, 240, 198);

bool isControlColour(UINT message) {
    return message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN ||
           message == WM_CTLCOLORLISTBOX || message == WM_CTLCOLOREDIT;
}

INT_PTR paintControl(WPARAM dc, COLORREF textBackground, HBRUSH brush) {
    ::SetTextColor(reinterpret_cast<HDC>(dc), RGB(0, 0, 0));
    ::SetBkColor(reinterpret_cast<HDC>(dc), textBackground);
    return reinterpret_cast<INT_PTR>(brush);
}


void saveWindowPosition(HWND hwnd, WindowContext& context, const PositionKeys& keys) {
    RECT r{};
    if (::GetWindowRect(hwnd, &r))
        savePosition(context.contest.settings(), keys, context.shared.lastPosition, r.left, r.top);
}

PixelRect clientRect(HWND hwnd) {
    RECT r{};
    ::GetClientRect(hwnd, &r);
    return {r.left, r.top, r.right, r.bottom};
}

void moveTo(HWND control, const PixelBox& box) {
    if (control) ::MoveWindow(control, box.x, box.y, box.width, box.height, TRUE);
}

}  // namespace

CMemDC::CMemDC(HDC target) : target_(target), offScreen_(::GetDeviceCaps(target, TECHNOLOGY) != DT_RASPRINTER) {
    if (!offScreen_) return;
    ::GetClipBox(target, &area_);
    memory_.reset(::CreateCompatibleDC(target));
    bitmap_.reset(::CreateCompatibleBitmap(target, area_.right - area_.left, area_.bottom - area_.top));
    if (!memory_ || !bitmap_) {
        // Without an off-screen surface, draw straight to the screen rather than nowhere.
        offScreen_ = false;
        return;
    }
    oldBitmap_ = ::SelectObject(memory_.get(), bitmap_.get());
    ::SetWindowOrgEx(memory_.get(), area_.left, area_.top, nullptr);
}

CMemDC::~CMemDC() {
    if (!offScreen_) return;
    ::BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_.get(),
             area_.left, area_.top, SRCCOPY);
    ::SelectObject(memory_.get(), oldBitmap_);
}

void CCqWwInfoButton::drawItem(const DRAWITEMSTRUCT& item, const GridPicture& picture, int dpi) {
    CMemDC mem(item.hDC);
    const HDC dc = mem.dc();
    const auto fill = [dc](const PixelRect& r, COLORREF colour) {
        const RECT rect{r.left, r.top, r.right, r.bottom};
        UniqueBrush brush(::CreateSolidBrush(colour));
        ::FillRect(dc, &rect, brush.get());
    };
    fill(picture.background, RGB(255, 255, 198));
    if (picture.highlight) fill(*picture.highlight, RGB(198, 255, 255));
    ::SetBkMode(dc, TRANSPARENT);
    // At 96 dpi the stock font, as always. On a denser display the stock font may not have grown
    // with it: then the same face at 16 pixels scaled (its height at 96 dpi on Windows), so that
    // the texts keep their places between the scaled columns.
    UniqueFont font;
    TEXTMETRICW metrics{};
    if (dpi > 96 && ::GetTextMetricsW(dc, &metrics) && metrics.tmHeight < systemFontHeight(dpi)) {
        LOGFONTW face{};
        ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof face, &face);
        face.lfHeight = systemFontHeight(dpi);
        face.lfWidth = 0;
        font.reset(::CreateFontIndirectW(&face));
    }
    const ScopedSelect selected(dc, font.get());
    for (const GridText& t : picture.texts) {
        const std::wstring text = widenWindowText(t.text);
        ::TextOutW(dc, t.x, t.y, text.c_str(), static_cast<int>(text.size()));
    }
}

bool DXCC::open() {
    if (!create(IDD_DXCC)) return false;
    ::ShowWindow(hwnd_, SW_SHOW);
    return true;
}

INT_PTR DXCC::onMessage(UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            placeWindow(kPrevQsoPositionKeys);
            setBigIcon();
            return TRUE;
        case WM_SETCURSOR:
            saveWindowPosition(hwnd_, context_, kPrevQsoPositionKeys);
            return FALSE;
        case WM_SIZE:
            moveTo(::GetDlgItem(hwnd_, IDC_GRID), prevQsoButtonBox(clientRect(hwnd_)));
            return FALSE;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlID != IDC_GRID) return FALSE;
            // The rows are copied under the lock: the host's thread rebuilds them on a reset.
            const auto rows =
                context_.contest.withState([](const ContestState& s) { return s.previousQsoRows; });
            // The dots per inch the system gives this process: it stays as the host set it.
            const int dpi = ::GetDeviceCaps(item.hDC, LOGPIXELSY);
            CCqWwInfoButton::drawItem(item,
                                      layoutPreviousQsoGrid(item.rcItem.right, item.rcItem.bottom,
                                                            context_.shared.highlightedBand,
                                                            context_.shared.currentCall, rows, dpi),
                                      dpi);
            return TRUE;
        }
    }
    return FALSE;
}

bool Itu::open() {
    if (!create(IDD_ITU)) return false;
    ::ShowWindow(hwnd_, SW_SHOW);
    return true;
}

INT_PTR Itu::onMessage(UINT message, WPARAM wParam, LPARAM) {
    if (isControlColour(message)) return paintControl(wParam, kItuTextBackground, brush_.get());
    switch (message) {
        case WM_INITDIALOG:
            for (int zone = 1; zone <= kItuZoneCount; ++zone)
                ::CheckDlgButton(hwnd_, ituControlId(zone), zones_[zone - 1] ? BST_CHECKED : BST_UNCHECKED);
            placeWindow(kItuPositionKeys);
            brush_.reset(::CreateSolidBrush(kPaleYellow));
            setBigIcon();
            return TRUE;
        case WM_SETCURSOR:
            saveWindowPosition(hwnd_, context_, kItuPositionKeys);
            return FALSE;
    }
    return FALSE;
}

bool rda::open() {
    if (!create(IDD_RDA)) return false;
    ::ShowWindow(hwnd_, SW_SHOW);
    return true;
}

void rda::setItems(const std::vector<std::string>& items) {
    const HWND list = ::GetDlgItem(hwnd_, IDC_PREFIX_LIST);
    if (!list) return;
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) {
        const std::wstring text = widenWindowText(item);
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

INT_PTR rda::onMessage(UINT message, WPARAM wParam, LPARAM) {
    if (isControlColour(message)) return paintControl(wParam, kPaleYellow, brush_.get());
    switch (message) {
        case WM_INITDIALOG: {
            LOGFONTW font{};
            // 16 pixels at 96 dpi, scaled on a denser display as the dialogs' own texts are.
            const HDC screen = ::GetDC(hwnd_);
            font.lfHeight = systemFontHeight(screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96);
            if (screen) ::ReleaseDC(hwnd_, screen);
            lstrcpyW(font.lfFaceName, L"System");
            font_.reset(::CreateFontIndirectW(&font));
            if (font_)
                ::SendDlgItemMessageW(hwnd_, IDC_PREFIX_LIST, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
            placeWindow(kSaPrefixPositionKeys);
            brush_.reset(::CreateSolidBrush(kPaleYellow));
            setBigIcon();
            return TRUE;
        }
        case WM_SETCURSOR:
            saveWindowPosition(hwnd_, context_, kSaPrefixPositionKeys);
            return FALSE;
        case WM_SIZE:
            moveTo(::GetDlgItem(hwnd_, IDC_PREFIX_LIST), prefixListBox(clientRect(hwnd_)));
            return FALSE;
    }
    return FALSE;
}

}  // namespace stats
