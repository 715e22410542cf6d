#pragma once
// How the logs of a cross-checked contest are scored once they are matched, behind one interface with
// two kinds: through the plug-in (its own contest, each log replayed in turn) and by the contest's
// definition (from the verdicts, on the workers). The pipeline asks the kind what differs and never
// branches on which it is; makeLogScoring is the one place that chooses.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/contest_scoring.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/crosscheck_output.h"
#include "tools/crosscheck/crosscheck_pipeline.h"
#include "tools/crosscheck/submission.h"

namespace host {
struct PluginExports;
}
namespace logs {
class CountryFile;
}

namespace crosscheck {

/// What scoring reads of a run: the used logs as read and as matched, and the pipeline's services.
struct ScoringRun {
    const CrossCheckRequest& request;
    const contest::ContestDefinition& contest;
    const std::vector<Submission>& submissions;
    const std::vector<std::size_t>& used;  ///< the usable submissions, in input order
    const std::vector<StationLog>& logs;   ///< per used submission
    const CheckResult& check;
    const logs::CountryFile* countries;
    const host::PluginExports* plugin;  ///< loaded when usesPlugin()
    std::filesystem::path workFolder;   ///< the plug-in's scratch folder
    unsigned workers;
    std::function<void(std::size_t, LogResult&)> describe;  ///< a used log's station, file and clock
    std::function<void(std::string)> note;
    std::function<void(Stage, std::size_t, std::size_t)> progress;  ///< may be called from the workers
};

/// The scoring of one run's logs.
class LogScoring {
  public:
    virtual ~LogScoring() = default;

    /// The plug-in is loaded before the run starts.
    virtual bool usesPlugin() const noexcept = 0;
    /// The logs are read as the plug-in's host reads them, not by the definition's QSO-line layout.
    virtual bool hostLayout() const noexcept = 0;
    /// Dupes are judged in log order, as the plug-in does, not in time order.
    virtual bool dupesByOrder() const noexcept = 0;
    /// results.csv carries the claimed and checked points.
    virtual bool pointsInResults() const noexcept = 0;

    /// Scores every used log into `results` (one per used log); "" or what stops the run.
    virtual std::string score(const ScoringRun& run, std::vector<LogResult>& results) = 0;
    /// Each used log's points per QSO for the reports, or null where they show none.
    virtual const std::vector<std::vector<int>>* reportPoints() const noexcept = 0;
    /// The calls' counts of logs that hold them, for the reports; null where none were counted.
    virtual const CallCounts* heldBy() const noexcept = 0;
    /// Each used log's points per QSO for the QSO table, as the contest's record gives them.
    virtual const std::vector<std::vector<int>>& tablePoints(const ScoringRun& run) = 0;
    /// Lets go of what the reports no longer need.
    virtual void release() noexcept = 0;
};

/// The scoring of `contest`'s logs: through the plug-in for its own contest, else by the definition
/// (contest::scoringKindOf). `contest` must outlive the object.
std::unique_ptr<LogScoring> makeLogScoring(const contest::ContestDefinition& contest);

}  // namespace crosscheck
