#pragma once
// The pieces of the panel's refresh tick that need no window.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/qso_store.h"

namespace stats {

/// The entry a refresh writes into the CW, SSB and number columns before filling them.
inline constexpr const char* kNoPreviousQso = "   -";

/// The previous-QSO row (0 "160m" .. 5 "10m") of the band a radio frequency lies on, -1 for none.
/// Only the whole megahertz count: 1, 3, 7, 14, 21 and 28.
int bandRowForFrequency(double hertz) noexcept;

/// Fills entries 1 to 3 of each row with the last CW time, the last SSB time and the last
/// received number of the contacts with `call` on that row's band, in store order; entries
/// without a contact hold kNoPreviousQso. Rows shorter than four entries are completed.
void fillPreviousQsoRows(std::array<std::vector<std::string>, 6>& rows, const QsoStore& store,
                         std::string_view call, const std::array<std::string, 6>& bandNames);

}  // namespace stats
