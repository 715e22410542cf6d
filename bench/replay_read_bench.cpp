// Reading a large ADIF log the way stats-replay does: parse, map to contacts, hold them compactly.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "tools/adif.h"
#include "tools/qso_mapping.h"
#include "tools/replay_log.h"

namespace {

std::string makeLog(int qsos) {
    std::string text = "generated log\n<ADIF_VER:5>3.1.4<EOH>\n";
    char line[400];
    for (int i = 0; i < qsos; ++i) {
        const int minute = i % 1440;
        std::snprintf(
            line, sizeof line,
            "<QSO_DATE:8>202603%02d <TIME_ON:6>%02d%02d00 <CALL:6>LU%01dA%c%c <BAND:3>%s <FREQ:8>%s "
            "<MODE:2>CW <RST_SENT:3>599 <RST_RCVD:3>599 <STX:3>%03d <SRX:3>%03d <CONT:2>SA "
            "<STATION_CALLSIGN:6>CE1TLV <EOR>\n",
            7 + i / 1440 % 20, minute / 60, minute % 60, i % 10, 'A' + i % 26, 'A' + i / 26 % 26,
            i % 2 ? "40m" : "20m", i % 2 ? "7.025000" : "14.02500", i % 1000, (i * 7) % 1000);
        text += line;
    }
    return text;
}

void BM_ReadAndMapLog(benchmark::State& state) {
    const std::string text = makeLog(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::istringstream in(text);
        replay::AdifReader reader(in);
        replay::AdifRecord record;
        replay::ReplayQso qso;
        replay::ReplayLog log;
        std::string problem;
        while (reader.next(record))
            if (replay::mapRecord(record, nullptr, qso, problem)) log.add(qso, record.number);
        log.sortOldestFirst();
        benchmark::DoNotOptimize(log.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadAndMapLog)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
