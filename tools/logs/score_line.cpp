#include "tools/logs/score_line.h"

#include <charconv>

namespace logs {
namespace {

// Reads an optionally negative whole number at the front of `text` and drops it; false when none.
bool takeNumber(std::string_view& text, long long& value) {
    const char* end = text.data() + text.size();
    const auto [next, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || next == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(next - text.data()));
    return true;
}

bool takeText(std::string_view& text, std::string_view expected) {
    if (!text.starts_with(expected)) return false;
    text.remove_prefix(expected.size());
    return true;
}

}  // namespace

std::optional<Score> parseScore(std::string_view summary) {
    const std::size_t at = summary.rfind("Score: ");
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view line = summary.substr(at + 7);
    line = line.substr(0, line.find_first_of("\r\n"));
    Score s;
    if (!takeNumber(line, s.qsos) || !takeText(line, "*") || !takeNumber(line, s.multipliers) ||
        !takeText(line, " = ") || !takeNumber(line, s.score))
        return std::nullopt;
    return s;
}

}  // namespace logs
