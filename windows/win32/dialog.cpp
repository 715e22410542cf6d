#include "windows/win32/dialog.h"

#include <exception>
#include <utility>

#include "core/shared_contest.h"
#include "resources/resource.h"

namespace stats {

Dialog::~Dialog() { destroyWindow(); }

void Dialog::destroyWindow() noexcept {
    if (!hwnd_ || modal_) return;
    // Detached first: the messages of the destruction must not reach a half-destroyed object.
    const HWND hwnd = std::exchange(hwnd_, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd);
}

bool Dialog::isOperatorWindow(HWND window) noexcept {
    return ::GetWindowLongPtrW(window, DWLP_DLGPROC) == reinterpret_cast<LONG_PTR>(&Dialog::procedure);
}

INT_PTR Dialog::runModal(int templateId) {
    modal_ = true;
    return ::DialogBoxParamW(context_.module, MAKEINTRESOURCEW(templateId), nullptr, &Dialog::procedure,
                             reinterpret_cast<LPARAM>(this));
}

bool Dialog::create(int templateId) {
    modal_ = false;
    return ::CreateDialogParamW(context_.module, MAKEINTRESOURCEW(templateId), nullptr, &Dialog::procedure,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::onCancel() {
    if (modal_)
        ::EndDialog(hwnd_, IDCANCEL);
    else
        ::ShowWindow(hwnd_, SW_HIDE);
}

void Dialog::setBigIcon() const {
    const HICON icon = ::LoadIconW(context_.module, MAKEINTRESOURCEW(IDI_STATS));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

INT_PTR CALLBACK Dialog::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        reinterpret_cast<Dialog*>(lParam)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return FALSE;
    }
    return self->dispatch(message, wParam, lParam);
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind through the system's frames: a failing handler ends here and
    // the operator is told, as the host object's failures are to be reported.
    try {
        const INT_PTR handled = onMessage(message, wParam, lParam);
        if (handled) return handled;
        if (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)) {
            onCancel();
            return TRUE;
        }
        return FALSE;
    } catch (const std::exception& e) {
        context_.contest.messages().show(nullptr, e.what(), MessageIcon::kError);
    } catch (...) {
        context_.contest.messages().show(nullptr, "A window handler failed.", MessageIcon::kError);
    }
    return TRUE;
}

}  // namespace stats
