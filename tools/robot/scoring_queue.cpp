#include "tools/robot/scoring_queue.h"

namespace robot {

ScoringQueue::ScoringQueue(unsigned threads, std::size_t maxWaiting, Score score)
    : score_(std::move(score)), maxWaiting_(maxWaiting) {
    for (unsigned i = 0; i < std::max(1u, threads); ++i) threads_.emplace_back([this] { work(); });
}

ScoringQueue::~ScoringQueue() {
    stop();
}

void ScoringQueue::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    scored_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}

std::optional<UploadOutcome> ScoringQueue::submit(std::int64_t id, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    queue_.push_back(id);
    queued_.notify_one();
    // Rounds of jobs until this one is done: none is worth waiting for when it ends after `wait`.
    const auto rounds = static_cast<double>((queue_.size() + threads_.size() - 1) / threads_.size());
    if (wait.count() <= 0 || awaited_.size() >= maxWaiting_ || rounds * averageJob_ > wait) return std::nullopt;
    auto& outcome = awaited_[id];
    scored_.wait_for(lock, wait, [&] { return outcome.has_value() || stopping_; });
    std::optional<UploadOutcome> result = std::move(outcome);
    awaited_.erase(id);
    return result;
}

void ScoringQueue::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        const std::int64_t id = queue_.front();
        queue_.pop_front();
        lock.unlock();
        UploadOutcome outcome;
        const auto started = std::chrono::steady_clock::now();
        try {
            outcome = score_(id);
        } catch (const std::exception& e) {
            // Not out of the thread, which would end the server: the upload stays unscored.
            outcome.state = "failed";
            outcome.findings.push_back({0, true, std::string("the log could not be scored: ") + e.what()});
        }
        lock.lock();
        averageJob_ += (std::chrono::steady_clock::now() - started - averageJob_) / 5;
        if (const auto it = awaited_.find(id); it != awaited_.end()) {
            it->second = std::move(outcome);
            scored_.notify_all();
        }
    }
}

}  // namespace robot
