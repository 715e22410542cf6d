#include "tools/crosscheck/log_scoring.h"

#include <algorithm>
#include <fstream>
#include <future>
#include <mutex>
#include <system_error>

#include "tools/contest/contest_choice.h"
#include "tools/crosscheck/scoring.h"
#include "tools/logs/log_input.h"

namespace fs = std::filesystem;

namespace crosscheck {

namespace {

// The process's current folder for as long as the object lives.
class CurrentFolder {
  public:
    CurrentFolder() = default;
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;
    bool enter(const fs::path& folder, std::error_code& ec) {
        back_ = fs::current_path(ec);
        if (!ec) fs::current_path(folder, ec);
        entered_ = !ec;
        return entered_;
    }
    ~CurrentFolder() {
        std::error_code ignored;
        if (entered_) fs::current_path(back_, ignored);
    }

  private:
    fs::path back_;
    bool entered_ = false;
};

// The points of every QSO as the contest's record gives them, from the verdicts.
std::vector<std::vector<int>> definitionPoints(const ScoringRun& run) {
    const DefinitionScorer scorer(run.contest, run.logs, run.check, run.countries, run.request.removeUniques);
    std::vector<std::vector<int>> points(run.logs.size());
    for (std::size_t k = 0; k < run.logs.size(); ++k) points[k] = scorer.score(k).points;
    return points;
}

// The plug-in's own contest: each log replayed through its exports, as claimed and as checked.
class PluginScoring final : public LogScoring {
  public:
    bool usesPlugin() const noexcept override { return true; }
    bool hostLayout() const noexcept override { return true; }
    bool dupesByOrder() const noexcept override { return true; }
    bool pointsInResults() const noexcept override { return false; }
    std::string score(const ScoringRun& run, std::vector<LogResult>& results) override;
    const std::vector<std::vector<int>>* reportPoints() const noexcept override { return nullptr; }
    const CallCounts* heldBy() const noexcept override { return nullptr; }
    // SA-TOLVEN's points per QSO as its record gives them; its score is the plug-in's.
    const std::vector<std::vector<int>>& tablePoints(const ScoringRun& run) override {
        table_ = definitionPoints(run);
        return table_;
    }
    void release() noexcept override { table_ = {}; }

  private:
    std::vector<std::vector<int>> table_;
};

std::string PluginScoring::score(const ScoringRun& run, std::vector<LogResult>& results) {
    // One plug-in in this process, so one log after the other, each in its own reset, in the
    // scratch folder where the plug-in keeps err.txt and its settings; the next log is read
    // meanwhile.
    CurrentFolder inScratch;
    std::error_code ec;
    if (!inScratch.enter(run.workFolder, ec))
        return "cannot change to the folder " + run.workFolder.string() + ": " + ec.message();
    const ScoringRules rules{run.request.start, run.request.end, run.request.penalty,
                             run.request.removeUniques};
    auto reread = [&](std::size_t k) {
        logs::LoadedLog again;
        std::ifstream in(run.submissions[run.used[k]].source.path, std::ios::binary);
        logs::readLog(in, run.submissions[run.used[k]].source.shown, run.countries, again,
                      [](const std::string&) {});
        return std::move(again.contacts);
    };
    const std::size_t n = run.used.size();
    results.resize(n);
    std::future<logs::ReplayLog> next;
    if (n) next = std::async(std::launch::async, reread, 0);
    for (std::size_t k = 0; k < n; ++k) {
        run.progress(Stage::kScoring, k, n);
        const Submission& s = run.submissions[run.used[k]];
        const logs::ReplayLog contacts = next.get();
        if (k + 1 < n) next = std::async(std::launch::async, reread, k + 1);
        run.describe(k, results[k]);
        // The verdicts are of the QSOs first read: a file that changed since is not scored with them.
        if (!sameContacts(run.logs[k], contacts))
            run.note(s.source.shown + ": the file changed while it was checked; it is not scored");
        else if (!scoreLog(*run.plugin, contacts, s, run.check.checks[k], rules, run.countries, results[k]))
            run.note(s.source.shown + ": the plug-in's summary has no score line");
    }
    run.progress(Stage::kScoring, n, n);
    return {};
}

// Any other contest: every log scored by its definition from the verdicts; no plug-in, no file read
// again.
class DefinitionScoring final : public LogScoring {
  public:
    explicit DefinitionScoring(const contest::ContestDefinition& contest) : contest_(contest) {}
    bool usesPlugin() const noexcept override { return false; }
    bool hostLayout() const noexcept override { return false; }
    bool dupesByOrder() const noexcept override { return false; }
    bool pointsInResults() const noexcept override { return true; }
    std::string score(const ScoringRun& run, std::vector<LogResult>& results) override;
    const std::vector<std::vector<int>>* reportPoints() const noexcept override { return &points_; }
    const CallCounts* heldBy() const noexcept override { return scorer_ ? &scorer_->heldBy() : nullptr; }
    const std::vector<std::vector<int>>& tablePoints(const ScoringRun&) override { return points_; }
    void release() noexcept override { scorer_.reset(); }

  private:
    const contest::ContestDefinition& contest_;
    std::vector<std::vector<int>> points_;      // per used log and QSO
    std::unique_ptr<DefinitionScorer> scorer_;  // kept for the reports' counts of logs
};

std::string DefinitionScoring::score(const ScoringRun& run, std::vector<LogResult>& results) {
    const auto& rules = contest_.scoring.points;
    if (!run.countries && std::any_of(rules.begin(), rules.end(), [](const contest::PointsRule& r) {
            return r.between != contest::Relation::kAny || !r.ownContinent.empty();
        }))
        run.note(
            "no country file (--cty FILE): where the stations worked are is unknown, so only the points "
            "rules for any station apply");
    scorer_ = std::make_unique<DefinitionScorer>(contest_, run.logs, run.check, run.countries,
                                                 run.request.removeUniques);
    const DefinitionScorer& scorer = *scorer_;
    const std::size_t n = run.used.size();
    results.resize(n);
    points_.resize(n);
    std::mutex doneLock;
    std::size_t done = 0;
    run.progress(Stage::kScoring, 0, n);
    forEachIndex(n, run.workers, [&](std::size_t k) {
        LogResult& r = results[k];
        run.describe(k, r);
        r.skippedLines = run.submissions[run.used[k]].loaded.skipped;
        r.qsoLines = run.logs[k].qsos.size();
        tally(run.check.checks[k], run.request.removeUniques, r);
        DefinitionScore score = scorer.score(k);
        r.byDefinition = true;
        r.claimed = score.claimed;
        r.checked = score.checked;
        r.claimedPoints = score.claimedPoints;
        r.checkedPoints = score.checkedPoints;
        r.lostPoints = score.lostPoints;
        r.penaltyQsos = score.penaltyQsos;
        r.finalScore = score.checked.score;
        points_[k] = std::move(score.points);
        // Counted and told under one lock, so that the counts arrive in order.
        const std::lock_guard lock(doneLock);
        run.progress(Stage::kScoring, ++done, n);
    });
    return {};
}

}  // namespace

std::unique_ptr<LogScoring> makeLogScoring(const contest::ContestDefinition& contest) {
    if (contest::scoringKindOf(contest) == contest::ScoringKind::kPlugin)
        return std::make_unique<PluginScoring>();
    return std::make_unique<DefinitionScoring>(contest);
}

}  // namespace crosscheck
