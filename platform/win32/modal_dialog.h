#pragma once
// A modal dialog from a template, with its window procedure forwarded to a C++ object.

#include <windows.h>

namespace stats {

/// Base of the plug-in's modal dialogs: `this` lives in GWLP_USERDATA from WM_INITDIALOG to
/// WM_NCDESTROY, and messages go to the virtual handlers.
class ModalDialog {
  public:
    ModalDialog() = default;
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;
    virtual ~ModalDialog() = default;

    /// Runs the dialog on the calling thread; the id of the button that closed it, or -1 when it
    /// could not be created.
    INT_PTR runModal(HINSTANCE module, int templateId, HWND owner);

  protected:
    HWND hwnd() const noexcept { return hwnd_; }
    /// WM_INITDIALOG; true lets the system set the default focus.
    virtual bool onInitDialog() { return true; }
    /// WM_COMMAND; the default ends the dialog on IDOK and IDCANCEL.
    virtual bool onCommand(int id, int code, HWND control);

  private:
    static INT_PTR CALLBACK staticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

}  // namespace stats
