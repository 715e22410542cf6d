#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

// Outside --start..--end when they are given, else outside the contest's periods.
bool outOfPeriod(const Matching& m, std::int64_t t) {
    using namespace std::chrono;
    const sys_seconds when = loggedAt(t);
    if (!m.options.start && !m.options.end) return !m.contest.inPeriod(when);
    const sys_days day = floor<days>(when);
    return (m.options.start && day < *m.options.start) || (m.options.end && day > *m.options.end);
}

}  // namespace

void preparePeriod(Matching& m) {
    if (m.options.start || m.options.end || m.contest.periods.empty()) return;
    for (std::size_t a = 0; a < m.logs.size(); ++a) m.records[a].outside.assign(m.logs[a].qsos.size(), 0);
}

// Judged by the log's time less its clock offset: a log whose clock is fast loses no QSO made in
// the period. The groups are sorted again without those outside.
void checkPeriod(Matching& m, std::size_t a) {
    LogRecord& r = m.records[a];
    // Where each period starts the dupes afresh, a clock off by minutes may have put a QSO in
    // another period than its repeats: they are judged again by the corrected time.
    const std::int64_t offset = m.result.clockOffsets[a];
    bool any = m.options.dupesByOrder && m.contest.checking.dupesPerPeriod && offset != 0 && judgeDupes(m, a, offset);
    for (std::uint32_t i = 0; i < m.logs[a].qsos.size(); ++i)
        if (m.judged(a, i) && outOfPeriod(m, r.time[i])) {
            // At the edge of a period given to the minute, the other log may hold the QSO inside
            // it: matched, then set aside.
            if (!r.outside.empty()) {
                r.outside[i] = 1;
                continue;
            }
            m.result.checks[a][i] = {Verdict::kOutOfPeriod, false};
            any = true;
        }
    if (any) {
        indexGroups(m, a);
        m.resorted = true;
    }
}

}  // namespace crosscheck::match
