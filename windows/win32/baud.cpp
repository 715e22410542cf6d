#include "windows/win32/baud.h"

#include <cstdio>
#include <cwchar>
#include <utility>

#include "resources/resource.h"

namespace stats {
namespace {

// The panel, for the message filter. There is at most one panel at a time, and the filter and
// the panel run on its window thread only. A plain variable rather than a thread-local one: the
// thread runtime's keys would leave handles behind at every unload.
baud* s_panel = nullptr;

}  // namespace

LRESULT CALLBACK baud::messageFilter(int code, WPARAM wParam, LPARAM lParam) {
    // The panel's modal loop is the thread's only loop and knows only the panel: the other
    // windows get their keyboard handling (Tab, Space on a check box) here.
    if (code == MSGF_DIALOGBOX && s_panel) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        const HWND root = msg->hwnd ? ::GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
        for (AuxWindow w : {AuxWindow::kSaPrefix, AuxWindow::kPrevQso, AuxWindow::kItu}) {
            Dialog* d = s_panel->window(w);
            if (d && d->hwnd() && d->hwnd() == root && ::IsDialogMessageW(root, msg)) return 1;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

baud::baud(WindowContext& context, HostLink& host, WindowThreadControl& control)
    : Dialog(context), control_(control), logic_(context.contest, host, *this, context.shared) {}

baud::~baud() {
    if (filter_) ::UnhookWindowsHookEx(filter_);
    s_panel = nullptr;
    closeAll({AuxWindow::kItu, AuxWindow::kPrevQso, AuxWindow::kSaPrefix});
}

void baud::endMessageBoxes() {
    // A message box open on this thread (a failed host call's) would hold the thread until the
    // operator closes it, past the host's bounded wait at an unload and then in unmapped code.
    // The stop reaches the panel through the box's own loop, so it ends the box from here.
    ::EnumThreadWindows(::GetCurrentThreadId(), &baud::endIfMessageBox, 0);
}

BOOL CALLBACK baud::endIfMessageBox(HWND window, LPARAM) {
    wchar_t className[8] = {};
    if (::GetClassNameW(window, className, 8) == 6 && std::wcscmp(className, L"#32770") == 0 &&
        !Dialog::isOperatorWindow(window))
        ::EndDialog(window, IDCANCEL);
    return TRUE;
}

void baud::closeAll(std::initializer_list<AuxWindow> order) {
    for (AuxWindow w : order)
        if (isOpen(w)) close(w);
}

INT_PTR baud::onInitDialog() {
    // A stop that came before the window existed ends the panel at once.
    if (control_.panelCreated(hwnd_)) ::PostMessageW(hwnd_, kStopPanelMessage, 0, 0);
    const HWND combo = ::GetDlgItem(hwnd_, IDC_ZONE_COMBO);
    for (int zone = 1; zone <= 90; ++zone) {
        wchar_t text[4];
        std::swprintf(text, 4, L"%02d", zone);
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    brush_.reset(::CreateSolidBrush(kPaleYellow));
    s_panel = this;
    filter_ = ::SetWindowsHookExW(WH_MSGFILTER, &baud::messageFilter, nullptr, ::GetCurrentThreadId());
    BOOL focus = TRUE;
    try {
        focus = logic_.initialise() ? TRUE : FALSE;
    } catch (...) {
        // The host refused its first call. The panel is complete all the same; the
        // failure is reported as any other failed host call, once the panel shows.
        initFailure_ = std::current_exception();
        ::PostMessageW(hwnd_, kReportInitFailureMessage, 0, 0);
    }
    control_.panelInitialised();
    return focus;
}

INT_PTR baud::onMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog();
        case kReportInitFailureMessage:
            if (std::exception_ptr failure = std::exchange(initFailure_, nullptr)) std::rethrow_exception(failure);
            return TRUE;
        case WM_TIMER:
            logic_.onTimer();
            return TRUE;
        case WM_SETCURSOR: {
            RECT r{};
            if (::GetWindowRect(hwnd_, &r)) logic_.onSetCursor(r.left, r.top);
            return FALSE;
        }
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
            ::SetBkColor(reinterpret_cast<HDC>(wParam), kPaleYellow);
            return reinterpret_cast<INT_PTR>(brush_.get());
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            switch (LOWORD(wParam)) {
                case IDC_ITU: logic_.onItu(); return TRUE;
                case IDC_SA_PREFIX: logic_.onSaPrefix(); return TRUE;
                case IDC_SSB: logic_.onSsb(); return TRUE;
                case IDC_CW: logic_.onCw(); return TRUE;
                case IDC_USE_MASTER: logic_.onUseMaster(); return TRUE;
                case IDC_PREV_QSO: logic_.onPrevQso(); return TRUE;
            }
            return FALSE;
        case kStopPanelMessage:
            ::KillTimer(hwnd_, kRefreshTimerId);
            closeAll({AuxWindow::kSaPrefix, AuxWindow::kPrevQso, AuxWindow::kItu});
            endMessageBoxes();
            ::EndDialog(hwnd_, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

LastPosition baud::placePanel(int x, int y) {
    const LastPosition placed = moveToStoredPosition(x, y, SWP_NOZORDER);
    ::SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return placed;
}

void baud::setPanelCaption(std::string_view text) { ::SetWindowTextW(hwnd_, widenWindowText(text).c_str()); }

void baud::setControlText(int id, std::string_view text) {
    ::SetDlgItemTextW(hwnd_, id, widenWindowText(text).c_str());
}

void baud::moveControl(int id, int x, int y, int width, int height) {
    if (const HWND control = ::GetDlgItem(hwnd_, id)) ::MoveWindow(control, x, y, width, height, TRUE);
}

void baud::enableControl(int id, bool enabled) {
    if (const HWND control = ::GetDlgItem(hwnd_, id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

void baud::showFlags(const PanelFlags& flags) {
    ::CheckDlgButton(hwnd_, IDC_SA_PREFIX, flags.saPrefix ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd_, IDC_ITU, flags.itu ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd_, IDC_USE_MASTER, flags.useMaster ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(hwnd_, IDC_PREV_QSO, flags.prevQso ? BST_CHECKED : BST_UNCHECKED);
}

void baud::armTimer() { ::SetTimer(hwnd_, kRefreshTimerId, kRefreshTimerMs, nullptr); }

void baud::killTimer() { ::KillTimer(hwnd_, kRefreshTimerId); }

Dialog* baud::window(AuxWindow which) const {
    switch (which) {
        case AuxWindow::kSaPrefix: return saPrefix_.get();
        case AuxWindow::kPrevQso: return prevQso_.get();
        case AuxWindow::kItu: return itu_.get();
    }
    return nullptr;
}

bool baud::isOpen(AuxWindow which) const { return window(which) != nullptr; }

void baud::open(AuxWindow which) {
    switch (which) {
        case AuxWindow::kSaPrefix:
            saPrefix_ = std::make_unique<rda>(context_);
            saPrefix_->open();
            break;
        case AuxWindow::kPrevQso:
            prevQso_ = std::make_unique<DXCC>(context_);
            prevQso_->open();
            break;
        case AuxWindow::kItu:
            itu_ = std::make_unique<Itu>(context_);
            itu_->open();
            break;
    }
}

void baud::close(AuxWindow which) {
    if (Dialog* w = window(which); w && w->hwnd()) ::SendMessageW(w->hwnd(), WM_CLOSE, 0, 0);
    // Once the panel forgets a window nothing can show it again: it is released here rather
    // than left hidden until the process ends.
    switch (which) {
        case AuxWindow::kSaPrefix: saPrefix_.reset(); break;
        case AuxWindow::kPrevQso: prevQso_.reset(); break;
        case AuxWindow::kItu: itu_.reset(); break;
    }
}

void baud::setWindowText(AuxWindow which, std::string_view text) {
    if (Dialog* w = window(which); w && w->hwnd()) ::SetWindowTextW(w->hwnd(), widenWindowText(text).c_str());
}

void baud::invalidate(AuxWindow which) {
    Dialog* w = window(which);
    if (!w || !w->hwnd()) return;
    const int id = which == AuxWindow::kSaPrefix ? IDC_PREFIX_LIST : IDC_GRID;
    if (const HWND control = ::GetDlgItem(w->hwnd(), id)) ::InvalidateRect(control, nullptr, FALSE);
}

void baud::setPrefixItems(const std::vector<std::string>& items) {
    if (saPrefix_ && saPrefix_->hwnd()) saPrefix_->setItems(items);
}

}  // namespace stats
