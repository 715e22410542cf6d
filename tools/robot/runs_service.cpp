#include "tools/robot/runs_service.h"

#include <httplib.h>

#include "tools/robot/answers.h"
#include "tools/robot/crosscheck_run.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/pages.h"
#include "tools/robot/private_files.h"
#include "tools/robot/scoring.h"
#include "tools/robot/text.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

// start()'s answer when it started none.
void notStarted(Exchange& x, std::int64_t id) {
    if (id == 0) return answer(x.req, x.res, 409, "Busy", "a cross-check is running: wait for it to end");
    answer(x.req, x.res, 503, "Not started", "the run could not be recorded: please try again");
}

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
            outcome = runCrossCheck(store_, folder, config_.workerProgram, config_.score, config_.runTimeLimit,
                                    [&](const std::string& line) { store_.runs().update(id, "running", line); });
        } catch (const std::exception& e) {
            // Not out of the thread, which would end the server: the run fails and says why.
            outcome = {false, std::string("the run stopped: ") + e.what()};
        }
        store_.runs().update(id, outcome.done ? "done" : "failed",
                         withoutServerPaths(outcome.progress, config_.data));
        std::lock_guard done(mutex_);
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

void RunsService::publishFromPage(Exchange& x) {
    store_.runs().publish(std::stoll(x.req.matches[1]));
    x.res.set_redirect("/committee", 303);
}

void RunsService::publishFromApi(Exchange& x) {
    const std::int64_t id = std::stoll(x.req.matches[1]);
    store_.runs().publish(id);
    const auto run = store_.runs().find(id);
    if (!run || !run->published)
        return answer(x.req, x.res, 409, "Not published", "only a finished run can be published");
    x.res.set_content(runJson(*run), kJson);
}

void RunsService::output(Exchange& x) {
    const std::int64_t id = std::stoll(x.req.matches[1]);
    const auto run = store_.runs().find(id);
    if (!run) return answer(x.req, x.res, 404, "Not found", "no such cross-check run");
    const std::string what = x.req.matches[3];
    const fs::path folder = runFolder(config_.data, id);
    if (what.empty()) {
        RunRecord shown = *run;
        if (shown.state == "running") {
            const std::string progress = crossCheckProgress(folder);
            if (!progress.empty()) shown.progress = progress;
        }
        return x.res.set_content(runJson(shown), kJson);
    }
    if (run->state != "done") return answer(x.req, x.res, 409, "Not ready", "the run is " + run->state);
    if (what == "results.csv") {
        x.res.set_content(readWhole(folder / "out" / "results.csv"), "text/csv; charset=utf-8");
    } else if (what == "results.html") {
        x.res.set_content(readWhole(folder / "out" / "results.html"), kHtml);
    } else if (what == "logs.zip") {
        x.res.set_header("Content-Disposition", "attachment; filename=\"logs.zip\"");
        x.res.set_content(runLogsZip(folder), "application/zip");
    } else {
        const auto report = stationReport(folder, x.req.matches[4]);
        if (!report) return answer(x.req, x.res, 404, "Not found", "no station report for this call");
        x.res.set_content(readWhole(*report), "text/plain; charset=utf-8");
    }
}

void RunsService::results(Exchange& x) {
    const auto run = store_.runs().published();
    const std::string page = run ? readWhole(runFolder(config_.data, run->id) / "out" / "results.html") : std::string();
    if (page.empty()) return answer(x.req, x.res, 404, "No results yet", "the committee has published no results yet");
    x.res.set_content(page, kHtml);
}

std::vector<std::string> RunsService::newestRunCalls(const std::vector<RunRecord>& newestFirst) const {
    if (newestFirst.empty() || newestFirst.front().state != "done") return {};
    return stationReportCalls(runFolder(config_.data, newestFirst.front().id));
}

}  // namespace robot
