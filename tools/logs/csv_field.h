#pragma once
// One text cell of a CSV file, as RFC 4180 writes it and guarded against spreadsheet formulas.

#include <string>
#include <string_view>

namespace logs {

/// `value` as a text cell: behind a leading ' when it begins with '=', '+', '-', '@', a tab or a CR (a
/// spreadsheet would take it for a formula), then in quotes with its quotes doubled when it holds a
/// comma, quote or line break. Number columns are written as they are, never through this.
std::string csvField(std::string_view value);

}  // namespace logs
