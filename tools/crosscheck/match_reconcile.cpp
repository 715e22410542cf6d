#include <tuple>

#include "tools/contest/dupe_book.h"
#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

std::vector<std::uint32_t> inTimeOrder(const std::vector<Qso>& qsos) {
    std::vector<std::uint32_t> byTime(qsos.size());
    for (std::uint32_t i = 0; i < byTime.size(); ++i) byTime[i] = i;
    std::sort(byTime.begin(), byTime.end(), [&](std::uint32_t x, std::uint32_t y) {
        return std::tie(qsos[x].time, qsos[x].line, x) < std::tie(qsos[y].time, qsos[y].line, y);
    });
    return byTime;
}

}  // namespace

// Before matching: QSOs the rules reject (band, mode, a missing number), then dupes of an earlier
// QSO the rules accept (by the contest's dupe rules, as the plug-in marks them); a definition's
// dupes wait for the matching (dupesAfterMatching). A QSO on a band the contest lacks is kept
// aside for pairOffBand, so that the other log keeps its side of it.
void reconcile(Matching& m, std::size_t a) {
    const auto& qsos = m.logs[a].qsos;
    auto& checks = m.result.checks[a];
    checks.assign(qsos.size(), QsoCheck{});
    auto& offBand = m.records[a].offBand;
    offBand.clear();
    for (const std::uint32_t i : inTimeOrder(qsos)) {
        const Qso& q = qsos[i];
        if (const std::optional<Verdict> rejected = rejection(q, m.contest)) {
            checks[i] = {*rejected, false};
            if (*rejected == Verdict::kOutOfBand && m.contest.mode(q.mode)) offBand.push_back(i);
        }
    }
    if (m.options.dupesByOrder) judgeDupes(m, a, 0);
    auto& t = m.records[a].time;
    t.resize(qsos.size());
    for (std::size_t i = 0; i < qsos.size(); ++i) t[i] = qsos[i].time;
}

bool judgeDupes(Matching& m, std::size_t a, std::int64_t offset) {
    const auto& qsos = m.logs[a].qsos;
    auto& checks = m.result.checks[a];
    contest::DupeBook book(m.contest);
    bool changed = false;
    for (const std::uint32_t i : inTimeOrder(qsos)) {
        QsoCheck& c = checks[i];
        if (c.verdict != Verdict::kVerified && c.verdict != Verdict::kDupe) continue;  // rejected by the rules
        const Qso& q = qsos[i];
        QsoCheck judged;
        if (const auto earlier = book.judge(q.call, q.band, q.mode, loggedAt(q.time - offset), i))
            judged = {Verdict::kDupe, false, static_cast<std::uint32_t>(a), earlier->index,
                      static_cast<std::int32_t>(earlier->minutes)};
        changed = changed || !(judged.verdict == c.verdict && judged.otherQso == c.otherQso);
        c = judged;
    }
    return changed;
}

}  // namespace crosscheck::match
