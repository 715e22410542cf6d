#include "tools/submission/check_log.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>
#include <unordered_map>

#include "tools/contest/contest_choice.h"
#include "tools/host/replay_session.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/log_input.h"
#include "tools/logs/utf16_text.h"

namespace verify {

namespace fs = std::filesystem;

namespace {

std::string withoutLeadingZeros(std::string_view digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A warning when the file claims another score than the plug-in computes for its QSOs.
void compareClaimedScore(const std::string& claimed, std::uint64_t claimedLine, const logs::Score& score,
                         std::vector<CheckFinding>& findings) {
    if (claimedLine == 0 || !allDigits(claimed)) return;  // absent, or already an error of the file
    const std::string computed = std::to_string(score.score);
    if (withoutLeadingZeros(claimed) == computed) return;
    findings.push_back(
        {claimedLine, Severity::kWarning,
         "CLAIMED-SCORE: " + claimed + " differs from the plug-in's score for these QSOs, " + computed,
         Rule::kClaimedScore});
}

// The plug-in replays the QSOs of its own contest only.
bool pluginScores(const CheckRequest& request) {
    return contest::scoringKindOf(*request.contest) == contest::ScoringKind::kPlugin;
}

bool readChecked(std::istream& in, CabrilloChecker& checker) {
    // UTF-16 text is checked as decoded, with a warning that says so.
    logs::LogText text(in);
    if (text.utf16()) checker.decodedFromUtf16();
    logs::CabrilloLineReader reader(text.stream());
    logs::CabrilloLine line;
    while (reader.next(line)) checker.add(line);
    return !text.stream().bad();
}

void sortByLine(std::vector<CheckFinding>& findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
}

// A folder of its own for the plug-in's err.txt and settings, removed when done.
class ScratchFolder {
  public:
    explicit ScratchFolder(const fs::path& given) {
        if (!given.empty()) {
            path_ = fs::absolute(given);
            return;
        }
        std::random_device random;
        path_ = fs::temp_directory_path() / ("stats-replay-verify-" + std::to_string(random()));
        owned_ = true;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (owned_) fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const noexcept { return path_; }

  private:
    fs::path path_;
    bool owned_ = false;
};

// Replays the contacts in the working folder and unloads the plug-in there (its shutdown writes its
// settings); the summary, or empty with a note.
std::string replayIn(host::Startup& startup, const CheckRequest& request, const logs::LoadedLog& loaded,
                     const host::OutcomeSink& sink, LogCheck& check) {
    std::string error;
    const host::PluginExports* plugin = startup.plugin(error);
    if (!plugin) {
        check.note("dupes and CLAIMED-SCORE not checked: " + error);
        return {};
    }
    std::error_code ec;
    const fs::path back = fs::current_path(ec);
    const ScratchFolder work(request.workFolder);
    fs::create_directories(work.path() / "Plugins", ec);
    if (!ec) fs::current_path(work.path(), ec);
    if (ec) {
        check.note("dupes and CLAIMED-SCORE not checked: cannot use the folder " + work.path().string() + ": " +
                   ec.message());
        return {};
    }
    const host::ContestSetup setup = host::contestSetupFor(
        loaded.contacts, loaded.ownCall,
        {request.call, request.country, request.period.start, request.period.end}, startup.countryFile());
    std::string summary = host::replayContest(*plugin, loaded.contacts, setup, sink).summary;
    startup.unloadPlugin();
    fs::current_path(back, ec);
    return summary;
}

// The log as its reader takes it, described to the check; then, for a Cabrillo log of SA-TOLVEN,
// the plug-in's answers for its QSOs, oldest first, as a host would give them: dupes, and the
// claimed score against the plug-in's.
void readAndReplay(host::Startup& startup, const CheckRequest& request, LogCheck& check) {
    std::string error;
    const auto in = host::openLog(request.log, error);
    logs::LoadedLog loaded;
    // Only the replay needs the continents; a log read to be described is read without them.
    const logs::CountryFile* countries = request.replay ? startup.countryFile() : nullptr;
    if (!in || !logs::readLog(*in, request.log.name, countries, loaded, [](const std::string&) {})) return;
    check.describe(loaded);
    if (!request.replay || loaded.format != logs::LogFormat::kCabrillo) return;
    if (!pluginScores(request)) return;  // the note is the check's
    const std::string summary = replayIn(startup, request, loaded, check.dupeSink(loaded.contacts), check);
    check.replayed(summary, countries ? 0 : loaded.continentUnknown);
}

}  // namespace

int CheckOutcome::exitStatus() const {
    if (!failure.empty()) return host::kExitFailure;
    return hasError(findings) ? host::kExitFindings : host::kExitOk;
}

bool LogCheck::checkRules() {
    const auto in = host::openLog(request_.log, out_.failure);
    if (!in) return false;
    CabrilloChecker checker(request_.period, request_.contest);
    if (!readChecked(*in, checker)) {
        out_.failure = "error reading the log " + request_.log.name;
        return false;
    }
    out_.findings = checker.finish();
    out_.claimedScore = checker.claimedScore();
    out_.claimedScoreLine = checker.claimedScoreLine();
    if (request_.replay && !pluginScores(request_))
        note("CLAIMED-SCORE not checked: the plug-in scores only " + contest::builtinContest().names.front() +
             ", not " + request_.contest->names.front());
    return true;
}

void LogCheck::describe(const logs::LoadedLog& loaded) {
    if (!loaded.recognised) return;
    out_.format = loaded.format;
    out_.ownCall = loaded.ownCall;
    out_.header = loaded.header;
}

host::OutcomeSink LogCheck::dupeSink(const logs::ReplayLog& log) {
    return [this, &log](const host::QsoOutcome& o) {
        using logs::ReplayLog;
        const auto t = log.texts(o.index);
        const std::uint64_t line = log[o.index].record;
        std::string key =
            std::string(t[ReplayLog::kCall]) + '\n' + t[ReplayLog::kBand] + '\n' + t[ReplayLog::kMode];
        const auto [it, isNew] = firstOfContact_.emplace(std::move(key), line);
        if (o.dupe())
            out_.findings.push_back(
                {line, Severity::kWarning,
                 dupeText(t[ReplayLog::kCall], t[ReplayLog::kBand], t[ReplayLog::kMode],
                          isNew ? std::string() : " (first at line " + std::to_string(it->second) + ")"),
                 Rule::kDupe});
    };
}

void LogCheck::replayed(const std::string& summary, std::size_t continentUnknown) {
    out_.pluginScore = logs::parseScore(summary);
    if (!out_.pluginScore) return;
    if (continentUnknown) {
        note("CLAIMED-SCORE not compared: " + std::to_string(continentUnknown) +
             " QSO(s) have no continent without a --cty country file, so the plug-in's score is not the robot's");
        return;
    }
    out_.claimCompared = true;
    compareClaimedScore(out_.claimedScore, out_.claimedScoreLine, *out_.pluginScore, out_.findings);
}

CheckOutcome LogCheck::finish() {
    sortByLine(out_.findings);
    return std::move(out_);
}

CheckOutcome checkLog(host::Startup& startup, const CheckRequest& request) {
    LogCheck check(request);
    if (check.checkRules()) readAndReplay(startup, request, check);
    return check.finish();
}

int checkAndPrint(host::Startup& startup, const CheckRequest& request) {
    const CheckOutcome outcome = checkLog(startup, request);
    if (!outcome.failure.empty()) return startup.fail(outcome.failure);
    // Only the replay uses the country file; another contest is not replayed.
    if (pluginScores(request)) startup.note(startup.countryFileNote());
    for (const std::string& note : outcome.notes) startup.note(note);
    // The errors are all the operator's to mend; whether a robot would score the log meanwhile is
    // worth a line of its own.
    if (!outcome.scorable())
        startup.note("a robot refuses this log as it is: mend the errors that block scoring first");
    else if (hasError(outcome.findings))
        startup.note("a robot scores this log as it is, but mend its errors before sending it");
    const std::string out = findingsText(request.log.name, outcome.findings);
    std::fwrite(out.data(), 1, out.size(), stdout);
    // A write that failed while the buffer was flushed leaves only the stream's error mark.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return startup.fail(std::string("cannot write the output: ") + std::strerror(errno));
    return outcome.exitStatus();
}

std::string findingsText(std::string_view name, const std::vector<CheckFinding>& findings) {
    std::string out;
    for (const CheckFinding& f : findings) out += formatFinding(name, f) + "\n";
    return out + findingTotals(findings) + "\n";
}

std::vector<CheckFinding> checkWithClaim(std::istream& in, const CheckPeriod& period,
                                         const std::string* summary) {
    CabrilloChecker checker(period);
    readChecked(in, checker);
    std::vector<CheckFinding> findings = checker.finish();
    if (summary)
        if (const auto score = logs::parseScore(*summary))
            compareClaimedScore(checker.claimedScore(), checker.claimedScoreLine(), *score, findings);
    sortByLine(findings);
    return findings;
}

}  // namespace verify
