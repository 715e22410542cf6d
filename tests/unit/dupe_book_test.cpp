#include "tools/contest/dupe_book.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono;

struct Case {
    const char* name;
    std::optional<int> repeatAfter;
    bool perPeriod;
    // QSOs with one call on one band and mode: minutes from the start; and for each, the index of the
    // QSO it is a dupe of (-1: counts) and the minutes between.
    std::vector<int> minutes;
    std::vector<std::pair<int, int>> expected;
};

TEST(DupeBook, DupesAndRepeatsByTheRules) {
    const Case cases[] = {
        {"once per band and mode", std::nullopt, false, {0, 40, 200}, {{-1, 0}, {0, 40}, {0, 200}}},
        {"a repeat after 30 minutes", 30, false, {0, 29, 30, 45, 61}, {{-1, 0}, {0, 29}, {-1, 0}, {2, 15}, {-1, 0}}},
        {"each period afresh", std::nullopt, true, {0, 50, 70, 100}, {{-1, 0}, {0, 50}, {-1, 0}, {2, 30}}},
        {"outside the periods, a key of its own", std::nullopt, true, {-10, 0, 130}, {{-1, 0}, {-1, 0}, {0, 140}}},
    };
    const sys_seconds start = sys_days{2016y / 8 / 20} + 8h;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        contest::ContestDefinition d;
        d.periods = {{start, start + 1h}, {start + 1h, start + 2h}};
        d.checking.repeatAfterMinutes = c.repeatAfter;
        d.checking.dupesPerPeriod = c.perPeriod;
        contest::DupeBook book(d);
        for (std::uint32_t i = 0; i < c.minutes.size(); ++i) {
            const auto got = book.judge("LZ0AA", "80m", "CW", start + minutes{c.minutes[i]}, i);
            EXPECT_EQ(got ? static_cast<int>(got->index) : -1, c.expected[i].first) << "QSO " << i;
            if (got) {
                EXPECT_EQ(got->minutes, c.expected[i].second) << "QSO " << i;
            }
        }
        EXPECT_FALSE(book.judge("LZ0AA", "40m", "CW", start, 99)) << "another band is another key";
    }
}

}  // namespace
