// The score summary and the Cabrillo lines against the size of the log.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "cabrillo/cabrillo_writer.h"
#include "cabrillo/summary.h"
#include "core/ole_date.h"
#include "core/qso_store.h"

namespace {

using namespace stats;

QsoStore contest(std::size_t n) {
    QsoStore store;
    for (std::size_t i = 0; i < n; ++i) {
        CInfo r;
        r.call = "PY" + std::to_string(i % 5000) + "AA";
        r.band = i % 3 ? "40m" : "20m";
        r.mode = i % 2 ? "CW" : "SSB";
        r.frequencyKHz = i % 3 ? 7025 : 14025;
        r.qsoTime = OleDateTime{46082.0 + static_cast<double>(i) / 1440.0, OleDateTime::kValid};
        r.rstSent = r.rstReceived = "599";
        r.numberSent = r.numberReceived = std::to_string(i);
        r.saPrefix = "PY" + std::to_string(i % 200);
        r.isDupe = i % 7 == 0;
        store.append(r);
    }
    return store;
}

void BM_ScoreSummary(benchmark::State& state) {
    const QsoStore store = contest(static_cast<std::size_t>(state.range(0)));
    std::vector<std::string> bands = {"20m", "40m"};
    for (auto _ : state)
        benchmark::DoNotOptimize(buildScoreSummary(bands, store, "01.03", "02.03.2026", "UA9XYZ"));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ScoreSummary)->RangeMultiplier(10)->Range(100, 100000)->Complexity();

void BM_CabrilloText(benchmark::State& state) {
    const QsoStore store = contest(static_cast<std::size_t>(state.range(0)));
    CabrilloLog log;
    log.callsign = "UA9XYZ";
    for (auto _ : state) {
        log.qsoLines.clear();
        for (std::size_t i = 0; i < store.size(); ++i) {
            const CInfo& r = store.at(i);
            addQsoLine(log, r.call, static_cast<int>(r.frequencyKHz), cabrilloModeText(r.mode), r.qsoTime,
                       r.rstSent, r.numberSent, r.rstReceived, r.numberReceived);
        }
        benchmark::DoNotOptimize(cabrilloFileText(log, 0, "2.19"));
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CabrilloText)->RangeMultiplier(10)->Range(100, 100000)->Complexity();

}  // namespace
