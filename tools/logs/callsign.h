#pragma once
// What a logger derives from a callsign by itself: the WPX prefix and the text that locates the station.

#include <cstddef>
#include <string>
#include <string_view>

namespace logs {

/// A callsign taken apart at its slashes.
struct CallParts {
    std::string call;              ///< the whole call, upper case, blanks removed
    std::string home;              ///< the station's own call (W1AW of PY2/W1AW/P)
    std::string designator;        ///< a portable prefix designator before or after the call (PY2), or empty
    std::string areaDigits;        ///< a digit-only suffix that names the call area (7 of W1AW/7), or empty
    std::string withoutModifiers;  ///< the call without /P, /M, /QRP and the like
    bool atSea = false;            ///< /MM or /AM: maritime or aeronautical mobile, in no country
};

/// Splits `call` into its parts; /P, /M, /MM, /AM, /QRP, /QRPP, /A, /E, /J after the call are dropped.
CallParts splitCall(std::string_view call);

/// The WPX prefix: the designator if there is one (with "0" added when it has no digit), else
/// the home call up to its last digit, that digit replaced by a digit-only suffix; a call
/// without any digit gives its first two letters and "0". Empty for an empty call.
std::string wpxPrefix(std::string_view call);

/// False for a call made of slashes and blanks only ("/", "/ /"): it names no station and has no prefix.
bool namesAStation(std::string_view call) noexcept;

/// Longest call a log may give as its own: enough for the longest real calls with a designator.
constexpr std::size_t kLongestCall = 20;

/// True when `call` has the syntax of a callsign: ASCII letters, digits and '/', at most
/// kLongestCall characters, and not slashes only.
bool hasCallSyntax(std::string_view call) noexcept;

/// The text whose longest known prefix names the station's country (empty for /MM and /AM).
std::string countryLookupText(const CallParts& parts);

}  // namespace logs
