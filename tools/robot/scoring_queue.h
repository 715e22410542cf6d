#pragma once
// The uploads waiting for their scoring, taken in turn by threads of the queue's own: an upload
// waits here, not in the server's thread that received it, which may wait for the outcome a while
// or answer at once.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tools/robot/store.h"

namespace robot {

/// Scores queued uploads, oldest first, `threads` at a time; safe to use from several threads.
class ScoringQueue {
  public:
    /// Scores upload `id` and stores its outcome; the outcome, for those who wait for it.
    using Score = std::function<UploadOutcome(std::int64_t id)>;

    /// `maxWaiting`: how many callers of submit() may wait for their outcome at once.
    ScoringQueue(unsigned threads, std::size_t maxWaiting, Score score);
    ~ScoringQueue();
    ScoringQueue(const ScoringQueue&) = delete;
    ScoringQueue& operator=(const ScoringQueue&) = delete;

    /// Queues upload `id`, then waits up to `wait` for its outcome when fewer than maxWaiting callers
    /// already wait and the uploads queued before it will likely be scored by then (at the average
    /// time of the last jobs); none when it is not scored by then.
    std::optional<UploadOutcome> submit(std::int64_t id, std::chrono::milliseconds wait);

    /// The threads end after the uploads they score; those still queued stay unscored in the store,
    /// and a waiting caller stops waiting.
    void stop();

  private:
    void work();

    Score score_;
    std::size_t maxWaiting_;
    std::mutex mutex_;  // guards the members below
    std::condition_variable queued_, scored_;
    std::deque<std::int64_t> queue_;
    std::map<std::int64_t, std::optional<UploadOutcome>> awaited_;  // by id: its outcome once scored
    std::chrono::duration<double> averageJob_{0};  // a moving average of the jobs' times
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace robot
