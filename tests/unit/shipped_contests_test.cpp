// Every shipped contest definition held against its contest: two stations' logs, written in the
// layout of that contest's real logs and dated in its period, are read, checked clean and scored by
// the cross-check. A definition whose period, bands or modes drift from its contest fails here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>

#include "test_files.h"
#include "tools/contest/contest_definition.h"
#include "tools/contest/definition_file.h"
#include "tools/crosscheck/crosscheck_pipeline.h"
#include "tools/verify/cabrillo_check.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// The countries of the calls below, in the country file's layout.
constexpr const char* kCountries =
    "United States: 05: 08: NA: 43.00: 87.90: 5.0: K:\n    K,N,W;\n"
    "Estonia: 15: 29: EU: 58.60: -25.10: -2.0: ES:\n    ES;\n"
    "Finland: 15: 18: EU: 63.78: -27.08: -2.0: OH:\n    OH;\n"
    "Chile: 12: 14: SA: -30.00: 71.00: 4.0: CE:\n    CE;\n"
    "Argentina: 13: 14: SA: -34.80: 65.92: 3.0: LU:\n    LU;\n"
    "Bulgaria: 20: 28: EU: 42.83: -25.08: -2.0: LZ:\n    LZ;\n";

struct Excerpt {
    const char* definition;              // in contests/
    const char* header;                  // the header after START-OF-LOG:, with %s for the call
    const char* calls[2];                // the two stations
    std::vector<const char*> qsos[2];    // each station's QSO lines
    std::optional<sys_days> start, end;  // the committee's days, for a definition without periods
};

const Excerpt kExcerpts[] = {
    {"cq-wpx-cw.toml",
     "CONTEST: CQ-WPX-CW\nCALLSIGN: %s\nLOCATION: DX\nCATEGORY-OPERATOR: MULTI-OP\nCATEGORY-ASSISTED: "
     "ASSISTED\n"
     "CATEGORY-BAND: ALL\nCATEGORY-POWER: HIGH\nCATEGORY-MODE: CW\nCATEGORY-TRANSMITTER: TWO\n"
     "CATEGORY-STATION: FIXED\nCATEGORY-OVERLAY:\nCLAIMED-SCORE: 12\nOPERATORS: K9ZZA N9ZZB\n"
     "CREATED-BY: a contest logger 1.0\n",
     {"K9ZZT", "OH2ZZW"},
     {{"QSO:   14025 CW 2025-05-24 0000 K9ZZT            599  0001  OH2ZZW           599   0007    0",
       "QSO:    7012 CW 2025-05-25 2359 K9ZZT            599  0001  OH2ZZW           599   0912    1"},
      {"QSO:   14025 CW 2025-05-24 0000 OH2ZZW           599  0007  K9ZZT            599   0001    0",
       "QSO:    7012 CW 2025-05-25 2359 OH2ZZW           599  0912  K9ZZT            599   0001    0"}}},
    {"cq-wpx-ssb.toml",
     "CONTEST: CQ-WPX-SSB\nCALLSIGN: %s\nLOCATION: IL\nCATEGORY-OPERATOR: MULTI-OP\nCATEGORY-ASSISTED: "
     "ASSISTED\n"
     "CATEGORY-BAND: ALL\nCATEGORY-POWER: HIGH\nCATEGORY-MODE: SSB\nCATEGORY-TRANSMITTER: TWO\n"
     "CATEGORY-STATION: FIXED\nCATEGORY-OVERLAY:\nGRID-LOCATOR: EN50BP\nCREATED-BY: a contest logger 1.0\n",
     {"K9ZZT", "W6ZZQ"},
     {{"QSO:   28535 PH 2025-03-29 0000 K9ZZT            59  0001  W6ZZQ            59   0001    0",
       "QSO:   21324 PH 2025-03-30 2359 K9ZZT            59  0001  W6ZZQ            59   0412    1"},
      {"QSO:   28535 PH 2025-03-29 0000 W6ZZQ            59  0001  K9ZZT            59   0001    0",
       "QSO:   21324 PH 2025-03-30 2359 W6ZZQ            59  0412  K9ZZT            59   0001    0"}}},
    // No signal report; the second number relays the first one received in the previous QSO, and the
    // same station counts again 30 minutes on.
    {"lz-field-day.toml",
     "CREATED-BY: a contest logger 2.3\nCONTEST: LZ-HF-FIELD\nCALLSIGN: %s\nCATEGORY-OPERATOR: SINGLE-OP\n"
     "CATEGORY-TRANSMITTER: ONE\nCATEGORY-ASSISTED: NON-ASSISTED\nCATEGORY-POWER: LOW\nCATEGORY-BAND: 80M\n"
     "CATEGORY-MODE: CW\nCLAIMED-SCORE: 6\n",
     {"LZ0ZZA", "LZ0ZZB"},
     {{"QSO:  3527 CW 2016-08-20 0800 LZ0ZZA        001 000       LZ0ZZB        001 000      ",
       "QSO:  3527 CW 2016-08-20 0830 LZ0ZZA        002 001       LZ0ZZB        002 001      ",
       "QSO:  3531 CW 2016-08-20 1159 LZ0ZZA        003 002       LZ0ZZB        003 002      "},
      {"QSO:  3527 CW 2016-08-20 0800 LZ0ZZB        001 000       LZ0ZZA        001 000      ",
       "QSO:  3527 CW 2016-08-20 0830 LZ0ZZB        002 001       LZ0ZZA        002 001      ",
       "QSO:  3531 CW 2016-08-20 1159 LZ0ZZB        003 002       LZ0ZZA        003 002      "}}},
    {"nrau-baltic-ssb.toml",
     "LOCATION: DX\nCONTEST: NRAU-BALTIC-SSB\nCALLSIGN: %s\nCATEGORY-ASSISTED: NON-ASSISTED\n"
     "CATEGORY-OPERATOR: SINGLE-OP\nCATEGORY-BAND: ALL\nCATEGORY-MODE: SSB\nCATEGORY-POWER: HIGH\n"
     "CATEGORY-TRANSMITTER: ONE\nCLAIMED-SCORE: 8\nCREATED-BY: a contest logger 8.0\nSOAPBOX: \n",
     {"ES1ZZB", "OH2ZZU"},
     {{"QSO:  3718 PH 2022-01-09 0630 ES1ZZB        59  001 TL     OH2ZZU        59  006 UU      ",
       "QSO:  7060 PH 2022-01-09 0829 ES1ZZB        59  002 TL     OH2ZZU        59  007 UU      "},
      {"QSO:  3718 PH 2022-01-09 0630 OH2ZZU        59  006 UU     ES1ZZB        59  001 TL      ",
       "QSO:  7060 PH 2022-01-09 0829 OH2ZZU        59  007 UU     ES1ZZB        59  002 TL      "}}},
    {"nrau-baltic-cw.toml",
     "LOCATION: DX\nCONTEST: NRAU-BALTIC-CW\nCALLSIGN: %s\nCATEGORY-ASSISTED: NON-ASSISTED\n"
     "CATEGORY-OPERATOR: SINGLE-OP\nCATEGORY-BAND: ALL\nCATEGORY-MODE: CW\nCATEGORY-POWER: LOW\n"
     "CATEGORY-TRANSMITTER: ONE\nCREATED-BY: a contest logger 8.0\n",
     {"ES1ZZB", "OH2ZZU"},
     {{"QSO:  3522 CW 2022-01-09 0900 ES1ZZB        599 001 TL     OH2ZZU        599 006 UU      ",
       "QSO:  7025 CW 2022-01-09 1059 ES1ZZB        599 002 TL     OH2ZZU        599 007 UU      "},
      {"QSO:  3522 CW 2022-01-09 0900 OH2ZZU        599 006 UU     ES1ZZB        599 001 TL      ",
       "QSO:  7025 CW 2022-01-09 1059 OH2ZZU        599 007 UU     ES1ZZB        599 002 TL      "}}},
    {"sa-tolven.toml",
     "CALLSIGN: %s\nCONTEST: SA-TOLVEN\nCATEGORY-OPERATOR: SINGLE-OP\nCATEGORY-MODE: MIXED\nCATEGORY-BAND: "
     "ALL\n",
     {"CE1ZZV", "LU3ZZR"},
     {{"QSO:  7012 CW 2026-03-07 1206 CE1ZZV        599 001    LU3ZZR        599 017",
       "QSO: 14199 PH 2026-03-08 1219 CE1ZZV        59  002    LU3ZZR        59  018"},
      {"QSO:  7012 CW 2026-03-07 1206 LU3ZZR        599 017    CE1ZZV        599 001",
       "QSO: 14199 PH 2026-03-08 1219 LU3ZZR        59  018    CE1ZZV        59  002"}},
     sys_days{2026y / March / 7},
     sys_days{2026y / March / 8}},
};

std::string logText(const Excerpt& e, int station) {
    char header[1024];
    std::snprintf(header, sizeof header, e.header, e.calls[station]);
    std::string log = "START-OF-LOG: 3.0\n" + std::string(header);
    for (const char* qso : e.qsos[station]) log += std::string(qso) + "\n";
    return log + "END-OF-LOG:\n";
}

}  // namespace

TEST(ShippedContests, EachDefinitionReadsChecksAndScoresItsContestsLogs) {
    const fs::path source = STATS_SOURCE_DIR;
    std::set<std::string> shipped;
    for (const auto& entry : fs::directory_iterator(source / "contests"))
        if (entry.path().extension() == ".toml") shipped.insert(entry.path().filename().string());
    for (const Excerpt& e : kExcerpts) shipped.erase(e.definition);
    EXPECT_TRUE(shipped.empty()) << "a shipped definition without its excerpt here: " << *shipped.begin();

    const fs::path dir = fs::temp_directory_path() / ("shipped-contests-" + std::to_string(getpid()));
    for (const Excerpt& e : kExcerpts) {
        SCOPED_TRACE(e.definition);
        const contest::ContestDefinition definition =
            contest::readDefinition(source / "contests" / e.definition);
        fs::remove_all(dir);
        for (int station = 0; station < 2; ++station) {
            const std::string log = logText(e, station);
            std::istringstream in(log);
            const auto findings = verify::checkCabrillo(in, {e.start, e.end}, &definition);
            EXPECT_TRUE(findings.empty()) << verify::formatFinding(e.calls[station], findings.front());
            test_files::spit(dir / "logs" / (std::string(e.calls[station]) + ".log"), log);
        }
        test_files::spit(dir / "cty.dat", kCountries);
        crosscheck::CrossCheckRequest request;
        request.inputs = {"logs"};
        request.baseFolder = dir;
        request.pluginLibrary = STATS_LIBRARY;
        request.countryFile = "cty.dat";
        request.start = e.start;
        request.end = e.end;
        if (!(definition == contest::builtinSaTolven())) request.contest = definition;
        const crosscheck::CrossCheckRun run = crosscheck::checkLogFiles(request);
        ASSERT_TRUE(run.ok()) << run.failure;
        EXPECT_TRUE(run.unusable.empty()) << run.unusable.front().reason;
        ASSERT_EQ(run.logs.size(), 2u);
        for (const crosscheck::LogCheck& log : run.logs) {
            EXPECT_EQ(log.result.counts[std::size_t(crosscheck::Verdict::kVerified)], e.qsos[0].size())
                << log.reportText;
            EXPECT_GT(log.result.checked.score, 0) << log.reportText;
            EXPECT_TRUE(log.result.warnings.empty()) << log.result.warnings.front();
        }
    }
    fs::remove_all(dir);
}
