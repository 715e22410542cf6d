#pragma once
// The matcher's state, which its stages (match_stages.h) share: the logs, the contest, one record
// per log (its judged QSOs grouped by call, band and mode; each QSO's tie to another log's QSO and
// its time less the log's clock offset) and the lookups every stage makes in another log's groups.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/contest/contest_definition.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/exchange.h"
#include "tools/crosscheck/short_text.h"

namespace crosscheck::match {

/// How a QSO is tied to a QSO of another log.
enum class Tie : std::uint8_t {
    kNone,
    kDirect,    ///< the two QSOs name each other's station
    kTaken,     ///< the other log's QSO is a busted call for this station
    kBust,      ///< this QSO's call is a busted copy of the other log's station
    kTime,      ///< all agrees but the time, even with the clock offsets applied
    kBandMode,  ///< all agrees but the band or the mode
};

/// The QSO of another log a QSO is tied to, and how.
struct Link {
    std::uint32_t log = QsoCheck::kNone;
    std::uint32_t qso = 0;
    Tie tie = Tie::kNone;
};

/// The group of a log's QSOs with one call on one band and mode: its stretch of the log's order.
struct Range {
    const std::uint32_t* begin = nullptr;
    const std::uint32_t* end = nullptr;
    bool empty() const { return begin == end; }
};

/// A stretch [lo, hi) of a log's order.
struct Span {
    std::uint32_t lo = 0, hi = 0;
};

/// An exact match with the log `other`, `distance` seconds apart (this log's time less the other's).
struct ExactMatch {
    std::uint32_t other = 0;
    std::int64_t distance = 0;
};

/// One log as the stages see it.
struct LogRecord {
    std::vector<std::uint32_t> order;    ///< the judged QSOs by group key, call, then time
    std::vector<std::uint64_t> keys;     ///< the group key of each entry of order
    std::vector<std::uint32_t> partner;  ///< per entry of order: the log of the station its group worked
    std::vector<Span> mirror;          ///< per first entry of a group: the partner's group with this station
    std::vector<std::uint32_t> table;  ///< group key -> 1 + its first place in order (open addressing)
    std::vector<Link> links;           ///< per QSO
    std::vector<std::int64_t> time;    ///< per QSO: as logged, less the log's clock offset
    std::vector<char> outside;         ///< per QSO, with the contest's own periods: outside them
    std::vector<std::uint32_t> offBand;  ///< the QSOs on a band the contest lacks, in a mode it has
    std::vector<ExactMatch> exact;     ///< the exact matches the clock offset rests on
};

/// How many logs hold a judged QSO with a call (`last`: the last log counted).
struct Worked {
    std::size_t last = 0;
    std::uint32_t count = 0;
};

/// Exact matches farther apart than this are taken for different QSOs, not for a wrong clock.
inline constexpr std::int64_t kLargestOffset = 6 * 3600;

/// A window that holds any distance in time.
inline constexpr std::int64_t kUnlimited = std::int64_t{1} << 50;

/// A QSO's time as the contest's periods and the dupe book take it.
inline std::chrono::sys_seconds loggedAt(std::int64_t t) {
    return std::chrono::sys_seconds{std::chrono::seconds{t}};
}

/// The matching of one contest's logs, from the reconciliation to the verdicts.
struct Matching {
    /// `logs`, `options` and `contest` must outlive the matching.
    Matching(const std::vector<StationLog>& logs, const CheckOptions& options,
             const contest::ContestDefinition& contest);

    const std::vector<StationLog>& logs;
    const CheckOptions& options;
    const contest::ContestDefinition& contest;
    const BandPlan plan;
    const ExchangeLayout exchange;
    CheckResult result;
    std::vector<LogRecord> records;
    TextMap<std::uint32_t> logOf;        ///< the log of each call that sent one
    std::atomic<bool> resorted = false;  ///< a log's groups sorted again after the mirrors were found
    std::vector<std::pair<std::uint32_t, ExactMatch>>
        foreign;  ///< exact matches found by the other log's task
    std::mutex foreignLock;
    TextMap<Worked> workedBy;                       ///< per call worked: the logs that hold it
    TextMap<std::vector<std::uint32_t>> nearCalls;  ///< per call without log: the logged calls one edit away

    const Qso& qso(std::uint32_t log, std::uint32_t i) const { return logs[log].qsos[i]; }
    std::int64_t when(std::uint32_t log, std::uint32_t i) const { return records[log].time[i]; }
    /// Still to be matched: no verdict before the matching took it.
    bool judged(std::size_t log, std::uint32_t i) const {
        return result.checks[log][i].credited && result.checks[log][i].verdict == Verdict::kVerified;
    }

    /// A group's key: a hash of the call, then the band and mode in the low bits.
    std::uint64_t groupKey(std::string_view call, const ShortText& band, const ShortText& mode) const {
        return callKey(call) | plan.slot(band, mode);
    }
    std::uint64_t callKey(std::string_view call) const;

    /// The stretch of `log`'s order with group key `key`: [lo, hi), empty when there is none.
    std::pair<std::size_t, std::size_t> stretch(std::uint32_t log, std::uint64_t key) const;
    /// The stretch [lo, hi) of `log`'s order narrowed to the QSOs with `call` (keys may collide).
    Range narrowed(std::uint32_t log, std::size_t lo, std::size_t hi, const ShortText& call) const;
    /// `log`'s group with `call` on `band` and `mode`.
    Range group(std::uint32_t log, const ShortText& call, const ShortText& band,
                const ShortText& mode) const {
        const auto [lo, hi] = stretch(log, groupKey(call, band, mode));
        return narrowed(log, lo, hi, call);
    }
    /// A log's judged QSOs with one call, whatever the band and mode (others only where keys collide).
    std::pair<std::size_t, std::size_t> callStretch(std::uint32_t log, std::string_view call) const;
    /// The place of group `g` of log `a` in its order.
    std::size_t placeOf(std::size_t a, Range g) const {
        return static_cast<std::size_t>(g.begin - records[a].order.data());
    }
    /// The log of the station that group `g` of log `a` worked, or QsoCheck::kNone.
    std::uint32_t partnerOf(std::size_t a, Range g) const { return records[a].partner[placeOf(a, g)]; }
    /// The partner's group with this station for group `g` of log `a` (empty when there is none).
    Range mirrorOf(std::size_t a, Range g) const;

    /// Calls `f(group, its first QSO)` with each group of log `a`.
    template <typename F>
    void forEachGroup(std::size_t a, F&& f) const {
        const auto& order = records[a].order;
        const auto& keys = records[a].keys;
        const auto& qsos = logs[a].qsos;
        for (std::size_t i = 0; i < order.size();) {
            const Qso& head = qsos[order[i]];
            std::size_t j = i + 1;
            while (j < order.size() && keys[j] == keys[i] && qsos[order[j]].call == head.call) ++j;
            f(Range{order.data() + i, order.data() + j}, head);
            i = j;
        }
    }

    /// Calls `f(group, its first QSO, other log)` for each group of log `a` with a station that sent
    /// a log, where this task owns the pair: the station whose call sorts first.
    template <typename F>
    void forEachOwnedPair(std::size_t a, F&& f) const {
        const ShortText own(logs[a].call);
        forEachGroup(a, [&](Range g, const Qso& head) {
            if (!(own < head.call)) return;
            const std::uint32_t other = partnerOf(a, g);
            if (other == QsoCheck::kNone) return;
            f(g, head, other);
        });
    }

    /// A QSO whose numbers can tell a clock offset: both are numbers, or the exchange has none.
    bool numbered(const Qso& q) const {
        return exchange.serialReceived() < 0 || (serialNumber(q.received) >= 0 && serialNumber(q.sent) >= 0);
    }
    /// Both numbers agree, both ways (every compared field when the exchange has no serial).
    bool serialsAgree(const Qso& x, const Qso& y) const {
        if (exchange.serialReceived() < 0 || exchange.serialSent() < 0) return bothNumbers(x, y);
        return sameNumber(x.received, y.sent) && sameNumber(x.sent, y.received);
    }
    /// Every compared field agrees both ways: for SA-TOLVEN, both numbers.
    bool bothNumbers(const Qso& x, const Qso& y) const {
        return exchange.receivedAgrees(x, y) && exchange.receivedAgrees(y, x);
    }

    /// Pairs the untied QSOs of `xs` (log `la`) and `ys` (log `lb`) that `fits` accepts within
    /// `window`, those whose numbers agree both ways first, then the nearest, each QSO at most once.
    /// `tie` receives each pair.
    template <typename Fits, typename F>
    void pairNearest(std::uint32_t la, Range xs, std::uint32_t lb, Range ys, std::int64_t window, Fits&& fits,
                     F&& tie) const;
};

template <typename Fits, typename F>
void Matching::pairNearest(std::uint32_t la, Range xs, std::uint32_t lb, Range ys, std::int64_t window,
                           Fits&& fits, F&& tie) const {
    struct Candidate {
        bool differ;  // the numbers differ one way or the other
        std::int64_t distance;
        std::size_t x, y;
    };
    // Room kept from call to call on each thread: the passes pair millions of groups.
    thread_local std::vector<Candidate> candidates;
    thread_local std::vector<char> usedX, usedY;
    candidates.clear();
    const auto& linksA = records[la].links;
    const auto& linksB = records[lb].links;
    std::size_t start = 0;
    const std::size_t nx = static_cast<std::size_t>(xs.end - xs.begin);
    const std::size_t ny = static_cast<std::size_t>(ys.end - ys.begin);
    for (std::size_t x = 0; x < nx; ++x) {
        if (linksA[xs.begin[x]].tie != Tie::kNone) continue;
        const std::int64_t tx = when(la, xs.begin[x]);
        while (start < ny && when(lb, ys.begin[start]) < tx - window) ++start;
        for (std::size_t y = start; y < ny && when(lb, ys.begin[y]) <= tx + window; ++y)
            if (linksB[ys.begin[y]].tie == Tie::kNone && fits(qso(la, xs.begin[x]), qso(lb, ys.begin[y]))) {
                const std::int64_t d = when(lb, ys.begin[y]) - tx;
                candidates.push_back({false, d < 0 ? -d : d, x, y});
            }
    }
    // Where a log holds two QSOs with the station within the window (two in one minute), the one
    // whose numbers agree is the QSO the other log holds, wherever the clocks put the other. A lone
    // candidate, by far the most, needs no comparing.
    if (candidates.size() > 1)
        for (Candidate& c : candidates)
            c.differ = !serialsAgree(qso(la, xs.begin[c.x]), qso(lb, ys.begin[c.y]));
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& p, const Candidate& q) {
        return std::tie(p.differ, p.distance, p.x, p.y) < std::tie(q.differ, q.distance, q.x, q.y);
    });
    if (candidates.empty()) return;
    usedX.assign(nx, 0);
    usedY.assign(ny, 0);
    for (const Candidate& c : candidates) {
        if (usedX[c.x] || usedY[c.y]) continue;
        usedX[c.x] = usedY[c.y] = 1;
        tie(xs.begin[c.x], ys.begin[c.y]);
    }
}

}  // namespace crosscheck::match
