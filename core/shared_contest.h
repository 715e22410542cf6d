#pragma once
// What the host's thread and the window thread share: the contest state behind one lock, the
// "Using master" option and the services the operator windows use.

#include <atomic>
#include <mutex>
#include <utility>

#include "core/contest.h"
#include "core/services.h"

namespace stats {

/// The contest state as the window thread sees it: read or updated only under the lock.
class SharedContest {
public:
    SharedContest(Settings& settings, MessageBoxService& messages) noexcept
        : settings_(settings), messages_(messages) {}
    SharedContest(const SharedContest&) = delete;
    SharedContest& operator=(const SharedContest&) = delete;

    /// Runs `read(const ContestState&)` under the lock.
    template <typename F>
    auto withState(F&& read) const {
        std::lock_guard lock(mutex_);
        return read(std::as_const(state_));
    }
    /// Runs `update(ContestState&)` under the lock.
    template <typename F>
    auto updateState(F&& update) {
        std::lock_guard lock(mutex_);
        return update(state_);
    }

    /// The "Using master" option, written by the panel, read by the call check.
    void setMasterOption(bool on) noexcept { masterOption_.store(on ? 1 : 0); }
    bool masterOption() const noexcept { return masterOption_.load() != 0; }

    Settings& settings() const noexcept { return settings_; }
    MessageBoxService& messages() const noexcept { return messages_; }

protected:
    ~SharedContest() = default;

    Settings& settings_;
    MessageBoxService& messages_;
    mutable std::mutex mutex_;
    ContestState state_;

private:
    std::atomic<int> masterOption_{0};
};

}  // namespace stats
