// A log reload (ResetStats0, AddData0 once per contact, GetResult0), the summary alone and the
// removal, beside the literal algorithms and the floor of appending the same records to a
// plain array. The cost per contact must stay flat as the log grows.
#include <benchmark/benchmark.h>

#include <set>
#include <string>
#include <vector>

#include "bench/bench_log.h"
#include "bench/reference_contest.h"
#include "fake_services.h"

using namespace stats;
using stats::bench::Log;
using stats::bench::makeLog;
using stats::bench::ReferenceContest;

namespace {

// The reference's store filled without its quadratic dupe scan (set-up only, never timed).
void loadReference(ReferenceContest& ref, const Log& log) {
    std::set<std::string> seen;
    for (const QsoParams& p : log.qsos) {
        if (acceptanceOf(p.band, p.mode, p.numberSent, p.numberReceived) != Rejection::kNone) continue;
        if (std::find(ref.bandList.begin(), ref.bandList.end(), p.band) == ref.bandList.end())
            ref.bandList.emplace_back(p.band);
        CInfo r = ReferenceContest::record(p);
        r.isDupe = seen.insert(r.call + '\n' + r.band + '\n' + r.mode).second ? 0 : 1;
        ref.store.push_back(std::move(r));
    }
}

void perQso(benchmark::State& state, std::size_t n) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
    state.counters["per_qso"] = benchmark::Counter(
        static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

struct Loaded {
    fakes::FakeServices fakes;
    Plugin plugin{fakes.services()};
    ResetParams reset;

    Loaded() {
        fakes.windows.startCreatesPanel = true;
        reset.ownCall = "UA9XX";
    }
    void load(const Log& log) {
        plugin.resetStats(reset);
        for (const QsoParams& p : log.qsos) plugin.addData(p);
    }
};

void BM_Reload(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const Log log = makeLog(n);
    Loaded l;
    int status = 0;
    for (auto _ : state) {
        l.load(log);
        benchmark::DoNotOptimize(l.plugin.getResult(&status));
    }
    perQso(state, n);
}

void BM_ReloadReference(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const Log log = makeLog(n);
    fakes::TempDir dir;
    ReferenceContest ref(dir.path() / "err.txt");
    for (auto _ : state) {
        ref.reset();
        for (const QsoParams& p : log.qsos) ref.addData(p);
        benchmark::DoNotOptimize(ref.getResult());
    }
    perQso(state, n);
}

// The floor: the same records appended to a plain array, nothing checked, indexed or written.
void BM_ReloadFloor(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const Log log = makeLog(n);
    std::vector<CInfo> store;
    for (auto _ : state) {
        store.clear();
        for (const QsoParams& p : log.qsos) store.push_back(ReferenceContest::record(p));
        benchmark::DoNotOptimize(store.data());
    }
    perQso(state, n);
}

void BM_GetResult(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    Loaded l;
    l.load(makeLog(n));
    int status = 0;
    for (auto _ : state) benchmark::DoNotOptimize(l.plugin.getResult(&status));
    perQso(state, n);
}

void BM_GetResultReference(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const Log log = makeLog(n);
    fakes::TempDir dir;
    ReferenceContest ref(dir.path() / "err.txt");
    loadReference(ref, log);
    for (auto _ : state) benchmark::DoNotOptimize(ref.getResult());
    perQso(state, n);
}

// RemoveData0 of a contact from the middle part of the log; adding it back (untimed) keeps the
// log at its size.
template <typename Contest>
void removeLoop(benchmark::State& state, Contest& contest, const Log& log) {
    const std::size_t n = log.qsos.size();
    std::size_t k = n / 4;
    for (auto _ : state) {
        const QsoParams& q = log.qsos[k];
        benchmark::DoNotOptimize(contest.removeData(q));
        state.PauseTiming();
        contest.addData(q);
        k = k + 7919 < n * 3 / 4 ? k + 7919 : n / 4 + k % 97;
        state.ResumeTiming();
    }
}

void BM_RemoveData(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const Log log = makeLog(n);
    Loaded l;
    l.load(log);
    removeLoop(state, l.plugin, log);
}

void BM_RemoveDataReference(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const Log log = makeLog(n);
    fakes::TempDir dir;
    ReferenceContest ref(dir.path() / "err.txt");
    loadReference(ref, log);
    removeLoop(state, ref, log);
}

constexpr std::int64_t kSizes[] = {1000, 10000, 50000, 100000, 1000000};

void allSizes(benchmark::internal::Benchmark* b) {
    for (const std::int64_t n : kSizes) b->Arg(n);
}
// The literal reload is quadratic: 50k contacts take seconds already.
void referenceSizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(10000)->Arg(50000);
}

BENCHMARK(BM_Reload)->Apply(allSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReloadReference)->Apply(referenceSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReloadFloor)->Apply(allSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetResult)->Apply(allSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetResultReference)->Apply(allSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RemoveData)->Apply(allSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RemoveDataReference)->Apply(allSizes)->Unit(benchmark::kMicrosecond);

}  // namespace
