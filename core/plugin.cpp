#include "core/plugin.h"

#include "core/rules.h"
#include "reports/cabrillo_writer.h"
#include "reports/summary.h"

namespace stats {

Plugin::Plugin(PluginServices services) : services_(std::move(services)) {}

int Plugin::addData(const QsoParams&) { return 0; }

int Plugin::removeData(const QsoParams&) { return 0; }

int Plugin::resetStats(const ResetParams&) { return 1; }

int Plugin::checkCall(const CallCheckParams&) { return 1; }

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
    services_.messages.show(nullptr, "No additional setup for this contest", MessageIcon::kNone);
}

}  // namespace stats
