#include "core/ole_date.h"

#include <cmath>
#include <cstdio>

namespace stats {
namespace {

using namespace std::chrono;

constexpr double kMinDate = -657434.0;   // 0100-01-01
constexpr double kMaxDate = 2958465.0;   // 9999-12-31 (the whole day)
constexpr double kHalfSecond = 1.0 / (2.0 * 86400.0);
constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};

struct Broken {
    year_month_day date;
    hh_mm_ss<seconds> time;
};

// The OLE convention: the integer part counts days (towards zero), the fraction of the
// absolute value is the time of day, so -1.25 is 1899-12-29 06:00. Rounding to the nearest
// second comes first, away from zero, as the platform's own conversion does.
bool breakDown(const OleDateTime& d, Broken& out) {
    if (d.status != OleDateTime::kValid || !std::isfinite(d.dt)) return false;
    if (d.dt < kMinDate || d.dt >= kMaxDate + 1.0) return false;
    const double rounded = d.dt + (d.dt > 0.0 ? kHalfSecond : -kHalfSecond);
    const double whole = std::trunc(rounded);
    const double fraction = std::fabs(rounded) - std::floor(std::fabs(rounded));
    auto secs = static_cast<long>(fraction * 86400.0);
    if (secs >= 86400) secs = 86399;
    const sys_days day = kEpoch + days{static_cast<long>(whole)};
    out.date = year_month_day{day};
    out.time = hh_mm_ss<seconds>{seconds{secs}};
    return out.date.year() >= year{100} && out.date.year() <= year{9999};
}

void appendNumber(std::string& out, long value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*ld", width, value);
    out += buf;
}

std::string formatBroken(const Broken& b, std::string_view pattern) {
    static constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                              "July",    "August",   "September", "October", "November", "December"};
    static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    const long y = static_cast<int>(b.date.year());
    const long m = static_cast<unsigned>(b.date.month());
    const long d = static_cast<unsigned>(b.date.day());
    const long hour = b.time.hours().count();
    const weekday wd{sys_days{b.date}};

    std::string out;
    out.reserve(pattern.size() + 16);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        switch (const char c = pattern[++i]) {
            case 'Y': appendNumber(out, y, 4); break;
            case 'y': appendNumber(out, y % 100, 2); break;
            case 'm': appendNumber(out, m, 2); break;
            case 'd': appendNumber(out, d, 2); break;
            case 'H': appendNumber(out, hour, 2); break;
            case 'I': appendNumber(out, hour % 12 == 0 ? 12 : hour % 12, 2); break;
            case 'M': appendNumber(out, b.time.minutes().count(), 2); break;
            case 'S': appendNumber(out, b.time.seconds().count(), 2); break;
            case 'p': out += hour < 12 ? "AM" : "PM"; break;
            case 'j': appendNumber(out, (sys_days{b.date} - sys_days{b.date.year() / January / 1}).count() + 1, 3); break;
            case 'B': out += kMonths[m - 1]; break;
            case 'b': out.append(kMonths[m - 1], 3); break;
            case 'A': out += kDays[wd.c_encoding()]; break;
            case 'a': out.append(kDays[wd.c_encoding()], 3); break;
            case '%': out += '%'; break;
            default: out += '%'; out += c; break;
        }
    }
    return out;
}

}  // namespace

std::string formatOleDate(const OleDateTime& date, std::string_view pattern) {
    if (date.status == OleDateTime::kNull) return {};
    Broken b;
    if (!breakDown(date, b)) return "Invalid DateTime";
    return formatBroken(b, pattern);
}

std::string formatTime(sys_seconds time, std::string_view pattern) {
    const sys_days day = floor<days>(time);
    return formatBroken({year_month_day{day}, hh_mm_ss<seconds>{time - day}}, pattern);
}

OleDateTime oleDateFrom(sys_seconds time) noexcept {
    const sys_days day = floor<days>(time);
    const double wholeDays = static_cast<double>((day - kEpoch).count());
    const double fraction = static_cast<double>((time - day).count()) / 86400.0;
    // Before the epoch the time of day is a magnitude added away from zero: 1899-12-29 06:00
    // is -1.25, not -0.75.
    return {wholeDays >= 0 ? wholeDays + fraction : wholeDays - fraction, OleDateTime::kValid};
}

bool oleDateToSeconds(const OleDateTime& date, sys_seconds& out) noexcept {
    Broken b;
    if (!breakDown(date, b)) return false;
    out = sys_days{b.date} + b.time.to_duration();
    return true;
}

}  // namespace stats
