#include <cstdlib>

#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

// Ties QSO `x` of log `la` and QSO `y` of log `lb` to each other.
void tieBoth(Matching& m, std::uint32_t la, std::uint32_t x, std::uint32_t lb, std::uint32_t y, Tie tie) {
    m.records[la].links[x] = {lb, y, tie};
    m.records[lb].links[y] = {la, x, tie};
}

}  // namespace

// Every group of QSOs between two logs is paired by exactly one task: the one of the station
// whose call sorts first, or the other one when that station has no such group.
void pairDirect(Matching& m, std::size_t a) {
    const std::uint32_t la = static_cast<std::uint32_t>(a);
    const ShortText own(m.logs[a].call);
    m.forEachGroup(a, [&](Range g, const Qso& head) {
        const std::uint32_t lb = m.partnerOf(a, g);
        if (lb == QsoCheck::kNone || lb == la) return;
        const Range ys = m.mirrorOf(a, g);
        if (own > head.call && !ys.empty()) return;
        m.pairNearest(
            la, g, lb, ys, m.options.windowSeconds, [](const Qso&, const Qso&) { return true; },
            [&](std::uint32_t x, std::uint32_t y) { tieBoth(m, la, x, lb, y, Tie::kDirect); });
    });
}

// Left over from the window: the same QSO in both logs (call, band, mode, both numbers) at any
// distance in time.
void pairTimeMismatch(Matching& m, std::size_t a) {
    const std::uint32_t la = static_cast<std::uint32_t>(a);
    m.forEachOwnedPair(a, [&](Range g, const Qso&, std::uint32_t lb) {
        const Range ys = m.mirrorOf(a, g);
        const auto agree = [&m](const Qso& x, const Qso& y) { return m.serialsAgree(x, y); };
        m.pairNearest(la, g, lb, ys, kUnlimited, agree,
                      [&](std::uint32_t x, std::uint32_t y) { tieBoth(m, la, x, lb, y, Tie::kTime); });
    });
}

// Left over: the same QSO within the window with both numbers, logged on another band or in
// another mode (not both) by one side. The other log's groups with this station are told apart by
// the band and mode in their keys; their QSOs are read only where one of them differs.
void pairBandOrMode(Matching& m, std::size_t a) {
    const std::uint32_t la = static_cast<std::uint32_t>(a);
    const ShortText own(m.logs[a].call);
    const std::uint64_t slotMask = (std::uint64_t{1} << m.plan.slotBits()) - 1;
    m.forEachOwnedPair(a, [&](Range g, const Qso&, std::uint32_t lb) {
        const std::uint64_t slot = m.records[a].keys[m.placeOf(a, g)] & slotMask;
        const auto& keys = m.records[lb].keys;
        const auto [lo, hi] = m.callStretch(lb, own.view());
        for (std::size_t y = lo; y < hi;) {
            std::size_t e = y + 1;
            while (e < hi && keys[e] == keys[y]) ++e;
            const std::uint64_t other = keys[y] & slotMask;
            if (m.plan.sameBand(slot, other) != m.plan.sameMode(slot, other))
                m.pairNearest(
                    la, g, lb, m.narrowed(lb, y, e, own), m.options.windowSeconds,
                    [&m](const Qso& p, const Qso& q) { return m.bothNumbers(p, q); },
                    [&](std::uint32_t x, std::uint32_t yy) { tieBoth(m, la, x, lb, yy, Tie::kBandMode); });
            y = e;
        }
    });
}

// Ties only this log's QSOs and the other logs' QSOs with this station, as pairBusted does: the
// tasks of two logs never touch one QSO. The other log's QSO is read on any of the contest's bands:
// the frequency of this one tells nothing.
void pairOffBand(Matching& m, std::size_t a) {
    const std::uint32_t la = static_cast<std::uint32_t>(a);
    const ShortText own(m.logs[a].call);
    for (const std::uint32_t x : m.records[a].offBand) {
        const Qso& q = m.qso(la, x);
        const auto other = m.logOf.find(q.call);
        if (other == m.logOf.end() || other->second == la) continue;
        const std::uint32_t lb = other->second;
        const auto [lo, hi] = m.callStretch(lb, own.view());
        std::uint32_t best = QsoCheck::kNone;
        std::int64_t nearest = m.options.windowSeconds;
        for (std::size_t k = lo; k < hi; ++k) {
            const std::uint32_t y = m.records[lb].order[k];
            const Qso& p = m.qso(lb, y);
            const std::int64_t d = std::abs(m.when(lb, y) - m.when(la, x));
            if (p.call != own || p.mode != q.mode || m.records[lb].links[y].tie != Tie::kNone ||
                d > nearest || (d == nearest && best != QsoCheck::kNone) || !m.serialsAgree(q, p))
                continue;
            best = y;
            nearest = d;
        }
        if (best != QsoCheck::kNone) tieBoth(m, la, x, lb, best, Tie::kDirect);
    }
}

}  // namespace crosscheck::match
