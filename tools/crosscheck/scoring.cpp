#include "tools/crosscheck/scoring.h"

#include <algorithm>

#include "tools/host/replay_session.h"

namespace crosscheck {

std::vector<char> tally(const std::vector<QsoCheck>& checks, bool removeUniques, LogResult& result) {
    std::vector<char> keep(checks.size());
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const QsoCheck& c = checks[i];
        const auto v = static_cast<std::size_t>(c.verdict);
        ++result.counts[v];
        keep[i] = c.credited && !(c.verdict == Verdict::kUnique && removeUniques);
        if (!keep[i]) ++result.lost[v];
    }
    return keep;
}

replay::ReplayLog selected(const replay::ReplayLog& log, const std::vector<char>& keep) {
    replay::ReplayLog out;
    replay::ReplayQso q;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (!keep[i]) continue;
        const auto t = log.texts(i);
        q.ownCall = t[replay::ReplayLog::kOwnCall];
        q.call = t[replay::ReplayLog::kCall];
        q.mode = t[replay::ReplayLog::kMode];
        q.rstSent = t[replay::ReplayLog::kRstSent];
        q.rstReceived = t[replay::ReplayLog::kRstReceived];
        q.numberSent = t[replay::ReplayLog::kNumberSent];
        q.numberReceived = t[replay::ReplayLog::kNumberReceived];
        q.prefix = t[replay::ReplayLog::kPrefix];
        q.continent = t[replay::ReplayLog::kContinent];
        q.band = t[replay::ReplayLog::kBand];
        q.frequencyHz = log[i].frequencyHz;
        q.when = log[i].when;
        q.time = log[i].time;
        out.add(q, log[i].record);
    }
    return out;
}

bool scoreLog(const host::PluginExports& plugin, const replay::ReplayLog& contacts, const Submission& s,
              const std::vector<QsoCheck>& checks, const ScoringRules& rules, const replay::CountryFile* countries,
              LogResult& r) {
    r.skippedLines = s.loaded.skipped;
    r.qsoLines = contacts.size();
    const std::vector<char> keep = tally(checks, rules.removeUniques, r);
    const host::ContestSetup setup = host::contestSetupFor(
        contacts, s.call, host::ContestChoices{s.call, "", rules.start, rules.end}, countries);
    const host::ReplayResult claimed = host::replayContest(plugin, contacts, setup);
    const host::ReplayResult checked = host::replayContest(plugin, selected(contacts, keep), setup);
    const auto claimedScore = logs::parseScore(claimed.summary);
    const auto checkedScore = claimedScore ? logs::parseScore(checked.summary) : std::nullopt;
    if (checkedScore) {
        r.claimed = *claimedScore;
        r.checked = *checkedScore;
    }
    r.penaltyQsos = static_cast<long long>(penaltyQsos(rules.penalty)) *
                    static_cast<long long>(r.counts[static_cast<std::size_t>(Verdict::kNotInLog)] +
                                           r.counts[static_cast<std::size_t>(Verdict::kBustedCall)]);
    r.finalScore = std::max(0LL, r.checked.qsos - r.penaltyQsos) * r.checked.multipliers;
    return checkedScore.has_value();
}

}  // namespace crosscheck
