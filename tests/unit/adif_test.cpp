#include "tools/logs/adif.h"

#include <gtest/gtest.h>

#include <sstream>

using logs::AdifReader;
using logs::AdifRecord;

namespace {

std::vector<AdifRecord> readAll(const std::string& text) {
    std::istringstream in(text);
    AdifReader reader(in);
    std::vector<AdifRecord> records;
    AdifRecord r;
    while (reader.next(r)) records.push_back(r);
    return records;
}

TEST(AdifReader, HeaderFieldsAndRecords) {
    const auto records = readAll(
        "Log of CE3XX <written by hand>\r\n<ADIF_VER:5>3.1.0 <PROGRAMID:4>test\r\n<EOH>\r\n"
        "<call:5>LU1AA <Band:3>40m\r\n<MODE:2>CW <eor>\r\n"
        "<CALL:4>PY2X<QSO_DATE:8:D>20260301<EOR>");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].number, 1u);
    EXPECT_EQ(records[0].get("CALL"), "LU1AA");
    EXPECT_EQ(records[0].get("BAND"), "40m");
    EXPECT_EQ(records[0].get("MODE"), "CW");
    EXPECT_FALSE(records[0].find("ADIF_VER")) << "header fields are no record";
    EXPECT_EQ(records[1].number, 2u);
    EXPECT_EQ(records[1].get("QSO_DATE"), "20260301") << "type indicator";
    EXPECT_TRUE(records[1].problem.empty());
    EXPECT_TRUE(records[1].terminated);
}

TEST(AdifReader, HeaderInAFileThatStartsWithATag) {
    const auto records = readAll("<ADIF_VER:5>3.1.0<EOH><CALL:3>K1A<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields.size(), 1u);
    EXPECT_EQ(records[0].get("CALL"), "K1A");
}

TEST(AdifReader, LengthsCountBytesNotCharacters) {
    // "São" is four bytes in UTF-8; the value may hold '<' and '>' too.
    const auto records = readAll("<QTH:4>S\xC3\xA3o<NAME:6>a<b>c!<CALL:3>K1A<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].get("QTH"), "S\xC3\xA3o");
    EXPECT_EQ(records[0].get("NAME"), "a<b>c!");
    EXPECT_EQ(records[0].get("CALL"), "K1A");
}

TEST(AdifReader, TextBetweenFieldsIsIgnored) {
    const auto records = readAll("junk <CALL:3>K1A more junk > here\n\t<MODE:2>CWtrailing<EOR> after\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].problem.empty()) << records[0].problem;
    EXPECT_EQ(records[0].get("MODE"), "CW");
}

TEST(AdifReader, StrayLessThanRestartsTheTag) {
    const auto records = readAll("<EOH> 3 < 4 <CALL:3>K1A<EOR>");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].problem.empty()) << records[0].problem;
    EXPECT_EQ(records[0].get("CALL"), "K1A");
}

TEST(AdifReader, MissingEorAtTheEnd) {
    const auto records = readAll("<CALL:3>K1A<EOR><CALL:3>K2B<MODE:2>CW\r\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[1].problem.empty());
    EXPECT_FALSE(records[1].terminated);
    EXPECT_EQ(records[1].get("MODE"), "CW");
    EXPECT_EQ(readAll("<CALL:3>K1A<EOR>\r\n\r\n").size(), 1u) << "trailing blank lines make no record";
    EXPECT_EQ(readAll("").size(), 0u);
    EXPECT_EQ(readAll("only a header, never ended").size(), 0u);
}

TEST(AdifReader, MalformedTagsSpoilOnlyTheirRecord) {
    struct Case {
        const char* text;
        const char* problemPart;
    } cases[] = {
        {"<CALL:x>K1A<EOR>", "malformed length"},
        {"<CALL:>K1A<EOR>", "malformed length"},
        {"<CALL:-3>K1A<EOR>", "malformed length"},
        {"<CALL:3x:S>K1A<EOR>", "malformed length"},
        {"<CALL>K1A<EOR>", "no length"},
        {"<:3>K1A<EOR>", "no field name"},
        {"<CALL:99999999999999999999>K1A<EOR>", "malformed length"},
        {"<CALL:4294967296>K1A<EOR>", "beyond"},
        {"<NOTES:2000000>x<EOR>", "beyond"},
    };
    for (const Case& c : cases) {
        const auto records = readAll(std::string(c.text) + "<CALL:3>K2B<EOR>");
        ASSERT_EQ(records.size(), 2u) << c.text;
        EXPECT_NE(records[0].problem.find(c.problemPart), std::string::npos)
            << c.text << ": " << records[0].problem;
        EXPECT_EQ(records[1].number, 2u);
        EXPECT_TRUE(records[1].problem.empty()) << c.text;
        EXPECT_EQ(records[1].get("CALL"), "K2B") << c.text;
    }
}

TEST(AdifReader, FileEndingInsideAValue) {
    const auto records = readAll("<CALL:3>K1A<EOR><CALL:10>K2B");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_FALSE(records[1].terminated);
    EXPECT_NE(records[1].problem.find("ends inside field CALL"), std::string::npos);
    const auto cut = readAll("<CALL:3>K1A<EOR><CALL:3");
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_FALSE(cut[1].problem.empty());
}

TEST(AdifReader, EmptyValueAndLongValueAcrossTheBuffer) {
    const std::string notes(200'000, 'x');
    const auto records =
        readAll("<CALL:0><NOTES:" + std::to_string(notes.size()) + ">" + notes + "<MODE:3>SSB<EOR>");
    ASSERT_EQ(records.size(), 1u);
    ASSERT_TRUE(records[0].find("CALL"));
    EXPECT_EQ(records[0].get("CALL"), "");
    EXPECT_EQ(records[0].get("NOTES"), notes);
    EXPECT_EQ(records[0].get("MODE"), "SSB");
}

TEST(AdifReader, ReusedRecordHoldsOnlyItsOwnFields) {
    std::istringstream in("<CALL:3>K1A<MODE:2>CW<BAND:3>40m<EOR><CALL:3>K2B<EOR>");
    AdifReader reader(in);
    AdifRecord r;
    ASSERT_TRUE(reader.next(r));
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(r.fields.size(), 1u);
    EXPECT_FALSE(r.find("MODE"));
    EXPECT_FALSE(reader.next(r));
    EXPECT_EQ(reader.bytesRead(), in.str().size());
}

}  // namespace
