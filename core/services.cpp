#include "core/services.h"

#include <climits>
#include <cstdlib>

namespace stats {

int Settings::readInt(std::string_view key) const {
    // atoi's rules (leading blanks, a sign, digits, stop at anything else), without its
    // undefined behaviour on overflow: out-of-range values are clamped.
    const long value = std::strtol(read(key, "").c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace stats
