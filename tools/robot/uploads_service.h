#pragma once
// The uploads service: an upload read as it arrives, checked against the deadline and the rate
// limit, stored, queued for its scoring in a worker process, and answered with its receipt, at once
// when its scoring is quick, else with the receipt's address, where the outcome shows when done.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "tools/robot/pages.h"
#include "tools/robot/rate_limiter.h"
#include "tools/robot/robot_config.h"
#include "tools/robot/route_table.h"
#include "tools/robot/scoring_queue.h"
#include "tools/robot/store.h"
#include "tools/robot/worker_pool.h"

namespace robot {

/// Takes the contesters' logs; safe to use from several threads.
class UploadsService {
  public:
    UploadsService(const RobotConfig& config, Store& store);

    /// Queues the uploads a server that stopped left unscored; once the store is open.
    void resume();
    /// Stops the scoring after the uploads being scored; a caller waiting for an outcome stops waiting.
    void stop();

    /// POST /upload (`page`: answered with the receipt page) and POST /api/logs (with its JSON):
    /// 201 accepted, 422 refused, 500 not scored; 202 with the receipt's address (Location) when
    /// the scoring takes longer than the answer may wait, or the request prefers it
    /// ("Prefer: respond-async").
    void receive(Exchange& exchange, bool page);
    /// GET /receipt/KEY (`page`) and /api/receipt/KEY: the upload's receipt by its report key; 202
    /// while it is being checked.
    void receipt(Exchange& exchange, bool page);
    /// Where a receipt finds the station's report of the published results; before the server starts.
    void showResults(std::function<std::optional<PublishedReport>(const UploadRecord&)> results) {
        results_ = std::move(results);
    }

  private:
    /// The answer to the body: false when it was answered already (too large, not whole, late,
    /// too many).
    bool admitted(Exchange& exchange, bool late);
    /// Scores upload `id` in a worker and stores its outcome (the scoring queue's work).
    UploadOutcome scoreQueued(std::int64_t id);

    const RobotConfig& config_;
    Store& store_;
    WorkerPool pool_;
    RateLimiter limiter_;
    std::function<std::optional<PublishedReport>(const UploadRecord&)> results_;
    ScoringQueue queue_;  // last: its threads use the members above
};

}  // namespace robot
