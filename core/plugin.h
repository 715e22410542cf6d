#pragma once
// The plug-in object: everything the ten exports share.

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>

#include "core/contest.h"
#include "core/services.h"
#include "reports/cabrillo_log.h"

namespace stats {

/// The services a plug-in object is built on.
struct PluginServices {
    Settings& settings;
    MessageBoxService& messages;
    WindowThread& windows;
    HeaderDialog& headerDialog;
    HostFiles& hostFiles;
    /// Where "err.txt" and the Cabrillo file go; empty for the current directory.
    std::filesystem::path workDir;
};

/// The plug-in: the contest state, the Cabrillo log and the last summary, behind one lock.
/// The exports call it on the host's thread; the window thread reads through withState().
class Plugin {
public:
    explicit Plugin(PluginServices services);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    int addData(const QsoParams& params);
    int removeData(const QsoParams& params);
    int resetStats(const ResetParams& params);
    int checkCall(const CallCheckParams& params);
    /// The summary text, valid until the next call; stores -1 through a non-null `status`.
    const char* getResult(int* status);
    void setupSet();

    /// Runs `read(const ContestState&)` under the lock, for the window thread.
    template <typename F>
    auto withState(F&& read) const {
        std::lock_guard lock(mutex_);
        return read(std::as_const(state_));
    }
    /// Runs `update(ContestState&)` under the lock, for the window thread.
    template <typename F>
    auto updateState(F&& update) {
        std::lock_guard lock(mutex_);
        return update(state_);
    }

    /// The "Using master" option, written by the panel, read by the call check.
    void setMasterOption(bool on) noexcept { masterOption_.store(on ? 1 : 0); }
    bool masterOption() const noexcept { return masterOption_.load() != 0; }

    const PluginServices& services() const noexcept { return services_; }
    /// For tests on the host's thread.
    const ContestState& state() const noexcept { return state_; }
    const CabrilloLog& cabrilloLog() const noexcept { return cabrillo_; }
    std::int32_t claimedScore() const noexcept { return claimedScore_; }
    std::filesystem::path errorLogPath() const { return services_.workDir / "err.txt"; }

private:
    /// The Cabrillo header dialog of an export-mode reset; on cancel it sets exportRequested to 0.
    bool runCabrilloHeaderStep(const ResetParams& params);

    PluginServices services_;
    mutable std::mutex mutex_;
    ContestState state_;
    CabrilloLog cabrillo_;
    std::int32_t claimedScore_ = 0;
    std::string summaryText_;
    std::atomic<int> masterOption_{0};
};

}  // namespace stats
