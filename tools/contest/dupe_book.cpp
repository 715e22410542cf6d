#include "tools/contest/dupe_book.h"

#include <cstddef>

namespace contest {

std::optional<DupeBook::Earlier> DupeBook::judge(std::string_view call, std::string_view band, std::string_view mode,
                                                 std::chrono::sys_seconds when, std::uint32_t index) {
    key_.assign(call).append(1, '\0').append(band).append(1, '\0').append(mode);
    if (contest_.checking.dupesPerPeriod) {
        // A QSO outside every period keys apart (period "none"), so it never makes one inside a dupe.
        std::size_t period = contest_.periods.size();
        for (std::size_t p = 0; p < contest_.periods.size(); ++p)
            if (contest_.periods[p].holds(when)) period = p;
        key_.append(1, '\0').append(std::to_string(period));
    }
    const auto [it, isNew] = counted_.try_emplace(key_, Counted{index, when});
    if (isNew) return std::nullopt;
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(when - it->second.when).count();
    const std::optional<int>& after = contest_.checking.repeatAfterMinutes;
    if (after && minutes >= *after) {
        it->second = Counted{index, when};  // a repeat in time counts, and later ones are measured from it
        return std::nullopt;
    }
    return Earlier{it->second.index, minutes};
}

}  // namespace contest
