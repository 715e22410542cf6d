#pragma once
// Starting a contest run over.

#include <string_view>

#include "core/contest.h"
#include "core/services.h"

namespace stats {

inline constexpr std::string_view kStartKey = "Start";

/// True for the own country prefixes that select the panel's Russian texts: "UA", "UA2", "UA2/f", "UA9".
bool isHomeCountryUA(std::string_view ownCountryPrefix) noexcept;

/// The in-memory part of a reset: period texts, the panel's band rows, an empty store and band
/// list, the export request, the own callsign and country.
void resetContestState(ContestState& state, const ResetParams& params);

/// Reads and flips the "Start" toggle: "0" or missing starts the window thread (when no panel
/// exists) and writes "1"; anything else writes "0" and starts nothing.
void applyStartToggle(Settings& settings, WindowThread& windows);

}  // namespace stats
