// CheckCall0 on every keystroke: its cost must not grow with the log.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fake_services.h"

using namespace stats;

namespace {

void BM_CheckCall(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    fakes::FakeServices fakes;
    fakes.windows.panel = true;  // every call also arms the refresh timer
    Plugin plugin(fakes.services());
    {
        std::vector<std::string> calls;
        calls.reserve(n);
        for (std::size_t i = 0; i < n; ++i) calls.push_back("K" + std::to_string(i) + "X");
        const std::string prefixes[] = {"CE1", "CE2", "CE3", "LU1", "PY2"};
        for (std::size_t i = 0; i < n; ++i) {
            QsoParams p;
            p.call = calls[i];
            p.mode = i % 2 ? "CW" : "SSB";
            p.band = i % 4 < 2 ? "40m" : "20m";
            p.numberSent = "001";
            p.numberReceived = "002";
            p.prefix = prefixes[i % 5];
            p.continent = i % 3 == 0 ? "SA" : "NA";
            plugin.addData(p);
        }
    }
    // Typed calls: stored ones (dupes or other bands), unknown ones with worked and new prefixes.
    std::vector<std::string> typed;
    for (std::size_t i = 0; i < 1024; ++i)
        typed.push_back(i % 2 ? "K" + std::to_string((i * 7919) % n) + "X" : "PY" + std::to_string(i) + "Z");
    char out[50];
    char hint[100];
    std::size_t i = 0;
    int sum = 0;
    for (auto _ : state) {
        CallCheckParams p;
        p.call = typed[i++ & 1023];
        p.mode = "CW";
        p.band = "40m";
        p.prefix = i % 3 ? "CE3" : "ZP5";
        p.continent = "SA";
        p.outBuffer = out;
        p.hintBuffer = hint;
        sum += plugin.checkCall(p);
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_CheckCall)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000);

}  // namespace
