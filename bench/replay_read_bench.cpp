// Reading a large log the way stats-replay does (readLog: parse, map to contacts, hold them
// compactly, sort), the same contacts written as ADIF and as Cabrillo.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "tools/logs/log_input.h"

namespace {

enum class Format { kAdif, kCabrillo };

std::string makeLog(int qsos, Format format) {
    std::string text = format == Format::kAdif ? "generated log\n<ADIF_VER:5>3.1.4<EOH>\n"
                                               : "START-OF-LOG: 3.0\nCONTEST: SA-TOLVEN\nCALLSIGN: CE1TLV\n";
    char line[400];
    for (int i = 0; i < qsos; ++i) {
        const int minute = i % 1440;
        const int day = 7 + i / 1440 % 20;
        const char suffix[] = {static_cast<char>('A' + i % 26), static_cast<char>('A' + i / 26 % 26), 0};
        if (format == Format::kAdif)
            std::snprintf(
                line, sizeof line,
                "<QSO_DATE:8>202603%02d <TIME_ON:6>%02d%02d00 <CALL:6>LU%01dA%s <BAND:3>%s <FREQ:8>%s "
                "<MODE:2>CW <RST_SENT:3>599 <RST_RCVD:3>599 <STX:3>%03d <SRX:3>%03d <CONT:2>SA "
                "<STATION_CALLSIGN:6>CE1TLV <EOR>\n",
                day, minute / 60, minute % 60, i % 10, suffix, i % 2 ? "40m" : "20m",
                i % 2 ? "7.025000" : "14.02500", i % 1000, (i * 7) % 1000);
        else  // the column layout of a common contest logger
            std::snprintf(line, sizeof line,
                          "QSO: %6s CW 2026-03-%02d %02d%02d CE1TLV        599  %03d  LU%01dA%s        599  "
                          "%03d    0\n",
                          i % 2 ? "7025" : "14025", day, minute / 60, minute % 60, i % 1000, i % 10, suffix,
                          (i * 7) % 1000);
        text += line;
    }
    if (format == Format::kCabrillo) text += "END-OF-LOG:\n";
    return text;
}

void BM_ReadLog(benchmark::State& state, Format format) {
    const std::string text = makeLog(static_cast<int>(state.range(0)), format);
    for (auto _ : state) {
        std::istringstream in(text);
        logs::LoadedLog log;
        logs::readLog(in, "bench", nullptr, log, [](const std::string&) {});
        if (log.contacts.size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("contacts lost");
        benchmark::DoNotOptimize(log.contacts.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK_CAPTURE(BM_ReadLog, adif, Format::kAdif)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadLog, cabrillo, Format::kCabrillo)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
