// Stats.dll as the host sees it: loaded with LoadLibraryA, every export found by its plain and by
// its decorated name, the rule-set queries answered through both.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "wine_test_support.h"

namespace {

struct ExportName {
    const char* plain;
    const char* decorated;
};

#ifdef _WIN64
const ExportName kExports[] = {
    {"AddData0", "?AddData0@@YAHPEBD0PEAVCOleDateTime@ATL@@111II000000000000000HHHNN00000@Z"},
    {"RemoveData0", "?RemoveData0@@YAHPEBD0PEAVCOleDateTime@ATL@@111II000000000000000HHHNN00000@Z"},
    {"ResetStats0", "?ResetStats0@@YAHPEBDH0PEAVCOleDateTime@ATL@@10000000000HHHNN000@Z"},
    {"CheckCall0", "?CheckCallFunc0@@YAHPEBDII00000000000HHHNN0000000PEAD1@Z"},
    {"GetResult0", "?GetResult0@@YAPEBDPEAH@Z"},
    {"GetSetName", "?GetSetName@@YAPEBDH@Z"},
    {"GetNumberOfSets", "?GetNumberOfSets@@YAHXZ"},
    {"GetExchgCount0", "?StatsGetExchgCount0@@YAHPEBD00@Z"},
    {"IsValidExchg0", "?StatsIsValidExchg0@@YAHPEBD000HHH@Z"},
    {"SetupSet0", "?SetupSet0@@YAXXZ"},
};
#else
const ExportName kExports[] = {
    {"AddData0", "?AddData0@@YAHPBD0PAVCOleDateTime@ATL@@111II000000000000000HHHNN00000@Z"},
    {"RemoveData0", "?RemoveData0@@YAHPBD0PAVCOleDateTime@ATL@@111II000000000000000HHHNN00000@Z"},
    {"ResetStats0", "?ResetStats0@@YAHPBDH0PAVCOleDateTime@ATL@@10000000000HHHNN000@Z"},
    {"CheckCall0", "?CheckCallFunc0@@YAHPBDII00000000000HHHNN0000000PAD1@Z"},
    {"GetResult0", "?GetResult0@@YAPBDPAH@Z"},
    {"GetSetName", "?GetSetName@@YAPBDH@Z"},
    {"GetNumberOfSets", "?GetNumberOfSets@@YAHXZ"},
    {"GetExchgCount0", "?StatsGetExchgCount0@@YAHPBD00@Z"},
    {"IsValidExchg0", "?StatsIsValidExchg0@@YAHPBD000HHH@Z"},
    {"SetupSet0", "?SetupSet0@@YAXXZ"},
};
#endif

const ExportName& exportNamed(const char* plain) {
    for (const ExportName& e : kExports)
        if (std::string(e.plain) == plain) return e;
    throw std::logic_error(plain);
}

// Each test gets a fresh copy of the plug-in, loaded inside its own scratch directory.
class StatsDll : public ::testing::Test {
protected:
    wine_test::TempWorkDir dir_;
    wine_test::StatsLibrary dll_;

    // The function exported as `plain`, and the same one found by its decorated name.
    template <typename F>
    std::vector<F> bothNames(const char* plain) const {
        const ExportName& e = exportNamed(plain);
        F byPlain = dll_.get<F>(e.plain);
        F byDecorated = dll_.get<F>(e.decorated);
        EXPECT_NE(byPlain, nullptr) << e.plain;
        EXPECT_NE(byDecorated, nullptr) << e.decorated;
        std::vector<F> found;
        if (byPlain) found.push_back(byPlain);
        if (byDecorated) found.push_back(byDecorated);
        return found;
    }
};

TEST_F(StatsDll, EveryExportResolvesUnderBothNamesToOneFunction) {
    for (const ExportName& e : kExports) {
        FARPROC plain = dll_.proc(e.plain);
        FARPROC decorated = dll_.proc(e.decorated);
        EXPECT_NE(plain, nullptr) << e.plain;
        EXPECT_NE(decorated, nullptr) << e.decorated;
        EXPECT_EQ(plain, decorated) << e.plain;
    }
    // One function answers both the number of sets and the exchange count.
    EXPECT_EQ(dll_.proc("GetNumberOfSets"), dll_.proc("GetExchgCount0"));
    // The internal names of the renamed exports stay private.
    for (const char* internal : {"CheckCallFunc0", "StatsGetExchgCount0", "StatsIsValidExchg0"})
        EXPECT_EQ(dll_.proc(internal), nullptr) << internal;
}

TEST_F(StatsDll, RuleSetQueriesThroughBothNames) {
    for (auto getSetName : bothNames<decltype(&GetSetName)>("GetSetName")) {
        EXPECT_STREQ(getSetName(0), "SA-TOLVEN CW/SSB (C)");
        for (int other : {1, -1, 2147483647}) {
            const char* name = getSetName(other);
            ASSERT_NE(name, nullptr) << other;
            EXPECT_STREQ(name, "") << other;
        }
    }
    for (auto getNumberOfSets : bothNames<decltype(&GetNumberOfSets)>("GetNumberOfSets"))
        EXPECT_EQ(getNumberOfSets(), 1);
    for (auto getExchgCount : bothNames<decltype(&StatsGetExchgCount0)>("GetExchgCount0")) {
        EXPECT_EQ(getExchgCount(nullptr, nullptr, nullptr), 1);
        EXPECT_EQ(getExchgCount("", "x", nullptr), 1);
    }
}

TEST_F(StatsDll, ExchangeValidityThroughBothNames) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"59", 1}, {"599", 0}, {"007", 1}, {"1234", 0}, {"", 0}, {nullptr, 0}};
    for (auto isValid : bothNames<decltype(&StatsIsValidExchg0)>("IsValidExchg0"))
        for (const Case& c : cases)
            EXPECT_EQ(isValid(c.text, nullptr, nullptr, nullptr, 0, 0, 0), c.expected)
                << (c.text ? c.text : "(null)");
}

TEST_F(StatsDll, SetupSetShowsItsMessageBoxUnderBothNames) {
    for (auto setupSet : bothNames<decltype(&SetupSet0)>("SetupSet0")) {
        // Any dialog: a box with an unexpected caption must not leave the test blocked.
        wine_test::DialogWatcher watcher(nullptr, IDOK, [](HWND box) {
            if (auto dir = wine_test::screenshotDir(); !dir.empty()) {
                EXPECT_TRUE(wine_test::captureWindow(box, dir / "setup_set0.bmp"));
            }
        });
        setupSet();
        const wine_test::SeenDialog seen = watcher.wait();
        EXPECT_TRUE(seen.found);
        // The box has no caption of its own, so the platform's default title shows.
        EXPECT_EQ(seen.caption, "Error");
        EXPECT_EQ(seen.message, "No additional setup for this contest");
    }
}

TEST_F(StatsDll, UnloadsAndLoadsAgain) {
    dll_.unload();
    wine_test::StatsLibrary again;
    auto getSetName = again.get<decltype(&GetSetName)>("GetSetName");
    ASSERT_NE(getSetName, nullptr);
    EXPECT_STREQ(getSetName(0), "SA-TOLVEN CW/SSB (C)");
}

}  // namespace
