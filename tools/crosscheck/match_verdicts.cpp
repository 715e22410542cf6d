#include <tuple>

#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

void matchedVerdict(const Matching& m, std::size_t a, std::uint32_t i, const Link& link, QsoCheck& check) {
    const Qso& own = m.qso(static_cast<std::uint32_t>(a), i);
    const Qso& other = m.qso(link.log, link.qso);
    switch (link.tie) {
        case Tie::kTime:
            // Numbers alike both ways far apart in time: the same QSO, whatever else was miscopied.
            if (m.exchange.receivedAgrees(own, other)) {
                const std::int64_t d = m.when(static_cast<std::uint32_t>(a), i) - m.when(link.log, link.qso);
                check.verdict = Verdict::kTimeMismatch;
                check.detail = static_cast<std::int32_t>((d < 0 ? d - 30 : d + 30) / 60);
                break;
            }
            [[fallthrough]];
        case Tie::kDirect:
        case Tie::kTaken:
            check.verdict =
                m.exchange.receivedAgrees(own, other) ? Verdict::kVerified : Verdict::kBustedExchange;
            check.credited = check.verdict == Verdict::kVerified;
            break;
        case Tie::kBust:
            check.verdict = Verdict::kBustedCall;
            check.credited = false;
            break;
        case Tie::kBandMode: {
            const bool band = own.band != other.band;
            check.verdict = band ? Verdict::kBandMismatch : Verdict::kModeMismatch;
            const bool ownPlaced = band ? placesBand(own, m.contest) : m.plan.placesMode(own);
            const bool otherPlaced = band ? placesBand(other, m.contest) : m.plan.placesMode(other);
            // The side whose frequency places the QSO keeps it when the other's does not.
            check.credited = ownPlaced && !otherPlaced;
            break;
        }
        case Tie::kNone:
            break;
    }
}

void unmatchedVerdict(const Matching& m, std::size_t a, const Qso& q, QsoCheck& check) {
    const auto other = m.logOf.find(q.call);
    if (other != m.logOf.end() && other->second != a) {
        check.verdict = Verdict::kNotInLog;
        check.otherLog = other->second;
        check.credited = false;
        return;
    }
    const auto worked = m.workedBy.find(q.call);
    check.verdict =
        worked != m.workedBy.end() && worked->second.count > 1 ? Verdict::kNoLog : Verdict::kUnique;
}

}  // namespace

void verdicts(Matching& m, std::size_t a) {
    const auto& qsos = m.logs[a].qsos;
    const LogRecord& r = m.records[a];
    auto& out = m.result.checks[a];
    for (std::uint32_t i = 0; i < qsos.size(); ++i) {
        if (!m.judged(a, i)) continue;
        const Link& link = r.links[i];
        QsoCheck& check = out[i];
        check.otherLog = link.log;
        check.otherQso = link.qso;
        if (link.tie == Tie::kNone)
            unmatchedVerdict(m, a, qsos[i], check);
        else
            matchedVerdict(m, a, i, link, check);
        // Matched as any QSO, so that the other log keeps its side; lost where the contest
        // confines the mode to sub-bands and this log's frequency lies outside them, or, with the
        // contest's own periods, where it lies outside them.
        if (m.plan.outsideSubBands(qsos[i]) || (!r.outside.empty() && r.outside[i])) {
            check.verdict = m.plan.outsideSubBands(qsos[i]) ? Verdict::kOutOfBand : Verdict::kOutOfPeriod;
            check.credited = false;
        }
    }
}

namespace {

// The period whose dupes a QSO counts among, as the dupe book keys it: the last period that
// holds it, or one past them all outside every period.
std::uint32_t dupePeriod(const contest::ContestDefinition& contest, std::int64_t t) {
    std::size_t period = contest.periods.size();
    for (std::size_t p = 0; p < contest.periods.size(); ++p)
        if (contest.periods[p].holds(loggedAt(t))) period = p;
    return static_cast<std::uint32_t>(period);
}

// One group of dupesAfterMatching, [begin, end) in time order. With a repeat time, the group is
// judged in stretches of that time from the first QSO not yet judged, and the QSOs after the
// counted one within that time are its dupes: two counted QSOs always stand that time apart.
void dupesOfGroup(Matching& m, std::size_t a, const std::uint32_t* begin, const std::uint32_t* end) {
    const auto& qsos = m.logs[a].qsos;
    const auto& links = m.records[a].links;
    const std::optional<int>& after = m.contest.checking.repeatAfterMinutes;
    const auto minutesFrom = [&](std::uint32_t from, std::uint32_t to) {
        return static_cast<std::int64_t>((qsos[to].time - qsos[from].time) / 60);
    };
    const auto within = [&](std::uint32_t from, std::uint32_t to) {
        return !after || minutesFrom(from, to) < *after;
    };
    // Confirmed where the other log names this station; less so where it holds the QSO under a
    // busted copy of this station's call.
    const auto named = [&](std::uint32_t i) {
        return links[i].tie != Tie::kNone && links[i].tie != Tie::kBust && links[i].tie != Tie::kTaken;
    };
    const auto taken = [&](std::uint32_t i) { return links[i].tie == Tie::kTaken; };
    for (const std::uint32_t* w = begin; w != end;) {
        const std::uint32_t* e = w + 1;
        while (e != end && within(*w, *e)) ++e;
        const std::uint32_t* found = std::find_if(w, e, named);
        if (found == e) found = std::find_if(w, e, taken);
        const std::uint32_t kept = found == e ? *w : *found;
        while (e != end && within(kept, *e)) ++e;
        for (const std::uint32_t* p = w; p != e; ++p) {
            if (*p == kept) continue;
            m.result.checks[a][*p] = {Verdict::kDupe, false, static_cast<std::uint32_t>(a), kept,
                                      static_cast<std::int32_t>(minutesFrom(kept, *p))};
            // The other log may put the two further apart than this one: the report names its times.
            if (after && named(*p) && named(kept) && links[*p].log == links[kept].log)
                m.result.dupesInOtherLog[a].push_back({*p, links[kept].log, links[kept].qso, links[*p].qso});
        }
        w = e;
    }
}

}  // namespace

// Of a log's QSOs with one call on one band and mode (and period, where each starts the dupes
// afresh) that the rules accept, the first that the other log confirms counts (the first of them
// when none is confirmed; one the other log holds under a busted call when none is named); the
// others are dupes of it.
void dupesAfterMatching(Matching& m, std::size_t a) {
    const auto& qsos = m.logs[a].qsos;
    const auto& checks = m.result.checks[a];
    std::vector<std::uint32_t> period;
    if (m.contest.checking.dupesPerPeriod) {
        period.resize(qsos.size());
        // By the corrected time, as the period itself is judged: a slow clock that logs a QSO in the
        // gap between two periods does not part it from its repeats.
        const std::vector<std::int64_t>& corrected = m.records[a].time;
        for (std::uint32_t i = 0; i < qsos.size(); ++i) period[i] = dupePeriod(m.contest, corrected[i]);
    }
    const auto periodOf = [&](std::uint32_t i) { return period.empty() ? 0u : period[i]; };
    std::vector<std::uint32_t> byTime;
    for (std::uint32_t i = 0; i < qsos.size(); ++i)
        if (!isReconciliation(checks[i].verdict)) byTime.push_back(i);
    std::sort(byTime.begin(), byTime.end(), [&](std::uint32_t x, std::uint32_t y) {
        const std::uint32_t px = periodOf(x), py = periodOf(y);
        return std::tie(qsos[x].call, qsos[x].band, qsos[x].mode, px, qsos[x].time, qsos[x].line, x) <
               std::tie(qsos[y].call, qsos[y].band, qsos[y].mode, py, qsos[y].time, qsos[y].line, y);
    });
    for (std::size_t k = 0; k < byTime.size();) {
        const Qso& head = qsos[byTime[k]];
        std::size_t e = k + 1;
        while (e < byTime.size() && qsos[byTime[e]].call == head.call && qsos[byTime[e]].band == head.band &&
               qsos[byTime[e]].mode == head.mode && periodOf(byTime[e]) == periodOf(byTime[k]))
            ++e;
        dupesOfGroup(m, a, byTime.data() + k, byTime.data() + e);
        k = e;
    }
    auto& seen = m.result.dupesInOtherLog[a];
    std::sort(seen.begin(), seen.end(), [](const auto& x, const auto& y) { return x.qso < y.qso; });
}

}  // namespace crosscheck::match
