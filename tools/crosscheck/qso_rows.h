#pragma once
// --qso-csv: every QSO line of every usable log with its verdict, points, the
// other log's line it rests on and the evidence, for a committee that works on
// the verdicts in a spreadsheet.

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/evidence.h"

namespace crosscheck {

/// The header and one row per QSO of `logs` (CR LF), by station then line:
/// station, line, time, band, mode, call, sent, received, verdict, points,
/// partner, partner_line, evidence. `points` per log and QSO.
void writeQsoRows(std::ostream &out, const std::vector<StationLog> &logs,
                  const CheckResult &check, const EvidenceWriter &writer,
                  const std::vector<std::vector<int>> &points);

} // namespace crosscheck
