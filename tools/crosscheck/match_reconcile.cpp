#include <tuple>

#include "tools/contest/dupe_book.h"
#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

// Before matching: QSOs the rules reject (band, mode, a missing number), then dupes of an earlier
// QSO the rules accept (by the contest's dupe rules, as the plug-in marks them); a definition's
// dupes wait for the matching (dupesAfterMatching). A QSO on a band the contest lacks is kept
// aside for pairOffBand, so that the other log keeps its side of it.
void reconcile(Matching& m, std::size_t a) {
    const auto& qsos = m.logs[a].qsos;
    auto& checks = m.result.checks[a];
    checks.assign(qsos.size(), QsoCheck{});
    std::vector<std::uint32_t> byTime(qsos.size());
    for (std::uint32_t i = 0; i < byTime.size(); ++i) byTime[i] = i;
    std::sort(byTime.begin(), byTime.end(), [&](std::uint32_t x, std::uint32_t y) {
        return std::tie(qsos[x].time, qsos[x].line, x) < std::tie(qsos[y].time, qsos[y].line, y);
    });
    contest::DupeBook book(m.contest);
    auto& offBand = m.records[a].offBand;
    offBand.clear();
    for (const std::uint32_t i : byTime) {
        const Qso& q = qsos[i];
        QsoCheck& c = checks[i];
        c.credited = false;
        if (const std::optional<Verdict> rejected = rejection(q, m.contest)) {
            c.verdict = *rejected;
            if (c.verdict == Verdict::kOutOfBand && m.contest.mode(q.mode)) offBand.push_back(i);
        } else if (!m.options.dupesByOrder) {
            c.credited = true;
        } else if (const auto earlier = book.judge(q.call, q.band, q.mode, loggedAt(q.time), i)) {
            c = {Verdict::kDupe, false, static_cast<std::uint32_t>(a), earlier->index,
                 static_cast<std::int32_t>(earlier->minutes)};
        } else {
            c.credited = true;
        }
    }
    auto& t = m.records[a].time;
    t.resize(qsos.size());
    for (std::size_t i = 0; i < qsos.size(); ++i) t[i] = qsos[i].time;
}

}  // namespace crosscheck::match
