#include <array>
#include <cstdlib>
#include <tuple>
#include <unordered_map>

#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

// A QSO of this log taken for a busted copy of the call of log `log`.
struct Suspect {
    std::uint32_t log;
    std::uint32_t qso;
};

// The QSOs with a call that sent no log for which exactly one logged call one edit away holds an
// untied QSO with this station on the band and mode within the window.
std::vector<Suspect> findSuspects(const Matching& m, std::uint32_t la) {
    std::vector<Suspect> suspects;
    const ShortText own(m.logs[la].call);
    const std::int64_t w = m.options.windowSeconds;
    m.forEachGroup(la, [&](Range g, const Qso& head) {
        if (m.partnerOf(la, g) != QsoCheck::kNone) return;
        const auto near = m.nearCalls.find(head.call);
        if (near == m.nearCalls.end()) return;
        for (const std::uint32_t* x = g.begin; x != g.end; ++x) {
            const std::int64_t tx = m.when(la, *x);
            std::uint32_t found = QsoCheck::kNone;
            int count = 0;
            for (const std::uint32_t lb : near->second) {
                if (lb == la) continue;
                const Range ys = m.group(lb, own, head.band, head.mode);
                const bool open = std::any_of(ys.begin, ys.end, [&](std::uint32_t y) {
                    return m.records[lb].links[y].tie == Tie::kNone && m.when(lb, y) >= tx - w &&
                           m.when(lb, y) <= tx + w;
                });
                if (open) {
                    found = lb;
                    ++count;
                }
            }
            if (count == 1) suspects.push_back({found, *x});
        }
    });
    return suspects;
}

}  // namespace

// A QSO with a call that sent no log is a busted call when exactly one logged call one edit away
// holds an untied QSO with this station on the band and mode within the window. This task writes
// only its own QSOs and the other logs' groups of QSOs with this station.
void pairBusted(Matching& m, std::size_t a) {
    const std::uint32_t la = static_cast<std::uint32_t>(a);
    const ShortText own(m.logs[a].call);
    std::vector<Suspect> suspects = findSuspects(m, la);
    // Paired per other station, band and mode, nearest first, as for direct matches.
    std::sort(suspects.begin(), suspects.end(), [&](const Suspect& p, const Suspect& q) {
        const Qso& x = m.qso(la, p.qso);
        const Qso& y = m.qso(la, q.qso);
        return std::tie(p.log, x.band, x.mode, x.time, x.line, p.qso) <
               std::tie(q.log, y.band, y.mode, y.time, y.line, q.qso);
    });
    std::vector<std::uint32_t> xs;
    for (std::size_t i = 0; i < suspects.size();) {
        const Qso& head = m.qso(la, suspects[i].qso);
        const std::uint32_t lb = suspects[i].log;
        xs.clear();
        std::size_t j = i;
        for (; j < suspects.size() && suspects[j].log == lb && m.qso(la, suspects[j].qso).band == head.band &&
               m.qso(la, suspects[j].qso).mode == head.mode;
             ++j)
            xs.push_back(suspects[j].qso);
        std::sort(xs.begin(), xs.end(), [&](std::uint32_t p, std::uint32_t q) {
            return std::tie(m.records[la].time[p], m.qso(la, p).line, p) <
                   std::tie(m.records[la].time[q], m.qso(la, q).line, q);
        });
        m.pairNearest(
            la, Range{xs.data(), xs.data() + xs.size()}, lb, m.group(lb, own, head.band, head.mode),
            m.options.windowSeconds, [](const Qso&, const Qso&) { return true; },
            [&](std::uint32_t x, std::uint32_t y) {
                m.records[la].links[x] = {lb, y, Tie::kBust};
                m.records[lb].links[y] = {la, x, Tie::kTaken};
            });
        i = j;
    }
}

namespace {

// The logged calls one substitution, or one swap of two adjacent characters, from `call`.
std::vector<std::uint32_t> swappedOrSubstituted(const Matching& m, const ShortText& call) {
    std::vector<std::uint32_t> out;
    if (const auto near = m.nearCalls.find(call); near != m.nearCalls.end())
        for (const std::uint32_t log : near->second)
            if (m.logs[log].call.size() == call.size()) out.push_back(log);
    std::string swapped = call.str();
    for (std::size_t i = 0; i + 1 < swapped.size(); ++i) {
        if (swapped[i] == swapped[i + 1]) continue;
        std::swap(swapped[i], swapped[i + 1]);
        const auto found = m.logOf.find(swapped);
        if (found != m.logOf.end() && std::find(out.begin(), out.end(), found->second) == out.end())
            out.push_back(found->second);
        std::swap(swapped[i], swapped[i + 1]);
    }
    return out;
}

// The untied QSO of log `lb`'s group `ys` nearest in time to QSO `x` of log `la` whose serials
// agree with it both ways, both of them numbers.
std::uint32_t serialTwin(const Matching& m, std::uint32_t la, std::uint32_t x, std::uint32_t lb, Range ys) {
    std::uint32_t best = QsoCheck::kNone;
    std::int64_t nearest = kUnlimited;
    for (const std::uint32_t* y = ys.begin; y != ys.end; ++y) {
        const Qso& p = m.qso(la, x);
        const Qso& q = m.qso(lb, *y);
        if (m.records[lb].links[*y].tie != Tie::kNone || !m.numbered(p) || !m.numbered(q) ||
            !m.serialsAgree(p, q))
            continue;
        const std::int64_t d = std::abs(m.when(lb, *y) - m.when(la, x));
        if (d < nearest) std::tie(nearest, best) = std::tuple(d, *y);
    }
    return best;
}

}  // namespace

// The numbers are the evidence here, not the time: a call in no other log is a busted copy of the
// one logged call a substitution or a transposition away whose log holds an untied QSO with this
// station on the band and mode with both serials agreeing both ways, however far apart the two
// times (a clock off) and whatever else was miscopied. More than one such station: none.
void pairBustedBySerials(Matching& m, std::size_t a) {
    if (m.exchange.serialReceived() < 0 || m.exchange.serialSent() < 0) return;
    const std::uint32_t la = static_cast<std::uint32_t>(a);
    const ShortText own(m.logs[a].call);
    m.forEachGroup(a, [&](Range g, const Qso& head) {
        if (m.partnerOf(a, g) != QsoCheck::kNone) return;
        const auto worked = m.workedBy.find(head.call);
        if (worked == m.workedBy.end() || worked->second.count != 1) return;
        const std::vector<std::uint32_t> candidates = swappedOrSubstituted(m, head.call);
        for (const std::uint32_t* x = g.begin; x != g.end && !candidates.empty(); ++x) {
            if (m.records[la].links[*x].tie != Tie::kNone) continue;
            std::uint32_t log = QsoCheck::kNone, twin = QsoCheck::kNone;
            int count = 0;
            for (const std::uint32_t lb : candidates) {
                if (lb == la) continue;
                const std::uint32_t y = serialTwin(m, la, *x, lb, m.group(lb, own, head.band, head.mode));
                if (y == QsoCheck::kNone) continue;
                std::tie(log, twin) = std::tuple(lb, y);
                ++count;
            }
            if (count != 1) continue;
            m.records[la].links[*x] = {log, twin, Tie::kBust};
            m.records[log].links[twin] = {la, *x, Tie::kTaken};
        }
    });
}

// The calls in two halves by a bit of their hash (in the group keys), each half counted on its
// own thread, then joined.
void countWorkedCalls(Matching& m) {
    std::array<TextMap<Worked>, 2> halves;
    const unsigned bits = m.plan.slotBits();
    forEachIndex(halves.size(), m.options.workers, [&](std::size_t half) {
        TextMap<Worked>& worked = halves[half];
        for (std::size_t a = 0; a < m.logs.size(); ++a)
            m.forEachGroup(a, [&](Range g, const Qso& head) {
                if (((m.records[a].keys[m.placeOf(a, g)] >> bits) & 1) != half) return;
                auto found = worked.find(head.call);
                if (found == worked.end()) found = worked.emplace(head.call.str(), Worked{}).first;
                Worked& entry = found->second;
                if (entry.last != a || entry.count == 0) {
                    entry.last = a;
                    ++entry.count;
                }
            });
    });
    m.workedBy = std::move(halves[0]);
    m.workedBy.merge(halves[1]);
}

// Found through the calls with one character deleted (two calls one edit apart share such a form).
void findNearCalls(Matching& m) {
    std::unordered_map<std::string, std::vector<std::uint32_t>> byDeletion;
    for (const auto& [call, log] : m.logOf)
        forEachDeletion(call, [&, log = log](const std::string& form) { byDeletion[form].push_back(log); });
    for (const auto& [call, worked] : m.workedBy) {
        if (m.logOf.count(call)) continue;
        std::vector<std::uint32_t> near;
        forEachDeletion(call, [&, &call = call](const std::string& form) {
            const auto it = byDeletion.find(form);
            if (it == byDeletion.end()) return;
            for (const std::uint32_t log : it->second)
                if (oneEditApart(call, m.logs[log].call) &&
                    std::find(near.begin(), near.end(), log) == near.end())
                    near.push_back(log);
        });
        if (!near.empty()) m.nearCalls.emplace(call, std::move(near));
    }
}

}  // namespace crosscheck::match
