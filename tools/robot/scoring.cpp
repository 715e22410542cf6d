#include "tools/robot/scoring.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "stats_version.h"
#include "tools/contest/contest_choice.h"
#include "tools/contest/definition_file.h"
#include "tools/crosscheck/crosscheck_pipeline.h"
#include "tools/host/startup.h"
#include "tools/logs/callsign.h"
#include "tools/logs/log_input.h"
#include "tools/replay/replay_pipeline.h"
#include "tools/robot/definition_scoring.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/receipt.h"
#include "tools/robot/text.h"
#include "tools/submission/check_log.h"
#include "tools/verify/cabrillo_check.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

std::vector<Finding> findingsOf(const std::vector<verify::CheckFinding>& found) {
    std::vector<Finding> out;
    for (const auto& f : found)
        out.push_back({f.line, f.severity == verify::Severity::kError, f.text, std::string(verify::ruleKey(f.rule)),
                       f.folded});
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

// The categories the public list shows: the operator, then the tags the contest's definition
// restricts (its own categories), then Cabrillo's other common ones that are given.
std::string categoryOf(const std::vector<std::pair<std::string, std::string>>& header,
                       const contest::ContestDefinition& contest) {
    std::vector<std::string> tags = {"CATEGORY-OPERATOR"};
    for (const contest::CategoryValues& c : contest.categories) tags.push_back(upper(c.tag));
    for (const char* tag : {"CATEGORY-BAND", "CATEGORY-MODE", "CATEGORY-POWER", "CATEGORY-ASSISTED",
                            "CATEGORY-TRANSMITTER", "CATEGORY-OVERLAY"})
        if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.emplace_back(tag);
    std::string out;
    for (const std::string& tag : tags) {
        const std::string value = upper(trimmed(headerValue(header, tag)));
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

// The contest of the settings' definition file, or the built-in SA-TOLVEN.
contest::ContestDefinition contestOf(const ScoreSettings& settings) {
    return contest::resolveContest(settings.contestFile);
}

// What the check says the log is: its format, own call, categories and claimed score, and the
// findings of its rules. False for a log that cannot be scored (neither format, or an ADIF log
// without its own call), with the findings saying why.
bool describe(const verify::CheckOutcome& checked, const contest::ContestDefinition& contest, UploadOutcome& o) {
    o.findings = findingsOf(checked.findings);
    if (!checked.format) {
        // Neither format: the check says why where it blocks (empty, not text, UTF-16), else the robot.
        if (std::none_of(o.findings.begin(), o.findings.end(), [](const Finding& f) { return blocksScoring(f); }))
            o.findings.push_back({0, true, "neither a Cabrillo log (START-OF-LOG:) nor an ADIF log (<EOH>)", {}});
        return false;
    }
    const bool cabrillo = *checked.format == logs::LogFormat::kCabrillo;
    o.format = cabrillo ? "cabrillo" : "adif";
    // Only a call is kept as the log's: anything else (a million characters, markup, a formula) stays
    // in the findings, which refuse it, and never reaches the store, the lists or a file name.
    const std::string call = upper(trimmed(checked.ownCall));
    if (logs::hasCallSyntax(call)) o.call = call;
    o.category = categoryOf(checked.header, contest);
    if (std::string claimed = headerValue(checked.header, "CLAIMED-SCORE"); !claimed.empty())
        o.claimed = std::move(claimed);
    if (cabrillo) return true;
    // An ADIF log is taken as the replay reads it: the Cabrillo rules are not its rules.
    o.findings.clear();
    if (!o.call.empty()) return true;
    o.findings.push_back({0, true,
                          call.empty() ? "no own call: no record has STATION_CALLSIGN or OPERATOR"
                                       : "the own call " + verify::findingText(call) +
                                             " is not a call: letters, digits and '/' only, at most " +
                                             std::to_string(logs::kLongestCall) + " characters",
                          {}});
    return false;
}

// The replay of the upload in its job folder, with the check, the report and each QSO's answer.
replay::ReplayRequest replayRequestOf(const std::string& bytes, const UploadOutcome& o, const fs::path& jobFolder,
                                      const ScoreSettings& settings) {
    replay::ReplayRequest request;
    const std::string name = o.call.empty() ? std::string("log") : o.call;
    request.log = host::LogSource::text(bytes, name + (o.format == "cabrillo" ? ".cbr" : ".adi"));
    request.choices.start = settings.start;
    request.choices.end = settings.end;
    request.workFolder = jobFolder;
    request.report = true;
    request.answers = true;
    request.checkLog = o.format == "cabrillo";
    request.generator = std::string("stats-robot ") + STATS_VERSION_TEXT;
    return request;
}

// What the replay gives the outcome: the check's findings, score, QSOs, report and the calls worked.
void takeReplay(const replay::ReplayOutcome& replayed, UploadOutcome& o) {
    if (replayed.checked) o.findings = findingsOf(replayed.checked->findings);
    if (replayed.score) o.score = replayed.score->score;
    o.qsos = static_cast<std::int64_t>(replayed.qsos);
    o.report = replayed.reportPage;
    std::set<std::string> worked;
    for (const replay::QsoAnswer& a : replayed.answers) worked.insert(upper(a.call));
    worked.erase(std::string());
    o.worked.assign(worked.begin(), worked.end());
}

// The plug-in's own contest: the upload replayed through it, checked and reported as stats-replay does.
class PluginUploadScoring final : public UploadScoring {
  public:
    void score(const UploadJob& job, host::Startup& startup, UploadOutcome& o) const override {
        const replay::ReplayOutcome replayed =
            replay::replayLog(startup, replayRequestOf(job.bytes, o, job.folder, job.settings));
        if (!replayed.replayed) throw std::runtime_error(replayed.failure);
        takeReplay(replayed, o);
    }
};

// Any other contest: scored by its definition, without the plug-in.
class DefinitionUploadScoring final : public UploadScoring {
  public:
    void score(const UploadJob& job, host::Startup&, UploadOutcome& o) const override {
        scoreByDefinition(job.folder / "log", job.contest, job.settings, job.countries, o);
    }
};

}  // namespace

const UploadScoring& uploadScoring(const contest::ContestDefinition& contest) {
    static const PluginUploadScoring plugin;
    static const DefinitionUploadScoring definition;
    if (contest::scoringKindOf(contest) == contest::ScoringKind::kPlugin) return plugin;
    return definition;
}

UploadOutcome scoreUpload(const fs::path& jobFolder, const ScoreSettings& settings) {
    host::Startup startup;
    openStartup(startup, settings);
    const std::string bytes = readJobFile(jobFolder / "log");
    const contest::ContestDefinition played = contestOf(settings);
    // The check in one pass without the replay says what the log is; the replay then checks it
    // whole, as stats-verify does, while it scores it.
    const verify::CheckRequest request{host::LogSource::text(bytes, "log"),
                                       {settings.start, settings.end},
                                       {},
                                       {},
                                       jobFolder,
                                       false,
                                       &played};
    const verify::CheckOutcome checked = verify::checkLog(startup, request);
    if (!checked.failure.empty()) throw std::runtime_error(checked.failure);
    UploadOutcome o;
    o.state = "refused";
    if (!describe(checked, played, o)) return o;
    uploadScoring(played).score({bytes, jobFolder, settings, played, startup.countryFile()}, startup, o);
    // Only what leaves nothing to score fairly refuses the log (its report is made all the same);
    // every other finding is the operator's to mend and the committee's to look at.
    if (std::none_of(o.findings.begin(), o.findings.end(), [](const Finding& f) { return blocksScoring(f); }))
        o.state = "accepted";
    return o;
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

namespace {

void writeProgress(const fs::path& runFolder, const std::string& line) {
    std::string ignored;
    writeJobFile(runFolder / "progress.tmp", line, ignored);
    std::error_code ec;
    fs::rename(runFolder / "progress.tmp", runFolder / "progress", ec);
}

crosscheck::CrossCheckRequest runRequest(const fs::path& runFolder, const ScoreSettings& settings) {
    crosscheck::CrossCheckRequest request;
    request.inputs = {(runFolder / "logs").string()};
    request.outputFolder = runFolder / "out";
    request.scratchFolder = runFolder / "scratch";
    fs::create_directories(request.scratchFolder);
    request.pluginLibrary = settings.pluginLibrary;
    request.countryFile = settings.countryFile;
    request.start = settings.start;
    request.end = settings.end;
    request.contest = contestOf(settings);
    for (const auto& [call, reason] : readNotAccepted(runFolder)) request.notAccepted.push_back({call, reason});
    request.unlinkedPage = true;
    request.onNote = [](std::string_view line) { std::fprintf(stderr, "%.*s\n", int(line.size()), line.data()); };
    request.onProgress = [runFolder](const crosscheck::Progress& p) {
        static constexpr const char* kStages[] = {"reading", "matching", "scoring", "reporting", "writing"};
        writeProgress(runFolder, std::string(kStages[static_cast<int>(p.stage)]) + " " + std::to_string(p.done) +
                                     " of " + std::to_string(p.total));
    };
    return request;
}

}  // namespace

int crossCheckWorkerMain(const fs::path& runFolder) {
    try {
        ScoreSettings settings;
        std::string error;
        if (!readJob(runFolder, settings, error)) throw std::runtime_error(error);
        const crosscheck::CrossCheckRequest request = runRequest(runFolder, settings);
        const crosscheck::CrossCheckRun run = crosscheck::checkLogFiles(request);
        if (!run.ok()) throw std::runtime_error(run.failure);
        if (!run.anyLogUsed()) throw std::runtime_error("no log could be used");
        std::vector<ReportSource> sources;
        for (const crosscheck::LogCheck& log : run.logs)
            sources.push_back({log.result.reportFile, fs::path(log.result.file).filename().string()});
        if (!writeJobFile(request.outputFolder / kUnlinkedResults, run.resultsHtmlUnlinked, error) ||
            !writeReportSources(runFolder, sources, error))
            throw std::runtime_error(error);
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
