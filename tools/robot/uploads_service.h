#pragma once
// The uploads service: an upload read as it arrives, checked against the deadline and the rate
// limit, stored, scored in a worker process, and answered with its receipt.

#include <cstdint>
#include <string>

#include "tools/robot/pages.h"
#include "tools/robot/rate_limiter.h"
#include "tools/robot/robot_config.h"
#include "tools/robot/route_table.h"
#include "tools/robot/store.h"
#include "tools/robot/worker_pool.h"

namespace robot {

/// Takes the contesters' logs; safe to use from several threads.
class UploadsService {
  public:
    UploadsService(const RobotConfig& config, Store& store);

    /// POST /upload (`page`: answered with the receipt page) and POST /api/logs (with its JSON).
    void receive(Exchange& exchange, bool page);

  private:
    /// The answer to the body: false when it was answered already (too large, not whole, late,
    /// too many).
    bool admitted(Exchange& exchange, bool late);
    Receipt scoreStored(std::int64_t id, const std::string& bytes, const std::string& confirmation,
                        const std::string& reportKey, const std::string& received, bool late);

    const RobotConfig& config_;
    Store& store_;
    WorkerPool pool_;
    RateLimiter limiter_;
};

}  // namespace robot
