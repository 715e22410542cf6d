#include "platform/win32/win32_message_box.h"

#include <windows.h>

namespace stats {

void Win32MessageBox::show(const char* caption, const std::string& text, MessageIcon icon) {
    UINT type = MB_OK;
    if (icon == MessageIcon::kInformation) type |= MB_ICONINFORMATION;
    if (icon == MessageIcon::kError) type |= MB_ICONERROR;
    MessageBoxA(GetActiveWindow(), text.c_str(), caption, type);
}

}  // namespace stats
