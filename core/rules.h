#pragma once
// The rules of the one contest this plug-in knows.

#include <string_view>

namespace stats {

inline constexpr const char* kRuleSetName = "SA-TOLVEN CW/SSB (C)";
inline constexpr int kNumberOfSets = 1;
inline constexpr int kExchangeCount = 1;

/// A serial number of 1 to 3 ASCII digits that is not "599".
bool isValidExchange(std::string_view text) noexcept;

}  // namespace stats
