#pragma once
// Each QSO of a replay and the plug-in's answer as CSV (RFC 4180: CR LF lines, fields with a
// comma, quote or line break quoted, quotes doubled), one row per QSO in replay order.

#include <string>
#include <string_view>
#include <vector>

#include "tools/replay/replay_pipeline.h"

namespace replay {

/// The CSV text: a header row, then one row per answer. `placeColumn` names the first column
/// ("line" for a Cabrillo log, "record" for ADIF).
std::string qsoCsv(const std::vector<QsoAnswer>& answers, std::string_view placeColumn);

}  // namespace replay
