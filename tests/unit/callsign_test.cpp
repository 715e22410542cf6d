#include "tools/logs/callsign.h"

#include <gtest/gtest.h>

using logs::splitCall;
using logs::wpxPrefix;

namespace {

TEST(WpxPrefix, RealCallForms) {
    struct Case {
        const char* call;
        const char* prefix;
    } cases[] = {
        {"LU1AA", "LU1"},
        {"PY2XB", "PY2"},
        {"CE3AA", "CE3"},
        {"CX2ABC", "CX2"},
        {"HK3W", "HK3"},
        {"YV5AM", "YV5"},
        {"OA4O", "OA4"},
        {"ZP5XF", "ZP5"},
        {"CP6CW", "CP6"},
        {"HC2AO", "HC2"},
        {"LY1000X", "LY1000"},
        {"HG19ABC", "HG19"},
        {"9A1AA", "9A1"},
        {"4X4AA", "4X4"},
        {"2E0ABC", "2E0"},
        {"3DA0RS", "3DA0"},
        {"S50A", "S50"},
        {"T32C", "T32"},
        {"E73A", "E73"},
        {"lu1aa", "LU1"},
        // Calls without a digit: the first two letters and "0".
        {"RAEM", "RA0"},
        {"XEFTJW", "XE0"},
        // A portable designator becomes the prefix, with "0" when it has no digit.
        {"PY2/W1AW", "PY2"},
        {"W1AW/PY2", "PY2"},
        {"VP2E/W1AW", "VP2E"},
        {"W1AW/VE3", "VE3"},
        {"PA/N8BJQ", "PA0"},
        {"N8BJQ/KH9", "KH9"},
        {"F/DL1ABC/P", "F0"},
        {"M/DL1ABC", "M0"},
        {"HC8/LU1AA", "HC8"},
        // A digit-only suffix replaces the call's digit.
        {"W1AW/7", "W7"},
        {"LU1AA/3", "LU3"},
        {"HG19ABC/5", "HG5"},
        {"RAEM/3", "RA3"},
        {"UA1ABC/9", "UA9"},
        // Mobile, portable and class suffixes do not count.
        {"K1ABC/P", "K1"},
        {"K1ABC/M", "K1"},
        {"K1ABC/MM", "K1"},
        {"K1ABC/AM", "K1"},
        {"K1ABC/QRP", "K1"},
        {"LU1AA/P/QRP", "LU1"},
        {"W1AW/7/P", "W7"},
        {"DL1ABC/A", "DL1"},
        {"W1AW/", "W1"},
        {" LU1AA ", "LU1"},
        {"", ""},
        {"/", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(wpxPrefix(c.call), c.prefix) << '"' << c.call << '"';
}

TEST(WpxPrefix, SplitKeepsTheLocationParts) {
    const auto p = splitCall("py2/w1aw/p");
    EXPECT_EQ(p.call, "PY2/W1AW/P");
    EXPECT_EQ(p.home, "W1AW");
    EXPECT_EQ(p.designator, "PY2");
    EXPECT_EQ(p.withoutModifiers, "PY2/W1AW");
    EXPECT_FALSE(p.atSea);
    EXPECT_TRUE(splitCall("K1ABC/MM").atSea);
    EXPECT_EQ(splitCall("W1AW/7").areaDigits, "7");
    EXPECT_EQ(logs::countryLookupText(splitCall("W1AW/7")), "W7");
    EXPECT_EQ(logs::countryLookupText(splitCall("W1AW/KH6")), "KH6");
    EXPECT_EQ(logs::countryLookupText(splitCall("LU1AA/P")), "LU1AA");
    EXPECT_EQ(logs::countryLookupText(splitCall("LU1AA/MM")), "");
}

}  // namespace

TEST(CallSyntax, LettersDigitsAndSlashesUpToTwentyCharacters) {
    for (const auto& [call, ok] : {std::pair<std::string, bool>{"LU1TLV/P", true}, {"py2/w1aw/qrp", true},
                                   {std::string(20, 'A'), true}, {std::string(21, 'A'), false}, {"", false},
                                   {"//", false}, {"../../ETC", false}, {"<SCRIPT>", false}, {"=CMD|X", false},
                                   {"CE1 TLV", false}, {std::string("CE1\0TLV", 7), false}})
        EXPECT_EQ(logs::hasCallSyntax(call), ok) << call;
}
