#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

// Exact matches (call both ways, band, mode, both numbers) at most six hours apart: the evidence
// of the clock offsets, of groups `g` of log `la` and `ys` of log `lb` (the same QSOs with this
// station on the same band and mode). Log `la`'s go to its record, log `lb`'s to `foreign`.
void collectExactMatches(Matching& m, std::uint32_t la, Range g, std::uint32_t lb, Range ys,
                         std::vector<std::pair<std::uint32_t, ExactMatch>>& foreign) {
    auto& exact = m.records[la].exact;
    for (const std::uint32_t* x = g.begin; x != g.end; ++x)
        for (const std::uint32_t* y = ys.begin; y != ys.end; ++y) {
            const Qso& p = m.qso(la, *x);
            const Qso& q = m.qso(lb, *y);
            const std::int64_t d = p.time - q.time;
            if (d < -kLargestOffset || d > kLargestOffset || !m.bothNumbers(p, q)) continue;
            if (m.numbered(p)) exact.push_back({lb, d});
            if (m.numbered(q)) foreign.push_back({lb, {la, -d}});
        }
}

}  // namespace

// Found once for all the passes that pair two groups: the log with the lower index looks the
// other's up and tells both groups, so each pair costs one lookup in another log's table.
void findMirrors(Matching& m, std::size_t a, bool collect) {
    std::vector<std::pair<std::uint32_t, ExactMatch>> foreign;
    const ShortText own(m.logs[a].call);
    const std::uint64_t ownKey = m.callKey(own.view());
    const std::uint64_t slotMask = (std::uint64_t{1} << m.plan.slotBits()) - 1;
    LogRecord& r = m.records[a];
    const std::uint32_t* base = r.order.data();
    m.forEachGroup(a, [&](Range g, const Qso&) {
        const std::uint32_t lb = m.partnerOf(a, g);
        if (lb == QsoCheck::kNone || lb <= a) return;
        const auto k = static_cast<std::uint32_t>(g.begin - base);
        const auto [lo, hi] = m.stretch(lb, ownKey | (r.keys[k] & slotMask));
        const Range ys = m.narrowed(lb, lo, hi, own);
        if (ys.empty()) return;
        const auto yk = static_cast<std::uint32_t>(ys.begin - m.records[lb].order.data());
        r.mirror[k] = {yk, static_cast<std::uint32_t>(ys.end - m.records[lb].order.data())};
        m.records[lb].mirror[yk] = {k, static_cast<std::uint32_t>(g.end - base)};
        if (collect) collectExactMatches(m, static_cast<std::uint32_t>(a), g, lb, ys, foreign);
    });
    if (foreign.empty()) return;
    const std::lock_guard<std::mutex> lock(m.foreignLock);
    m.foreign.insert(m.foreign.end(), foreign.begin(), foreign.end());
}

void gatherExactMatches(Matching& m) {
    for (const auto& [log, match] : m.foreign) m.records[log].exact.push_back(match);
    m.foreign = {};
}

}  // namespace crosscheck::match
