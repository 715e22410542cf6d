#include "tools/logs/cty.h"

#include <gtest/gtest.h>

#include <sstream>

using logs::CountryFile;

namespace {

// A hand-written excerpt in the layout of the widely used file: entity header lines with eight
// ':'-terminated fields, then the prefixes and "=" exact calls with their overrides, ending in ';'.
constexpr const char* kExcerpt =
    "Argentina:                13:  14:  SA:  -34.80:    65.92:     3.0:  LU:\n"
    "    AY,AZ,L2,L3,L4,L5,L6,L7,L8,L9,LO,LP,LQ,LR,LS,LT,LU,LV,LW,=LU1ZA(13)[73]{AN},\n"
    "    =LU4ZS(13)[73]{AN};\n"
    "Brazil:                   11:  15:  SA:  -10.00:    53.00:     3.0:  PY:\n"
    "    PP,PQ,PR,PS,PT,PU,PV,PW,PX,PY,ZV,ZW,ZX,ZY,ZZ,PY0F(11)[13];\n"
    "Fernando de Noronha:      11:  13:  SA:   -3.85:    32.42:     2.0:  PY0F:\n"
    "    PP0F,PY0F,=PY0FF;\n"
    "United States:            05:  08:  NA:   37.53:    91.67:     5.0:  K:\n"
    "    AA,AB,AC,K,N,W,=W1AW/KH6<21.3/157.8>(31)[61]{OC},KH6;\n"
    "Hawaii:                   31:  61:  OC:   21.12:   157.48:    10.0:  KH6:\n"
    "    AH6,AH7,KH6,KH7,NH6,WH6;\n"
    "European Russia:          16:  29:  EU:   53.65:   -41.37:    -4.0:  UA:\n"
    "    R,U,UA1,UA3;\n"
    "Asiatic Russia:           17:  30:  AS:   55.88:   -84.08:    -7.0:  UA9:\n"
    "    UA9,UA0;\n"
    "Sov Mil Order of Malta:   15:  28:  EU:   41.90:   -12.43:    -1.0:  *1A:\n"
    "    1A;\n";

CountryFile loaded(const char* text) {
    std::istringstream in(text);
    CountryFile file;
    std::string error;
    EXPECT_TRUE(file.load(in, error)) << error;
    return file;
}

TEST(CountryFile, LongestPrefixExactCallsAndOverrides) {
    const CountryFile file = loaded(kExcerpt);
    EXPECT_EQ(file.entityCount(), 8u);
    struct Case {
        const char* call;
        const char* continent;
        const char* primary;
    } cases[] = {
        {"LU1AA", "SA", "LU"},    {"L21ABC", "SA", "LU"},    {"PY2XB", "SA", "PY"},
        {"PY0FF", "SA", "PY0F"},  {"PY0FA", "SA", "PY0F"},   {"pp0fz", "SA", "PY0F"},
        {"LU1ZA", "AN", "LU"},    {"LU1ZB", "SA", "LU"},     {"W1AW", "NA", "K"},
        {"W1AW/KH6", "OC", "K"},  {"KH6XX", "OC", "KH6"},    {"UA1ABC", "EU", "UA"},
        {"UA9ABC", "AS", "UA9"},  {"UA1ABC/9", "AS", "UA9"}, {"1A0KM", "EU", "1A"},
        {"PY2/W1AW", "SA", "PY"}, {"W1AW/PY2", "SA", "PY"},  {"LU1AA/P", "SA", "LU"},
        {"K1ABC/MM", "", ""},     {"Q1ABC", "", ""},         {"", "", ""},
    };
    for (const Case& c : cases) {
        const auto m = file.lookup(c.call);
        EXPECT_EQ(m.continent, c.continent) << c.call;
        EXPECT_EQ(m.primaryPrefix, c.primary) << c.call;
    }
}

TEST(CountryFile, ToleratesLineBreaksAndCrLf) {
    const CountryFile file = loaded(
        "Chile:  12:  14:  SA:  -30.00:  71.00:  4.0:  CE:\r\n    3G,CA,CB,CC,CD,CE,XQ,XR,\r\n    "
        "=CE0ZZZ{OC}\r\n;\r\n");
    EXPECT_EQ(file.lookup("CE3AA").continent, "SA");
    EXPECT_EQ(file.lookup("XQ3A").continent, "SA");
    EXPECT_EQ(file.lookup("CE0ZZZ").continent, "OC");
}

TEST(CountryFile, RejectsWhatIsNotACountryFile) {
    for (const char* text : {"", "\n\n", "just some text\n", "Chile: 12: 14: SA: 1: 2: 3: CE:\n CE,XQ\n",
                             "Chile: 12: 14: SOUTH: 1: 2: 3: CE:\n CE;\n", "Chile: 12: 14: SA:\n CE;\n",
                             "Chile: 12: 14: SA: 1: 2: 3: CE:\n =CE0X{OC;\n"}) {
        std::istringstream in(text);
        CountryFile file;
        std::string error;
        EXPECT_FALSE(file.load(in, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
