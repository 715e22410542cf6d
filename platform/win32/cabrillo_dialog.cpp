#include "platform/win32/cabrillo_dialog.h"

#include <string>
#include <vector>

#include "cabrillo/cabrillo_header.h"
#include "platform/win32/modal_dialog.h"
#include "resources/resource.h"

namespace stats {
namespace {

std::string controlText(HWND control) {
    const int length = GetWindowTextLengthA(control);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(control, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

// The list as the combo box shows it: a sorted list is in the system's order, not the template's.
std::vector<std::string> displayedEntries(HWND combo) {
    std::vector<std::string> entries;
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
        if (length < 0) continue;
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        entries.push_back(std::move(text));
    }
    return entries;
}

class CabrilloDialog final : public ModalDialog {
  public:
    explicit CabrilloDialog(CabrilloLog& fields) : fields_(fields) {}

  protected:
    bool onInitDialog() override {
        for (const HeaderControl& c : headerControls()) {
            HWND control = GetDlgItem(hwnd(), c.id);
            if (!control) continue;
            const std::string& value = fields_.*c.field;
            if (c.listEntries.empty()) {
                SetWindowTextA(control, value.c_str());
                continue;
            }
            for (const char* entry : c.listEntries)
                SendMessageA(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
            if (const auto index = comboSelection(displayedEntries(control), value))
                SendMessageA(control, CB_SETCURSEL, *index, 0);
            else
                SetWindowTextA(control, value.c_str());
        }
        return true;
    }

    bool onCommand(int id, int code, HWND control) override {
        // Every control gives back the text it shows, picked from a list or typed.
        if (id == IDOK)
            for (const HeaderControl& c : headerControls())
                if (HWND item = GetDlgItem(hwnd(), c.id)) fields_.*c.field = controlText(item);
        return ModalDialog::onCommand(id, code, control);
    }

  private:
    CabrilloLog& fields_;
};

}  // namespace

bool Win32HeaderDialog::run(CabrilloLog& fields) {
    CabrilloDialog dialog(fields);
    return dialog.runModal(module_, IDD_CABRILLO, nullptr) == IDOK;
}

}  // namespace stats
