#include "tools/robot/scoring.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "core/contest_rules.h"
#include "stats_version.h"
#include "tools/crosscheck/crosscheck_pipeline.h"
#include "tools/host/startup.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/iso_date.h"
#include "tools/logs/log_input.h"
#include "tools/replay/replay_pipeline.h"
#include "tools/robot/text.h"
#include "tools/verify/cabrillo_check.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

bool writeFile(const fs::path& file, const std::string& bytes, std::string& error) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) error = "cannot write " + file.string();
    return static_cast<bool>(out);
}

// A value on one line of a job file: no tab, no line end.
std::string oneLine(std::string_view text) {
    std::string out(text);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    return out;
}

std::string dayText(std::chrono::sys_days day) {
    const std::chrono::year_month_day ymd{day};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return text;
}

std::vector<Finding> findingsOf(const std::vector<verify::CheckFinding>& found) {
    std::vector<Finding> out;
    for (const auto& f : found) out.push_back({f.line, f.severity == verify::Severity::kError, f.text});
    return out;
}

std::string trimmed(const std::string& text) {
    const std::size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) return {};
    return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

std::string headerValue(const std::vector<std::pair<std::string, std::string>>& header, std::string_view tag) {
    for (const auto& [t, v] : header)
        if (t == tag) return v;
    return {};
}

// The categories a list shows: operator, band, mode, power, and the rest that are given.
std::string categoryOf(const std::vector<std::pair<std::string, std::string>>& header) {
    std::string out;
    for (const stats::ContestCategory& category : stats::kContest.categories) {
        const std::string value = headerValue(header, category.tag);
        if (value.empty()) continue;
        if (!out.empty()) out += ' ';
        out += value;
    }
    return out;
}

// The plug-in and the country file the settings name, found as every tool finds them.
void openStartup(host::Startup& startup, const ScoreSettings& settings) {
    host::StartupOptions options;
    options.tool = "stats-robot";
    options.cty = settings.countryFile.empty() ? std::string(host::kNoCountryFile) : settings.countryFile;
    options.library = settings.pluginLibrary;
    std::string error;
    if (!startup.open(options, error)) throw std::runtime_error(error);
}

// The log's format and its own call; for a Cabrillo log also its category and claimed score from
// the header. False for a log in neither format, with the check's findings saying why and no format.
bool identifyLog(const std::string& bytes, const verify::CheckPeriod& period, UploadOutcome& o) {
    const bool cabrillo = logs::looksLikeCabrillo(std::string_view(bytes).substr(0, 4096));
    o.format = cabrillo ? "cabrillo" : "adif";
    if (cabrillo) {
        std::istringstream in(bytes);
        const std::vector<std::pair<std::string, std::string>> header = logs::readCabrilloHeader(in);
        o.call = upper(trimmed(headerValue(header, "CALLSIGN")));
        o.category = categoryOf(header);
        const std::string claimed = headerValue(header, "CLAIMED-SCORE");
        if (!claimed.empty()) o.claimed = claimed;
        return true;
    }
    // The own call of an ADIF log: its first record's, as the replay takes it.
    logs::LoadedLog loaded;
    std::istringstream in(bytes);
    logs::readLog(in, "upload", nullptr, loaded, [](const std::string&) {});
    if (!loaded.recognised) {
        // Neither format: the check says why (empty, not text, UTF-16, no START-OF-LOG:).
        std::istringstream again(bytes);
        o.findings = findingsOf(verify::checkCabrillo(again, period));
        if (std::none_of(o.findings.begin(), o.findings.end(), [](const Finding& f) { return f.error; }))
            o.findings.push_back({0, true, "neither a Cabrillo log (START-OF-LOG:) nor an ADIF log (<EOH>)"});
        o.format.clear();
        return false;
    }
    o.call = upper(loaded.ownCall);
    return true;
}

// The replay of the upload in its job folder, with the report and each QSO's answer.
replay::ReplayRequest replayRequestOf(const std::string& bytes, const UploadOutcome& o, const fs::path& jobFolder,
                                      const ScoreSettings& settings) {
    replay::ReplayRequest request;
    request.log = host::LogSource::text(bytes, o.call + (o.format == "cabrillo" ? ".cbr" : ".adi"));
    request.choices.start = settings.start;
    request.choices.end = settings.end;
    request.workFolder = jobFolder;
    request.report = true;
    request.answers = true;
    request.generator = std::string("stats-robot ") + STATS_VERSION_TEXT;
    return request;
}

// What the replay gives the outcome: the findings, score, QSOs, report, the calls worked, and
// whether the log is accepted.
void takeReplay(const replay::ReplayOutcome& replayed, UploadOutcome& o) {
    // A Cabrillo log's check findings come with its report (its claimed score compared as well); an
    // ADIF log is taken as the replay reads it.
    o.findings = findingsOf(replayed.cabrilloFindings);
    if (replayed.score) o.score = replayed.score->score;
    o.qsos = static_cast<std::int64_t>(replayed.qsos);
    o.report = replayed.reportPage;
    std::set<std::string> worked;
    for (const replay::QsoAnswer& a : replayed.answers) worked.insert(upper(a.call));
    worked.erase(std::string());
    o.worked.assign(worked.begin(), worked.end());
    // A warning does not refuse the log; an error does, though its report is made all the same.
    o.state = std::any_of(o.findings.begin(), o.findings.end(), [](const Finding& f) { return f.error; })
                  ? "refused"
                  : "accepted";
}

}  // namespace

UploadOutcome scoreUpload(const fs::path& jobFolder, const ScoreSettings& settings) {
    host::Startup startup;
    openStartup(startup, settings);
    const std::string bytes = readFile(jobFolder / "log");
    const verify::CheckPeriod period{settings.start, settings.end};
    UploadOutcome o;
    o.state = "refused";
    if (!identifyLog(bytes, period, o)) return o;
    const bool cabrillo = o.format == "cabrillo";
    if (o.call.empty()) {
        if (cabrillo) {
            std::istringstream in(bytes);
            o.findings = findingsOf(verify::checkCabrillo(in, period));
        }
        o.findings.push_back({0, true, cabrillo ? "no own call: the log has no CALLSIGN:"
                                                : "no own call: no record has STATION_CALLSIGN or OPERATOR"});
        return o;
    }
    const replay::ReplayOutcome replayed = replay::replayLog(startup, replayRequestOf(bytes, o, jobFolder, settings));
    if (!replayed.replayed) throw std::runtime_error(replayed.failure);
    takeReplay(replayed, o);
    return o;
}

bool writeSettings(const fs::path& folder, const ScoreSettings& settings, std::string& error) {
    std::string job;
    if (settings.start) job += "start\t" + dayText(*settings.start) + "\n";
    if (settings.end) job += "end\t" + dayText(*settings.end) + "\n";
    job += "cty\t" + oneLine(settings.countryFile) + "\n";
    job += "lib\t" + oneLine(settings.pluginLibrary) + "\n";
    return writeFile(folder / "job", job, error);
}

bool writeJob(const fs::path& jobFolder, const ScoreSettings& settings, const std::string& log, std::string& error) {
    return writeFile(jobFolder / "log", log, error) && writeSettings(jobFolder, settings, error);
}

namespace {

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

}  // namespace

bool readJob(const fs::path& jobFolder, ScoreSettings& settings, std::string& error) {
    return eachLine(jobFolder / "job", error, [&](std::string_view key, std::string_view value) {
        std::chrono::sys_days day;
        if ((key == "start" || key == "end") && logs::parseIsoDate(value, day))
            (key == "start" ? settings.start : settings.end) = day;
        else if (key == "cty")
            settings.countryFile = value;
        else if (key == "lib")
            settings.pluginLibrary = value;
    });
}

bool writeOutcome(const fs::path& jobFolder, const UploadOutcome& o, std::string& error) {
    std::string text = "state\t" + o.state + "\ncall\t" + oneLine(o.call) + "\ncategory\t" + oneLine(o.category) +
                       "\nformat\t" + o.format + "\nqsos\t" + std::to_string(o.qsos) + "\n";
    if (o.score) text += "score\t" + std::to_string(*o.score) + "\n";
    if (o.claimed) text += "claimed\t" + oneLine(*o.claimed) + "\n";
    for (const Finding& f : o.findings)
        text += std::string("finding\t") + (f.error ? "E" : "W") + "\t" + std::to_string(f.line) + "\t" +
                oneLine(f.text) + "\n";
    for (const std::string& call : o.worked) text += "worked\t" + oneLine(call) + "\n";
    // The outcome file last: the server reads a job as done only when it is there, whole.
    return writeFile(jobFolder / "report.html", o.report, error) &&
           writeFile(jobFolder / "outcome.tmp", text + "end\t\n", error) &&
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
        o.report = readFile(jobFolder / "report.html");
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

int workerMain(const fs::path& jobFolder) {
    try {
        ScoreSettings settings;
        std::string error;
        if (!readJob(jobFolder, settings, error)) throw std::runtime_error(error);
        const UploadOutcome outcome = scoreUpload(jobFolder, settings);
        if (!writeOutcome(jobFolder, outcome, error)) throw std::runtime_error(error);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stats-robot worker: %s\n", e.what());
        std::ofstream(jobFolder / "failure", std::ios::binary) << e.what();
        return 1;
    }
}

int crossCheckWorkerMain(const fs::path& runFolder) {
    try {
        ScoreSettings settings;
        std::string error;
        if (!readJob(runFolder, settings, error)) throw std::runtime_error(error);
        crosscheck::CrossCheckRequest request;
        request.inputs = {(runFolder / "logs").string()};
        request.outputFolder = runFolder / "out";
        request.scratchFolder = runFolder / "scratch";
        fs::create_directories(request.scratchFolder);
        request.pluginLibrary = settings.pluginLibrary;
        request.countryFile = settings.countryFile;
        request.start = settings.start;
        request.end = settings.end;
        request.onNote = [](std::string_view line) { std::fprintf(stderr, "%.*s\n", int(line.size()), line.data()); };
        request.onProgress = [&](const crosscheck::Progress& p) {
            static constexpr const char* kStages[] = {"reading", "matching", "scoring", "reporting", "writing"};
            std::string ignored;
            writeFile(runFolder / "progress.tmp",
                      std::string(kStages[static_cast<int>(p.stage)]) + " " + std::to_string(p.done) + " of " +
                          std::to_string(p.total),
                      ignored);
            std::error_code ec;
            fs::rename(runFolder / "progress.tmp", runFolder / "progress", ec);
        };
        const crosscheck::CrossCheckRun run = crosscheck::checkLogFiles(request);
        if (!run.ok()) throw std::runtime_error(run.failure);
        if (!run.anyLogUsed()) throw std::runtime_error("no log could be used");
        std::error_code ec;
        fs::remove_all(request.scratchFolder, ec);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stats-robot cross-check: %s\n", e.what());
        std::ofstream(runFolder / "failure", std::ios::binary) << e.what();
        return 1;
    }
}

std::string crossCheckProgress(const fs::path& runFolder) {
    std::ifstream in(runFolder / "progress", std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace robot
