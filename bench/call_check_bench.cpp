// CheckCall0 on every keystroke and the refresh tick's previous-QSO fill (the tick's own
// fillPreviousQsoRows): their cost must not grow with the log. Beside them the literal scans over a plain
// array of the same records.
#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <vector>

#include "bench/reference_contest.h"
#include "fake_services.h"
#include "windows/refresh_tick.h"

using namespace stats;
using stats::bench::ReferenceContest;

namespace {

// A log of n stations, every third from SA with one of five prefixes; two extra stations are
// worked again and again through the log: CE3FEW four times, LU1MANY 200 times.
std::vector<QsoParams> makeCheckLog(std::size_t n, std::vector<std::string>& calls) {
    calls.clear();
    calls.reserve(n);
    for (std::size_t i = 0; i < n; ++i) calls.push_back("K" + std::to_string(i) + "X");
    static const char* prefixes[] = {"CE1", "CE2", "CE3", "LU1", "PY2"};
    std::vector<QsoParams> qsos;
    qsos.reserve(n + 204);
    for (std::size_t i = 0; i < n; ++i) {
        QsoParams p;
        p.call = calls[i];
        p.time = OleDateTime{46082.5 + static_cast<double>(i) / 86400.0, OleDateTime::kValid};
        p.mode = i % 2 ? "CW" : "SSB";
        p.band = i % 4 < 2 ? "40m" : "20m";
        p.rstSent = p.rstReceived = "599";
        p.numberSent = "001";
        p.numberReceived = "002";
        p.prefix = prefixes[i % 5];
        p.continent = i % 3 == 0 ? "SA" : "NA";
        qsos.push_back(p);
    }
    // The repeated stations are spread evenly through the log, in one pass.
    std::vector<QsoParams> out;
    out.reserve(n + 204);
    auto repeated = [&](std::size_t i, std::string_view call, std::size_t times) {
        const std::size_t step = n / times ? n / times : 1;
        if (i % step != 0 || i / step >= times) return;
        const std::size_t k = i / step;
        QsoParams p = qsos[i];
        p.call = call;
        p.band = k % 2 ? "40m" : "20m";
        p.mode = k % 3 ? "CW" : "SSB";
        out.push_back(p);
    };
    for (std::size_t i = 0; i < n; ++i) {
        repeated(i, "CE3FEW", 4);
        repeated(i, "LU1MANY", 200);
        out.push_back(qsos[i]);
    }
    return out;
}

struct Contests {
    std::vector<std::string> calls;
    fakes::FakeServices fakes;
    Plugin plugin{fakes.services()};
    fakes::TempDir dir;
    ReferenceContest ref{dir.path() / "err.txt"};

    explicit Contests(std::size_t n) {
        fakes.windows.panel = true;  // every call also arms the refresh timer
        for (const QsoParams& p : makeCheckLog(n, calls)) {
            plugin.addData(p);
            ref.store.push_back(ReferenceContest::record(p));  // dupes play no part in these checks
        }
    }
};

enum CheckCase { kDupe, kWorkedPrefix, kNewPrefix };

// The typed calls: 1024 stored ones spread over the log (dupes on 40 m CW), or 1024 new ones
// with a worked or a new SA prefix.
template <typename Check>
void checkLoop(benchmark::State& state, const std::vector<std::string>& calls, Check check) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto which = static_cast<CheckCase>(state.range(1));
    std::vector<std::string> typed;
    for (std::size_t i = 0; i < 1024; ++i) {
        // Stored calls with i % 4 == 1 are on 40 m CW.
        const std::size_t stored = (i * 7919 % (n / 4)) * 4 + 1;
        typed.push_back(which == kDupe ? calls[stored] : "PY" + std::to_string(i) + "Z");
    }
    char out[50];
    char hint[100];
    std::size_t i = 0;
    int sum = 0;
    for (auto _ : state) {
        CallCheckParams p;
        p.call = typed[i++ & 1023];
        p.mode = "CW";
        p.band = "40m";
        p.prefix = which == kNewPrefix ? "ZP5" : "CE3";
        p.continent = "SA";
        p.outBuffer = out;
        p.hintBuffer = hint;
        sum += check(p);
    }
    if (sum != static_cast<int>(state.iterations()) * (which == kDupe ? 0 : which == kWorkedPrefix ? 1 : 2))
        state.SkipWithError("unexpected result");
}

void BM_CheckCall(benchmark::State& state) {
    Contests c(static_cast<std::size_t>(state.range(0)));
    checkLoop(state, c.calls, [&](const CallCheckParams& p) { return c.plugin.checkCall(p); });
}

void BM_CheckCallReference(benchmark::State& state) {
    Contests c(static_cast<std::size_t>(state.range(0)));
    checkLoop(state, c.calls, [&](const CallCheckParams& p) { return c.ref.checkCall(p); });
}

const std::array<std::string, 6> kBandNames = {"160m", "80m", "40m", "20m", "15m", "10m"};

const char* fillCall(benchmark::State& state) {
    return state.range(1) == 0 ? "CE3FEW" : "LU1MANY";
}

void BM_TickFill(benchmark::State& state) {
    Contests c(static_cast<std::size_t>(state.range(0)));
    const std::string call = fillCall(state);
    for (auto _ : state)
        c.plugin.updateState(
            [&](ContestState& s) { fillPreviousQsoRows(s.previousQsoRows, s.qsoStore, call, kBandNames); });
}

void BM_TickFillReference(benchmark::State& state) {
    Contests c(static_cast<std::size_t>(state.range(0)));
    const std::string call = fillCall(state);
    std::array<std::vector<std::string>, 6> rows;
    for (auto _ : state) c.ref.fillPreviousQsoRows(rows, call, kBandNames);
}

void sizesAndCases(benchmark::internal::Benchmark* b, int cases) {
    for (const std::int64_t n : {1000, 10000, 50000, 100000, 1000000})
        for (int k = 0; k < cases; ++k) b->Args({n, k});
}

BENCHMARK(BM_CheckCall)->Apply([](auto* b) { sizesAndCases(b, 3); });
BENCHMARK(BM_CheckCallReference)
    ->Apply([](auto* b) { sizesAndCases(b, 3); }) -> Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickFill)->Apply([](auto* b) { sizesAndCases(b, 2); }) -> Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickFillReference)->Apply([](auto* b) { sizesAndCases(b, 2); }) -> Unit(benchmark::kMicrosecond);

}  // namespace
