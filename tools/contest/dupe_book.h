#pragma once
// Dupes and repeats as a contest's rules judge them, for one log: each QSO is judged against the
// earlier QSOs with the same call, band and mode (and period, where each period starts afresh).
// Used alike by the single-log check and the cross-check, so both find the same dupes.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tools/contest/contest_definition.h"

namespace contest {

/// The QSOs of one log judged so far; feed them in time order.
class DupeBook {
  public:
    /// `contest` must outlive the book.
    explicit DupeBook(const ContestDefinition& contest) : contest_(contest) {}

    /// The QSO that makes a later one a dupe, and the whole minutes between them.
    struct Earlier {
        std::uint32_t index = 0;
        std::int64_t minutes = 0;
    };

    /// Judges the QSO `index`: the earlier QSO it repeats too soon (a dupe), or none, and then it
    /// counts and is the one later repeats are measured from.
    std::optional<Earlier> judge(std::string_view call, std::string_view band, std::string_view mode,
                                 std::chrono::sys_seconds when, std::uint32_t index);

    void clear() noexcept { counted_.clear(); }

  private:
    struct Counted {
        std::uint32_t index = 0;
        std::chrono::sys_seconds when{};
    };

    const ContestDefinition& contest_;
    std::unordered_map<std::string, Counted> counted_;
    std::string key_;
};

}  // namespace contest
