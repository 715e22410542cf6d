#include "plugin/plugin.h"

#include "cabrillo/cabrillo_header.h"
#include "cabrillo/cabrillo_writer.h"
#include "cabrillo/summary.h"
#include "core/call_check.h"
#include "core/error_log.h"
#include "core/recorder.h"
#include "core/reset.h"
#include "core/rules.h"

namespace stats {

Plugin::Plugin(PluginServices services)
    : SharedContest(services.settings, services.messages), services_(std::move(services)) {}

int Plugin::addData(const QsoParams& params) {
    std::string errorLines;
    int result = 0;
    {
        std::lock_guard lock(mutex_);
        result = recordQso(state_, params, errorLines);
    }
    // Only the host's thread writes the error log, so the file is written outside the lock.
    if (!errorLines.empty()) ErrorLog(errorLogPath()).append(errorLines);
    return result;
}

int Plugin::removeData(const QsoParams& params) {
    std::lock_guard lock(mutex_);
    return removeQso(state_, params);
}

int Plugin::resetStats(const ResetParams& params) {
    {
        std::lock_guard lock(mutex_);
        resetContestState(state_, params);
    }
    ErrorLog(errorLogPath()).startFresh();

    // The header step shows a modal dialog and the window thread may need the lock meanwhile:
    // neither it nor the thread start runs under the lock.
    if (params.exportRequest != 0) {
        runCabrilloHeaderStep(params);
        services_.settings.write(kStartKey, "1");
    }
    applyStartToggle(services_.settings, services_.windows);
    return 1;
}

int Plugin::checkCall(const CallCheckParams& params) {
    // Re-arming is a non-blocking request to the window thread; the refresh then runs 300 ms
    // after the last keystroke.
    if (services_.windows.panelExists()) services_.windows.armRefreshTimer();
    std::lock_guard lock(mutex_);
    return stats::checkCall(state_, params, masterOption());
}

bool Plugin::runCabrilloHeaderStep(const ResetParams& params) {
    // Runs without the lock: the dialog is modal, and the window thread may need the state meanwhile.
    const bool confirmed = loadCabrilloHeader(cabrillo_, std::string(params.ownCall), params.periodStart,
                                              params.periodEnd, services_.settings, services_.headerDialog,
                                              services_.windows) != 0;
    if (!confirmed) {
        std::lock_guard lock(mutex_);
        state_.exportRequested = 0;
    }
    return confirmed;
}

const char* Plugin::getResult(int* status) {
    std::int32_t exportRequested = 0;
    ScoreSummary summary;
    {
        // The window thread reads the prefix list under this lock: it sees the old list or the
        // new one, never one half built.
        std::lock_guard lock(mutex_);
        summary = buildScoreSummary(state_.bandList, state_.qsoStore, state_.periodStartText, state_.periodEndText,
                                    state_.contestant);
        state_.workedSaPrefixes.swap(summary.workedSaPrefixes);
        exportRequested = state_.exportRequested;
    }
    summaryText_ = std::move(summary.text);
    claimedScore_ = summary.score;
    services_.settings.write("Claimed", std::to_string(summary.score));
    if (exportRequested != 0) {
        // Only this thread writes the store, so reading it here needs no lock; holding the lock
        // through the modal "Output" box would stall the panel's refresh until it closes.
        exportCabrilloLog(cabrillo_, state_.qsoStore, claimedScore_, services_.hostFiles, services_.messages,
                          services_.workDir);
    }
    if (status) *status = -1;
    return summaryText_.c_str();
}

void Plugin::setupSet() {
    services_.messages.showUnowned(nullptr, "No additional setup for this contest", MessageIcon::kNone);
}

}  // namespace stats
