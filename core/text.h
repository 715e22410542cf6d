#pragma once
// Small helpers for the 8-bit texts that cross the plug-in boundary.

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace stats {

/// A text from the host: a null pointer reads as the empty text.
inline std::string_view hostText(const char* text) noexcept {
    return text ? std::string_view(text) : std::string_view();
}

/// Copies `text` into a caller's buffer of `capacity` bytes, cut if needed and always terminated.
inline void copyToBuffer(char* buffer, std::size_t capacity, std::string_view text) noexcept {
    if (!buffer || capacity == 0) return;
    const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    text.copy(buffer, n);
    buffer[n] = '\0';
}

/// `s` without the characters of `blanks` (spaces and tabs unless told) at either end.
constexpr std::string_view trimmed(std::string_view s, std::string_view blanks = " \t") noexcept {
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

/// An ASCII letter in upper case; any other byte as it is (texts from logs are not all ASCII).
constexpr char asciiUpper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
/// An ASCII letter in lower case; any other byte as it is.
constexpr char asciiLower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// The text with its ASCII letters in upper case.
inline std::string asciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = asciiUpper(c);
    return out;
}

/// The text with its ASCII letters in lower case.
inline std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = asciiLower(c);
    return out;
}

/// Whether `a` and `b` are the same text but for the case of ASCII letters.
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
    return true;
}

/// Whether `text` is one or more decimal digits and nothing else.
constexpr bool allDigits(std::string_view text) noexcept {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

/// Reads a whole number written in decimal digits only (no sign, no spaces, at least one digit)
/// that fits `T`; false for anything else, `value` then unchanged.
template <typename T>
bool parseDigits(std::string_view text, T& value) noexcept {
    if (!allDigits(text)) return false;
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    value = v;
    return true;
}

/// printf-style formatting into a std::string (the system's own texts are printf patterns).
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace stats
