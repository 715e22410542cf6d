// Checking a large Cabrillo log as stats-replay --verify does: the line reader and every rule,
// without the plug-in. The time per QSO line should not grow with the log.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "tools/verify/cabrillo_check.h"

namespace {

std::string makeLog(int qsos) {
    std::string text =
        "START-OF-LOG: 3.0\r\nCALLSIGN: CE1TLV\r\nCONTEST: SA-TOLVEN\r\nCATEGORY-OPERATOR: SINGLE-OP\r\n"
        "CATEGORY-MODE: MIXED\r\nCATEGORY-OVERLAY: \r\nCLAIMED-SCORE: 1234\r\nEMAIL: ce1tlv@example.org\r\n"
        "SOAPBOX: generated\r\n";
    char line[120];
    for (int i = 0; i < qsos; ++i) {
        // Two contest days, a minute apart per 1000 lines so the times stay in order.
        const int minute = static_cast<int>(i * 2880LL / qsos);
        const bool cw = i % 3 != 0;
        std::snprintf(line, sizeof line, "QSO: %5s %s 2026-03-%02d %02d%02d CE1TLV        %-3s %-6d LU%dA%c%c         %-3s %d\r\n",
                      i % 2 ? "7025" : "14025", cw ? "CW" : "PH", 7 + minute / 1440, minute % 1440 / 60, minute % 60,
                      cw ? "599" : "59", i + 1, i % 10, 'A' + i % 26, 'A' + i / 26 % 26, cw ? "599" : "59", i % 1000);
        text += line;
    }
    return text + "END-OF-LOG:\r\n";
}

void BM_CheckCabrillo(benchmark::State& state) {
    const std::string text = makeLog(static_cast<int>(state.range(0)));
    std::size_t findings = 0;
    for (auto _ : state) {
        std::istringstream in(text);
        findings = verify::checkCabrillo(in).size();
        benchmark::DoNotOptimize(findings);
    }
    if (findings != 0) state.SkipWithError("the generated log should pass the check");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_CheckCabrillo)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
