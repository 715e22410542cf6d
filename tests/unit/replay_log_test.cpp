#include "tools/logs/replay_log.h"

#include <gtest/gtest.h>

#include <string>

using namespace logs;
using namespace std::chrono;

namespace {

ReplayQso qso(const char* call, int minute) {
    ReplayQso q;
    q.call = call;
    q.band = "40m";
    q.mode = "CW";
    q.when = sys_days{year{2026} / March / 1} + minutes{minute};
    q.time = stats::oleDateFrom(q.when);
    q.frequencyHz = 7'025'000;
    return q;
}

TEST(ReplayLog, OldestFirstAndStableForEqualTimes) {
    ReplayLog log;
    log.add(qso("C", 30), 1);
    log.add(qso("A", 10), 2);
    log.add(qso("B1", 20), 3);
    log.add(qso("B2", 20), 4);
    log.add(qso("B3", 20), 5);
    log.sortOldestFirst();
    ASSERT_EQ(log.size(), 5u);
    const char* expected[] = {"A", "B1", "B2", "B3", "C"};
    for (std::size_t i = 0; i < log.size(); ++i) EXPECT_STREQ(log.texts(i)[ReplayLog::kCall], expected[i]);
    EXPECT_EQ(log[0].record, 2u);
    EXPECT_EQ(log[4].record, 1u);
}

TEST(ReplayLog, TextsComeBackWholeAndInPlace) {
    ReplayQso q = qso("LU1AA", 0);
    q.ownCall = "CE3XX";
    q.mode = "SSB";
    q.rstSent = "59";
    q.rstReceived = "57";
    q.numberSent = "001";
    q.numberReceived = "";
    q.prefix = "LU1";
    q.continent = "SA";
    q.call = std::string("LU1\0AA", 6);  // cut at the NUL, and the later texts stay in place
    ReplayLog log;
    log.add(q, 9);
    const auto t = log.texts(0);
    EXPECT_STREQ(t[ReplayLog::kOwnCall], "CE3XX");
    EXPECT_STREQ(t[ReplayLog::kCall], "LU1");
    EXPECT_STREQ(t[ReplayLog::kMode], "SSB");
    EXPECT_STREQ(t[ReplayLog::kRstSent], "59");
    EXPECT_STREQ(t[ReplayLog::kRstReceived], "57");
    EXPECT_STREQ(t[ReplayLog::kNumberSent], "001");
    EXPECT_STREQ(t[ReplayLog::kNumberReceived], "");
    EXPECT_STREQ(t[ReplayLog::kPrefix], "LU1");
    EXPECT_STREQ(t[ReplayLog::kContinent], "SA");
    EXPECT_STREQ(t[ReplayLog::kBand], "40m");
    EXPECT_EQ(log[0].frequencyHz, 7'025'000u);
}

}  // namespace
