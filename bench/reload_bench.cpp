// A log reload: ResetStats0 and then AddData0 once per contact. The cost per contact must stay
// flat as the log grows (the dupe decision comes from the index, not from a scan).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fake_services.h"

using namespace stats;

namespace {

struct Log {
    std::vector<std::string> calls;
    std::vector<QsoParams> qsos;
};

// About one contact in twenty is a dupe, a few are rejected; every tenth is from SA.
Log makeLog(std::size_t n) {
    Log log;
    log.calls.reserve(n);
    const std::size_t stations = n - n / 20;
    for (std::size_t i = 0; i < n; ++i) log.calls.push_back("K" + std::to_string(i % stations) + "X");
    static const char* numbers[] = {"001", "002", "003"};
    for (std::size_t i = 0; i < n; ++i) {
        QsoParams p;
        p.ownCall = "UA9XX";
        p.call = log.calls[i];
        p.time = OleDateTime{46082.5 + static_cast<double>(i) / 86400.0, OleDateTime::kValid};
        p.frequencyHz = 7000000 + static_cast<std::uint32_t>(i % 50000);
        p.mode = i % 3 == 0 ? "SSB" : "CW";
        p.rstSent = "599";
        p.rstReceived = "599";
        p.numberSent = numbers[i % 3];
        p.numberReceived = i % 97 == 0 ? "" : numbers[(i + 1) % 3];
        p.prefix = i % 10 == 0 ? "CE3" : "K";
        p.continent = i % 10 == 0 ? "SA" : "NA";
        p.band = i % 2 == 0 ? "40m" : "20m";
        log.qsos.push_back(p);
    }
    // Dupes keep the key of their first contact.
    for (std::size_t i = stations; i < n; ++i) {
        log.qsos[i].mode = log.qsos[i - stations].mode;
        log.qsos[i].band = log.qsos[i - stations].band;
    }
    return log;
}

void BM_Reload(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const Log log = makeLog(n);
    fakes::FakeServices fakes;
    fakes.windows.startCreatesPanel = true;
    Plugin plugin(fakes.services());
    ResetParams reset;
    reset.ownCall = "UA9XX";
    int accepted = 0;
    for (auto _ : state) {
        plugin.resetStats(reset);
        for (const QsoParams& p : log.qsos) accepted += plugin.addData(p);
    }
    benchmark::DoNotOptimize(accepted);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
    state.counters["per_qso"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Reload)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
