#pragma once
// One field of a CSV file as RFC 4180 writes it.

#include <string>
#include <string_view>

namespace logs {

/// `value` as it is, or in quotes with its quotes doubled when it holds a comma, quote or line break.
std::string csvField(std::string_view value);

}  // namespace logs
