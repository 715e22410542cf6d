#include "tools/replay/cabrillo_verify.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <random>
#include <cstring>
#include <system_error>
#include <unordered_map>

#include "core/ole_date.h"
#include "tools/logs/cabrillo_reader.h"
#include "tools/logs/cty.h"
#include "tools/logs/score_line.h"
#include "tools/host/plugin_library.h"
#include "tools/host/replay_session.h"

namespace replay {
using namespace host;
using namespace verify;
namespace fs = std::filesystem;

namespace {

constexpr int kNoError = 0;
constexpr int kUnreadable = 1;
constexpr int kErrors = 3;

std::string withoutLeadingZeros(std::string_view digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

// A warning when the file claims another score than the plug-in computes for its QSOs.
void compareClaimedScore(const CabrilloChecker& checker, const std::string& summary,
                         std::vector<CheckFinding>& findings) {
    const std::string& claimed = checker.claimedScore();
    if (checker.claimedScoreLine() == 0 || claimed.empty() ||
        !std::all_of(claimed.begin(), claimed.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return;  // absent, or already an error of the file
    const auto parsed = logs::parseScore(summary);
    if (!parsed) return;
    const std::string score = std::to_string(parsed->score);
    if (withoutLeadingZeros(claimed) == score) return;
    findings.push_back({checker.claimedScoreLine(), Severity::kWarning,
                        "CLAIMED-SCORE: " + claimed + " differs from the plug-in's score for these QSOs, " + score, Rule::kClaimedScore});
}

bool readChecked(std::istream& in, CabrilloChecker& checker) {
    CabrilloLineReader reader(in);
    CabrilloLine line;
    while (reader.next(line)) checker.add(line);
    return !in.bad();
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
            path_ = given;
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
    const fs::path& path() const noexcept { return path_; }

  private:
    fs::path path_;
    bool owned_ = false;
};

// Replays the file's QSOs through the plug-in, oldest first, as a host would: every contact the
// plug-in calls a dupe while it is typed gets a warning naming the line it repeats; the claimed
// score is compared with the plug-in's.
void replayFindings(const ReplayOptions& options, const fs::path& startDir, const CountryFile* countries,
                    const fs::path& libraryPath, const fs::path& logPath, const CabrilloChecker& checker,
                    std::vector<CheckFinding>& findings, const NoteSink& note) {
    std::ifstream in(logPath, std::ios::binary);
    LoadedLog loaded;
    if (!in || !readLog(in, options.logFile, countries, loaded, [](const std::string&) {}) ||
        loaded.format != LogFormat::kCabrillo)
        return;
    PluginLibrary library;
    std::string error;
    if (!library.load(libraryPath.string(), error)) {
        note("dupes and CLAIMED-SCORE not checked: " + error);
        return;
    }
    const ReplayLog& log = loaded.contacts;
    const ContestSetup setup = contestSetupFor(log, loaded.ownCall, contestChoicesOf(options), countries);

    const ScratchFolder work(options.dir.empty() ? fs::path() : startDir / options.dir);
    std::error_code ec;
    fs::create_directories(work.path() / "Plugins", ec);
    if (!ec) fs::current_path(work.path(), ec);
    if (ec) {
        note("dupes and CLAIMED-SCORE not checked: cannot use the folder " + work.path().string() + ": " +
             ec.message());
        return;
    }
    // The first line of each call, band and mode the plug-in logged.
    std::unordered_map<std::string, std::uint64_t> first;
    const ReplayResult result = replayContest(library.exports(), log, setup, [&](const QsoOutcome& o) {
        const auto t = log.texts(o.index);
        const std::uint64_t line = log[o.index].record;
        std::string key = std::string(t[ReplayLog::kCall]) + '\n' + t[ReplayLog::kBand] + '\n' + t[ReplayLog::kMode];
        const auto [it, isNew] = first.emplace(std::move(key), line);
        if (o.dupe())
            findings.push_back({line, Severity::kWarning,
                                "dupe: " + findingText(t[ReplayLog::kCall]) + " on " + findingText(t[ReplayLog::kBand]) +
                                    " " + findingText(t[ReplayLog::kMode]) + " again" +
                                    (isNew ? std::string() : " (first at line " + std::to_string(it->second) + ")"), Rule::kDupe});
    });
    library.unload();
    fs::current_path(startDir, ec);
    if (loaded.continentUnknown && !countries)
        note("CLAIMED-SCORE not compared: " + std::to_string(loaded.continentUnknown) +
             " QSO(s) have no continent without a --cty country file, so the plug-in's score is not the robot's");
    else
        compareClaimedScore(checker, result.summary, findings);
}

}  // namespace

int verifyCabrillo(const ReplayOptions& options, const fs::path& startDir, const CountryFile* countries,
                   const fs::path& libraryPath, const NoteSink& note) {
    const fs::path logPath = startDir / options.logFile;
    std::error_code ec;
    std::ifstream in(logPath, std::ios::binary);
    if (fs::is_directory(logPath, ec) || !in) {
        note("cannot read the log " + options.logFile +
             (fs::is_directory(logPath, ec) ? ": it is a folder" : ": " + std::string(std::strerror(errno))));
        return kUnreadable;
    }
    CabrilloChecker checker({options.start, options.end});
    if (!readChecked(in, checker)) {
        note("error reading the log " + options.logFile);
        return kUnreadable;
    }
    std::vector<CheckFinding> findings = checker.finish();
    replayFindings(options, startDir, countries, libraryPath, logPath, checker, findings, note);
    sortByLine(findings);

    std::string out;
    for (const CheckFinding& f : findings) out += formatFinding(options.logFile, f) + "\n";
    out += findingTotals(findings) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) return kUnreadable;
    return hasError(findings) ? kErrors : kNoError;
}

std::vector<CheckFinding> checkWithClaim(std::istream& in, const CheckPeriod& period, const std::string& summary,
                                         bool compareClaim) {
    CabrilloChecker checker(period);
    readChecked(in, checker);
    std::vector<CheckFinding> findings = checker.finish();
    if (compareClaim) compareClaimedScore(checker, summary, findings);
    sortByLine(findings);
    return findings;
}

void checkExportedLog(const fs::path& file, const std::string& shownName, const CheckPeriod& period,
                      const std::string& summary) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return;  // the operator cancelled the header dialog, or the plug-in said why it wrote none
    const std::vector<CheckFinding> findings = checkWithClaim(in, period, summary, true);
    if (findings.empty()) return;
    for (const CheckFinding& f : findings) std::fprintf(stderr, "%s\n", formatFinding(shownName, f).c_str());
    std::fprintf(stderr, "%s\n", findingTotals(findings).c_str());
}

}  // namespace replay
