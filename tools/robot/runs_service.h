#pragma once
// The runs service: the committee's cross-check runs, one at a time, each in a thread of its own
// that waits for its worker process; their state, outputs and publication.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/robot/robot_config.h"
#include "tools/robot/route_table.h"
#include "tools/robot/store.h"

namespace robot {

/// Starts, follows and publishes cross-check runs; safe to use from several threads.
class RunsService {
  public:
    RunsService(const RobotConfig& config, Store& store);
    ~RunsService();
    RunsService(const RunsService&) = delete;
    RunsService& operator=(const RunsService&) = delete;

    /// Starts a run in a thread of its own: its id; 0 when one is running, -1 when the store could
    /// not record it.
    std::int64_t start();
    /// Waits for the runs' threads.
    void stop();

    /// POST /committee/crosscheck and /api/crosscheck.
    void startFromPage(Exchange& exchange);
    void startFromApi(Exchange& exchange);
    /// POST /committee/publish/N and /api/crosscheck/N/publish.
    void publishFromPage(Exchange& exchange);
    void publishFromApi(Exchange& exchange);
    /// GET /api/crosscheck/N[/OUTPUT]: a run's state, or one of its outputs.
    void output(Exchange& exchange);
    /// GET /results: the published run's results page.
    void results(Exchange& exchange);

    /// The calls with a station report in the newest run, when it is done.
    std::vector<std::string> newestRunCalls(const std::vector<RunRecord>& newestFirst) const;

  private:
    const RobotConfig& config_;
    Store& store_;
    std::mutex mutex_;  // guards the members below
    std::vector<std::thread> runs_;
    bool active_ = false;
};

}  // namespace robot
