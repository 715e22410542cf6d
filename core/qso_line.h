#pragma once
// The QSO line of a Cabrillo log, written one way for the plug-in's export, the contest generator
// and the cross-check's evidence.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "core/contest_rules.h"

namespace stats {

/// The columns a QSO line gives a call.
inline constexpr std::size_t kCallColumns = 13;

/// The columns a QSO line gives an exchange field: 3 for an RST, 6 for any other.
constexpr std::size_t fieldColumns(FieldKind kind) noexcept {
    return kind == FieldKind::kRst ? 3 : 6;
}

/// What one QSO line holds, each text already on one line.
struct QsoLineTexts {
    long long frequencyKHz = 0;
    std::string_view mode;  ///< the Cabrillo code: "CW", "PH"
    std::string_view time;  ///< "2026-03-07 1200"
    std::string_view ownCall;
    std::span<const std::string_view> sent;
    std::string_view call;
    std::span<const std::string_view> received;
    std::string_view transmitter;  ///< "" when the line gives none
};

/// `q` as a QSO line without its line end: "QSO:", the frequency right-aligned in 5 columns, the
/// mode in 2, the time, the own call, the sent fields, the call and the received fields, and the
/// transmitter id when there is one, one blank apart. With `fields` (the exchange's kinds, one
/// way) the calls and fields stand left-aligned in their columns, all but the last received
/// field; without, every text stands as it is.
std::string qsoLine(const QsoLineTexts& q, std::span<const FieldKind> fields = {});

}  // namespace stats
