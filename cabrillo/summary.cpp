#include "cabrillo/summary.h"

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/contest_rules.h"
#include "core/text.h"

namespace stats {
namespace {

// Band texts compare by their value left-padded with '0' to 20 characters, so that "160m"
// sorts above "80m". Byte order, unsigned, as std::string compares.
std::string bandSortKey(const std::string& band) {
    constexpr std::size_t kKeyWidth = 20;
    if (band.size() >= kKeyWidth) return band;
    return std::string(kKeyWidth - band.size(), '0') + band;
}

struct BandTally {
    std::int32_t qsos = 0;
    std::int32_t cw = 0;
    std::int32_t ssb = 0;
    std::vector<std::string_view> prefixes;  // non-empty prefixes of counted QSOs, store order
};

}  // namespace

void sortBandList(std::vector<std::string>& bandList) {
    // The exchange sort keeps the exact order of texts whose keys are equal ("0abc" and "abc");
    // the list holds a handful of bands, so its quadratic cost does not matter.
    std::vector<std::string> keys;
    keys.reserve(bandList.size());
    for (const auto& band : bandList) keys.push_back(bandSortKey(band));
    for (std::size_t i = 0; i + 1 < bandList.size(); ++i)
        for (std::size_t j = i + 1; j < bandList.size(); ++j)
            if (keys[i] < keys[j]) {
                std::swap(keys[i], keys[j]);
                std::swap(bandList[i], bandList[j]);
            }
}

ScoreSummary buildScoreSummary(std::vector<std::string>& bandList, const QsoStore& store,
                               const std::string& periodStartText, const std::string& periodEndText,
                               const std::string& contestant) {
    ScoreSummary s;
    // The record's texts are literals, so their data() ends in a NUL. Its two modes have a column each.
    static_assert(kContest.modes.size() == 2);
    const std::string_view cw = kContest.modes[0].name, ssb = kContest.modes[1].name;
    s.text = format("\t%s %s-%s\r\n\t\tContestant: %s \r\n\tQSOs\tPoints\tPrefix\t%s\t%s\r\n",
                    kContest.summaryTitle.data(), periodStartText.c_str(), periodEndText.c_str(), contestant.c_str(),
                    cw.data(), ssb.data());
    sortBandList(bandList);

    // One pass over the store groups the counted QSOs by band; the bands are then walked in
    // sort order, so a prefix still counts on the first band in that order that carries it.
    std::unordered_map<std::string_view, BandTally> tallies;
    for (const auto& band : bandList) tallies.try_emplace(band);
    for (std::size_t i = 0; i < store.size(); ++i) {
        // Read in place: the store does not change while the summary is built.
        const CInfoView r = store.view(i);
        if (r.call.empty() || r.isDupe != 0) continue;
        const auto it = tallies.find(r.band);
        if (it == tallies.end()) continue;
        BandTally& t = it->second;
        ++t.qsos;
        if (r.mode == cw) ++t.cw;
        if (r.mode == ssb) ++t.ssb;
        if (!r.saPrefix.empty()) t.prefixes.push_back(r.saPrefix);
    }

    std::unordered_set<std::string_view> counted;
    for (const auto& band : bandList) {
        const BandTally& t = tallies.at(band);
        std::int32_t newPrefixes = 0;
        const std::int32_t points = t.qsos * kContest.pointsPerQso;
        for (const std::string_view prefix : t.prefixes)
            if (counted.insert(prefix).second) {
                s.workedSaPrefixes.emplace_back(prefix);
                ++newPrefixes;
            }
        s.text += format("%s\t %i\t %i\t\t %i\t %i\r\n", band.c_str(), t.qsos, points, t.cw, t.ssb);
        s.totalQsos += t.qsos;
        s.totalPoints += points;
        s.totalPrefixes += newPrefixes;
        s.totalCw += t.cw;
        s.totalSsb += t.ssb;
    }
    s.text += format("Total\t %i\t %i\t %i\t %i\t %i\r\n", s.totalQsos, s.totalPoints, s.totalPrefixes,
                     s.totalCw, s.totalSsb);
    // 32-bit signed product; wraps instead of overflowing (never near that with real logs).
    s.score = static_cast<std::int32_t>(static_cast<std::int64_t>(s.totalPoints) * s.totalPrefixes);
    s.text += format("\r\nScore: %i*%i = %i\r\n", s.totalPoints, s.totalPrefixes, s.score);
    return s;
}

}  // namespace stats
