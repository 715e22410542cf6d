#include "platform/portable/stderr_message_box.h"

#include <cstdio>

namespace stats {

void StderrMessageBox::show(const char* caption, const std::string& text, MessageIcon) {
    if (caption) std::fprintf(stderr, "%s: ", caption);
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace stats
