#include "tools/crosscheck/crosscheck.h"

#include "tools/contest/dupe_book.h"
#include "tools/crosscheck/exchange.h"
#include "tools/crosscheck/inference.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>

namespace crosscheck {

bool isReconciliation(Verdict verdict) {
    return verdict == Verdict::kDupe || verdict == Verdict::kOutOfBand || verdict == Verdict::kOutOfMode ||
           verdict == Verdict::kNoNumber || verdict == Verdict::kOutOfPeriod;
}

bool oneEditApart(std::string_view a, std::string_view b) {
    if (a.size() > b.size()) std::swap(a, b);
    if (b.size() - a.size() > 1) return false;
    std::size_t i = 0;
    while (i < a.size() && a[i] == b[i]) ++i;
    if (a.size() == b.size()) return i < a.size() && a.substr(i + 1) == b.substr(i + 1);
    return a.substr(i) == b.substr(i + 1);
}

namespace {

std::string_view withoutLeadingZeros(std::string_view s) {
    while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
    return s;
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::uint64_t digitsValue(std::string_view digits) {
    std::uint64_t v = 0;
    for (const char c : digits) v = v * 10 + static_cast<std::uint64_t>(c - '0');
    return v;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool sameNumber(std::string_view a, std::string_view b) {
    if (allDigits(a) && allDigits(b)) {
        // Numbers of up to 18 digits compare as numbers (the matching compares millions of them).
        if (a.size() <= 18 && b.size() <= 18) return digitsValue(a) == digitsValue(b);
        return withoutLeadingZeros(a) == withoutLeadingZeros(b);
    }
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upper(x) == upper(y);
           });
}

long serialNumber(std::string_view s) {
    if (!allDigits(s) || s.size() > 9) return -1;
    long v = 0;
    for (const char c : s) v = v * 10 + (c - '0');
    return v;
}

void forEachIndex(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto loop = [&] {
        try {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> threads;
    const std::size_t extra = std::min<std::size_t>(workers > 1 ? workers - 1 : 0, count > 1 ? count - 1 : 0);
    for (std::size_t t = 0; t < extra; ++t) threads.emplace_back(loop);
    loop();
    for (auto& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}


namespace {

// How a QSO is tied to a QSO of another log.
enum class Tie : std::uint8_t {
    kNone,
    kDirect,    // the two QSOs name each other's station
    kTaken,     // the other log's QSO is a busted call for this station
    kBust,      // this QSO's call is a busted copy of the other log's station
    kTime,      // all agrees but the time, even with the clock offsets applied
    kBandMode,  // all agrees but the band or the mode
};

struct Link {
    std::uint32_t log = QsoCheck::kNone;
    std::uint32_t qso = 0;
    Tie tie = Tie::kNone;
};

// The group of a log's QSOs with one call on one band and mode: its stretch of the log's order.
struct Range {
    const std::uint32_t* begin = nullptr;
    const std::uint32_t* end = nullptr;
    bool empty() const { return begin == end; }
};

constexpr std::int64_t kUnlimited = std::int64_t{1} << 50;
// Exact matches farther apart than this are taken for different QSOs, not for a wrong clock.
constexpr std::int64_t kLargestOffset = 6 * 3600;

template <typename T>
T lowerMedian(std::vector<T>& values) {
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>((values.size() - 1) / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

class Matcher {
  public:
    Matcher(const std::vector<StationLog>& logs, const CheckOptions& options)
        : logs_(logs),
          options_(options),
          contest_(options.contest ? *options.contest : saTolven()),
          plan_(contest_),
          exchange_(contest_) {}

    CheckResult run() {
        const std::size_t n = logs_.size();
        result_.checks.resize(n);
        result_.clockOffsets.assign(n, 0);
        result_.offsetMatches.assign(n, 0);
        result_.notes.resize(n);
        order_.resize(n);
        keys_.resize(n);
        partner_.resize(n);
        mirror_.resize(n);
        table_.resize(n);
        links_.resize(n);
        time_.resize(n);
        exact_.resize(n);
        for (std::size_t i = 0; i < n; ++i) logOf_.emplace(logs_[i].call, static_cast<std::uint32_t>(i));
        forEachIndex(n, options_.workers, [&](std::size_t a) {
            reconcile(a);
            sortLog(a);
        });
        forEachIndex(n, options_.workers, [&](std::size_t a) { findMirrors(a, true); });
        for (const Foreign& f : foreign_) exact_[f.log].push_back({f.other, f.distance});
        foreign_ = {};
        solveClockOffsets();
        if (!options_.start && !options_.end && !contest_.periods.empty()) {
            outside_.resize(n);
            for (std::size_t a = 0; a < n; ++a) outside_[a].assign(logs_[a].qsos.size(), 0);
        }
        forEachIndex(n, options_.workers, [&](std::size_t a) { checkPeriod(a); });
        if (resorted_) {
            for (auto& m : mirror_) std::fill(m.begin(), m.end(), Span{});
            forEachIndex(n, options_.workers, [&](std::size_t a) { findMirrors(a, false); });
        }
        countWorkedCalls();
        findNearCalls();
        forEachIndex(n, options_.workers, [&](std::size_t a) { pairDirect(a); });
        forEachIndex(n, options_.workers, [&](std::size_t a) { pairTimeMismatch(a); });
        forEachIndex(n, options_.workers, [&](std::size_t a) { pairBandOrMode(a); });
        forEachIndex(n, options_.workers, [&](std::size_t a) { pairBusted(a); });
        forEachIndex(n, options_.workers, [&](std::size_t a) { verdicts(a); });
        if (!options_.dupesByOrder) forEachIndex(n, options_.workers, [&](std::size_t a) { dupesAfterMatching(a); });
        inferVerdicts(logs_, time_, options_, result_);
        return std::move(result_);
    }

  private:
    const Qso& qso(std::uint32_t log, std::uint32_t i) const { return logs_[log].qsos[i]; }
    std::int64_t when(std::uint32_t log, std::uint32_t i) const { return time_[log][i]; }

    // Before matching: QSOs the rules reject (band, mode, a missing number), then dupes of an
    // earlier QSO the rules accept (as the plug-in marks them), then QSOs outside the period.
    void reconcile(std::size_t a) {
        const auto& qsos = logs_[a].qsos;
        auto& checks = result_.checks[a];
        checks.assign(qsos.size(), QsoCheck{});
        std::vector<std::uint32_t> byTime(qsos.size());
        for (std::uint32_t i = 0; i < byTime.size(); ++i) byTime[i] = i;
        std::sort(byTime.begin(), byTime.end(), [&](std::uint32_t x, std::uint32_t y) {
            return std::tie(qsos[x].time, qsos[x].line, x) < std::tie(qsos[y].time, qsos[y].line, y);
        });
        contest::DupeBook book(contest_);
        for (const std::uint32_t i : byTime) {
            const Qso& q = qsos[i];
            QsoCheck& c = checks[i];
            c.credited = false;
            if (const std::optional<Verdict> rejected = rejection(q, contest_)) {
                c.verdict = *rejected;
            } else if (!options_.dupesByOrder) {
                c.credited = true;  // dupes are judged after the matching
            } else if (const auto earlier = book.judge(q.call, q.band, q.mode, loggedAt(q.time), i)) {
                c = {Verdict::kDupe, false, static_cast<std::uint32_t>(a), earlier->index,
                     static_cast<std::int32_t>(earlier->minutes)};
            } else {
                c.credited = true;
            }
        }
        auto& t = time_[a];
        t.resize(qsos.size());
        for (std::size_t i = 0; i < qsos.size(); ++i) t[i] = qsos[i].time;
    }

    // The contest period, judged by the log's time less its clock offset: a log whose clock is
    // fast loses no QSO made in the period. The groups are sorted again without those outside.
    void checkPeriod(std::size_t a) {
        bool any = false;
        for (std::uint32_t i = 0; i < logs_[a].qsos.size(); ++i)
            if (judged(a, i) && outOfPeriod(time_[a][i])) {
                // At the edge of a period given to the minute, the other log may hold the QSO
                // inside it: matched, then set aside.
                if (!outside_.empty()) {
                    outside_[a][i] = 1;
                    continue;
                }
                result_.checks[a][i] = {Verdict::kOutOfPeriod, false};
                any = true;
            }
        if (any) {
            sortLog(a);
            resorted_ = true;
        }
    }

    // Outside --start..--end when they are given, else outside the contest's periods.
    bool outOfPeriod(std::int64_t t) const {
        using namespace std::chrono;
        const sys_seconds when{seconds{t}};
        if (!options_.start && !options_.end) return !contest_.inPeriod(when);
        const sys_days day = floor<days>(when);
        return (options_.start && day < *options_.start) || (options_.end && day > *options_.end);
    }

    bool judged(std::size_t log, std::uint32_t i) const {
        return result_.checks[log][i].credited && result_.checks[log][i].verdict == Verdict::kVerified;
    }

    // A group's key: a hash of the call (FNV-1a, the same on every system), then the band and
    // mode of a judged QSO in the low bits. Sorting and searching compare these numbers, and the
    // calls only where two keys are equal.
    std::uint64_t groupKey(std::string_view call, const ShortText& band, const ShortText& mode) const {
        return callKey(call) | plan_.slot(band, mode);
    }

    std::uint64_t callKey(std::string_view call) const {
        std::uint64_t h = 0xcbf29ce484222325ull;
        for (const char c : call) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
        return h << plan_.slotBits();
    }

    // The judged QSOs by group key, call, then time: every group is one stretch, sorted by time.
    void sortLog(std::size_t a) {
        const auto& qsos = logs_[a].qsos;
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
        for (std::uint32_t i = 0; i < qsos.size(); ++i)
            if (judged(a, i)) keyed.emplace_back(groupKey(qsos[i].call, qsos[i].band, qsos[i].mode), i);
        std::sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
            if (x.first != y.first) return x.first < y.first;
            const Qso& p = qsos[x.second];
            const Qso& q = qsos[y.second];
            return std::tie(p.call, p.time, p.line, x.second) < std::tie(q.call, q.time, q.line, y.second);
        });
        auto& order = order_[a];
        auto& keys = keys_[a];
        order.resize(keyed.size());
        keys.resize(keyed.size());
        for (std::size_t k = 0; k < keyed.size(); ++k) std::tie(keys[k], order[k]) = keyed[k];
        // Each group's partner log, looked up once for every pass over the groups.
        auto& partner = partner_[a];
        partner.resize(order.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            const bool sameGroup = k > 0 && keys[k] == keys[k - 1] && qsos[order[k]].call == qsos[order[k - 1]].call;
            if (sameGroup) {
                partner[k] = partner[k - 1];
                continue;
            }
            const auto other = logOf_.find(qsos[order[k]].call);
            partner[k] = other == logOf_.end() ? QsoCheck::kNone : other->second;
        }
        links_[a].assign(qsos.size(), Link{});
        mirror_[a].assign(order.size(), Span{});
        // Each group's first place in an open-addressing table, so that finding another log's
        // group costs a probe or two instead of a binary search through memory no cache holds.
        auto& table = table_[a];
        std::size_t size = 4;
        while (size < keys.size() * 2) size *= 2;
        table.assign(size, 0);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (k > 0 && keys[k] == keys[k - 1]) continue;
            std::size_t slot = slotOf(keys[k], size);
            while (table[slot]) slot = (slot + 1) & (size - 1);
            table[slot] = static_cast<std::uint32_t>(k + 1);
        }
    }

    static std::size_t slotOf(std::uint64_t key, std::size_t size) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (size - 1);
    }

    // The stretch of `log`'s order with group key `key`: [lo, hi), empty when there is none.
    std::pair<std::size_t, std::size_t> stretch(std::uint32_t log, std::uint64_t key) const {
        const auto& table = table_[log];
        const auto& keys = keys_[log];
        if (table.empty()) return {0, 0};
        for (std::size_t slot = slotOf(key, table.size());; slot = (slot + 1) & (table.size() - 1)) {
            const std::uint32_t at = table[slot];
            if (!at) return {0, 0};
            if (keys[at - 1] != key) continue;
            std::size_t hi = at;
            while (hi < keys.size() && keys[hi] == key) ++hi;
            return {at - 1, hi};
        }
    }

    // The stretch [lo, hi) of `log`'s order narrowed to the QSOs with `call` (keys may collide).
    Range narrowed(std::uint32_t log, std::size_t lo, std::size_t hi, const ShortText& call) const {
        const auto& order = order_[log];
        const auto& qsos = logs_[log].qsos;
        if (lo < hi && (qsos[order[lo]].call != call || qsos[order[hi - 1]].call != call)) {
            while (lo < hi && qsos[order[lo]].call != call) ++lo;
            std::size_t end = lo;
            while (end < hi && qsos[order[end]].call == call) ++end;
            hi = end;
        }
        return {order.data() + lo, order.data() + hi};
    }

    Range group(std::uint32_t log, const ShortText& call, const ShortText& band, const ShortText& mode) const {
        const auto [lo, hi] = stretch(log, groupKey(call, band, mode));
        return narrowed(log, lo, hi, call);
    }

    // A log's judged QSOs with one call, whatever the band and mode (others only where keys collide).
    // The keys of one call's groups differ only in their low bits, so they stand together in the
    // sorted keys: two binary searches in a log's few kilobytes, not a probe per band and mode.
    std::pair<std::size_t, std::size_t> callStretch(std::uint32_t log, std::string_view call) const {
        const std::uint64_t first = callKey(call), span = std::uint64_t{1} << plan_.slotBits();
        const auto& keys = keys_[log];
        const auto lo = std::lower_bound(keys.begin(), keys.end(), first);
        const auto hi = first > ~std::uint64_t{0} - span ? keys.end() : std::lower_bound(lo, keys.end(), first + span);
        return {static_cast<std::size_t>(lo - keys.begin()), static_cast<std::size_t>(hi - keys.begin())};
    }

    // The log of the station that group `g` of log `a` worked, or QsoCheck::kNone.
    std::uint32_t partnerOf(std::size_t a, Range g) const {
        return partner_[a][static_cast<std::size_t>(g.begin - order_[a].data())];
    }

    // An exact match that a log found for the other: log `log`'s with `other`, `distance` apart.
    struct Foreign {
        std::uint32_t log, other;
        std::int64_t distance;
    };

    // Each group's counterpart in its partner's log (the partner's QSOs with this station on the
    // same band and mode), found once for all the passes that pair the two: the log with the lower
    // index looks it up and tells both groups, so each pair costs one lookup in another log's table.
    // With `collect`, the exact matches of the two groups too, while their QSOs are at hand.
    void findMirrors(std::size_t a, bool collect) {
        std::vector<Foreign> foreign;
        const ShortText own(logs_[a].call);
        const std::uint64_t ownKey = callKey(own.view());
        const std::uint64_t slotMask = (std::uint64_t{1} << plan_.slotBits()) - 1;
        const std::uint32_t* base = order_[a].data();
        forEachGroup(a, [&](Range g, const Qso&) {
            const std::uint32_t lb = partnerOf(a, g);
            if (lb == QsoCheck::kNone || lb <= a) return;
            const auto k = static_cast<std::uint32_t>(g.begin - base);
            const auto [lo, hi] = stretch(lb, ownKey | (keys_[a][k] & slotMask));
            const Range ys = narrowed(lb, lo, hi, own);
            if (ys.empty()) return;
            const auto yk = static_cast<std::uint32_t>(ys.begin - order_[lb].data());
            mirror_[a][k] = {yk, static_cast<std::uint32_t>(ys.end - order_[lb].data())};
            mirror_[lb][yk] = {k, static_cast<std::uint32_t>(g.end - base)};
            if (collect) collectExactMatches(static_cast<std::uint32_t>(a), g, lb, ys, foreign);
        });
        if (foreign.empty()) return;
        const std::lock_guard<std::mutex> lock(foreignLock_);
        foreign_.insert(foreign_.end(), foreign.begin(), foreign.end());
    }

    // The partner's group with this station for group `g` of log `a` (empty when there is none).
    Range mirrorOf(std::size_t a, Range g) const {
        const std::uint32_t lb = partnerOf(a, g);
        if (lb == QsoCheck::kNone) return {};
        const Span s = mirror_[a][static_cast<std::size_t>(g.begin - order_[a].data())];
        return {order_[lb].data() + s.lo, order_[lb].data() + s.hi};
    }

    // Calls the loop with each group of log `a`: [first, last) of its order.
    template <typename F>
    void forEachGroup(std::size_t a, F&& f) const {
        const auto& order = order_[a];
        const auto& keys = keys_[a];
        const auto& qsos = logs_[a].qsos;
        for (std::size_t i = 0; i < order.size();) {
            const Qso& head = qsos[order[i]];
            std::size_t j = i + 1;
            while (j < order.size() && keys[j] == keys[i] && qsos[order[j]].call == head.call) ++j;
            f(Range{order.data() + i, order.data() + j}, head);
            i = j;
        }
    }

    // A QSO whose numbers can tell a clock offset: both are numbers, or the exchange has none.
    bool numbered(const Qso& q) const {
        return exchange_.serialReceived() < 0 || (serialNumber(q.received) >= 0 && serialNumber(q.sent) >= 0);
    }

    // Both numbers agree, both ways (every compared field when the exchange has no serial).
    bool serialsAgree(const Qso& x, const Qso& y) const {
        if (exchange_.serialReceived() < 0 || exchange_.serialSent() < 0) return bothNumbers(x, y);
        return sameNumber(x.received, y.sent) && sameNumber(x.sent, y.received);
    }

    // Every compared field agrees both ways: for SA-TOLVEN, both numbers.
    bool bothNumbers(const Qso& x, const Qso& y) const {
        return exchange_.receivedAgrees(x, y) && exchange_.receivedAgrees(y, x);
    }

    // Pairs the untied QSOs of `xs` and `ys` that `fits` accepts within `window`, nearest first,
    // each QSO at most once. `tie` receives each pair.
    template <typename Fits, typename F>
    void pairNearest(std::uint32_t la, Range xs, std::uint32_t lb, Range ys, std::int64_t window, Fits&& fits,
                     F&& tie) const {
        struct Candidate {
            std::int64_t distance;
            std::size_t x, y;
        };
        // Room kept from call to call on each thread: the passes pair millions of groups.
        thread_local std::vector<Candidate> candidates;
        thread_local std::vector<char> usedX, usedY;
        candidates.clear();
        std::size_t start = 0;
        const std::size_t nx = static_cast<std::size_t>(xs.end - xs.begin);
        const std::size_t ny = static_cast<std::size_t>(ys.end - ys.begin);
        for (std::size_t x = 0; x < nx; ++x) {
            if (links_[la][xs.begin[x]].tie != Tie::kNone) continue;
            const std::int64_t tx = when(la, xs.begin[x]);
            while (start < ny && when(lb, ys.begin[start]) < tx - window) ++start;
            for (std::size_t y = start; y < ny && when(lb, ys.begin[y]) <= tx + window; ++y)
                if (links_[lb][ys.begin[y]].tie == Tie::kNone && fits(qso(la, xs.begin[x]), qso(lb, ys.begin[y]))) {
                    const std::int64_t d = when(lb, ys.begin[y]) - tx;
                    candidates.push_back({d < 0 ? -d : d, x, y});
                }
        }
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& p, const Candidate& q) {
            return std::tie(p.distance, p.x, p.y) < std::tie(q.distance, q.x, q.y);
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

    // Calls `f(other log, other group)` for each group of log `a` with a station that sent a log,
    // where this task owns the pair: the station whose call sorts first.
    template <typename F>
    void forEachOwnedPair(std::size_t a, F&& f) const {
        const ShortText own(logs_[a].call);
        forEachGroup(a, [&](Range g, const Qso& head) {
            if (!(own < head.call)) return;
            const std::uint32_t other = partnerOf(a, g);
            if (other == QsoCheck::kNone) return;
            f(g, head, other);
        });
    }

    // Exact matches (call both ways, band, mode, both numbers) at most six hours apart: the
    // evidence of the clock offsets, of groups `g` of log `la` and `ys` of log `lb` (the same QSOs
    // with this station on the same band and mode). Log `la`'s go to it, log `lb`'s to `foreign`.
    void collectExactMatches(std::uint32_t la, Range g, std::uint32_t lb, Range ys, std::vector<Foreign>& foreign) {
        auto& exact = exact_[la];
        for (const std::uint32_t* x = g.begin; x != g.end; ++x)
            for (const std::uint32_t* y = ys.begin; y != ys.end; ++y) {
                const Qso& p = qso(la, *x);
                const Qso& q = qso(lb, *y);
                const std::int64_t d = p.time - q.time;
                if (d < -kLargestOffset || d > kLargestOffset || !bothNumbers(p, q)) continue;
                if (numbered(p)) exact.push_back({lb, d});
                if (numbered(q)) foreign.push_back({lb, la, -d});
            }
    }

    // Each log's offset is the median of (its time - the other's time + the other's offset) over
    // its exact matches, solved log after log in call order until nothing changes; then the
    // median log is taken as right. A median ignores the odd QSO logged a few minutes late.
    void solveClockOffsets() {
        const std::size_t n = logs_.size();
        std::vector<std::uint32_t> byCall(n);
        for (std::uint32_t i = 0; i < n; ++i) byCall[i] = i;
        std::sort(byCall.begin(), byCall.end(),
                  [&](std::uint32_t x, std::uint32_t y) { return logs_[x].call < logs_[y].call; });
        auto& offsets = result_.clockOffsets;
        std::vector<std::int64_t> values;
        for (int pass = 0; pass < 20; ++pass) {
            bool changed = false;
            for (const std::uint32_t a : byCall) {
                if (exact_[a].empty()) continue;
                values.clear();
                for (const auto& [b, d] : exact_[a]) values.push_back(d + offsets[b]);
                const std::int64_t o = lowerMedian(values);
                changed = changed || o != offsets[a];
                offsets[a] = o;
            }
            if (!changed) break;
        }
        values.clear();
        for (std::size_t a = 0; a < n; ++a)
            if (!exact_[a].empty()) values.push_back(offsets[a]);
        const std::int64_t anchor = values.empty() ? 0 : lowerMedian(values);
        for (std::size_t a = 0; a < n; ++a) {
            result_.offsetMatches[a] = static_cast<std::uint32_t>(exact_[a].size());
            offsets[a] = exact_[a].empty() ? 0 : offsets[a] - anchor;
            for (auto& t : time_[a]) t -= offsets[a];
            exact_[a] = {};
        }
    }

    // Every group of QSOs between two logs is paired by exactly one task: the one of the
    // station whose call sorts first, or the other one when that station has no such group.
    void pairDirect(std::size_t a) {
        const std::uint32_t la = static_cast<std::uint32_t>(a);
        const ShortText own(logs_[a].call);
        forEachGroup(a, [&](Range g, const Qso& head) {
            const std::uint32_t lb = partnerOf(a, g);
            if (lb == QsoCheck::kNone || lb == la) return;
            const Range ys = mirrorOf(a, g);
            if (own > head.call && !ys.empty()) return;
            pairNearest(la, g, lb, ys, options_.windowSeconds, [](const Qso&, const Qso&) { return true; },
                        [&](std::uint32_t x, std::uint32_t y) {
                            links_[la][x] = {lb, y, Tie::kDirect};
                            links_[lb][y] = {la, x, Tie::kDirect};
                        });
        });
    }

    // Left over from the window: the same QSO in both logs (call, band, mode, both numbers)
    // at any distance in time.
    void pairTimeMismatch(std::size_t a) {
        const std::uint32_t la = static_cast<std::uint32_t>(a);
        forEachOwnedPair(a, [&](Range g, const Qso&, std::uint32_t lb) {
            const Range ys = mirrorOf(a, g);
            const auto agree = [this](const Qso& x, const Qso& y) { return serialsAgree(x, y); };
            pairNearest(la, g, lb, ys, kUnlimited, agree, [&](std::uint32_t x, std::uint32_t y) {
                links_[la][x] = {lb, y, Tie::kTime};
                links_[lb][y] = {la, x, Tie::kTime};
            });
        });
    }

    // Left over: the same QSO within the window with both numbers, logged on another band or
    // in another mode (not both) by one side. The other log's groups with this station are told
    // apart by the band and mode in their keys; their QSOs are read only where one of them differs.
    void pairBandOrMode(std::size_t a) {
        const std::uint32_t la = static_cast<std::uint32_t>(a);
        const ShortText own(logs_[a].call);
        const std::uint64_t slotMask = (std::uint64_t{1} << plan_.slotBits()) - 1;
        forEachOwnedPair(a, [&](Range g, const Qso&, std::uint32_t lb) {
            const std::uint64_t slot = keys_[a][static_cast<std::size_t>(g.begin - order_[a].data())] & slotMask;
            const auto& keys = keys_[lb];
            const auto [lo, hi] = callStretch(lb, own.view());
            for (std::size_t y = lo; y < hi;) {
                std::size_t e = y + 1;
                while (e < hi && keys[e] == keys[y]) ++e;
                const std::uint64_t other = keys[y] & slotMask;
                if (plan_.sameBand(slot, other) != plan_.sameMode(slot, other))
                    pairNearest(la, g, lb, narrowed(lb, y, e, own), options_.windowSeconds,
                                [this](const Qso& p, const Qso& q) { return bothNumbers(p, q); },
                                [&](std::uint32_t x, std::uint32_t yy) {
                                    links_[la][x] = {lb, yy, Tie::kBandMode};
                                    links_[lb][yy] = {la, x, Tie::kBandMode};
                                });
                y = e;
            }
        });
    }

    // A QSO with a call that sent no log is a busted call when exactly one logged call one edit
    // away holds an untied QSO with this station on the band and mode within the window. This
    // task writes only its own QSOs and the other logs' groups of QSOs with this station.
    void pairBusted(std::size_t a) {
        const std::uint32_t la = static_cast<std::uint32_t>(a);
        const ShortText own(logs_[a].call);
        struct Suspect {
            std::uint32_t log;
            std::uint32_t qso;
        };
        std::vector<Suspect> suspects;
        const std::int64_t w = options_.windowSeconds;
        forEachGroup(a, [&](Range g, const Qso& head) {
            if (partnerOf(a, g) != QsoCheck::kNone) return;
            const auto near = nearCalls_.find(head.call);
            if (near == nearCalls_.end()) return;
            for (const std::uint32_t* x = g.begin; x != g.end; ++x) {
                const std::int64_t tx = when(la, *x);
                std::uint32_t found = QsoCheck::kNone;
                int count = 0;
                for (const std::uint32_t lb : near->second) {
                    if (lb == la) continue;
                    const Range ys = group(lb, own, head.band, head.mode);
                    const bool open = std::any_of(ys.begin, ys.end, [&](std::uint32_t y) {
                        return links_[lb][y].tie == Tie::kNone && when(lb, y) >= tx - w && when(lb, y) <= tx + w;
                    });
                    if (open) {
                        found = lb;
                        ++count;
                    }
                }
                if (count == 1) suspects.push_back({found, *x});
            }
        });
        // Pair per other station, band and mode, nearest first, as for direct matches.
        std::sort(suspects.begin(), suspects.end(), [&](const Suspect& p, const Suspect& q) {
            const Qso& x = qso(la, p.qso);
            const Qso& y = qso(la, q.qso);
            return std::tie(p.log, x.band, x.mode, x.time, x.line, p.qso) <
                   std::tie(q.log, y.band, y.mode, y.time, y.line, q.qso);
        });
        std::vector<std::uint32_t> xs;
        for (std::size_t i = 0; i < suspects.size();) {
            const Qso& head = qso(la, suspects[i].qso);
            const std::uint32_t lb = suspects[i].log;
            xs.clear();
            std::size_t j = i;
            for (; j < suspects.size() && suspects[j].log == lb && qso(la, suspects[j].qso).band == head.band &&
                   qso(la, suspects[j].qso).mode == head.mode;
                 ++j)
                xs.push_back(suspects[j].qso);
            std::sort(xs.begin(), xs.end(), [&](std::uint32_t p, std::uint32_t q) {
                return std::tie(time_[la][p], qso(la, p).line, p) < std::tie(time_[la][q], qso(la, q).line, q);
            });
            pairNearest(la, Range{xs.data(), xs.data() + xs.size()}, lb, group(lb, own, head.band, head.mode), w,
                        [](const Qso&, const Qso&) { return true; },
                        [&](std::uint32_t x, std::uint32_t y) {
                            links_[la][x] = {lb, y, Tie::kBust};
                            links_[lb][y] = {la, x, Tie::kTaken};
                        });
            i = j;
        }
    }

    // How many logs hold a judged QSO with each call worked. The calls in two halves by a bit of
    // their hash (in the group keys), each half counted on its own thread, then joined.
    void countWorkedCalls() {
        std::array<TextMap<Worked>, 2> halves;
        const unsigned bits = plan_.slotBits();
        forEachIndex(halves.size(), options_.workers, [&](std::size_t half) {
            TextMap<Worked>& worked = halves[half];
            for (std::size_t a = 0; a < logs_.size(); ++a)
                forEachGroup(a, [&](Range g, const Qso& head) {
                    if (((keys_[a][static_cast<std::size_t>(g.begin - order_[a].data())] >> bits) & 1) != half) return;
                    auto found = worked.find(head.call);
                    if (found == worked.end()) found = worked.emplace(head.call.str(), Worked{}).first;
                    Worked& entry = found->second;
                    if (entry.last != a || entry.count == 0) {
                        entry.last = a;
                        ++entry.count;
                    }
                });
        });
        workedBy_ = std::move(halves[0]);
        workedBy_.merge(halves[1]);
    }

    // For each call that sent no log, the logged calls one edit away, found through the calls
    // with one character deleted (two calls one edit apart share such a form).
    void findNearCalls() {
        std::unordered_map<std::string, std::vector<std::uint32_t>> byDeletion;
        for (const auto& [call, log] : logOf_)
            forEachDeletion(call, [&, log = log](const std::string& form) { byDeletion[form].push_back(log); });
        for (const auto& [call, worked] : workedBy_) {
            if (logOf_.count(call)) continue;
            std::vector<std::uint32_t> near;
            forEachDeletion(call, [&, &call = call](const std::string& form) {
                const auto it = byDeletion.find(form);
                if (it == byDeletion.end()) return;
                for (const std::uint32_t log : it->second)
                    if (oneEditApart(call, logs_[log].call) && std::find(near.begin(), near.end(), log) == near.end())
                        near.push_back(log);
            });
            if (!near.empty()) nearCalls_.emplace(call, std::move(near));
        }
    }

    void verdicts(std::size_t a) {
        const auto& qsos = logs_[a].qsos;
        auto& out = result_.checks[a];
        for (std::uint32_t i = 0; i < qsos.size(); ++i) {
            if (!judged(a, i)) continue;
            const Link& link = links_[a][i];
            QsoCheck& check = out[i];
            check.otherLog = link.log;
            check.otherQso = link.qso;
            if (link.tie == Tie::kNone)
                unmatchedVerdict(a, qsos[i], check);
            else
                matchedVerdict(a, i, link, check);
            // Matched as any QSO, so that the other log keeps its side; lost where the contest
            // confines the mode to sub-bands and this log's frequency lies outside them, or, with
            // the contest's own periods, where it lies outside them.
            if (plan_.outsideSubBands(qsos[i]) || (!outside_.empty() && outside_[a][i])) {
                check.verdict = plan_.outsideSubBands(qsos[i]) ? Verdict::kOutOfBand : Verdict::kOutOfPeriod;
                check.credited = false;
            }
        }
    }

    void matchedVerdict(std::size_t a, std::uint32_t i, const Link& link, QsoCheck& check) const {
        const Qso& own = qso(static_cast<std::uint32_t>(a), i);
        const Qso& other = qso(link.log, link.qso);
        switch (link.tie) {
            case Tie::kTime:
                // Numbers alike both ways far apart in time: the same QSO, whatever else was miscopied.
                if (exchange_.receivedAgrees(own, other)) {
                    const std::int64_t d = when(static_cast<std::uint32_t>(a), i) - when(link.log, link.qso);
                    check.verdict = Verdict::kTimeMismatch;
                    check.detail = static_cast<std::int32_t>((d < 0 ? d - 30 : d + 30) / 60);
                    break;
                }
                [[fallthrough]];
            case Tie::kDirect:
            case Tie::kTaken:
                check.verdict = exchange_.receivedAgrees(own, other) ? Verdict::kVerified : Verdict::kBustedExchange;
                check.credited = check.verdict == Verdict::kVerified;
                break;
            case Tie::kBust:
                check.verdict = Verdict::kBustedCall;
                check.credited = false;
                break;
            case Tie::kBandMode: {
                const bool band = own.band != other.band;
                check.verdict = band ? Verdict::kBandMismatch : Verdict::kModeMismatch;
                const bool ownPlaced = band ? placesBand(own, contest_) : plan_.placesMode(own);
                const bool otherPlaced = band ? placesBand(other, contest_) : plan_.placesMode(other);
                // The side whose frequency places the QSO keeps it when the other's does not.
                check.credited = ownPlaced && !otherPlaced;
                break;
            }
            case Tie::kNone: break;
        }
    }

    void unmatchedVerdict(std::size_t a, const Qso& q, QsoCheck& check) const {
        const auto other = logOf_.find(q.call);
        if (other != logOf_.end() && other->second != a) {
            check.verdict = Verdict::kNotInLog;
            check.otherLog = other->second;
            check.credited = false;
            return;
        }
        const auto worked = workedBy_.find(q.call);
        check.verdict = worked != workedBy_.end() && worked->second.count > 1 ? Verdict::kNoLog : Verdict::kUnique;
    }

    // Of a log's QSOs with one call on one band and mode (and period, where each starts the dupes
    // afresh) that the rules accept, the first that the other log confirms counts (the first of
    // them when none is confirmed); the others are dupes of it. With a repeat time, the same within
    // each stretch of that time from the first QSO not yet judged, and the QSOs after the counted
    // one within that time are its dupes: two counted QSOs always stand the repeat time apart.
    void dupesAfterMatching(std::size_t a) {
        const auto& qsos = logs_[a].qsos;
        const auto& checks = result_.checks[a];
        std::vector<std::uint32_t> period;
        if (contest_.checking.dupesPerPeriod) {
            period.resize(qsos.size());
            for (std::uint32_t i = 0; i < qsos.size(); ++i) period[i] = dupePeriod(qsos[i].time);
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
            dupesOfGroup(a, byTime.data() + k, byTime.data() + e);
            k = e;
        }
    }

    // One group of dupesAfterMatching, [begin, end) in time order.
    void dupesOfGroup(std::size_t a, const std::uint32_t* begin, const std::uint32_t* end) {
        const auto& qsos = logs_[a].qsos;
        const std::optional<int>& after = contest_.checking.repeatAfterMinutes;
        const auto minutesFrom = [&](std::uint32_t from, std::uint32_t to) {
            return static_cast<std::int64_t>((qsos[to].time - qsos[from].time) / 60);
        };
        const auto within = [&](std::uint32_t from, std::uint32_t to) { return !after || minutesFrom(from, to) < *after; };
        const auto confirmed = [&](std::uint32_t i) {
            return links_[a][i].tie != Tie::kNone && links_[a][i].tie != Tie::kBust;
        };
        for (const std::uint32_t* w = begin; w != end;) {
            const std::uint32_t* e = w + 1;
            while (e != end && within(*w, *e)) ++e;
            const std::uint32_t* found = std::find_if(w, e, confirmed);
            const std::uint32_t kept = found == e ? *w : *found;
            while (e != end && within(kept, *e)) ++e;
            for (const std::uint32_t* p = w; p != e; ++p)
                if (*p != kept)
                    result_.checks[a][*p] = {Verdict::kDupe, false, static_cast<std::uint32_t>(a), kept,
                                             static_cast<std::int32_t>(minutesFrom(kept, *p))};
            w = e;
        }
    }

    // The period whose dupes a QSO counts among, as the dupe book keys it: the last period that
    // holds it, or one past them all outside every period.
    std::uint32_t dupePeriod(std::int64_t t) const {
        std::size_t period = contest_.periods.size();
        for (std::size_t p = 0; p < contest_.periods.size(); ++p)
            if (contest_.periods[p].holds(loggedAt(t))) period = p;
        return static_cast<std::uint32_t>(period);
    }

    static std::chrono::sys_seconds loggedAt(std::int64_t t) { return std::chrono::sys_seconds{std::chrono::seconds{t}}; }

    struct Worked {
        std::size_t last = 0;
        std::uint32_t count = 0;
    };

    const std::vector<StationLog>& logs_;
    const CheckOptions& options_;
    const contest::ContestDefinition& contest_;
    const BandPlan plan_;
    const ExchangeLayout exchange_;
    CheckResult result_;
    TextMap<std::uint32_t> logOf_;
    std::vector<std::vector<std::uint32_t>> order_;
    std::vector<std::vector<std::uint64_t>> keys_;  // the group key of each entry of order_
    std::vector<std::vector<std::uint32_t>> partner_;  // per entry of order_: its group's partnerOf
    struct Span {
        std::uint32_t lo = 0, hi = 0;
    };
    std::vector<std::vector<Span>> mirror_;  // per first entry of a group in order_: the partner's group
    std::atomic<bool> resorted_ = false;     // a log's groups sorted again after findMirrors
    std::vector<std::vector<std::uint32_t>> table_;  // per log: group key -> 1 + its first place in order_
    std::vector<std::vector<Link>> links_;
    std::vector<std::vector<std::int64_t>> time_;  // as logged, less the log's clock offset
    std::vector<std::vector<char>> outside_;  // per log and QSO, with the contest's periods: outside them
    std::vector<std::vector<std::pair<std::uint32_t, std::int64_t>>> exact_;
    std::vector<Foreign> foreign_;  // gathered from the tasks of findMirrors, then handed to exact_
    std::mutex foreignLock_;
    TextMap<Worked> workedBy_;
    TextMap<std::vector<std::uint32_t>> nearCalls_;
};

}  // namespace

CheckResult crossCheck(const std::vector<StationLog>& logs, const CheckOptions& options) {
    return Matcher(logs, options).run();
}

}  // namespace crosscheck
