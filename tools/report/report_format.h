#pragma once
// The report page's one way of writing times, durations, counts and chart coordinates. Plain texts:
// none of them holds a character that needs escaping.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace report {

/// Division rounding towards minus infinity: hour and bar numbers before 1970 too.
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

/// "2026-03-07".
std::string dateText(std::chrono::sys_seconds t);
/// "14:05".
std::string clockText(std::chrono::sys_seconds t);
/// "2026-03-07 14:05".
std::string timeText(std::chrono::sys_seconds t);
/// "45 min", "3 h 05".
std::string durationText(std::chrono::seconds s);
/// A chart coordinate with one decimal: "12.5".
std::string fixed(double v);
/// 12, 1.2k, 34k, 1.2M: axis labels that stay short.
std::string compact(double v);
/// A count with thin spaces between groups of three digits.
std::string number(std::uint64_t n);
/// "1 dupe", "2 dupes", "1 234 QSOs".
std::string counted(std::uint64_t n, std::string_view one, std::string_view many);
/// The rounded share in per cent ("42 %"), a dash for nothing of nothing.
std::string percent(std::uint64_t part, std::uint64_t whole);
/// "+12", "−3" (a minus sign), "0", grouped.
std::string signedNumber(std::int64_t v);
/// The last part of a file path, after any '/' or '\\' (either system's): the page names files so,
/// never with the folders of the machine that wrote it.
std::string_view fileNameOf(std::string_view path);
/// The digits of a whole number without leading zeros (spaces around it allowed): "" when `text` is none.
std::string wholeNumber(std::string_view text);

}  // namespace report
