#pragma once
// The host's date-time value and its strftime-style formatting.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace stats {

/// An OLE Automation date (days since 1899-12-30, the fraction being the time of day)
/// with a status, laid out exactly as the host passes it: a double, then a 32-bit status.
struct OleDateTime {
    enum Status : std::int32_t { kValid = 0, kInvalid = 1, kNull = 2 };

    double dt = 0.0;
    std::int32_t status = kValid;

    friend bool operator==(const OleDateTime&, const OleDateTime&) = default;
};
// As the host's compiler lays it out on i686 and x86_64 alike: the double at 0, the status at 8,
// 8-byte aligned, 16 bytes, copied as a plain value.
static_assert(sizeof(OleDateTime) == 16 && alignof(OleDateTime) == 8, "the host passes a 16-byte date-time");
static_assert(std::is_standard_layout_v<OleDateTime> && std::is_trivially_copyable_v<OleDateTime>);
static_assert(offsetof(OleDateTime, dt) == 0 && offsetof(OleDateTime, status) == 8);
static_assert(std::is_same_v<decltype(OleDateTime::dt), double> && sizeof(OleDateTime::status) == 4 &&
              std::is_same_v<std::underlying_type_t<OleDateTime::Status>, std::int32_t>);

/// Formats `date` with a strftime-style pattern ("%Y-%m-%d %H%M", "%d.%m", "%H:%M", ...).
/// The time of day is rounded to the nearest second. An invalid status or a value outside
/// the years 100 to 9999 gives "Invalid DateTime"; a null status gives "".
std::string formatOleDate(const OleDateTime& date, std::string_view pattern);

/// Formats a UTC time point with the same patterns: the one time formatter of the plug-in and the
/// tools ("%Y-%m-%d %H%M" as Cabrillo writes a QSO's time, "%Y-%m-%dT%H:%M:%SZ", "%H:%M").
std::string formatTime(std::chrono::sys_seconds time, std::string_view pattern);

/// The OLE date of a UTC time point, with second precision.
OleDateTime oleDateFrom(std::chrono::sys_seconds time) noexcept;

/// The time point of a valid, in-range OLE date (rounded to the nearest second).
bool oleDateToSeconds(const OleDateTime& date, std::chrono::sys_seconds& out) noexcept;

}  // namespace stats
