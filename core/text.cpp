#include "core/text.h"

#include <cstdarg>
#include <cstdio>

namespace stats {

std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, pattern, again);
    }
    va_end(again);
    return out;
}

}  // namespace stats
