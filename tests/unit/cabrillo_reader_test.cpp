#include "tools/logs/cabrillo_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/logs/log_input.h"
#include "tools/logs/qso_mapping.h"

using namespace logs;

namespace {

// Each line: number, tag and value; line ends of every kind, also a CR LF split by the read buffer.
TEST(CabrilloReader, LinesTagsAndValues) {
    const std::string padding(65536 - 1 - 60, 'x');  // its CR ends the first 64 KiB read
    std::istringstream in("\xEF\xBB\xBFstart-of-log: 3.0\r\ncallsign:\tce1tlv  \rSOAPBOX:\n\nQSO: a\r\r\n" +
                          padding + std::string("\r\nX: \xFF\0:\n", 9) + std::string(3 << 20, 'q'));
    struct Expected {
        std::string tag;
        std::string value;
        bool colon;
    } expected[] = {{"START-OF-LOG", "3.0", true},
                    {"CALLSIGN", "ce1tlv", true},
                    {"SOAPBOX", "", true},
                    {"", "", false},
                    {"QSO", "a", true},
                    {"", "", false},
                    {"", "", false},
                    {"X", std::string("\xFF\0:", 3), true},
                    {"", "", false}};
    CabrilloLineReader reader(in);
    CabrilloLine line;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        ASSERT_TRUE(reader.next(line)) << i;
        EXPECT_EQ(line.number, i + 1);
        EXPECT_EQ(line.tag, expected[i].tag) << i;
        EXPECT_EQ(line.value, expected[i].value) << i;
        EXPECT_EQ(line.colon, expected[i].colon) << i;
    }
    EXPECT_EQ(line.length, 3u << 20);
    EXPECT_EQ(line.text.size(), CabrilloLineReader::kMaxLineLength);
    EXPECT_TRUE(line.cut());
    EXPECT_EQ(line.length, 3u << 20);
    EXPECT_EQ(line.text.size(), CabrilloLineReader::kMaxLineLength);
    EXPECT_FALSE(reader.next(line));
    EXPECT_EQ(reader.bytesRead(), in.str().size());
}

// A QSO line's value through splitQsoLine and mapCabrilloQso: the contact, or the problem.
TEST(CabrilloReader, QsoLinesToContacts) {
    struct Case {
        const char* value;
        const char* band;  // "" when the line is refused
        std::uint32_t hz;
        const char* mode;
        const char* problem;
    } cases[] = {
        {"7012 CW 2026-03-01 1234 CE1TLV 599 1 lu1aa 599 5", "40m", 7'012'000, "CW", ""},
        {"\t14025.5\tph  2026-03-01 0000  ce1tlv 59 001\tPY3L 59 012 1 ", "20m", 14'025'500, "SSB", ""},
        {"7000 PH 2026-03-01 1234 CE1TLV 59 1 LU1AA 59 5", "40m", 7'000'000, "SSB", ""},
        {"14000 RY 2026-03-01 1234 CE1TLV 59 1 LU1AA 59 5", "20m", 14'000'000, "RY", ""},
        {"7 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "40m", 7'000'000, "CW", ""},
        {"14 FM 2026-03-01 1234 CE1TLV 59 1 LU1AA 59 5", "20m", 14'000'000, "FM", ""},
        {"144 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "2m", 144'000'000, "CW", ""},
        {"1.2g CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "23cm", 0, "CW", ""},
        {"1.8 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "160m", 1'800'000, "CW", ""},
        {"3.5 PH 2026-03-01 1234 CE1TLV 59 1 LU1AA 59 5", "80m", 3'500'000, "SSB", ""},
        {"LIGHT CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "submm", 0, "CW", ""},
        {"29700 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "10m", 29'700'000, "CW", ""},
        {"7012 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599", "", 0, "", "9 fields"},
        {"7012 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5 0 x", "", 0, "", "12 fields"},
        {"", "", 0, "", "0 fields"},
        {"7350 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "", 0, "", "'7350' kHz lies in no amateur band"},
        {"7.0.1 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "", 0, "", "no frequency in kHz"},
        {"99999999999 CW 2026-03-01 1234 CE1TLV 599 1 LU1AA 599 5", "", 0, "", "no frequency in kHz"},
        {"7012 CW 20260301 1234 CE1TLV 599 1 LU1AA 599 5", "", 0, "", "date '20260301' / time '1234'"},
        {"7012 CW 2026-02-30 1234 CE1TLV 599 1 LU1AA 599 5", "", 0, "", "is no valid date"},
        {"7012 CW 2026-03-01 12:34 CE1TLV 599 1 LU1AA 599 5", "", 0, "", "time '12:34'"},
        {"7012 CW 2026-03-01 123456 CE1TLV 599 1 LU1AA 599 5", "", 0, "", "time '123456'"},
        {"7012 CW 2026-03-01 1234 CE1TLV 599 1 // 599 5", "", 0, "", "call '//' names no station"},
    };
    for (const Case& c : cases) {
        CabrilloQso fields;
        ReplayQso qso;
        std::string problem;
        const bool ok =
            splitQsoLine(c.value, fields, problem) && mapCabrilloQso(fields, nullptr, qso, problem);
        EXPECT_EQ(ok, *c.band != 0) << c.value << ": " << problem;
        if (!ok) {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.value << ": " << problem;
            continue;
        }
        EXPECT_EQ(qso.band, c.band) << c.value;
        EXPECT_EQ(qso.frequencyHz, c.hz) << c.value;
        EXPECT_EQ(qso.mode, c.mode) << c.value;
        EXPECT_EQ(qso.ownCall, "CE1TLV") << c.value;
        EXPECT_TRUE(qso.call == "LU1AA" || qso.call == "PY3L") << c.value;
        EXPECT_EQ(qso.prefix, qso.call == "PY3L" ? "PY3" : "LU1") << c.value;
        EXPECT_TRUE(qso.continentUnknown);
        EXPECT_EQ(qso.when, std::chrono::sys_days{std::chrono::year{2026} / 3 / 1} +
                                std::chrono::minutes{qso.call == "PY3L" ? 0 : 12 * 60 + 34});
        EXPECT_EQ(fields.transmitter, qso.call == "PY3L" ? "1" : "") << c.value;
    }
}

TEST(CabrilloReader, RecognisedByTheFirstLine) {
    for (const char* yes : {"START-OF-LOG: 3.0\n", "\xEF\xBB\xBF\r\n  start-of-log :2.0", "START-OF-LOG:"})
        EXPECT_TRUE(looksLikeCabrillo(yes)) << yes;
    for (const char* no : {"", "<EOH>", "QSO: 7012 CW", "START-OF-LOGS: 3.0", "x START-OF-LOG: 3.0"})
        EXPECT_FALSE(looksLikeCabrillo(no)) << no;
}

// readLog on Cabrillo: the header in file order, the own call, contacts by line number, X-QSO counted.
TEST(CabrilloReader, ReadLogKeepsTheHeaderAndNumbersContactsByLine) {
    std::istringstream in(
        "\n Start-Of-Log: 2.0\nCallsign: lu1aa\nX-QSO: 7001 CW 2026-03-01 1159 LU1AA 599 1 CE1TLV 599 "
        "1\nQSO: 7001 CW 2026-03-01 1200 LU1AA 599 1 CE1TLV 599 1\nQSO: 7001 CW 2026-03-01 1158 LU1AA "
        "599 2 PY3L 599 2\nSOAPBOX: a: b\nQSO: 7001\n");
    LoadedLog log;
    std::vector<std::string> notes;
    ASSERT_TRUE(readLog(in, "x.log", nullptr, log, [&](const std::string& n) { notes.push_back(n); }));
    EXPECT_EQ(log.format, LogFormat::kCabrillo);
    EXPECT_EQ(log.ownCall, "LU1AA");
    using Tag = std::pair<std::string, std::string>;
    EXPECT_EQ(log.header,
              (std::vector<Tag>{{" START-OF-LOG", "2.0"}, {"CALLSIGN", "lu1aa"}, {"SOAPBOX", "a: b"}}));
    EXPECT_EQ(log.struckOut, 1u);
    ASSERT_EQ(log.contacts.size(), 2u);
    EXPECT_EQ(log.contacts[0].record, 6u);  // oldest first
    EXPECT_EQ(log.place(log.contacts[1].record), "line 5");
    EXPECT_EQ(notes,
              std::vector<std::string>{"x.log: line 8 skipped: 1 fields where a QSO line has 10 (frequency, "
                                       "mode, date, time, own call, sent RST and number, call, received RST "
                                       "and number) and an optional transmitter id"});
}

}  // namespace

// A 2.0 CATEGORY: line gives the 3.0 tags its words tell, where the file gives none with a value.
TEST(CabrilloReader, Version2CategoryGivesTheVersion3Tags) {
    using Tags = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* value;
        Tags tags;
    } cases[] = {
        {"SINGLE-OP-ASSISTED ALL HIGH CW",
         {{"CATEGORY-OPERATOR", "SINGLE-OP"}, {"CATEGORY-ASSISTED", "ASSISTED"}, {"CATEGORY-BAND", "ALL"},
          {"CATEGORY-POWER", "HIGH"}, {"CATEGORY-MODE", "CW"}}},
        {"Single-Op 80m qrp", {{"CATEGORY-OPERATOR", "SINGLE-OP"}, {"CATEGORY-BAND", "80M"}, {"CATEGORY-POWER", "QRP"}}},
        {"MULTI-TWO 2M LOW", {{"CATEGORY-OPERATOR", "MULTI-OP"}, {"CATEGORY-TRANSMITTER", "TWO"},
                              {"CATEGORY-BAND", "2M"}, {"CATEGORY-POWER", "LOW"}}},
        {"B - Single Operator LP", {{"CATEGORY-OPERATOR", "SINGLE-OP"}, {"CATEGORY-POWER", "LOW"}}},
        {"A - B", {}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(version2Categories(c.value), c.tags) << c.value;

    Tags header = {{"CALLSIGN", "OH2XX"}, {"CATEGORY-POWER", "LOW"}, {"CATEGORY-MODE", ""},
                   {"CATEGORY", "SINGLE-OP ALL HIGH SSB"}};
    addVersion2Categories(header);
    EXPECT_EQ(header, (Tags{{"CALLSIGN", "OH2XX"}, {"CATEGORY-POWER", "LOW"}, {"CATEGORY", "SINGLE-OP ALL HIGH SSB"},
                            {"CATEGORY-OPERATOR", "SINGLE-OP"}, {"CATEGORY-BAND", "ALL"}, {"CATEGORY-MODE", "SSB"}}));
}
