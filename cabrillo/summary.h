#pragma once
// The score summary: the table the host shows, the score and the worked SA prefixes.

#include <cstdint>
#include <string>
#include <vector>

#include "core/qso_store.h"

namespace stats {

/// What one summary computes from the store.
struct ScoreSummary {
    std::string text;  ///< the tab-separated table, ending in the score line
    std::int32_t totalQsos = 0;
    std::int32_t totalPoints = 0;
    std::int32_t totalPrefixes = 0;
    std::int32_t totalCw = 0;
    std::int32_t totalSsb = 0;
    std::int32_t score = 0;
    /// The distinct SA prefixes, by band in sort order, then in store order.
    std::vector<std::string> workedSaPrefixes;
};

/// Sorts band texts from the longest wavelength to the shortest ("160m" ... "10m"), in place.
void sortBandList(std::vector<std::string>& bandList);

/// Computes the summary of `store` over the bands of `bandList`, which it sorts first.
ScoreSummary buildScoreSummary(std::vector<std::string>& bandList, const QsoStore& store,
                               const std::string& periodStartText, const std::string& periodEndText,
                               const std::string& contestant);

}  // namespace stats
