#include "tools/robot/definition_scoring.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <set>
#include <tuple>

#include "stats_version.h"
#include "tools/crosscheck/contest_scoring.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/submission.h"
#include "tools/logs/callsign.h"
#include "tools/report/contest_report.h"
#include "tools/report/report_html.h"
#include "tools/robot/receipt.h"
#include "tools/robot/text.h"
#include "tools/verify/cabrillo_check.h"

namespace fs = std::filesystem;

namespace robot {

namespace {

using crosscheck::Qso;
using crosscheck::Verdict;

// One log judged alone: its QSOs, their verdicts before any matching, and its scoring.
struct JudgedLog {
    std::vector<crosscheck::StationLog> logs;  // the one log
    crosscheck::CheckResult check;
};

// The QSOs in the order they were made, as a replay feeds them.
std::vector<std::size_t> timeOrder(const std::vector<Qso>& qsos) {
    std::vector<std::size_t> order(qsos.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::tie(qsos[a].time, qsos[a].line) < std::tie(qsos[b].time, qsos[b].line);
    });
    return order;
}

// The multiplier a QSO is counted under in the report: the first of its multipliers the report has
// not had yet (a new one, `fresh`), else its first; empty when it gives none.
std::string reportedMultiplier(const std::vector<std::string>& keys, std::set<std::string>& seen,
                               bool& fresh) {
    fresh = false;
    for (const std::string& key : keys)
        if (seen.insert(key).second) {
            fresh = true;
            return key;
        }
    return keys.empty() ? std::string() : keys.front();
}

// Each QSO into the report as the definition judges it, where the replay gives the plug-in's answers:
// a rejection with its verdict as the reason, a dupe, or a QSO with the multiplier it gives.
void feedReport(report::ContestReport& report, const JudgedLog& judged,
                const crosscheck::DefinitionScorer& scorer) {
    const crosscheck::StationLog& log = judged.logs.front();
    std::set<std::string> seen;
    for (const std::size_t i : timeOrder(log.qsos)) {
        const Qso& q = log.qsos[i];
        const Verdict v = judged.check.checks[0][i].verdict;
        const bool rejected = crosscheck::isReconciliation(v) && v != Verdict::kDupe;
        bool fresh = false;
        std::string multiplier;
        if (crosscheck::isReconciliation(v) == false)
            multiplier = reportedMultiplier(scorer.claimedMultipliers(0, i), seen, fresh);
        const std::string prefix = multiplier.empty() ? logs::wpxPrefix(q.call) : multiplier;
        // As the plug-in answers a call check: 0 a dupe, 1 a multiplier already worked, 2 otherwise.
        const int answer = v == Verdict::kDupe ? 0 : !multiplier.empty() && !fresh ? 1 : 2;
        const std::string reason(rejected ? crosscheck::verdictName(v) : std::string_view());
        const std::uint32_t hz = q.frequencyKHz < 4'000'000u ? q.frequencyKHz * 1000u : 0u;
        report.add({std::chrono::sys_seconds{std::chrono::seconds{q.time}}, q.line, q.band, q.mode, q.call,
                    prefix, answer, fresh ? "new multiplier" : "", rejected ? 0 : 1, reason, hz,
                    q.transmitter.view()});
    }
}

// The score summary in the layout of the plug-in's: QSOs and points per band, the multipliers and the
// score, as the log claims them by the definition.
std::string summaryOf(const contest::ContestDefinition& contest, const JudgedLog& judged,
                      const crosscheck::DefinitionScorer& scorer, const crosscheck::DefinitionScore& score) {
    const crosscheck::StationLog& log = judged.logs.front();
    std::map<std::string, std::array<long long, 3>>
        byBand;  // band: QSOs, points, multipliers first given there
    std::set<std::string> seen;
    for (const std::size_t i : timeOrder(log.qsos)) {
        const Qso& q = log.qsos[i];
        const int full = scorer.fullPoints(0, q.call, q.band);
        if (crosscheck::isReconciliation(judged.check.checks[0][i].verdict) || full <= 0) continue;
        std::array<long long, 3>& counts = byBand[q.band];
        counts[0] += 1;
        counts[1] += full;
        for (std::string& key : scorer.claimedMultipliers(0, i))
            counts[2] += seen.insert(std::move(key)).second;
    }
    std::string out =
        "\t" + contest.title + "\r\n\t\tContestant: " + log.call + " \r\n\tQSOs\tPoints\tMult\r\n";
    for (const contest::Band& band : contest.bands)
        if (const auto it = byBand.find(band.name); it != byBand.end())
            out += band.name + "\t " + std::to_string(it->second[0]) + "\t " + std::to_string(it->second[1]) +
                   "\t " + std::to_string(it->second[2]) + "\r\n";
    out += "Total\t " + std::to_string(score.claimed.qsos) + "\t " + std::to_string(score.claimedPoints) +
           "\t " + std::to_string(score.claimed.multipliers) +
           "\r\n\r\nScore: " + std::to_string(score.claimedPoints);
    if (contest.scoring.formula == contest::ScoreFormula::kPointsTimesMultipliers)
        out += "*" + std::to_string(score.claimed.multipliers);
    return out + " = " + std::to_string(score.claimed.score) + "\r\n";
}

// How the page names the scorer and the multipliers of a contest scored by its definition.
report::ReportWords definitionWords() {
    report::ReportWords w;
    w.scorer = "the contest's definition";
    w.scoreName = "The score by the contest's definition";
    w.multiplier = w.unit = "multiplier";
    w.multipliers = w.units = "multipliers";
    w.unitHead = "Multiplier";
    w.newColumn = "New mult";
    w.newExplained = "the QSOs that first gave a multiplier, as the contest's definition counts them";
    w.running = "QSOs \xC3\x97 multipliers";
    w.source =
        "Every count comes from the contest's definition: the log's QSOs judged alone (dupes, bands, "
        "modes, numbers, the period) as the committee's cross-check judges them before it matches the "
        "logs.";
    return w;
}

report::ReportPageInfo pageInfo(const contest::ContestDefinition& contest, const crosscheck::Submission& s,
                                const ScoreSettings& settings, std::string summary) {
    report::ReportPageInfo info;
    info.logName = (s.call.empty() ? std::string("log") : s.call) + ".cbr";
    info.placeWord = "line";
    info.summary = std::move(summary);
    info.generator = std::string("stats-robot ") + STATS_VERSION_TEXT;
    info.header = s.loaded.header;
    // The robot's days win over the contest's periods, as in every tool (contest::RunPeriod).
    if (settings.start && settings.end) {
        info.period.from = std::chrono::sys_seconds{*settings.start};
        info.period.to = std::chrono::sys_seconds{*settings.end + std::chrono::days{1}};
    } else if (!contest.periods.empty()) {
        info.period.from = contest.periods.front().start;
        info.period.to = contest.periods.back().end;
    }
    info.words = definitionWords();
    return info;
}

}  // namespace

void scoreByDefinition(const fs::path& logFile, const contest::ContestDefinition& contest,
                       const ScoreSettings& settings, const logs::CountryFile* countries, UploadOutcome& o) {
    // The robot's days, when given, win over the contest's periods, as in the check.
    const auto start = settings.start;
    const auto end = settings.end;
    crosscheck::Submission s;
    s.source = {logFile, o.call.empty() ? std::string("log") : o.call};
    crosscheck::readSubmission(s, countries, {start, end, {}, false, &contest});
    // A log the cross-check would set aside is scored all the same where it has QSOs: the check's
    // findings say what is wrong with them (another contest, the period). One without: not at all.
    if (!s.problem.empty() && s.qsos.empty()) {
        if (std::none_of(o.findings.begin(), o.findings.end(), [](const Finding& f) { return blocksScoring(f); }))
            o.findings.push_back({0, true, "the log cannot be scored: " + s.problem, {}});
        return;
    }
    JudgedLog judged;
    judged.logs.push_back(crosscheck::stationLog(s));
    crosscheck::CheckOptions options;
    options.contest = &contest;
    options.workers = 1;
    options.start = start;
    options.end = end;
    judged.check = crosscheck::crossCheck(judged.logs, options);
    const crosscheck::DefinitionScorer scorer(contest, judged.logs, judged.check, countries, false);
    const crosscheck::DefinitionScore score = scorer.score(0);
    const std::vector<Qso>& qsos = judged.logs.front().qsos;
    o.score = score.claimed.score;
    o.qsos = static_cast<std::int64_t>(qsos.size());
    std::set<std::string> worked;
    for (const Qso& q : qsos) worked.insert(upper(q.call));
    worked.erase(std::string());
    o.worked.assign(worked.begin(), worked.end());

    report::ContestReport report(qsos.size());
    feedReport(report, judged, scorer);
    for (const Finding& f : o.findings) {
        const auto rule = verify::ruleOfKey(f.kind);
        report.addFinding(f.line, f.error, rule ? verify::ruleTitle(*rule) : std::string_view(f.text),
                          f.text);
    }
    o.report =
        report::reportPage(report, pageInfo(contest, s, settings, summaryOf(contest, judged, scorer, score)));
}

}  // namespace robot
