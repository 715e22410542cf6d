// The committee's matching on synthetic contests of 1,000 logs with 100 to 1,000 QSOs each: the
// time per QSO as the contest grows, and the share of injected faults found (recall) and of flags that are faults
// (precision), both 1 when the cross-check is right.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "tools/crosscheck/contest_generator.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/exchange.h"

namespace {

using namespace crosscheck;

const SyntheticContest& contest(std::size_t qsosPerLog) {
    static std::map<std::size_t, SyntheticContest> made;
    auto it = made.find(qsosPerLog);
    if (it == made.end()) it = made.emplace(qsosPerLog, generateContest({1000, qsosPerLog, 7, 0.01})).first;
    return it->second;
}

void BM_CrossCheck(benchmark::State& state) {
    const SyntheticContest& c = contest(static_cast<std::size_t>(state.range(0)));
    std::vector<std::vector<QsoCheck>> checks;
    for (auto _ : state) {
        CheckOptions options;
        options.contest = &saTolven();
        options.workers = static_cast<unsigned>(state.range(1));
        options.start = kFirstDay;
        options.end = kLastDay;
        checks = crossCheck(c.logs, options).checks;
        benchmark::DoNotOptimize(checks.data());
    }
    using Flag = std::tuple<std::string, std::uint64_t, Verdict>;
    std::vector<Flag> found, injected;
    for (std::size_t a = 0; a < c.logs.size(); ++a)
        for (std::size_t i = 0; i < checks[a].size(); ++i)
            if (!verdictName(checks[a][i].verdict).empty())
                found.emplace_back(c.logs[a].call, c.logs[a].qsos[i].line, checks[a][i].verdict);
    for (const auto& f : c.faults) injected.emplace_back(f.call, f.line, f.verdict);
    std::sort(found.begin(), found.end());
    std::sort(injected.begin(), injected.end());
    std::vector<Flag> right;
    std::set_intersection(found.begin(), found.end(), injected.begin(), injected.end(), std::back_inserter(right));
    state.counters["qsos"] = static_cast<double>(c.qsoCount);
    state.counters["faults"] = static_cast<double>(injected.size());
    state.counters["precision"] = found.empty() ? 1.0 : static_cast<double>(right.size()) / static_cast<double>(found.size());
    state.counters["recall"] = injected.empty() ? 1.0 : static_cast<double>(right.size()) / static_cast<double>(injected.size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(c.qsoCount));
}
BENCHMARK(BM_CrossCheck)
    ->ArgsProduct({{100, 300, 1000}, {1, 2}})
    ->ArgNames({"qsos_per_log", "workers"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
