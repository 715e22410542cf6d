#include "core/rules.h"

namespace stats {

bool isValidExchange(std::string_view text) noexcept {
    if (text == "599" || text.empty() || text.size() > 3) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

Rejection acceptanceOf(std::string_view band, std::string_view mode, std::string_view numberSent,
                       std::string_view numberReceived) noexcept {
    if (!kContest.band(band)) return Rejection::kNoContestBand;
    if (!kContest.mode(mode)) return Rejection::kNoTestMode;
    if (numberReceived.empty() || numberSent.empty()) return Rejection::kNoNumber;
    return Rejection::kNone;
}

}  // namespace stats
