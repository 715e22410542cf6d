#pragma once
// The rules of the one contest this plug-in knows.

#include <string_view>

#include "core/contest_rules.h"

namespace stats {

inline constexpr const char* kRuleSetName = kContest.ruleSetName.data();
inline constexpr int kNumberOfSets = 1;
inline constexpr int kExchangeCount = 1;
inline constexpr std::string_view kMultiplierContinent = kContest.multiplierContinent;

/// A serial number of 1 to 3 ASCII digits that is not "599".
bool isValidExchange(std::string_view text) noexcept;

/// Why a contact is not accepted; the first failing test in this order wins.
enum class Rejection { kNone, kNoContestBand, kNoTestMode, kNoNumber };

/// The acceptance tests: a band and a mode of the contest, both serial numbers non-empty.
Rejection acceptanceOf(std::string_view band, std::string_view mode, std::string_view numberSent,
                       std::string_view numberReceived) noexcept;

/// The multiplier a contact carries: its prefix when the continent is exactly "SA", else none.
inline std::string_view multiplierPrefix(std::string_view prefix, std::string_view continent) noexcept {
    return continent == kMultiplierContinent ? prefix : std::string_view();
}

}  // namespace stats
