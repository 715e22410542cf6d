#include "tools/logs/qso_mapping.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/logs/cty.h"

using namespace logs;
using namespace std::chrono;

namespace {

AdifRecord record(std::initializer_list<std::pair<const char*, const char*>> fields) {
    AdifRecord r;
    r.number = 7;
    for (const auto& [name, value] : fields) r.fields.push_back({name, value});
    return r;
}

AdifRecord contact(std::initializer_list<std::pair<const char*, const char*>> extra = {}) {
    AdifRecord r = record({{"CALL", "LU1AA"},
                           {"BAND", "40M"},
                           {"MODE", "CW"},
                           {"QSO_DATE", "20260301"},
                           {"TIME_ON", "1234"},
                           {"STX", "1"},
                           {"SRX", "5"}});
    // Fields given later take the place of the defaults above.
    for (const auto& [name, value] : extra) {
        bool replaced = false;
        for (AdifField& f : r.fields)
            if (f.name == name) f.value = value, replaced = true;
        if (!replaced) r.fields.push_back({name, value});
    }
    return r;
}

TEST(QsoMapping, FrequencyInMegahertzToHertzExactly) {
    struct Case {
        const char* mhz;
        std::uint32_t hz;
    } good[] = {
        {"7.025", 7'025'000},  {"7.0259999", 7'025'999},  {"14", 14'000'000}, {"14.", 14'000'000},
        {".5", 500'000},       {" 21.0251 ", 21'025'100}, {"0.000001", 1},    {"4294.967295", 4'294'967'295u},
        {"007.025", 7'025'000}};
    for (const Case& c : good) {
        std::uint32_t hz = 0;
        EXPECT_TRUE(parseFrequencyHz(c.mhz, hz)) << c.mhz;
        EXPECT_EQ(hz, c.hz) << c.mhz;
    }
    for (const char* bad : {"", ".", "7,025", "7.02.5", "-7.025", "+7", "7 MHz", "4294.967296", "5000", "1e3",
                            "99999999999999999999"}) {
        std::uint32_t hz = 0;
        EXPECT_FALSE(parseFrequencyHz(bad, hz)) << bad;
    }
}

TEST(QsoMapping, BandOfFrequency) {
    EXPECT_EQ(bandOfFrequency(7'000'000), "40m");
    EXPECT_EQ(bandOfFrequency(7'300'000), "40m");
    EXPECT_EQ(bandOfFrequency(14'025'000), "20m");
    EXPECT_EQ(bandOfFrequency(3'550'000), "80m");
    EXPECT_EQ(bandOfFrequency(6'000'000), "");
    EXPECT_EQ(bandOfFrequency(0), "");
}

TEST(QsoMapping, DateAndTime) {
    sys_seconds t;
    ASSERT_TRUE(parseQsoTime("20260301", "1234", t));
    EXPECT_EQ(t, sys_days{year{2026} / March / 1} + hours{12} + minutes{34});
    ASSERT_TRUE(parseQsoTime("20240229", "235959", t));
    EXPECT_EQ(t, sys_days{year{2024} / February / 29} + hours{23} + minutes{59} + seconds{59});
    for (const auto& [d, tm] :
         std::initializer_list<std::pair<const char*, const char*>>{{"20250229", "1200"},
                                                                    {"20261301", "1200"},
                                                                    {"2026031", "1200"},
                                                                    {"20260301", "2400"},
                                                                    {"20260301", "1260"},
                                                                    {"20260301", "123"},
                                                                    {"20260301", "12345"},
                                                                    {"20260301", "123460"},
                                                                    {"", "1200"},
                                                                    {"20260301", ""},
                                                                    {"2026-03-01", "1200"},
                                                                    {"20260301", "12:3"}})
        EXPECT_FALSE(parseQsoTime(d, tm, t)) << d << " " << tm;
}

TEST(QsoMapping, FieldsAsTheHostPassesThem) {
    ReplayQso q;
    std::string problem;
    ASSERT_TRUE(mapRecord(contact({{"FREQ", "7.025"},
                                   {"RST_SENT", "599"},
                                   {"RST_RCVD", "579"},
                                   {"STATION_CALLSIGN", "ce3xx"},
                                   {"CONT", "sa"}}),
                          nullptr, q, problem))
        << problem;
    EXPECT_EQ(q.call, "LU1AA");
    EXPECT_EQ(q.band, "40m");
    EXPECT_EQ(q.mode, "CW");
    EXPECT_EQ(q.frequencyHz, 7'025'000u);
    EXPECT_EQ(q.rstSent, "599");
    EXPECT_EQ(q.rstReceived, "579");
    EXPECT_EQ(q.numberSent, "1");
    EXPECT_EQ(q.numberReceived, "5");
    EXPECT_EQ(q.ownCall, "CE3XX");
    EXPECT_EQ(q.prefix, "LU1") << "derived by the WPX rules";
    EXPECT_EQ(q.continent, "SA");
    EXPECT_FALSE(q.continentUnknown);
    EXPECT_EQ(q.time, stats::oleDateFrom(sys_days{year{2026} / March / 1} + hours{12} + minutes{34}));
}

TEST(QsoMapping, ModesAndSubmodes) {
    struct Case {
        const char* mode;
        const char* submode;
        const char* expected;
    } cases[] = {{"SSB", "", "SSB"},      {"SSB", "USB", "SSB"}, {"ssb", "LSB", "SSB"}, {"USB", "", "SSB"},
                 {"LSB", "", "SSB"},      {"", "USB", "SSB"},    {"cw", "", "CW"},      {"FT8", "", "FT8"},
                 {"MFSK", "FT4", "MFSK"}, {"AM", "", "AM"}};
    for (const Case& c : cases) {
        ReplayQso q;
        std::string problem;
        ASSERT_TRUE(mapRecord(contact({{"MODE", c.mode}, {"SUBMODE", c.submode}}), nullptr, q, problem))
            << c.mode << "/" << c.submode << ": " << problem;
        EXPECT_EQ(q.mode, c.expected) << c.mode << "/" << c.submode;
    }
}

TEST(QsoMapping, PreferredFieldsAndFallbacks) {
    ReplayQso q;
    std::string problem;
    ASSERT_TRUE(mapRecord(contact({{"STX_STRING", "001"},
                                   {"SRX_STRING", "017"},
                                   {"OPERATOR", "LU9OP"},
                                   {"PFX", "LU9"},
                                   {"CONT", "SA"}}),
                          nullptr, q, problem));
    EXPECT_EQ(q.numberSent, "001") << "STX_STRING before STX";
    EXPECT_EQ(q.numberReceived, "017");
    EXPECT_EQ(q.ownCall, "LU9OP") << "OPERATOR without STATION_CALLSIGN";
    EXPECT_EQ(q.prefix, "LU9") << "the log's PFX wins";

    ASSERT_TRUE(mapRecord(contact({{"STX", ""}, {"SRX", ""}, {"BAND", "80m"}}), nullptr, q, problem));
    EXPECT_EQ(q.numberSent, "") << "left to the plug-in to reject";
    EXPECT_EQ(q.band, "80m");
    EXPECT_TRUE(q.continentUnknown);
    EXPECT_EQ(q.continent, "");

    // Without BAND the frequency decides; the log's BAND wins over FREQ.
    AdifRecord noBand = contact({{"FREQ", "14.025"}});
    noBand.fields.erase(noBand.fields.begin() + 1);
    ASSERT_TRUE(mapRecord(noBand, nullptr, q, problem));
    EXPECT_EQ(q.band, "20m");
    ASSERT_TRUE(mapRecord(contact({{"FREQ", "14.025"}, {"BAND", "70CM"}}), nullptr, q, problem));
    EXPECT_EQ(q.band, "70cm");
}

TEST(QsoMapping, ContinentFromTheCountryFile) {
    std::istringstream in(
        "Chile: 12: 14: SA: -30.00: 71.00: 4.0: CE:\n CE,XQ;\nUnited States: 5: 8: NA: 1: 2: 3: K:\n K,W;\n");
    CountryFile countries;
    std::string problem;
    ASSERT_TRUE(countries.load(in, problem)) << problem;
    ReplayQso q;
    ASSERT_TRUE(mapRecord(contact({{"CALL", "CE3AA"}}), &countries, q, problem));
    EXPECT_EQ(q.continent, "SA");
    EXPECT_EQ(q.prefix, "CE3");
    ASSERT_TRUE(mapRecord(contact({{"CALL", "W1AW/CE3"}}), &countries, q, problem));
    EXPECT_EQ(q.continent, "SA");
    EXPECT_EQ(q.prefix, "CE3");
    ASSERT_TRUE(mapRecord(contact({{"CALL", "CE3AA"}, {"CONT", "NA"}}), &countries, q, problem));
    EXPECT_EQ(q.continent, "NA") << "the log's CONT wins";
    ASSERT_TRUE(mapRecord(contact({{"CALL", "ZZ1A"}}), &countries, q, problem));
    EXPECT_EQ(q.continent, "");
    EXPECT_FALSE(q.continentUnknown) << "looked up, not found";
}

TEST(QsoMapping, RecordsThatCannotBeContacts) {
    struct Case {
        AdifRecord record;
        const char* problemPart;
    } cases[] = {
        {contact({{"CALL", ""}}), "no CALL"},
        {contact({{"CALL", "/ /"}}), "CALL '/ /' names no station"},
        {contact({{"QSO_DATE", "20261301"}}), "QSO_DATE"},
        {contact({{"TIME_ON", "99"}}), "TIME_ON"},
        {contact({{"FREQ", "7,025"}}), "FREQ"},
        {contact({{"MODE", ""}}), "no MODE"},
        {record({{"CALL", "K1A"}, {"MODE", "CW"}, {"QSO_DATE", "20260301"}, {"TIME_ON", "1200"}}), "no BAND"},
        {record({{"CALL", "K1A"},
                 {"MODE", "CW"},
                 {"QSO_DATE", "20260301"},
                 {"TIME_ON", "1200"},
                 {"FREQ", "6.0"}}),
         "no BAND"},
    };
    for (const Case& c : cases) {
        ReplayQso q;
        std::string problem;
        EXPECT_FALSE(mapRecord(c.record, nullptr, q, problem)) << c.problemPart;
        EXPECT_NE(problem.find(c.problemPart), std::string::npos) << problem;
    }
    AdifRecord broken = contact();
    broken.problem = "tag <CALL:x> has a malformed length";
    ReplayQso q;
    std::string problem;
    EXPECT_FALSE(mapRecord(broken, nullptr, q, problem));
    EXPECT_EQ(problem, broken.problem);
}

}  // namespace
