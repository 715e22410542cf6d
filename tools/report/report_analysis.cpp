#include "tools/report/report_analysis.h"

#include <algorithm>

#include "core/amateur_bands.h"
#include "tools/report/report_format.h"

namespace report {
namespace {

using namespace std::chrono;

constexpr std::int64_t kRunSpan = 600;  // seconds
constexpr std::uint32_t kCwTolerance = 100, kOtherTolerance = 500;  // Hz
constexpr std::size_t kMaxCurvePoints = 1000;
// QSOs looked at on each side of one when its runs are sought: far more than a band carries in 10
// minutes, and a bound when a broken log gives many thousands the same time.
constexpr std::size_t kMaxRunScan = 2000;


// Loggers without a frequency write the band's designator in its place: on the bands below
// 30 MHz, its lower edge.
bool bandDesignator(std::uint32_t hz) {
    return std::any_of(stats::kAmateurBands.begin(), stats::kAmateurBands.end(),
                       [&](const stats::AmateurBand& b) { return b.hf() && hz == b.lowKHz * 1000; });
}

// Per activity band, whether a contact on it gives a frequency that is no designator: there a
// band edge such as 7000 kHz is a real frequency too, where a log of designators has none.
std::vector<bool> bandsWithFrequencies(const std::vector<ActivityPoint>& points) {
    std::vector<bool> real;
    for (const ActivityPoint& p : points) {
        if (p.frequencyHz == 0 || bandDesignator(p.frequencyHz)) continue;
        if (real.size() <= p.band) real.resize(p.band + 1u);
        real[p.band] = true;
    }
    return real;
}

// The contacts sorted by time: the replay feeds them so, a caller of the report may not.
const std::vector<ActivityPoint>& inTimeOrder(const std::vector<ActivityPoint>& points,
                                              std::vector<ActivityPoint>& copy) {
    const auto earlier = [](const ActivityPoint& a, const ActivityPoint& b) { return a.when < b.when; };
    if (std::is_sorted(points.begin(), points.end(), earlier)) return points;
    copy = points;
    std::stable_sort(copy.begin(), copy.end(), earlier);
    return copy;
}

}  // namespace

BestRate bestRate(const std::vector<ActivityPoint>& points, minutes window) {
    BestRate best;
    best.window = window;
    std::vector<ActivityPoint> copy;
    const std::vector<ActivityPoint>& p = inTimeOrder(points, copy);
    const std::int64_t span = duration_cast<seconds>(window).count();
    // The best window may as well start in the minute of its first QSO: two pointers over the QSOs.
    std::size_t end = 0;
    std::uint32_t inside = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (!p[i].counted) continue;
        const std::int64_t start = floorDiv(p[i].when, 60) * 60;
        if (end < i) end = i, inside = 0;
        while (end < p.size() && p[end].when < start + span) inside += p[end++].counted;
        if (inside > best.qsos) {
            best.qsos = inside;
            best.start = sys_seconds{seconds{start}};
        }
        --inside;  // QSO i leaves the window
    }
    return best;
}

TimeOn timeOn(const std::vector<ActivityPoint>& points, int band, minutes minBreak, const TimePeriod& period) {
    TimeOn t;
    const std::int64_t least = duration_cast<seconds>(minBreak).count();
    std::optional<std::int64_t> first, previous;
    if (period.from) previous = first = period.from->time_since_epoch().count();
    const auto gap = [&](std::int64_t from, std::int64_t to) {
        if (to - from < least) return;
        ++t.breakCount;
        t.off += seconds{to - from};
        if (t.breaks.size() < ContestReport::kListed)
            t.breaks.push_back({sys_seconds{seconds{from}}, sys_seconds{seconds{to}}});
    };
    for (const ActivityPoint& p : points) {
        if (band != kAllBands && p.band != band) continue;
        if ((period.from && p.when < period.from->time_since_epoch().count()) ||
            (period.to && p.when >= period.to->time_since_epoch().count()))
            continue;
        ++t.contacts;
        if (!first) first = p.when;
        if (previous && p.when > *previous) gap(*previous, p.when);
        previous = previous ? std::max(*previous, p.when) : p.when;
    }
    if (period.to && previous) gap(*previous, period.to->time_since_epoch().count());
    if (period.to && !previous && period.from) gap(period.from->time_since_epoch().count(), period.to->time_since_epoch().count());
    const std::int64_t last = period.to ? period.to->time_since_epoch().count() : previous.value_or(0);
    if (first && last > *first) t.on = seconds{last - *first} - t.off;
    if (t.on < seconds{0}) t.on = seconds{0};
    return t;
}

std::vector<RunState> runStates(const std::vector<ActivityPoint>& points) {
    std::vector<RunState> state(points.size(), RunState::kNotQso);
    const bool inOrder = std::is_sorted(points.begin(), points.end(),
                                        [](const ActivityPoint& a, const ActivityPoint& b) { return a.when < b.when; });
    // Per band, the QSOs with a known frequency in time order, their times and frequencies side by
    // side so that the scans below run over plain arrays.
    std::map<std::uint16_t, std::vector<std::size_t>> byBand;
    const std::vector<bool> real = bandsWithFrequencies(points);
    const auto known = [&](const ActivityPoint& p) {
        return p.frequencyHz != 0 && (!bandDesignator(p.frequencyHz) || (p.band < real.size() && real[p.band]));
    };
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!points[i].counted) continue;
        if (!known(points[i])) {
            state[i] = RunState::kUnknown;
            continue;
        }
        byBand[points[i].band].push_back(i);
    }
    std::vector<std::int64_t> when;
    std::vector<std::uint32_t> hz;
    for (auto& [band, members] : byBand) {
        if (!inOrder)
            std::stable_sort(members.begin(), members.end(),
                             [&](std::size_t a, std::size_t b) { return points[a].when < points[b].when; });
        when.resize(members.size());
        hz.resize(members.size());
        for (std::size_t k = 0; k < members.size(); ++k) {
            when[k] = points[members[k]].when;
            hz[k] = points[members[k]].frequencyHz;
        }
        std::size_t lo = 0, hi = 0;
        for (std::size_t k = 0; k < members.size(); ++k) {
            while (when[lo] < when[k] - kRunSpan) ++lo;
            if (hi < k) hi = k;
            while (hi + 1 < members.size() && when[hi + 1] <= when[k] + kRunSpan) ++hi;
            const std::uint32_t tol = points[members[k]].mode == kCw ? kCwTolerance : kOtherTolerance;
            const std::uint32_t f = hz[k];
            const auto near = [&](std::size_t j) { return hz[j] - f + tol <= 2 * tol; };  // unsigned: |hz - f| <= tol
            // Three QSOs within 10 minutes: two before, two after, or one on each side close enough.
            std::size_t before = 0, after = 0;
            std::int64_t latestBefore = 0, earliestAfter = 0;
            const std::size_t from = std::max(lo, k > kMaxRunScan ? k - kMaxRunScan : 0);
            const std::size_t to = std::min(hi, k + kMaxRunScan);
            for (std::size_t j = k; j-- > from && before < 2;)
                if (near(j)) {
                    if (before++ == 0) latestBefore = when[j];
                }
            for (std::size_t j = k + 1; j <= to && after < 2; ++j)
                if (near(j)) {
                    if (after++ == 0) earliestAfter = when[j];
                }
            const bool run = before >= 2 || after >= 2 || (before && after && earliestAfter - latestBefore <= kRunSpan);
            state[members[k]] = run ? RunState::kRun : RunState::kSearch;
        }
    }
    return state;
}

ReportAnalysis analyseReport(const ContestReport& report, minutes minBreak, const TimePeriod& period) {
    ReportAnalysis a;
    a.minBreak = minBreak;
    a.period = period;
    std::vector<ActivityPoint> copy;
    const std::vector<ActivityPoint>& p = inTimeOrder(report.activity(), copy);
    const minutes windows[] = {minutes{10}, minutes{30}, minutes{60}};
    for (int w = 0; w < 3; ++w) a.best[w] = bestRate(p, windows[w]);

    a.station = timeOn(p, kAllBands, minBreak, period);
    for (std::size_t b = 0; b < report.activityBands().size(); ++b)
        a.bands.push_back(timeOn(p, static_cast<int>(b), minBreak, period));

    // The rate curve: QSOs per 10 minutes on the clock, in longer steps when a log is long.
    std::int64_t firstQso = 0, lastQso = 0;
    bool any = false;
    for (const ActivityPoint& q : p)
        if (q.counted) {
            if (!any) firstQso = q.when;
            lastQso = q.when;
            any = true;
        }
    if (any) {
        const std::int64_t slots = floorDiv(lastQso, 600) - floorDiv(firstQso, 600) + 1;
        const std::int64_t per = (slots + static_cast<std::int64_t>(kMaxCurvePoints) - 1) / static_cast<std::int64_t>(kMaxCurvePoints);
        a.curveStep = minutes{10 * per};
        const std::int64_t step = 600 * per;
        const std::int64_t start = floorDiv(firstQso, step) * step;
        a.curveStart = sys_seconds{seconds{start}};
        a.curve.assign(static_cast<std::size_t>(floorDiv(lastQso - start, step) + 1), 0);
        for (const ActivityPoint& q : p)
            if (q.counted) ++a.curve[static_cast<std::size_t>(floorDiv(q.when - start, step))];
    }

    const std::vector<RunState> runs = runStates(p);
    const std::size_t bands = report.activityBands().size();
    a.runsByBand.assign(bands, {});
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (runs[i] == RunState::kNotQso) continue;
        std::vector<RunCount>& hour = a.runsByHour[floorDiv(p[i].when, 3600)];
        if (hour.empty()) hour.assign(bands, {});
        for (RunCount* c : {&hour[p[i].band], &a.runsByBand[p[i].band], &a.runs}) {
            ++c->qsos;
            c->known += runs[i] != RunState::kUnknown;
            c->run += runs[i] == RunState::kRun;
        }
    }
    a.frequenciesKnown = a.runs.known > 0;
    for (const auto& [number, h] : report.hours()) a.bandChanges += h.bandChanges;
    return a;
}

std::vector<std::string> callsMissingFrom(const ContestReport& a, const ContestReport& b) {
    std::vector<std::string> out;
    for (const std::string& call : a.calls())
        if (!b.workedCall(call)) out.push_back(call);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> prefixesMissingFrom(const ContestReport& a, const ContestReport& b) {
    std::vector<std::string> out;
    for (const auto& [prefix, first] : a.prefixes())
        if (!b.prefixes().count(prefix)) out.push_back(prefix);
    return out;  // a map's keys come sorted
}

}  // namespace report
