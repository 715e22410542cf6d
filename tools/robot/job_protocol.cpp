#include "tools/robot/job_protocol.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "tools/logs/iso_date.h"
#include "tools/robot/answers.h"
#include "tools/robot/private_files.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

constexpr std::string_view kWorker = "--worker";
constexpr std::string_view kCrossCheckWorker = "--crosscheck-worker";

std::string lastLine(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last;
}

// A value on one line of a job file: no tab, no line end.
std::string oneLine(std::string_view text) {
    std::string out(text);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return out;
}

std::string dayText(std::chrono::sys_days day) {
    return logs::isoDateText(day);
}

// Each "key TAB value" line of a job file, in order.
template <typename Each>
bool eachLine(const fs::path& file, std::string& error, Each each) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot read " + file.string();
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        each(std::string_view(line).substr(0, tab), std::string_view(line).substr(tab + 1));
    }
    return true;
}

std::int64_t number(std::string_view text) {
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Runs the scoring worker over the job in `folder`: its outcome; `error` says why when it gave none.
UploadOutcome runJob(WorkerPool& pool, const fs::path& program, const fs::path& folder, std::string& error) {
    UploadOutcome outcome;
    const WorkerExit exit = pool.run({program.string(), std::string(kWorker), folder.string()}, folder);
    if (!exit.finished || exit.status != 0) {
        error = exit.problem;
        const std::string failure = readWhole(folder / "failure");
        if (!failure.empty()) error += ": " + failure;
    } else if (!readOutcome(folder, outcome, error)) {
        outcome = {};
    }
    return outcome;
}

}  // namespace

std::string readJobFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

bool writeJobFile(const fs::path& file, const std::string& bytes, std::string& error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) error = "cannot write " + file.string();
    return static_cast<bool>(out);
}

bool writeSettings(const fs::path& folder, const ScoreSettings& settings, std::string& error) {
    std::string job;
    if (settings.start) job += "start\t" + dayText(*settings.start) + "\n";
    if (settings.end) job += "end\t" + dayText(*settings.end) + "\n";
    job += "cty\t" + oneLine(settings.countryFile) + "\n";
    job += "lib\t" + oneLine(settings.pluginLibrary) + "\n";
    if (!settings.contestFile.empty()) job += "contest\t" + oneLine(settings.contestFile) + "\n";
    return writeJobFile(folder / "job", job, error);
}

bool writeJob(const fs::path& jobFolder, const ScoreSettings& settings, const std::string& log, std::string& error) {
    return writeJobFile(jobFolder / "log", log, error) && writeSettings(jobFolder, settings, error);
}

bool readJob(const fs::path& jobFolder, ScoreSettings& settings, std::string& error) {
    return eachLine(jobFolder / "job", error, [&](std::string_view key, std::string_view value) {
        std::chrono::sys_days day;
        if ((key == "start" || key == "end") && logs::parseIsoDate(value, day))
            (key == "start" ? settings.start : settings.end) = day;
        else if (key == "cty")
            settings.countryFile = value;
        else if (key == "lib")
            settings.pluginLibrary = value;
        else if (key == "contest")
            settings.contestFile = value;
    });
}

bool writeOutcome(const fs::path& jobFolder, const UploadOutcome& o, std::string& error) {
    std::string text = "state\t" + o.state + "\ncall\t" + oneLine(o.call) + "\ncategory\t" + oneLine(o.category) +
                       "\nformat\t" + o.format + "\nqsos\t" + std::to_string(o.qsos) + "\n";
    if (o.score) text += "score\t" + std::to_string(*o.score) + "\n";
    if (o.claimed) text += "claimed\t" + oneLine(*o.claimed) + "\n";
    for (const Finding& f : o.findings) text += "finding\t" + encodeFindings({f});
    for (const std::string& call : o.worked) text += "worked\t" + oneLine(call) + "\n";
    // The outcome file last: the server reads a job as done only when it is there, whole.
    return writeJobFile(jobFolder / "report.html", o.report, error) &&
           writeJobFile(jobFolder / "outcome.tmp", text + "end\t\n", error) &&
           (fs::rename(jobFolder / "outcome.tmp", jobFolder / "outcome"), true);
}

bool readOutcome(const fs::path& jobFolder, UploadOutcome& o, std::string& error) {
    bool complete = false;
    const bool read = eachLine(jobFolder / "outcome", error, [&](std::string_view key, std::string_view value) {
        if (key == "state") o.state = value;
        else if (key == "call") o.call = value;
        else if (key == "category") o.category = value;
        else if (key == "format") o.format = value;
        else if (key == "qsos") o.qsos = number(value);
        else if (key == "score") o.score = number(value);
        else if (key == "claimed") o.claimed = std::string(value);
        else if (key == "worked") o.worked.emplace_back(value);
        else if (key == "end") complete = true;
        else if (key == "finding") {
            const auto decoded = decodeFindings(std::string(value) + "\n");
            o.findings.insert(o.findings.end(), decoded.begin(), decoded.end());
        }
    });
    if (!read) return false;
    if (!complete) {
        error = "the worker's outcome is incomplete";
        return false;
    }
    // Only the two states a scoring gives: anything else would be stored and shown as a state.
    if (o.state != "accepted" && o.state != "refused") {
        error = "the worker's outcome has no valid state";
        return false;
    }
    try {
        o.report = readJobFile(jobFolder / "report.html");
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

bool writeNotAccepted(const fs::path& runFolder, const std::vector<NotAcceptedCall>& calls, std::string& error) {
    std::string text;
    for (const NotAcceptedCall& c : calls) text += oneLine(c.call) + "\t" + oneLine(c.reason) + "\n";
    return writeJobFile(runFolder / "not-accepted", text, error);
}

std::vector<std::pair<std::string, std::string>> readNotAccepted(const fs::path& runFolder) {
    std::vector<std::pair<std::string, std::string>> calls;
    std::string ignored;  // none written: none to tell
    eachLine(runFolder / "not-accepted", ignored,
             [&](std::string_view call, std::string_view reason) { calls.emplace_back(call, reason); });
    return calls;
}

bool writeReportSources(const fs::path& runFolder, const std::vector<ReportSource>& sources, std::string& error) {
    std::string text;
    for (const ReportSource& s : sources) text += oneLine(s.report) + "\t" + oneLine(s.log) + "\n";
    return writeJobFile(runFolder / "reports", text, error);
}

std::vector<ReportSource> readReportSources(const fs::path& runFolder) {
    std::vector<ReportSource> sources;
    std::string ignored;
    eachLine(runFolder / "reports", ignored, [&](std::string_view report, std::string_view log) {
        sources.push_back({std::string(report), std::string(log)});
    });
    return sources;
}

fs::path jobFolder(const fs::path& data, std::int64_t id) {
    return data / "jobs" / std::to_string(id);
}

fs::path runFolder(const fs::path& data, std::int64_t id) {
    return data / "runs" / std::to_string(id);
}

UploadOutcome scoreInWorker(WorkerPool& pool, const fs::path& program, const fs::path& folder,
                            const ScoreSettings& settings, const std::string& log) {
    UploadOutcome outcome;
    std::string error;
    if (privateFolder(folder, error) && writeJob(folder, settings, log, error))
        outcome = runJob(pool, program, folder, error);
    if (!error.empty()) {
        outcome = {};
        outcome.state = "failed";
        outcome.findings.push_back({0, true, "the log could not be scored: " + error});
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return outcome;
}

std::string crossCheckInWorker(const fs::path& program, const fs::path& folder, const ScoreSettings& settings,
                               std::chrono::milliseconds timeLimit) {
    std::string error;
    if (!writeSettings(folder, settings, error)) return error;
    const WorkerExit exit =
        WorkerPool::runAlone({program.string(), std::string(kCrossCheckWorker), folder.string()}, folder, timeLimit);
    if (exit.finished && exit.status == 0 && fs::exists(folder / "out" / "results.html")) return {};
    const std::string why = lastLine(folder / "failure");
    if (exit.problem.empty()) return why.empty() ? "the cross-check gave no results" : why;
    return exit.problem + (why.empty() ? "" : ": " + why);
}

bool runAsWorker(int argc, char** argv, int& status) {
    if (argc != 3 || (argv[1] != kWorker && argv[1] != kCrossCheckWorker)) return false;
    // A worker ends with the server that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1) {  // the server is already gone
        status = 1;
        return true;
    }
    status = argv[1] == kWorker ? workerMain(argv[2]) : crossCheckWorkerMain(argv[2]);
    return true;
}

}  // namespace robot
