#include "tools/logs/iso_date.h"

#include "core/ole_date.h"
#include "core/text.h"

namespace logs {

using namespace std::chrono;

bool parseIsoDate(std::string_view text, sys_days& out) {
    unsigned y = 0, m = 0, d = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !stats::parseDigits(text.substr(0, 4), y) ||
        !stats::parseDigits(text.substr(5, 2), m) || !stats::parseDigits(text.substr(8, 2), d))
        return false;
    const year_month_day ymd{year{static_cast<int>(y)}, month{m}, day{d}};
    if (!ymd.ok() || y < 1900) return false;
    out = sys_days{ymd};
    return true;
}

std::string isoDateText(sys_days date) {
    return stats::formatTime(date, "%Y-%m-%d");
}

}  // namespace logs
