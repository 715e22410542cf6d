#include "tools/report/report_format.h"

#include <fmt/format.h>

#include "core/ole_date.h"
#include "core/text.h"
#include "tools/report/html_page.h"

namespace report {

using namespace std::chrono;

std::string dateText(sys_seconds t) { return stats::formatTime(t, "%Y-%m-%d"); }

std::string clockText(sys_seconds t) { return stats::formatTime(t, "%H:%M"); }

std::string timeText(sys_seconds t) { return stats::formatTime(t, "%Y-%m-%d %H:%M"); }

std::string durationText(seconds s) {
    const auto m = duration_cast<minutes>(s).count();
    if (m < 60) return fmt::format("{} min", m);
    return fmt::format("{} h {:02}", html::grouped(m / 60), m % 60);
}

std::string fixed(double v) { return fmt::format("{:.1f}", v); }

std::string compact(double v) {
    if (v >= 1e6) return v >= 1e7 ? fmt::format("{:.0f}M", v / 1e6) : fmt::format("{:.1f}M", v / 1e6);
    if (v >= 1e4) return fmt::format("{:.0f}k", v / 1e3);
    return fmt::format("{:.0f}", v);
}

std::string number(std::uint64_t n) { return html::grouped(static_cast<std::int64_t>(n)); }

std::string counted(std::uint64_t n, std::string_view one, std::string_view many) {
    return fmt::format("{} {}", number(n), n == 1 ? one : many);
}

std::string percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return "\xE2\x80\x93";
    return fmt::format("{}\xC2\xA0%", (200 * part + whole) / (2 * whole));
}

std::string signedNumber(std::int64_t v) {
    return (v > 0 ? "+" : v < 0 ? "\xE2\x88\x92" : "") + html::grouped(v < 0 ? -v : v);
}

std::string_view fileNameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string wholeNumber(std::string_view text) {
    text = stats::trimmed(text, " ");
    if (text.size() > 18 || !stats::allDigits(text)) return {};
    const std::size_t first = text.find_first_not_of('0');
    return first == std::string_view::npos ? "0" : std::string(text.substr(first));
}

}  // namespace report
