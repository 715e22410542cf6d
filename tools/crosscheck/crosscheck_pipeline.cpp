#include "tools/crosscheck/crosscheck_pipeline.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "tools/crosscheck/contest_scoring.h"
#include "tools/crosscheck/evidence.h"
#include "tools/crosscheck/exchange.h"
#include "tools/crosscheck/log_scoring.h"
#include "tools/crosscheck/qso_rows.h"
#include "tools/crosscheck/scoring.h"
#include "tools/crosscheck/submission.h"
#include "tools/host/log_source.h"
#include "tools/host/plugin_library.h"
#include "tools/host/scratch_folder.h"
#include "tools/host/startup.h"
#include "tools/logs/cty.h"
#include "tools/report/html_page.h"

namespace fs = std::filesystem;

namespace crosscheck {

namespace {

constexpr const char* kStandardInputFile = "standard-input.log";

// One run of the pipeline: the request, what each stage left for the next, and the result.
class Pipeline {
  public:
    explicit Pipeline(const CrossCheckRequest& request)
        : request_(request),
          workers_(workerCount(request.jobs)),
          contest_(request.contest),
          scoring_(makeLogScoring(contest_)) {}
    CrossCheckRun run();

  private:
    bool prepare();
    bool loadPipedCountries();
    bool makeFolders();
    void read();
    void keepUsable();
    void match();
    bool score();
    ScoringRun scoringRun();
    void nameReports();
    void makeReports();
    void finishReports(const EvidenceWriter* writer, std::vector<std::vector<CopiedLine>>& copied);
    void writeQsoCsv(const EvidenceWriter& writer);
    void makeOutputs();
    void writeOutputs();
    void writeOutput(const std::string& name, const std::string& text);

    bool stop(std::string failure);
    void note(std::string line);
    void progress(Stage stage, std::size_t done, std::size_t total);
    fs::path fromBase(const fs::path& path) const { return path.empty() || path.is_absolute() ? path : base_ / path; }
    std::string period() const { return contest::RunPeriod(&contest_, request_.start, request_.end).text(); }
    ReportSettings reportSettings() const {
        return {request_.windowSeconds, request_.removeUniques, request_.penalty, period(),
                contest_.names.front()};
    }

    // What a used log's result says whichever way it is scored: the station, its file and clock.
    void describe(std::size_t k, LogResult& r) const;

    const CrossCheckRequest& request_;
    const unsigned workers_;
    const contest::ContestDefinition& contest_;
    const std::unique_ptr<LogScoring> scoring_;
    CrossCheckRun out_;
    std::mutex noteLock_;
    fs::path base_, outDir_, workDir_;
    host::ScratchFolder scratch_;
    host::Startup startup_;
    logs::CountryFile pipedCountries_;
    const logs::CountryFile* countryFile_ = nullptr;
    const host::PluginExports* plugin_ = nullptr;
    std::vector<Submission> submissions_;
    std::vector<std::size_t> used_;  // the usable submissions, in input order
    std::vector<StationLog> logs_;   // per used submission
    CheckResult check_;
    std::vector<LogResult> results_;            // per used submission
    std::atomic<bool> incomplete_ = false;      // an output could not be written
};

void Pipeline::describe(std::size_t k, LogResult& r) const {
    const Submission& s = submissions_[used_[k]];
    r.call = s.call;
    r.file = s.source.shown;
    r.categories = s.categories;
    r.placement = contest_.place([&](std::string_view tag) { return headerCategory(s.loaded, tag); });
    r.warnings = s.warnings;
    r.clockOffsetMinutes = roundedMinutes(check_.clockOffsets[k]);
    r.offsetMatches = check_.offsetMatches[k];
}

CrossCheckRun Pipeline::run() {
    if (!prepare()) return std::move(out_);
    read();
    match();
    if (!score()) return std::move(out_);
    nameReports();
    makeReports();
    makeOutputs();
    writeOutputs();
    return std::move(out_);
}

bool Pipeline::stop(std::string failure) {
    out_.failure = std::move(failure);
    return false;
}

void Pipeline::note(std::string line) {
    const std::lock_guard lock(noteLock_);
    if (request_.onNote) request_.onNote(line);
    out_.notes.push_back(std::move(line));
}

void Pipeline::progress(Stage stage, std::size_t done, std::size_t total) {
    if (!request_.onProgress) return;
    const std::lock_guard lock(noteLock_);
    request_.onProgress({stage, done, total});
}

bool Pipeline::prepare() {
    std::error_code ec;
    base_ = request_.baseFolder.empty() ? fs::current_path(ec) : fs::absolute(request_.baseFolder, ec);
    if (ec) return stop("cannot determine the current folder: " + ec.message());
    // The country file and the plug-in through the tools' start-up; a country file from standard
    // input, which it does not read, here.
    const fs::path& cty = request_.countryFile;
    const bool own = !request_.countries && !cty.empty() && cty != "-";
    if (own && fs::is_directory(fromBase(cty), ec)) return stop("cannot read the country file " + cty.string());
    const host::StartupOptions options{"stats-crosscheck", nullptr,
                                       own ? fromBase(cty).string() : std::string(host::kNoCountryFile), {},
                                       fromBase(request_.pluginLibrary).string()};
    std::string error;
    if (!startup_.open(options, error)) return stop(error);
    countryFile_ = request_.countries ? request_.countries : startup_.countryFile();
    if (cty == "-" && !request_.countries && !loadPipedCountries()) return false;
    // A contest scored by its definition needs no plug-in.
    if (scoring_->usesPlugin() && !(plugin_ = startup_.plugin(error))) return stop(error);
    return makeFolders();
}

bool Pipeline::loadPipedCountries() {
    std::string error;
    std::istringstream in(host::commandLineLog("-", base_).bytes.value_or(std::string()));
    if (!pipedCountries_.load(in, error)) return stop("country file -: " + error);
    countryFile_ = &pipedCountries_;
    return true;
}

bool Pipeline::makeFolders() {
    std::error_code ec;
    outDir_ = fromBase(request_.outputFolder);
    if (!outDir_.empty()) {
        fs::create_directories(outDir_, ec);
        if (ec) return stop("cannot create the output folder " + outDir_.string() + ": " + ec.message());
    }
    std::string error;
    if (!request_.scratchFolder.empty()) {
        workDir_ = fromBase(request_.scratchFolder);
    } else if (scratch_.create("stats-crosscheck", outDir_.empty() ? fs::temp_directory_path(ec) : outDir_, error)) {
        workDir_ = scratch_.path();
    } else {
        return stop(error);
    }
    fs::create_directories(workDir_ / "Plugins", ec);
    if (ec) return stop("cannot create the folder " + (workDir_ / "Plugins").string() + ": " + ec.message());
    const bool piped = std::find(request_.inputs.begin(), request_.inputs.end(), "-") != request_.inputs.end();
    if (piped) {
        const std::string bytes = host::commandLineLog("-", base_).bytes.value_or(std::string());
        std::ofstream copy(workDir_ / kStandardInputFile, std::ios::binary | std::ios::trunc);
        copy.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!copy.flush()) return stop("cannot write " + (workDir_ / kStandardInputFile).string());
    }
    return true;
}

void Pipeline::read() {
    const std::vector<LogFile> files = logFiles(request_.inputs, base_, workDir_ / kStandardInputFile, out_.unusable);
    for (const UnusableLog& missing : out_.unusable) note(missing.file + ": not used: " + missing.reason);
    const SubmissionRules rules{request_.start,        request_.end, request_.acceptContests,
                                request_.callFromName, &contest_,    scoring_->hostLayout()};
    submissions_.resize(files.size());
    std::size_t done = 0;
    progress(Stage::kReading, 0, files.size());
    forEachIndex(files.size(), workers_, [&](std::size_t i) {
        submissions_[i].source = files[i];
        readSubmission(submissions_[i], countryFile_, rules);
        // Counted and told under one lock, so that the counts arrive in order.
        const std::lock_guard lock(noteLock_);
        ++done;
        if (request_.onProgress) request_.onProgress({Stage::kReading, done, files.size()});
    });
    setAsideSharedCalls(submissions_);
    keepUsable();
}

void Pipeline::keepUsable() {
    for (std::size_t i = 0; i < submissions_.size(); ++i) {
        Submission& s = submissions_[i];
        if (s.problem.empty()) {
            for (const std::string& n : s.notes) note(n);
            for (const std::string& w : s.warnings) note(s.source.shown + ": " + w);
        }
        if (!s.problem.empty()) {
            note(s.source.shown + ": not used: " + s.problem);
            out_.unusable.push_back({s.source.shown, s.problem});
            s.loaded = {};
            continue;
        }
        if (s.loaded.contacts.empty() && s.qsos.empty()) note(s.source.shown + ": " + s.call + " has no QSO");
        used_.push_back(i);
    }
}

void Pipeline::match() {
    progress(Stage::kMatching, 0, 1);
    logs_.resize(used_.size());
    // The readers' contacts are read again for the scoring, one log at a time, so that they and
    // the matching's copies are never all held at once.
    forEachIndex(used_.size(), workers_, [&](std::size_t k) {
        logs_[k] = stationLog(submissions_[used_[k]]);
        submissions_[used_[k]].loaded.contacts = {};
        submissions_[used_[k]].qsos = {};
    });
    CheckOptions options;
    options.contest = &contest_;
    options.dupesByOrder = scoring_->dupesByOrder();
    options.windowSeconds = request_.windowSeconds;
    options.workers = workers_;
    options.start = request_.start;
    options.end = request_.end;
    check_ = crossCheck(logs_, options);
    progress(Stage::kMatching, 1, 1);
}

ScoringRun Pipeline::scoringRun() {
    return ScoringRun{
        request_,
        contest_,
        submissions_,
        used_,
        logs_,
        check_,
        countryFile_,
        plugin_,
        workDir_,
        workers_,
        [this](std::size_t k, LogResult& r) { describe(k, r); },
        [this](std::string line) { note(std::move(line)); },
        [this](Stage stage, std::size_t done, std::size_t total) { progress(stage, done, total); }};
}

bool Pipeline::score() {
    const std::string failure = scoring_->score(scoringRun(), results_);
    return failure.empty() || stop(failure);
}

void Pipeline::nameReports() {
    // Safe names, and distinct even where two calls give the same safe name.
    std::map<std::string, int> taken;
    for (LogResult& r : results_) {
        const std::string base = safeFileName(r.call);
        const int n = taken[base]++;
        r.reportFile = base + (n ? "~" + std::to_string(n + 1) : "") + ".ubn";
    }
}

void Pipeline::makeReports() {
    // Each log's flagged lines and the other logs' lines they rest on, read again.
    const std::size_t n = used_.size();
    progress(Stage::kReporting, 0, n);
    const std::vector<std::vector<std::uint64_t>> wanted = wantedLines(logs_, check_);
    std::vector<LineTexts> lineTexts(n);
    forEachIndex(n, workers_, [&](std::size_t k) {
        const Submission& s = submissions_[used_[k]];
        lineTexts[k] = s.loaded.format == logs::LogFormat::kCabrillo ? cabrilloLineTexts(s.source.path, wanted[k])
                                                                        : adifLineTexts(logs_[k], wanted[k], contest_);
    });
    std::vector<std::vector<CopiedLine>> copied(n);
    out_.logs.resize(n);
    const bool streamed = !request_.keepReports && !outDir_.empty();
    {
        std::set<std::string> notAccepted;
        for (const ReceivedLog& r : request_.notAccepted) notAccepted.insert(upperCase(r.call));
        const EvidenceWriter writer(logs_, check_, lineTexts, period(), contest_, scoring_->reportPoints(),
                                    scoring_->heldBy(), std::move(notAccepted));
        // On the workers; the lines that miscopied a station are sorted into its report, so the
        // order they arrive in does not matter. Written as they are made, the reports are made from
        // the matching's data: what each log miscopied of others first, then report by report.
        std::mutex copiedLock;
        forEachIndex(n, workers_, [&](std::size_t k) {
            if (streamed)
                writer.addCopiedLines(k, copied, &copiedLock);
            else
                out_.logs[k].lines = writer.reportLines(k, &copied, &copiedLock);
        });
        if (streamed) finishReports(&writer, copied);
        if (!request_.qsoCsv.empty()) writeQsoCsv(writer);
    }
    // Kept, the reports rest on their lines alone: the matching's copies and the texts read again
    // go before the reports are made, which would otherwise add to the run's peak memory.
    lineTexts = {};
    scoring_->release();
    logs_ = {};
    check_ = {};
    if (!streamed) finishReports(nullptr, copied);
    std::sort(out_.logs.begin(), out_.logs.end(),
              [](const LogCheck& a, const LogCheck& b) { return a.result.call < b.result.call; });
}

// Each log's report text from its lines and the lines that miscopied it; with `writer`, its lines
// made here, and the report written and let go.
void Pipeline::finishReports(const EvidenceWriter* writer, std::vector<std::vector<CopiedLine>>& copied) {
    const ReportSettings settings = reportSettings();
    const std::size_t n = out_.logs.size();
    std::size_t done = 0;
    forEachIndex(n, workers_, [&](std::size_t k) {
        std::sort(copied[k].begin(), copied[k].end(), [](const CopiedLine& a, const CopiedLine& b) {
            return std::tie(a.call, a.line) < std::tie(b.call, b.line);
        });
        LogCheck& log = out_.logs[k];
        if (writer) log.lines = writer->reportLines(k, nullptr);
        log.copied = std::move(copied[k]);
        log.reportText = reportText(results_[k], log.lines, log.copied, settings);
        log.result = std::move(results_[k]);
        if (writer) {
            writeOutput(log.result.reportFile, log.reportText);
            log = LogCheck{std::move(log.result), {}, {}, {}};
        }
        const std::lock_guard lock(noteLock_);
        ++done;
        if (request_.onProgress) request_.onProgress({Stage::kReporting, done, n});
    });
}

// Every QSO line with its verdict and points. Written beside and renamed, so that a reader never
// sees half a file.
void Pipeline::writeQsoCsv(const EvidenceWriter& writer) {
    const std::vector<std::vector<int>>& points = scoring_->tablePoints(scoringRun());
    const fs::path file = fromBase(request_.qsoCsv);
    fs::path part = file;
    part += ".part";
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    writeQsoRows(out, logs_, check_, writer, points);
    std::error_code ec;
    if (out.flush() && (out.close(), !out.fail())) fs::rename(part, file, ec);
    if (!out || ec) {
        fs::remove(part, ec);
        note("cannot write " + file.string());
        stop("the QSO table " + file.string() + " is not written");
    }
}

void Pipeline::makeOutputs() {
    std::vector<LogResult> results;
    results.reserve(out_.logs.size());
    for (const LogCheck& log : out_.logs) {
        results.push_back(log.result);
        for (std::size_t v = 0; v < out_.totals.size(); ++v) {
            out_.totals[v] += log.result.counts[v];
            out_.qsoCount += log.result.counts[v];
        }
    }
    out_.resultsCsv = csvText(results, scoring_->pointsInResults());
    out_.resultsHtml = htmlText(
        results, ResultsPage{out_.unusable, request_.notAccepted, request_.linkReports}, reportSettings());
    if (request_.unlinkedPage)
        out_.resultsHtmlUnlinked =
            htmlText(results, ResultsPage{out_.unusable, request_.notAccepted, false}, reportSettings());
}

void Pipeline::writeOutput(const std::string& name, const std::string& text) {
    std::string error;
    if (report::html::writeFileAtomically((outDir_ / name).string(), text, error)) return;
    note(error);
    incomplete_ = true;
}

void Pipeline::writeOutputs() {
    if (outDir_.empty()) return;
    progress(Stage::kWriting, 0, 1);
    // The reports in the order the logs came, as they always were written (unless already written).
    if (request_.keepReports)
        for (const LogCheck& log : out_.logs) writeOutput(log.result.reportFile, log.reportText);
    writeOutput("results.csv", out_.resultsCsv);
    writeOutput("results.html", out_.resultsHtml);
    if (incomplete_) stop("the results in " + outDir_.string() + " are incomplete");
    progress(Stage::kWriting, 1, 1);
}

}  // namespace

unsigned workerCount(unsigned jobs) noexcept {
    return jobs ? jobs : std::max(1u, std::thread::hardware_concurrency());
}

CrossCheckRun checkLogFiles(const CrossCheckRequest& request) {
    try {
        return Pipeline(request).run();
    } catch (const std::exception& e) {
        CrossCheckRun failed;
        failed.failure = e.what();
        return failed;
    }
}

}  // namespace crosscheck
