#include "platform/win32/win32_message_box.h"

#include <windows.h>

namespace stats {

namespace {

void showBox(HWND owner, const char* caption, const std::string& text, MessageIcon icon) {
    UINT type = MB_OK;
    if (icon == MessageIcon::kInformation) type |= MB_ICONINFORMATION;
    if (icon == MessageIcon::kError) type |= MB_ICONERROR;
    MessageBoxA(owner, text.c_str(), caption, type);
}

}  // namespace

void Win32MessageBox::show(const char* caption, const std::string& text, MessageIcon icon) {
    showBox(GetActiveWindow(), caption, text, icon);
}

void Win32MessageBox::showUnowned(const char* caption, const std::string& text, MessageIcon icon) {
    showBox(nullptr, caption, text, icon);
}

}  // namespace stats
