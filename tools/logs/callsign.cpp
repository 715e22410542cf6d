#include "tools/logs/callsign.h"

#include <algorithm>
#include <vector>

#include "core/text.h"

namespace logs {
namespace {

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

bool isModifier(std::string_view s) noexcept {
    for (std::string_view m : {"P", "M", "MM", "AM", "QRP", "QRPP", "A", "E", "J"})
        if (s == m) return true;
    return false;
}

// The prefix of a call without slashes: up to and including its last digit. Without any digit
// the first two letters count, with "0" added.
std::string homePrefix(std::string_view call) {
    if (call.empty()) return {};
    const std::size_t digit = call.find_last_of("0123456789");
    if (digit == std::string_view::npos) return std::string(call.substr(0, 2)) + "0";
    return std::string(call.substr(0, digit + 1));
}

}  // namespace

CallParts splitCall(std::string_view call) {
    CallParts parts;
    for (char c : call) {
        if (c == ' ' || c == '\t') continue;
        parts.call.push_back(stats::asciiUpper(c));
    }

    std::vector<std::string_view> pieces;
    std::string_view rest = parts.call;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        // A modifier only counts after the call: "M/DL1ABC" is a station in England.
        if (!piece.empty()) {
            if (!pieces.empty() && isModifier(piece)) {
                if (piece == "MM" || piece == "AM") parts.atSea = true;
            } else {
                pieces.push_back(piece);
            }
        }
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) parts.withoutModifiers += '/';
        parts.withoutModifiers += pieces[i];
    }

    if (pieces.size() > 1 && stats::allDigits(pieces.back())) {
        parts.areaDigits = pieces.back();
        pieces.pop_back();
    }
    if (pieces.size() == 1) {
        parts.home = pieces[0];
    } else if (pieces.size() == 2) {
        // The designator is the shorter part; of two equal ones, the first (PY2/W1AW, VP2E/W1AW).
        const bool firstIsDesignator = pieces[0].size() <= pieces[1].size();
        parts.designator = pieces[firstIsDesignator ? 0 : 1];
        parts.home = pieces[firstIsDesignator ? 1 : 0];
    } else if (pieces.size() > 2) {
        parts.designator = pieces[0];
        parts.home = pieces[1];
    }
    return parts;
}

std::string wpxPrefix(std::string_view call) {
    const CallParts parts = splitCall(call);
    if (!parts.designator.empty()) {
        if (parts.designator.find_first_of("0123456789") == std::string::npos) return parts.designator + "0";
        return parts.designator;
    }
    std::string prefix = homePrefix(parts.home);
    if (!parts.areaDigits.empty()) {
        while (!prefix.empty() && isDigit(prefix.back())) prefix.pop_back();
        prefix += parts.areaDigits;
    }
    return prefix;
}

bool namesAStation(std::string_view call) noexcept {
    return call.find_first_not_of("/ \t") != std::string_view::npos;
}

bool hasCallSyntax(std::string_view call) noexcept {
    const auto allowed = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/';
    };
    return !call.empty() && call.size() <= kLongestCall && std::all_of(call.begin(), call.end(), allowed) &&
           namesAStation(call);
}

std::string countryLookupText(const CallParts& parts) {
    if (parts.atSea) return {};
    if (!parts.designator.empty()) return parts.designator;
    if (!parts.areaDigits.empty()) return wpxPrefix(parts.call);
    return parts.home;
}

}  // namespace logs
