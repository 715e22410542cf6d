#pragma once
// How many uploads one address may send in a minute.

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace robot {

/// Counts each address's uploads over the last minute; safe to call from several threads.
class RateLimiter {
  public:
    explicit RateLimiter(unsigned perMinute) : perMinute_(perMinute) {}

    /// 0 when `address` may send one more upload now (which is then counted), else the seconds to wait.
    long admit(const std::string& address);

    unsigned perMinute() const noexcept { return perMinute_; }

  private:
    unsigned perMinute_;
    std::mutex mutex_;
    std::map<std::string, std::deque<std::chrono::steady_clock::time_point>> recent_;
};

}  // namespace robot
