// Inputs that the fuzzers found mishandled, kept as regression cases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cabrillo/cabrillo_writer.h"
#include "platform/portable/ini_settings.h"

namespace stats {
namespace {

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end + 2;
    }
    return lines;
}

// A line break inside a value must not start a line of its own: a reader would take it for an
// entry, a QSO, or the end of the log.
TEST(HostileInput, LineBreaksInCabrilloValuesStayInTheirLine) {
    CabrilloLog log;
    log.callsign = "CE1TLV\r\nEND-OF-LOG:";
    log.name = "Ana\nQSO: 7000 CW";
    log.soapbox = "one\rline\r\nSOAPBOX: two";
    addQsoLine(log, "LU1AA\r\n", 7025, "CW", OleDateTime{46000.5, OleDateTime::kValid}, "599", "001\n",
               "599", "002\r");
    const std::vector<std::string> lines = crlfLines(cabrilloFileText(log, 0, "2.19"));
    ASSERT_EQ(lines.size(), 24u + 1 + 1 + 1);  // header, second SOAPBOX line, one QSO, END-OF-LOG
    for (const auto& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    EXPECT_EQ(lines[1], "CALLSIGN: CE1TLV  END-OF-LOG:");
    EXPECT_EQ(lines[16], "NAME: Ana QSO: 7000 CW");
    EXPECT_EQ(lines[23], "SOAPBOX: one line");
    EXPECT_EQ(lines[24], "SOAPBOX: two");
    EXPECT_EQ(lines[25].substr(0, 10), "QSO:  7025");
    EXPECT_NE(lines[25].find("LU1AA  "), std::string::npos);
    EXPECT_EQ(lines[26], "END-OF-LOG:");
}

// A file that ends in a lone CR after the section line: a new key must go on a line of its own.
TEST(HostileInput, NewKeyAfterALoneCarriageReturnIsReadBack) {
    for (const std::string text : {"[Settings]\r", "[Settings]\r\nA=1\r", "[Settings]"}) {
        const std::string updated = ini::setValue(text, "Settings", "Claimed", "42");
        EXPECT_EQ(ini::findValue(updated, "Settings", "Claimed"), "42") << text;
        EXPECT_EQ(updated.substr(0, text.size()), text);
    }
    EXPECT_EQ(ini::findValue(ini::setValue("[Settings]\r\nA=1\r", "Settings", "B", "2"), "Settings", "A"), "1");
}

}  // namespace
}  // namespace stats
