// Recording, the error log, the reset's toggle and the call check through Stats.dll's exports.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/exports.h"
#include "core/ole_date.h"
#include "wine_test_support.h"

namespace {

constexpr double kMarch1st2026 = 46082.0;

class RecordingOnWine : public ::testing::Test {
  protected:
    int add(const char* call, int minute, unsigned hz, const char* mode, const char* sent,
            const char* received, const char* band, const char* prefix = "", const char* continent = "NA") {
        const stats::OleDateTime time{kMarch1st2026 + (14 * 60 + minute) / 1440.0,
                                      stats::OleDateTime::kValid};
        auto fn = dll_.get<decltype(&AddData0)>("AddData0");
        return fn("UA9XX", call, &time, nullptr, nullptr, nullptr, 0, hz, mode, "599", "579", sent, received,
                  "", "", "", "", "", "", "", "", prefix, "", 0, 0, 0, 0, 0, "", continent, "", band, "");
    }
    int remove(const char* call, const char* sent, const char* received, const char* band, const char* mode) {
        auto fn = dll_.get<decltype(&RemoveData0)>("RemoveData0");
        return fn("UA9XX", call, nullptr, nullptr, nullptr, nullptr, 0, 0, mode, "", "", sent, received, "",
                  "", "", "", "", "", "", "", "", "", 0, 0, 0, 0, 0, "", "", "", band, "");
    }
    int reset() {
        const stats::OleDateTime start{kMarch1st2026, 0}, end{kMarch1st2026 + 1.99, 0};
        auto fn = dll_.get<decltype(&ResetStats0)>("ResetStats0");
        return fn("", 0, "UA9XX", &start, &end, "", "", "", "", "", "", "", "", "", "UA9", 0, 0, 0, 0, 0, "",
                  "", "");
    }
    int check(const char* call, const char* prefix, const char* continent, char* out, char* hint) {
        auto fn = dll_.get<decltype(&CheckCallFunc0)>("CheckCall0");
        return fn(call, 0, 0, "CW", "", "", "", "", "", "", "", "", prefix, "", 0, 0, 0, 0, 0, "", continent,
                  "", "", "", "40m", "", out, hint);
    }

    wine_test::TempWorkDir dir_;
    wine_test::StatsLibrary dll_;
};

TEST_F(RecordingOnWine, ErrorLogMatchesTheGoldenFile) {
    // "1" on file: this reset only turns the toggle off and starts no window thread.
    dir_.makePluginsFolder();
    wine_test::writeFile(dir_.path() / "Plugins" / "SA-TOLVEN.ini", "[Settings]\r\nStart=1\r\n");
    EXPECT_EQ(reset(), 1);
    EXPECT_EQ(wine_test::readFile(dir_.path() / "Plugins" / "SA-TOLVEN.ini"), "[Settings]\r\nStart=0\r\n");

    EXPECT_EQ(add("LU1AA", 1, 7012345, "CW", "001", "015", "40m"), 1);
    EXPECT_EQ(add("PY2XX", 3, 14025000, "CW", "002", "101", "20m"), 1);
    EXPECT_EQ(add("LU1AA", 5, 7012000, "CW", "003", "016", "40m"), 1);
    EXPECT_EQ(add("CE3A", 7, 3525000, "CW", "004", "007", "80m"), 0);
    EXPECT_EQ(add("CE3A", 9, 7150000, "AM", "004", "007", "40m"), 0);
    EXPECT_EQ(add("OA4B", 11, 14200000, "SSB", "005", "", "20m"), 0);
    EXPECT_EQ(add("LU1AA", 13, 7012999, "CW", "006", "017", "40m"), 1);
    EXPECT_EQ(add("LU1AA", 15, 7100000, "SSB", "007", "018", "40m"), 1);
    EXPECT_EQ(add("K1ABC", 17, 14001000, "CW", "", "033", "20m"), 0);
    EXPECT_EQ(add("PY2XX", 59, 14025500, "CW", "008", "102", "20m"), 1);
    EXPECT_EQ(remove("LU1AA", "003", "016", "40m", "CW"), 1);
    EXPECT_EQ(remove("LU1AA", "", "016", "40m", "CW"), 0);

    // The golden file of the unit tests, reached through Wine's Z: drive.
    const std::filesystem::path goldenPath("Z:" STATS_SOURCE_DIR "/tests/unit/golden/err.txt");
    const std::string golden = wine_test::readFile(goldenPath);
    ASSERT_FALSE(golden.empty()) << goldenPath;
    EXPECT_EQ(wine_test::readFile(dir_.path() / "err.txt"), golden);
}

TEST_F(RecordingOnWine, CallCheckBuffers) {
    wine_test::writeFile(dir_.path() / "err.txt", "old");
    dir_.makePluginsFolder();
    wine_test::writeFile(dir_.path() / "Plugins" / "SA-TOLVEN.ini", "[Settings]\r\nStart=1\r\n");
    reset();
    EXPECT_EQ(wine_test::readFile(dir_.path() / "err.txt"), "SA TOLVEN TEST UBN file \r\n");
    add("CE3XYZ", 1, 7012000, "CW", "001", "002", "40m", "CE3", "SA");

    char out[50], hint[108];
    std::memset(out, '#', sizeof out);
    std::memset(hint, '#', sizeof hint);
    EXPECT_EQ(check("CE3XYZ", "CE3", "SA", out, hint), 0);
    EXPECT_EQ(check("CE3ABC", "CE3", "SA", out, hint), 1);
    EXPECT_EQ(hint[0], '#');
    EXPECT_EQ(check("ZP5A", "ZP5", "SA", nullptr, hint), 2);
    EXPECT_STREQ(hint, "New mult !!! ZP5 New SA Prefix !!!");
    const std::string longPrefix(200, 'P');
    EXPECT_EQ(check("ZP5A", longPrefix.c_str(), "SA", out, hint), 2);
    EXPECT_EQ(std::strlen(hint), 99u);
    EXPECT_EQ(hint[100], '#');
    EXPECT_EQ(out[0], '#');  // the master option is off
}

}  // namespace
