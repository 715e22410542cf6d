#include "tools/logs/iso_date.h"

#include <algorithm>
#include <charconv>

namespace logs {
namespace {

using namespace std::chrono;

bool parseNumber(std::string_view text, unsigned& value) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

}  // namespace

bool parseIsoDate(std::string_view text, sys_days& out) {
    unsigned y = 0, m = 0, d = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !parseNumber(text.substr(0, 4), y) ||
        !parseNumber(text.substr(5, 2), m) || !parseNumber(text.substr(8, 2), d))
        return false;
    const year_month_day ymd{year{static_cast<int>(y)}, month{m}, day{d}};
    if (!ymd.ok() || y < 1900) return false;
    out = sys_days{ymd};
    return true;
}

}  // namespace logs
