#pragma once
// The plug-in's score line, "Score: Q*M = S", the last line of the summary GetResult0 returns.

#include <optional>
#include <string_view>

namespace logs {

/// The figures of a score line: QSOs, multipliers and the score.
struct Score {
    long long qsos = 0;
    long long multipliers = 0;
    long long score = 0;
    bool operator==(const Score&) const = default;
};

/// Q, M and S of the last "Score: Q*M = S" line of `summary`; none when it has no such line or a
/// figure is not a whole number that fits.
std::optional<Score> parseScore(std::string_view summary);

}  // namespace logs
