// The Cabrillo check: one broken file per rule, each finding at its exact line; the files the
// plug-in writes in the other tests (their goldens) pass.
#include "tools/verify/cabrillo_check.h"

#include <gtest/gtest.h>

#include "tools/contest/contest_definition.h"
#include "tools/contest/definition_file.h"

#include <fstream>
#include <sstream>

using namespace logs;
using namespace verify;

namespace {

const char* const kLog[] = {"START-OF-LOG: 3.0",
                            "CALLSIGN: CE1TLV",
                            "CONTEST: SA-TOLVEN",
                            "CATEGORY-OPERATOR: SINGLE-OP",
                            "CATEGORY-OVERLAY: ",
                            "CLAIMED-SCORE: 4",
                            "QSO:  7012 CW 2026-03-07 1206 CE1TLV        599 001    PY3L          599 24",
                            "QSO: 14199 PH 2026-03-07 1219 CE1TLV        59  002    LU3RV         59  17",
                            "END-OF-LOG:"};

// The sample log with line `n` replaced ("-" removes it).
std::string logWith(std::size_t n = 0, const std::string& text = "") {
    std::string file;
    for (std::size_t i = 1; i <= std::size(kLog); ++i)
        if (i != n || text != "-") file += (i == n ? text : kLog[i - 1]) + std::string("\r\n");
    return file;
}

std::vector<CheckFinding> check(const std::string& bytes) {
    std::istringstream in(bytes);
    using namespace std::chrono;
    return checkCabrillo(in, {sys_days{2026y / March / 7}, sys_days{2026y / March / 8}});
}

std::string qso(const char* fields) { return std::string("QSO: ") + fields; }

// `text` as big-endian UTF-16 with its byte order mark.
std::string utf16(const std::string& text) {
    std::string out = "\xFE\xFF";
    for (const char c : text) out += std::string{'\0', c};
    return out;
}

}  // namespace

TEST(CabrilloCheck, EachRuleIsFoundAtItsLine) {
    const auto E = Severity::kError, W = Severity::kWarning;
    struct Case {
        std::string file;
        std::uint64_t line;  // 0: no finding at all
        Severity severity;
        const char* text;
        std::size_t count = 1;
        std::size_t index = 0;  // the finding looked at
    } cases[] = {
        {logWith(), 0, E, ""},
        {logWith(5, "CATEGORY-OVERLAY: RADIO-CLUB") + "X-SCORE: 5\r\n", 9, E, "END-OF-LOG: is not the last", 1},
        {logWith(1, "CALLSIGN: CE1TLV"), 1, E, "the first line is not START-OF-LOG:"},
        {logWith(1, "START-OF-LOG: 4.0"), 1, E, "START-OF-LOG: version '4.0'"},
        {logWith(9, "-"), 8, E, "END-OF-LOG: missing"},
        {logWith(5, "hello world"), 5, E, "a line without a tag: 'hello world'"},
        // Faults a reader still reads unambiguously: warnings only.
        {logWith(2, "CALLSIGN:CE1TLV"), 2, W, "CALLSIGN: is not followed by a blank"},
        {logWith(3, "CONTEST:SA-TOLVEN"), 3, W, "CONTEST: is not followed by a blank"},
        {"\r\n" + logWith(), 1, W, "empty line"},
        {"\r\n\r\n" + logWith(1, "START-OF-LOG: 2.0"), 1, W, "empty lines (2, up to line 2)"},
        {"\r\n" + logWith(1, "CALLSIGN: CE1TLV"), 1, W, "empty line", 2},
        {"\r\n" + logWith(1, "CALLSIGN: CE1TLV"), 2, E, "the first line is not START-OF-LOG:", 2, 1},
        {logWith(5, "E-MAIL: ce1tlv@example.org"), 5, W, "unknown tag E-MAIL: (the Cabrillo 3.0 tag is EMAIL:)"},
        {logWith(5, "OPERATOR: CE1TLV"), 5, W, "unknown tag OPERATOR: (the Cabrillo 3.0 tag is OPERATORS:)"},
        {logWith(5, "RIG: FT-991"), 5, W, "unknown tag RIG: (not a Cabrillo 3.0 header tag"},
        {logWith(5, std::string(1'000'000, 'A') + ": x"), 5, W, "unknown tag AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA...:"},
        {logWith(3, "CONTEST: CQ-WW-CW"), 3, W, "CONTEST: 'CQ-WW-CW' is not this contest"},
        {logWith(3, "-"), 1, W, "CONTEST: missing: write CONTEST: SA-TOLVEN"},
        {logWith(5, "CATEGORY: SINGLE-OP ALL LOW CW"), 5, W,
         "CATEGORY: is a Cabrillo 2.0 tag, read as such: in a 3.0 log write CATEGORY-OPERATOR: SINGLE-OP, "
         "CATEGORY-BAND: ALL, CATEGORY-POWER: LOW, CATEGORY-MODE: CW"},
        {logWith(5, "ARRL-SECTION: DX"), 5, W, "ARRL-SECTION: is a Cabrillo 2.0 tag, read as such: in a 3.0 log write LOCATION:"},
        {logWith(5, "CATEGORY: SINGLE-OP ALL LOW CW").replace(0, 17, "START-OF-LOG: 2.0"), 0, E, ""},
        {logWith(5, "CATEGORY-OVERLAY: OVER-50"), 5, E, "'OVER-50' left the Cabrillo 3.0 list after 2023"},
        {logWith(2, "CALLSIGN:"), 2, E, "CALLSIGN: is empty"},
        {logWith(4, "CATEGORY-OPERATOR: MULTI-OP HQCHECKLOG"), 4, E, "'MULTI-OP HQCHECKLOG' is in no Cabrillo 3.0 list"},
        {logWith(6, "CLAIMED-SCORE: 4.5"), 6, E, "CLAIMED-SCORE: '4.5' is not a whole number"},
        {logWith(8, qso("14199 PH 2026-03-07 1219 CE1TLV 59 002 LU3RV 59")), 8, E, "a QSO line that does not parse"},
        {logWith(8, qso("14.2 PH 2026-03-07 1219 CE1TLV 59 002 LU3RV 59 17")), 8, E, "frequency '14.2' is neither"},
        {logWith(8, qso("14199 SSB 2026-03-07 1219 CE1TLV 59 002 LU3RV 59 17")), 8, E, "mode 'SSB' is not a Cabrillo"},
        {logWith(8, qso("14199 PH 2026-02-30 1219 CE1TLV 59 002 LU3RV 59 17")), 8, E, "date '2026-02-30'"},
        {logWith(8, qso("14199 PH 2026-03-07 1260 CE1TLV 59 002 LU3RV 59 17")), 8, E, "time '1260'"},
        {logWith(8, qso("14199 PH 2026-03-07 1219 CE1TLV 5N 002 LU3RV 59 17")), 8, E, "sent RST '5N' is not"},
        {logWith(8, qso("14199 PH 2026-03-07 1200 CE1TLV 59 002 LU3RV 59 17")), 8, W,
         "QSO out of time order: 1200 after 1206 (line 7)"},
        {logWith(8, qso("14199 PH 2026-03-09 1219 CE1TLV 59 002 LU3RV 59 17")), 8, W,
         "QSO on 2026-03-09 outside the contest period 2026-03-07 to 2026-03-08"},
        {logWith(8, qso("21199 PH 2026-03-07 1219 CE1TLV 59 002 LU3RV 59 17")), 8, W, "'21199' kHz is outside"},
        {logWith(8, qso("14199 RY 2026-03-07 1219 CE1TLV 599 002 LU3RV 599 17")), 8, W, "mode RY is not scored"},
        {logWith(7, qso("7012 CW 2026-03-07 1206 CE1TLV 59 001 PY3L 599 24")), 7, W, "sent RST 59 does not fit CW"},
        {logWith(8, qso("14199 PH 2026-03-07 1219 CE1TLV 59 002 LU3RV 59 A7")), 8, W, "received serial number 'A7'"},
        {logWith(7, qso("7012 CW 2026-03-07 1206 CE1XX 599 001 PY3L 599 24")), 7, E,
         "own call CE1XX differs from CALLSIGN: CE1TLV (line 2)"},
        {logWith(2, "CALLSIGN: =CMD|' /C CALC'!A0"), 2, E, "CALLSIGN: '=CMD|' /C CALC'!A0' is not a call", 2},
        {logWith(2, "CALLSIGN: " + std::string(1'000'000, 'A')), 2, E, "is not a call: letters, digits", 2},
        {logWith(5, "SOAPBOX: caf\xC3\xA9"), 5, W, "byte 0xC3 outside printable ASCII at column 13 (2 such bytes"},
        // Bad input: one clear finding, never a crash.
        {"", 1, E, "the file is empty", 1},
        {"\r\r\r", 1, E, "the first line is empty", 6},
        {utf16(logWith(2, "CALLSIGN:CE1TLV")), 1, W, "UTF-16 text: read as such; most committees' tools", 2},
        {utf16(logWith(2, "CALLSIGN:CE1TLV")), 2, W, "CALLSIGN: is not followed by a blank", 2, 1},
        {utf16(logWith()).substr(2), 1, E, "not a text file: line 1 holds NUL bytes"},
        {std::string("\x7F" "ELF\x02\x01\0\0\n\x01\x02", 11), 1, E, "not a text file"},
        {logWith(5, "SOAPBOX: " + std::string(10'000'000, 'x')), 0, E, ""},
    };
    for (const Case& c : cases) {
        const auto findings = check(c.file);
        const std::string context = c.file.substr(0, 300);
        if (c.line == 0) {
            EXPECT_TRUE(findings.empty()) << context << "\n" << formatFinding("log", findings.front());
            continue;
        }
        ASSERT_EQ(findings.size(), c.count) << context << "\n" << formatFinding("log", findings.front());
        const CheckFinding& f = findings[c.index];
        EXPECT_EQ(f.line, c.line) << f.text;
        EXPECT_EQ(f.severity, c.severity) << f.text;
        EXPECT_NE(f.text.find(c.text), std::string::npos) << f.text << "\n" << context;
    }
}

TEST(CabrilloCheck, OutputLinesAndTotals) {
    const auto findings = check(logWith(6, "CLAIMED-SCORE: x") + "SOAPBOX: \t\r\n");
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(formatFinding("LOG.cbr", findings[0]), "LOG.cbr:6: error: CLAIMED-SCORE: 'x' is not a whole number");
    EXPECT_EQ(formatFinding("LOG.cbr", findings[1]), "LOG.cbr:9: error: END-OF-LOG: is not the last line (more follows at line 10)");
    EXPECT_EQ(findingTotals(findings), "2 error(s), 1 warning(s)");
}

// The plug-in's files as the writer and the replay tests compare them byte for byte.
TEST(CabrilloCheck, WhatThePluginWritesHasNoError) {
    std::ifstream replayed(STATS_SOURCE_DIR "/tests/golden/replay/CE1TLV.cbr", std::ios::binary);
    const auto findings = checkCabrillo(replayed);
    EXPECT_TRUE(findings.empty()) << formatFinding("CE1TLV.cbr", findings.front());
    // The writer test's odd contacts: one a host passed without a call, one with a 4-digit report.
    std::ifstream odd(STATS_SOURCE_DIR "/tests/unit/golden/sample.cbr", std::ios::binary);
    const auto oddFindings = checkCabrillo(odd);
    ASSERT_EQ(oddFindings.size(), 2u);
    EXPECT_EQ(formatFinding("sample.cbr", oddFindings[0]).rfind("sample.cbr:31: error: a QSO line that does not parse: 9 fields", 0), 0u);
    EXPECT_EQ(formatFinding("sample.cbr", oddFindings[1]), "sample.cbr:33: warning: received RST 5999 does not fit CW (599 on CW, 59 on PH)");
}

// A contest read from its definition file: one NRAU line per fault, each with exactly one finding.
TEST(CabrilloCheck, ByAContestDefinition) {
    const auto nrau = contest::readDefinition(STATS_SOURCE_DIR "/contests/nrau-baltic-ssb.toml");
    const auto E = Severity::kError, W = Severity::kWarning;
    const std::string good = "3610 PH 2022-01-09 0631 OH2XX 59 001 UU SM5AA 59 001 SL";
    // Each case's line follows one that fits, so that no case makes the log another contest's.
    const std::string fits = "QSO: 3615 PH 2022-01-09 0630 OH2XX 59 001 UU OH1AB 59 003 UU\n";
    struct Case {
        const char* contestLine;
        std::string qso;
        Severity severity;
        const char* text;  // "": no finding
    } cases[] = {
        {"NRAU-BALTIC-SSB", good, E, ""},
        {"nrau baltic ssb", "7060 PH 2022-01-09 0700 OH2XX 59 002 UU LA1BB 59 014 sl 1", E, ""},
        {"SA-TOLVEN", good, W, "CONTEST: 'SA-TOLVEN' is not this contest: write CONTEST: NRAU-BALTIC-SSB"},
        {"NRAU", "7061 PH 2022-01-09 0702 OH2XX 59 004 UU ES2CC 59 HM", E,
         "a QSO line that does not parse: 11 fields where a QSO line of NRAU-BALTIC-SSB has 12 (frequency, "
         "mode, "
         "date, time, own call, sent rst, serial and county, call, received rst, serial and county) and an "
         "optional transmitter id"},
        {"NRAU", "7060 PH 2022-01-09 0700 OH2XX 59 002 UU LA1BB 59 014 ZZ", W,
         "received county 'ZZ' is not a valid county of NRAU-BALTIC-SSB"},
        {"NRAU", "7060 PH 2022-01-09 0700 OH2XX 59 002 QQ LA1BB 59 014 SL", W,
         "sent county 'QQ' is not a valid"},
        {"NRAU", "7000 PH 2022-01-09 0701 OH2XX 59 003 UU ES1CC 59 002 HM", W,
         "frequency '7000' kHz is outside the SSB sub-bands of 40m (7050-7100 and 7130-7200 kHz)"},
        {"NRAU", "14200 PH 2022-01-09 0701 OH2XX 59 003 UU ES1CC 59 002 HM", W,
         "frequency '14200' kHz is outside the contest bands (3500-3800 and 7000-7200 kHz)"},
        {"NRAU", "3610 CW 2022-01-09 0631 OH2XX 599 001 UU SM5AA 599 001 SL", W,
         "mode CW is not scored in this contest (PH)"},
        {"NRAU", "3610 PH 2022-01-09 0631 OH2XX 599 001 UU SM5AA 59 001 SL", W,
         "sent RST 599 does not fit PH (59 on PH)"},
        {"NRAU", "3610 PH 2022-01-09 0631 OH2XX 5N 001 UU SM5AA 59 001 SL", E,
         "sent RST '5N' is not a signal report"},
        {"NRAU", "3610 PH 2022-01-09 0631 OH2XX 59 001 UU SM5AA 59 A7 SL", W,
         "received serial number 'A7' is not a number"},
        {"NRAU", "3610 PH 2022-01-09 0830 OH2XX 59 001 UU SM5AA 59 001 SL", W,
         "QSO at 2022-01-09 0830 outside the contest period 2022-01-09 0630 to 2022-01-09 0830"},
    };
    for (const Case& c : cases) {
        std::istringstream in("START-OF-LOG: 3.0\nCALLSIGN: OH2XX\nCONTEST: " + std::string(c.contestLine) +
                              "\n" + fits + "QSO: " + c.qso + "\nEND-OF-LOG:\n");
        const auto findings = checkCabrillo(in, {}, &nrau);
        if (*c.text == '\0') {
            EXPECT_TRUE(findings.empty()) << c.qso << "\n" << formatFinding("log", findings.front());
            continue;
        }
        ASSERT_EQ(findings.size(), 1u) << c.qso << "\n" << formatFinding("log", findings.front());
        EXPECT_EQ(findings[0].severity, c.severity) << findings[0].text;
        EXPECT_NE(findings[0].text.find(c.text), std::string::npos) << findings[0].text;
    }
    // Dupes by the definition's rules, judged in time order: once per band and mode, or again after N
    // minutes.
    const struct {
        std::optional<int> repeatAfter;
        const char* time;  // of OH1AB again on 80 m, after 0630 and 0635 (another band)
        const char* text;  // "": no finding
    } repeats[] = {
        {std::nullopt, "0640", "log:6: warning: dupe: OH1AB on 80m SSB again (first at line 4)"},
        {std::nullopt, "0629", "log:4: warning: dupe: OH1AB on 80m SSB again (first at line 6)"},
        {30, "0659",
         "log:6: warning: dupe: OH1AB on 80m SSB again after 29 min, sooner than the 30 min the rules "
         "ask (line 4)"},
        {30, "0700", ""},
    };
    for (const auto& r : repeats) {
        auto contest = nrau;
        contest.checking.repeatAfterMinutes = r.repeatAfter;
        std::istringstream in(
            "START-OF-LOG: 3.0\nCALLSIGN: OH2XX\nCONTEST: NRAU-BALTIC-SSB\n" + fits +
            "QSO: 7060 PH 2022-01-09 0635 OH2XX 59 002 UU OH1AB 59 004 UU\nQSO: 3615 PH 2022-01-09 " +
            r.time + " OH2XX 59 003 UU OH1AB 59 005 UU\nEND-OF-LOG:\n");
        std::string shown;
        for (const auto& f : checkCabrillo(in, {}, &contest))
            if (f.rule == Rule::kDupe) shown += formatFinding("log", f);
        EXPECT_EQ(shown, r.text) << r.time;
    }
    // The built-in record as a definition: the sample log passes; a band category it lacks does not.
    const auto saTolven = contest::builtinSaTolven();
    std::istringstream sample(logWith(5, "CATEGORY-BAND: 80M"));
    const auto findings = checkCabrillo(sample, {}, &saTolven);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(formatFinding("log", findings[0]), "log:5: error: CATEGORY-BAND: '80M' is not a category of SA-TOLVEN (ALL, 40M, 20M)");
}

// A contest whose lines carry no signal report and relay the number received before: the lines read
// in 2.0 and 3.0 logs padded with blanks, each relayed number checked in time order, not across line 10.
TEST(CabrilloCheck, RelayedNumbersInLinesWithoutAReport) {
    const auto relay = contest::readDefinition(STATS_GOLDEN_DIR "/relay-sprint.toml");
    const std::string qsos =
        "QSO:  3559 CW 2016-08-20 0800 LZ1AA         001 000       LZ1BB         001 000      \n"
        "QSO:  3562 CW 2016-08-20 0801 LZ1AA         002 001       LZ1CC         005 001\n"
        "QSO:  3546 CW 2016-08-20 0803 LZ1AA         004 007       LZ1EE         009 005       \n"
        "QSO:  3546 CW 2016-08-20 0802 LZ1AA         003 5         LZ1DD         007 002\n"
        "QSO:  3546 CW 2016-08-20 0804 LZ1AA         005 8         LZ1FF         002 004\n"
        "QSO:  3546 CW 2016-08-20 0805 LZ1AA         006 002       LZ1GG         010 3\n"
        "QSO:  3546 CW 2016-08-20 0806 LZ1AA         007           LZ1HH         011 006\n"
        "QSO:  3546 CW 2016-08-20 0807 LZ1AA         008 011       LZ1II         004 007\n";
    for (const char* version : {"2.0", "3.0"}) {
        std::istringstream in("START-OF-LOG: " + std::string(version) + "\nCALLSIGN: LZ1AA\nCONTEST: RELAY-SPRINT\n" +
                              qsos + "END-OF-LOG:\n");
        std::vector<std::string> shown;
        for (const CheckFinding& f : checkCabrillo(in, {}, &relay))
            if (f.rule != Rule::kQsoSyntax) shown.push_back(formatFinding("log", f));
        EXPECT_EQ(shown, (std::vector<std::string>{
                             "log:7: warning: QSO out of time order: 0802 after 0803 (line 6)",
                             "log:8: warning: relayed number 8 is not 009, the number received in the QSO before "
                             "(line 6)"}))
            << version;
    }
}

// The findings about the whole log: what blocks scoring, and findings of one cause said once with
// their lines. Each case's log is an NRAU header and `count` QSO lines from line 4, the `odd` first
// ones written with `oddQso`'s fields (frequency, date, time).
TEST(CabrilloCheck, WholeLogFindingsAndFolding) {
    const auto nrau = contest::readDefinition(STATS_SOURCE_DIR "/contests/nrau-baltic-ssb.toml");
    const struct Case {
        const char* header;
        int count, odd;
        const char* oddQso;
        bool acceptable;
        std::vector<std::string> findings;  // each finding's start, in order
    } cases[] = {
        {"CALLSIGN: OH2XX\nCONTEST: NRAU", 12, 0, "", true, {}},
        {"CALLSIGN: OH2XX\nCONTEST: NRAU", 12, 12, "3610 PH 2021-01-10", false,
         {"1: error: no QSO line lies in the contest's bands (3500-3800 and 7000-7200 kHz) and modes (PH) on the days "
          "of its period (2022-01-09 0630 to 2022-01-09 0830): the log's 12 QSO lines are dated 2021-01-10, on 3610 kHz, in PH "
          "(a log of another contest, or the period given for the contest is another edition's)",
          "4: warning: 12 of the log's 12 QSO lines lie outside the contest period 2022-01-09 0630 to 2022-01-09 "
          "0830: its QSOs are dated 2021-01-10 (if the log is of this contest, the period given for it is another "
          "edition's: another year or weekend); lines 4-15"}},
        {"CALLSIGN: OH2XX\nCONTEST: NRAU", 12, 7, "3500 PH 2022-01-09", true,
         {"4: warning: 7 of the log's 12 QSO lines lie outside the contest bands or their sub-bands (3500-3800 and "
          "7000-7200 kHz): its frequencies are 3500 and 3610 kHz; lines 4-10"}},
        {"CALLSIGN: OH2XX\nCONTEST: NRAU", 12, 5, "7000 PH 2022-01-09", true,
         {"4: warning: frequency '7000' kHz is outside the SSB sub-bands of 40m (7050-7100 and 7130-7200 kHz) (the "
          "same on 5 lines: 4-8)"}},
        {"CALLSIGN: OH2XX\nCONTEST: NRAU-CW", 3, 0, "", true, {"3: warning: CONTEST: 'NRAU-CW' is not this contest"}},
        {"CALLSIGN: OH2XX\nCONTEST: NRAU\nCATEGORY-OVERLAY: OVER-50", 3, 0, "", true, {}},
        {"CALLSIGN: OH2XX", 0, 0, "", false,
         {"1: error: CONTEST: missing: write CONTEST: NRAU-BALTIC-SSB", "1: error: no QSO line that reads"}},
        {"CONTEST: NRAU", 3, 0, "", false, {"1: error: CALLSIGN: missing"}},
    };
    for (const Case& c : cases) {
        std::string log = "START-OF-LOG: 3.0\n" + std::string(c.header) + "\n";
        for (int i = 0; i < c.count; ++i) {
            char line[120];
            std::snprintf(line, sizeof line, "QSO: %s 07%02d OH2XX 59 %03d UU SM5A%c 59 001 SL\n",
                          i < c.odd ? c.oddQso : "3610 PH 2022-01-09", i, i + 1, 'A' + i);
            log += line;
        }
        std::istringstream in(log + "END-OF-LOG:\n");
        const auto findings = checkCabrillo(in, {}, &nrau);
        SCOPED_TRACE(log);
        EXPECT_EQ(acceptableForScoring(findings), c.acceptable);
        ASSERT_EQ(findings.size(), c.findings.size()) << formatFinding("", findings.front());
        for (std::size_t i = 0; i < findings.size(); ++i)
            EXPECT_EQ(formatFinding("", findings[i]).substr(1, c.findings[i].size()), c.findings[i]);
    }
    // A value that left its list stands in the logs of its years only.
    std::istringstream later("START-OF-LOG: 3.0\nCALLSIGN: OH2XX\nCONTEST: NRAU\nCATEGORY-OVERLAY: OVER-50\n"
                             "QSO: 3610 PH 2024-01-14 0700 OH2XX 59 001 UU SM5AA 59 001 SL\nEND-OF-LOG:\n");
    const auto findings = checkCabrillo(later, {}, &nrau);
    ASSERT_EQ(findings.size(), 3u);  // and the log of another year's contest, at line 1 and 5
    EXPECT_EQ(formatFinding("", findings[1]),
              ":4: error: CATEGORY-OVERLAY: 'OVER-50' left the Cabrillo 3.0 list after 2023: it stands only in logs "
              "of that year or before");
}
