#pragma once
// Calendar dates as logs and command lines write them.

#include <chrono>
#include <string>
#include <string_view>

namespace logs {

/// A calendar date written YYYY-MM-DD (year 1900 or later); false for anything else.
bool parseIsoDate(std::string_view text, std::chrono::sys_days& out);

/// A calendar date written YYYY-MM-DD.
std::string isoDateText(std::chrono::sys_days date);

}  // namespace logs
