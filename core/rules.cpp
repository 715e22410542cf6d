#include "core/rules.h"

namespace stats {

bool isValidExchange(std::string_view text) noexcept {
    if (text == "599" || text.empty() || text.size() > 3) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace stats
