#pragma once
// Small texts the robot makes: JSON strings, random tokens, SHA-256 digests, UTC times.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace robot {

/// `text` as a JSON string with its quotes; bytes that are not UTF-8 become U+FFFD.
std::string jsonString(std::string_view text);

/// `bytes` random bytes from the system's generator, as lower-case hex (2 characters a byte).
std::string randomHex(std::size_t bytes);

/// A confirmation code: 12 characters from an alphabet without look-alikes, 60 random bits.
std::string confirmationCode();

/// The SHA-256 digest of `bytes` as lower-case hex.
std::string sha256Hex(std::string_view bytes);

/// "YYYY-MM-DD HH:MM:SS" (UTC).
std::string utcText(std::chrono::system_clock::time_point when);

/// "YYYY-MM-DD HH:MM" read as UTC; none when it does not read or is no real time.
std::optional<std::chrono::sys_seconds> parseUtcMinute(std::string_view text);

/// `text` with ASCII letters in upper case (calls and file names compare so).
std::string upper(std::string text);

/// True when both are equal, in a time that does not depend on where they differ.
bool sameSecret(std::string_view a, std::string_view b) noexcept;

}  // namespace robot
