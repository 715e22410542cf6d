#pragma once
// Small helpers for the 8-bit texts that cross the plug-in boundary.

#include <cstddef>
#include <string>
#include <string_view>

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

/// printf-style formatting into a std::string (the system's own texts are printf patterns).
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace stats
