#include "tools/crosscheck/match_stages.h"

namespace crosscheck::match {

namespace {

template <typename T>
T lowerMedian(std::vector<T>& values) {
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>((values.size() - 1) / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

}  // namespace

// Each log's offset is the median of (its time - the other's time + the other's offset) over its
// exact matches, solved log after log in call order until nothing changes; then the median log
// is taken as right. A median ignores the odd QSO logged a few minutes late.
void solveClockOffsets(Matching& m) {
    const std::size_t n = m.logs.size();
    std::vector<std::uint32_t> byCall(n);
    for (std::uint32_t i = 0; i < n; ++i) byCall[i] = i;
    std::sort(byCall.begin(), byCall.end(),
              [&](std::uint32_t x, std::uint32_t y) { return m.logs[x].call < m.logs[y].call; });
    auto& offsets = m.result.clockOffsets;
    std::vector<std::int64_t> values;
    for (int pass = 0; pass < 20; ++pass) {
        bool changed = false;
        for (const std::uint32_t a : byCall) {
            if (m.records[a].exact.empty()) continue;
            values.clear();
            for (const ExactMatch& e : m.records[a].exact) values.push_back(e.distance + offsets[e.other]);
            const std::int64_t o = lowerMedian(values);
            changed = changed || o != offsets[a];
            offsets[a] = o;
        }
        if (!changed) break;
    }
    values.clear();
    for (std::size_t a = 0; a < n; ++a)
        if (!m.records[a].exact.empty()) values.push_back(offsets[a]);
    const std::int64_t anchor = values.empty() ? 0 : lowerMedian(values);
    for (std::size_t a = 0; a < n; ++a) {
        LogRecord& r = m.records[a];
        m.result.offsetMatches[a] = static_cast<std::uint32_t>(r.exact.size());
        offsets[a] = r.exact.empty() ? 0 : offsets[a] - anchor;
        for (auto& t : r.time) t -= offsets[a];
        r.exact = {};
    }
}

}  // namespace crosscheck::match
