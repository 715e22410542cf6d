#include "platform/win32/modal_dialog.h"

namespace stats {

INT_PTR ModalDialog::runModal(HINSTANCE module, int templateId, HWND owner) {
    return DialogBoxParamA(module, MAKEINTRESOURCEA(templateId), owner, &ModalDialog::staticProc,
                           reinterpret_cast<LPARAM>(this));
}

bool ModalDialog::onCommand(int id, int, HWND) {
    if (id != IDOK && id != IDCANCEL) return false;
    EndDialog(hwnd_, id);
    return true;
}

INT_PTR CALLBACK ModalDialog::staticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<ModalDialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
        return self->onInitDialog() ? TRUE : FALSE;
    }
    auto* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return FALSE;
    switch (message) {
        case WM_COMMAND:
            return self->onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE
                                                                                                   : FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace stats
