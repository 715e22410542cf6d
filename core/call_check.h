#pragma once
// The answer to a callsign while the operator types it.

#include <cstddef>
#include <string_view>

#include "core/contest.h"

namespace stats {

inline constexpr std::size_t kOutBufferSize = 50;
inline constexpr std::size_t kHintBufferSize = 100;
inline constexpr std::string_view kNewMultHintHead = "New mult !!! ";
inline constexpr std::string_view kNewMultHintTail = " New SA Prefix !!!";

/// 0 when the call is already stored on this band and mode; 1 when the call is empty or its SA
/// prefix is already worked; 2 otherwise, with the hint in the hint buffer for a new SA prefix.
/// Answered from the store's indexes; the host's buffers are written only as the result requires.
int checkCall(const ContestState& state, const CallCheckParams& params, bool masterOption);

}  // namespace stats
