#pragma once
// The runs service: the committee's cross-check runs, one at a time, each in a thread of its own
// that waits for its worker process; their outputs (kept in the store once a run is done), the one
// public run and its pages.

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tools/robot/pages.h"
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

    /// Takes into the store the files of the finished runs that an older robot left only in their
    /// folders; once the store is open.
    void takeInOldRuns();
    /// Starts a run in a thread of its own: its id; 0 when one is running, -1 when the store could
    /// not record it.
    std::int64_t start();
    /// Waits for the runs' threads.
    void stop();

    /// POST /committee/crosscheck and /api/crosscheck.
    void startFromPage(Exchange& exchange);
    void startFromApi(Exchange& exchange);
    /// POST /committee/publish/N and /api/crosscheck/N/publish (field `reports`: the station reports
    /// go public too); POST /committee/unpublish/N and /api/crosscheck/N/unpublish.
    void publishFromPage(Exchange& exchange);
    void publishFromApi(Exchange& exchange);
    void unpublishFromPage(Exchange& exchange);
    void unpublishFromApi(Exchange& exchange);
    /// GET /api/crosscheck/N[/OUTPUT]: a run's state, or one of its outputs.
    void output(Exchange& exchange);
    /// GET /results (to /results/), /results/ and /results/NAME: the public run's results page and,
    /// when they are public, its station reports.
    void results(Exchange& exchange);

    /// A page of the runs, newest first, the public one marked.
    Page<RunRecord> runsPage(std::int64_t offset, std::int64_t limit);
    /// The calls with a station report in the newest run, when it is done.
    std::vector<std::string> newestRunCalls(const std::vector<RunRecord>& newestFirst);
    /// The station report of `upload`'s call in the public run, when there is one.
    std::optional<PublishedReport> publishedReport(const UploadRecord& upload);

  private:
    /// What the committee chose to publish: the run, and whether its reports go with it.
    struct Publication {
        std::optional<std::int64_t> run;
        bool reports = false;
    };
    Publication publication();
    RunRecord marked(RunRecord run, const Publication& publication);
    /// Makes run `id` the public one; an empty text, or why it cannot be (answered with 409).
    std::string publish(std::int64_t id, bool reports);
    std::string unpublish(std::int64_t id);

    const RobotConfig& config_;
    Store& store_;
    std::mutex mutex_;  // guards the members below
    std::vector<std::thread> runs_;
    bool active_ = false;
    std::mutex publishing_;  // one change of the publication at a time
};

}  // namespace robot
