#include "tools/robot/runs_service.h"

#include <httplib.h>

#include <charconv>

#include "tools/crosscheck/crosscheck_output.h"
#include "tools/robot/answers.h"
#include "tools/robot/crosscheck_run.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/private_files.h"
#include "tools/robot/run_pages.h"
#include "tools/robot/scoring.h"
#include "tools/robot/text.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

// The settings that say which run is public, and whether its station reports are.
constexpr const char* kPublishedRun = "published_run";
constexpr const char* kPublishedReports = "published_reports";

// start()'s answer when it started none.
void notStarted(Exchange& x, std::int64_t id) {
    if (id == 0) return answer(x.req, x.res, 409, "Busy", "a cross-check is running: wait for it to end");
    answer(x.req, x.res, 503, "Not started", "the run could not be recorded: please try again");
}

std::optional<std::int64_t> numberIn(const std::string& text) {
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n <= 0) return std::nullopt;
    return n;
}

// A form's or query's yes: a checked box ("on", or its value "1"), "true", "yes".
bool yes(const std::optional<std::string>& value) {
    if (!value) return false;
    const std::string v = upper(*value);
    return v == "1" || v == "ON" || v == "TRUE" || v == "YES";
}

void sendFile(Exchange& x, const std::optional<std::string>& bytes, const char* type) {
    if (!bytes) return answer(x.req, x.res, 404, "Not found", "the run has no such file");
    x.res.set_content(*bytes, type);
}

void sendZip(Exchange& x, const std::string& bytes, const char* name) {
    x.res.set_header("Content-Disposition", std::string("attachment; filename=\"") + name + "\"");
    x.res.set_content(bytes, "application/zip");
}

constexpr const char* kText = "text/plain; charset=utf-8";

}  // namespace

RunsService::RunsService(const RobotConfig& config, Store& store) : config_(config), store_(store) {}

RunsService::~RunsService() {
    stop();
}

void RunsService::stop() {
    std::vector<std::thread> runs;
    {
        std::lock_guard lock(mutex_);
        runs.swap(runs_);
    }
    for (std::thread& t : runs)
        if (t.joinable()) t.join();
}

void RunsService::takeInOldRuns() {
    std::string error;
    for (const RunRecord& run : store_.runs().all()) {
        if (run.state != "done" || run.filesKept) continue;
        const fs::path folder = runFolder(config_.data, run.id);
        try {
            const std::vector<RunFile> files = filesLeftInFolder(store_, folder);
            // Without its folder the committee page says the files are missing and offers a new run.
            if (files.empty() || !store_.runs().finish(run.id, run.progress, files, error)) continue;
        } catch (const std::exception&) {
            continue;
        }
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    // An older robot marked the run it published in the run's record: now a setting, with the
    // reports, which that run's page links to.
    if (const auto published = store_.runs().olderPublished()) {
        if (!store_.settings().get(kPublishedRun)) publish(*published, true);
        store_.runs().forgetOlderPublished(error);
    }
}

std::int64_t RunsService::start() {
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(mutex_);
        if (active_) return 0;
        active_ = true;
        ended.swap(runs_);  // the runs before have ended (or are about to return): joined here
    }
    for (std::thread& t : ended) t.join();
    const std::int64_t id = store_.runs().add(utcText(std::chrono::system_clock::now()));
    std::lock_guard lock(mutex_);
    if (id <= 0) {
        active_ = false;
        return -1;
    }
    const fs::path folder = runFolder(config_.data, id);
    runs_.emplace_back([this, id, folder] {
        RunOutcome outcome;
        try {
            outcome =
                runCrossCheck(store_, folder, config_.workerProgram, config_.score, config_.runTimeLimit,
                              [&](const std::string& line) { store_.runs().update(id, "running", line); });
        } catch (const std::exception& e) {
            // Not out of the thread, which would end the server: the run fails and says why.
            outcome = {false, std::string("the run stopped: ") + e.what(), {}};
        }
        std::string error;
        // The run's end is written and the service freed under one lock: a committee that sees the
        // run ended and starts the next one is never told that one is running.
        std::lock_guard ending(mutex_);
        // Its outputs and its state in one transaction: a run is done only with its files in the store.
        if (outcome.done && !store_.runs().finish(id, outcome.progress, outcome.files, error))
            outcome = {false, "the run's files could not be stored: " + error, {}};
        if (outcome.done) {
            std::error_code ec;
            fs::remove_all(folder, ec);
        } else {
            store_.runs().update(id, "failed", withoutServerPaths(outcome.progress, config_.data));
        }
        active_ = false;
    });
    return id;
}

void RunsService::startFromPage(Exchange& x) {
    if (const std::int64_t id = start(); id <= 0) return notStarted(x, id);
    x.res.set_redirect("/committee", 303);
}

void RunsService::startFromApi(Exchange& x) {
    const std::int64_t id = start();
    if (id <= 0) return notStarted(x, id);
    x.res.status = 202;
    x.res.set_header("Location", "/api/crosscheck/" + std::to_string(id));
    x.res.set_content("{\"id\":" + std::to_string(id) + "}\n", kJson);
}

RunsService::Publication RunsService::publication() {
    Publication p;
    p.run = numberIn(store_.settings().get(kPublishedRun).value_or(""));
    p.reports = p.run && store_.settings().get(kPublishedReports).value_or("") == "1";
    return p;
}

RunRecord RunsService::marked(RunRecord run, const Publication& p) {
    run.published = p.run == run.id;
    run.reportsPublic = run.published && p.reports;
    return run;
}

std::string RunsService::publish(std::int64_t id, bool reports) {
    const auto run = store_.runs().find(id);
    if (!run || run->state != "done") return "only a finished run can be published";
    if (!run->filesKept)
        return "run " + std::to_string(id) + "'s files are not in this database: run it again";
    if (!reports && !store_.runs().file(id, RunFile::Kind::kResult, kUnlinkedResults))
        return "run " + std::to_string(id) +
               " has no results page without links (an older robot made it): publish it with the reports";
    std::lock_guard lock(publishing_);
    std::string error;
    // In the order that never shows more than was chosen, even between the two writes: the reports
    // kept private before the run changes, made public after.
    const bool set = reports ? store_.settings().set(kPublishedRun, std::to_string(id), error) &&
                                   store_.settings().set(kPublishedReports, "1", error)
                             : store_.settings().set(kPublishedReports, "0", error) &&
                                   store_.settings().set(kPublishedRun, std::to_string(id), error);
    return set ? std::string() : "the choice could not be stored: " + error;
}

std::string RunsService::unpublish(std::int64_t id) {
    std::lock_guard lock(publishing_);
    if (publication().run != id) return "run " + std::to_string(id) + " is not the public one";
    std::string error;
    return store_.settings().clear(kPublishedRun, error) ? std::string()
                                                         : "the choice could not be stored: " + error;
}

void RunsService::publishFromPage(Exchange& x) {
    if (const std::string why = publish(std::stoll(x.req.matches[1]), yes(x.field("reports"))); !why.empty())
        return answer(x.req, x.res, 409, "Not published", why);
    x.res.set_redirect("/committee", 303);
}

void RunsService::publishFromApi(Exchange& x) {
    const std::int64_t id = std::stoll(x.req.matches[1]);
    if (const std::string why = publish(id, yes(x.field("reports"))); !why.empty())
        return answer(x.req, x.res, 409, "Not published", why);
    x.res.set_content(runJson(marked(*store_.runs().find(id), publication())), kJson);
}

void RunsService::unpublishFromPage(Exchange& x) {
    if (const std::string why = unpublish(std::stoll(x.req.matches[1])); !why.empty())
        return answer(x.req, x.res, 409, "Not taken down", why);
    x.res.set_redirect("/committee", 303);
}

void RunsService::unpublishFromApi(Exchange& x) {
    const std::int64_t id = std::stoll(x.req.matches[1]);
    if (const std::string why = unpublish(id); !why.empty())
        return answer(x.req, x.res, 409, "Not taken down", why);
    const auto run = store_.runs().find(id);
    if (!run) return answer(x.req, x.res, 404, "Not found", "no such cross-check run");
    x.res.set_content(runJson(marked(*run, publication())), kJson);
}

void RunsService::output(Exchange& x) {
    const std::int64_t id = std::stoll(x.req.matches[1]);
    const auto run = store_.runs().find(id);
    if (!run) return answer(x.req, x.res, 404, "Not found", "no such cross-check run");
    const std::string what = x.req.matches[3];
    if (what.empty()) {
        RunRecord shown = marked(*run, publication());
        if (shown.state == "running") {
            const std::string progress = crossCheckProgress(runFolder(config_.data, id));
            if (!progress.empty()) shown.progress = progress;
        }
        return x.res.set_content(runJson(shown), kJson);
    }
    if (run->state != "done") return answer(x.req, x.res, 409, "Not ready", "the run is " + run->state);
    if (!run->filesKept)
        return answer(x.req, x.res, 410, "Not in this database",
                      "run " + std::to_string(id) + "'s files are not in this database: run it again");
    RunStore& runs = store_.runs();
    using K = RunFile::Kind;
    if (what == "results.csv") return sendFile(x, runs.file(id, K::kResult, what), "text/csv; charset=utf-8");
    if (what == "results.html") return sendFile(x, runs.file(id, K::kResult, what), kHtml);
    if (what == "logs.zip") return sendZip(x, runFilesZip(runs.files(id, K::kLog)), "logs.zip");
    if (what == "reports.zip") return sendZip(x, runFilesZip(runs.files(id, K::kReport)), "reports.zip");
    // A report by the call (ubn/CALL), or by its file's name as results.html links it.
    const std::string name =
        x.req.matches[4].length() ? crosscheck::safeFileName(x.req.matches[4].str()) + ".ubn" : what;
    const auto report = runs.file(id, K::kReport, name);
    if (!report) return answer(x.req, x.res, 404, "Not found", "no station report for this call");
    x.res.set_content(*report, kText);
}

void RunsService::results(Exchange& x) {
    const Publication p = publication();
    const auto none = [&] {
        answer(x.req, x.res, 404, "No results yet", "the committee has published no results yet");
    };
    if (!p.run) return none();
    // The page links each report relative to itself: it is served as a folder, with them inside.
    if (x.req.path == "/results") return x.res.set_redirect("/results/", 302);
    const std::string name = x.req.matches[1];
    if (name.empty()) {
        auto page =
            store_.runs().file(*p.run, RunFile::Kind::kResult, p.reports ? "results.html" : kUnlinkedResults);
        if (!page) page = store_.runs().file(*p.run, RunFile::Kind::kResult, "results.html");
        return page ? x.res.set_content(*page, kHtml) : none();
    }
    const auto report = p.reports ? store_.runs().file(*p.run, RunFile::Kind::kReport, name) : std::nullopt;
    if (!report)
        return answer(x.req, x.res, 404, "Not found", "there is no such report in the published results");
    x.res.set_content(*report, kText);
}

Page<RunRecord> RunsService::runsPage(std::int64_t offset, std::int64_t limit) {
    Page<RunRecord> page = store_.runs().page(offset, limit);
    const Publication p = publication();
    for (RunRecord& run : page.rows) run = marked(std::move(run), p);
    return page;
}

std::vector<std::string> RunsService::newestRunCalls(const std::vector<RunRecord>& newestFirst) {
    if (newestFirst.empty() || newestFirst.front().state != "done") return {};
    std::vector<std::string> calls;
    for (const std::string& name : store_.runs().fileNames(newestFirst.front().id, RunFile::Kind::kReport))
        calls.push_back(fs::path(name).stem().string());
    return calls;
}

std::optional<PublishedReport> RunsService::publishedReport(const UploadRecord& upload) {
    const Publication p = publication();
    if (!p.run || upload.call.empty()) return std::nullopt;
    const auto found = store_.runs().reportOf(*p.run, upload.call);
    if (!found) return std::nullopt;
    PublishedReport r;
    r.run = *p.run;
    r.text = found->bytes;
    r.versionReceived = found->received;
    r.version = found->upload == upload.id  ? PublishedReport::Version::kThis
                : found->upload < upload.id ? PublishedReport::Version::kEarlier
                                            : PublishedReport::Version::kLater;
    return r;
}

}  // namespace robot
