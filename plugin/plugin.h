#pragma once
// The plug-in object: everything the ten exports share.

#include <filesystem>
#include <string>

#include "cabrillo/cabrillo_log.h"
#include "core/contest.h"
#include "core/services.h"
#include "core/shared_contest.h"

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
/// The exports call it on the host's thread; the window thread sees only its SharedContest.
class Plugin : public SharedContest {
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
    CabrilloLog cabrillo_;
    std::int32_t claimedScore_ = 0;
    std::string summaryText_;
};

}  // namespace stats
