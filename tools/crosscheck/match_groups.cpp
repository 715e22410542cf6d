#include <tuple>

#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

std::size_t slotOf(std::uint64_t key, std::size_t size) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (size - 1);
}

}  // namespace

Matching::Matching(const std::vector<StationLog>& logs, const CheckOptions& options,
                   const contest::ContestDefinition& contest)
    : logs(logs), options(options), contest(contest), plan(contest), exchange(contest) {
    const std::size_t n = logs.size();
    result.checks.resize(n);
    result.clockOffsets.assign(n, 0);
    result.offsetMatches.assign(n, 0);
    result.notes.resize(n);
    result.dupesInOtherLog.resize(n);
    records.resize(n);
    for (std::size_t i = 0; i < n; ++i) logOf.emplace(logs[i].call, static_cast<std::uint32_t>(i));
}

// A hash of the call (FNV-1a, the same on every system) above the band and mode's bits. Sorting
// and searching compare these numbers, and the calls only where two keys are equal.
std::uint64_t Matching::callKey(std::string_view call) const {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : call) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return h << plan.slotBits();
}

std::pair<std::size_t, std::size_t> Matching::stretch(std::uint32_t log, std::uint64_t key) const {
    const auto& table = records[log].table;
    const auto& keys = records[log].keys;
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

Range Matching::narrowed(std::uint32_t log, std::size_t lo, std::size_t hi, const ShortText& call) const {
    const auto& order = records[log].order;
    const auto& qsos = logs[log].qsos;
    if (lo < hi && (qsos[order[lo]].call != call || qsos[order[hi - 1]].call != call)) {
        while (lo < hi && qsos[order[lo]].call != call) ++lo;
        std::size_t end = lo;
        while (end < hi && qsos[order[end]].call == call) ++end;
        hi = end;
    }
    return {order.data() + lo, order.data() + hi};
}

// The keys of one call's groups differ only in their low bits, so they stand together in the
// sorted keys: two binary searches in a log's few kilobytes, not a probe per band and mode.
std::pair<std::size_t, std::size_t> Matching::callStretch(std::uint32_t log, std::string_view call) const {
    const std::uint64_t first = callKey(call), span = std::uint64_t{1} << plan.slotBits();
    const auto& keys = records[log].keys;
    const auto lo = std::lower_bound(keys.begin(), keys.end(), first);
    const auto hi =
        first > ~std::uint64_t{0} - span ? keys.end() : std::lower_bound(lo, keys.end(), first + span);
    return {static_cast<std::size_t>(lo - keys.begin()), static_cast<std::size_t>(hi - keys.begin())};
}

Range Matching::mirrorOf(std::size_t a, Range g) const {
    const std::uint32_t lb = partnerOf(a, g);
    if (lb == QsoCheck::kNone) return {};
    const Span s = records[a].mirror[placeOf(a, g)];
    return {records[lb].order.data() + s.lo, records[lb].order.data() + s.hi};
}

namespace {

// Each group's partner log, looked up once for every pass over the groups.
void findPartners(Matching& m, std::size_t a) {
    LogRecord& r = m.records[a];
    const auto& qsos = m.logs[a].qsos;
    r.partner.resize(r.order.size());
    for (std::size_t k = 0; k < r.order.size(); ++k) {
        const bool sameGroup =
            k > 0 && r.keys[k] == r.keys[k - 1] && qsos[r.order[k]].call == qsos[r.order[k - 1]].call;
        if (sameGroup) {
            r.partner[k] = r.partner[k - 1];
            continue;
        }
        const auto other = m.logOf.find(qsos[r.order[k]].call);
        r.partner[k] = other == m.logOf.end() ? QsoCheck::kNone : other->second;
    }
}

// Each group's first place in an open-addressing table, so that finding another log's group
// costs a probe or two instead of a binary search through memory no cache holds.
void buildTable(LogRecord& r) {
    std::size_t size = 4;
    while (size < r.keys.size() * 2) size *= 2;
    r.table.assign(size, 0);
    for (std::size_t k = 0; k < r.keys.size(); ++k) {
        if (k > 0 && r.keys[k] == r.keys[k - 1]) continue;
        std::size_t slot = slotOf(r.keys[k], size);
        while (r.table[slot]) slot = (slot + 1) & (size - 1);
        r.table[slot] = static_cast<std::uint32_t>(k + 1);
    }
}

}  // namespace

// The judged QSOs by group key, call, then time: every group is one stretch, sorted by time.
void indexGroups(Matching& m, std::size_t a) {
    const auto& qsos = m.logs[a].qsos;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
    for (std::uint32_t i = 0; i < qsos.size(); ++i)
        if (m.judged(a, i)) keyed.emplace_back(m.groupKey(qsos[i].call, qsos[i].band, qsos[i].mode), i);
    std::sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
        if (x.first != y.first) return x.first < y.first;
        const Qso& p = qsos[x.second];
        const Qso& q = qsos[y.second];
        return std::tie(p.call, p.time, p.line, x.second) < std::tie(q.call, q.time, q.line, y.second);
    });
    LogRecord& r = m.records[a];
    r.order.resize(keyed.size());
    r.keys.resize(keyed.size());
    for (std::size_t k = 0; k < keyed.size(); ++k) std::tie(r.keys[k], r.order[k]) = keyed[k];
    findPartners(m, a);
    r.links.assign(qsos.size(), Link{});
    r.mirror.assign(r.order.size(), Span{});
    buildTable(r);
}

}  // namespace crosscheck::match
