#include "tools/robot/rate_limiter.h"

#include <algorithm>

namespace robot {

long RateLimiter::admit(const std::string& address) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    auto& recent = recent_[address];
    while (!recent.empty() && now - recent.front() >= std::chrono::minutes(1)) recent.pop_front();
    if (recent.size() >= perMinute_) {
        const auto wait = std::chrono::ceil<std::chrono::seconds>(recent.front() + std::chrono::minutes(1) - now);
        return std::max<long>(1, static_cast<long>(wait.count()));
    }
    recent.push_back(now);
    // Addresses that went quiet are forgotten, so the map stays as small as the last minute.
    if (recent_.size() > 10000)
        std::erase_if(recent_, [&](const auto& e) {
            return e.second.empty() || now - e.second.back() >= std::chrono::minutes(1);
        });
    return 0;
}

}  // namespace robot
