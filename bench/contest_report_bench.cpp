// The contest report's own cost against the size of the log: counting the plug-in's answers contact by
// contact, and writing the page. The answers are made up here in the proportions of a real run
// (bench/report_cost.py times the whole tool with and without --report on a real replay).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "tools/report/contest_report.h"
#include "tools/report/report_analysis.h"
#include "tools/report/report_html.h"

namespace {

using namespace report;

struct MadeUpRun {
    std::vector<std::string> calls, hints;
    std::vector<ReportContact> contacts;
};

// Two seconds apart, one in twenty a dupe, one in 97 rejected, a new SA prefix now and then.
const MadeUpRun& run(std::size_t n) {
    static std::size_t made = 0;
    static MadeUpRun r;
    if (made == n) return r;
    made = n;
    r = {};
    r.calls.reserve(n);
    r.hints.reserve(n / 50 + 1);
    for (std::size_t i = 0; i < n; ++i) r.calls.push_back("K" + std::to_string(i % 20 == 0 ? i / 2 : i) + "X");
    for (std::size_t i = 0; i < n; i += 50) r.hints.push_back("New mult !!! P" + std::to_string(i) + " New SA Prefix !!!");
    for (std::size_t i = 0; i < n; ++i) {
        ReportContact c;
        c.when = std::chrono::sys_seconds{std::chrono::seconds{1772884800 + 2 * static_cast<long long>(i)}};
        c.record = i + 1;
        c.band = i % 3 ? "40m" : "20m";
        c.mode = i % 2 ? "CW" : "SSB";
        c.call = r.calls[i];
        c.prefix = "K1";
        c.added = i % 97 == 42 ? 0 : 1;
        c.check = i % 20 == 0 && i > 0 ? 0 : 2;
        if (c.added == 0) c.errorLines = "QSO:  7012  CW  2026-03-07 1405  CE1TLV  599  3  K1X  599     NO RX NUMBER !!!\r\n";
        if (c.check == 0) c.errorLines = "QSO:  7012  CW  2026-03-07 1405  CE1TLV  599  3  K1X  599  5   DUPE !!!\r\n";
        if (i % 50 == 0) c.hint = r.hints[i / 50];
        // Runs of 20 QSOs on one frequency between stretches of search and pounce.
        c.frequencyHz = (i / 20) % 3 ? static_cast<std::uint32_t>(7000000 + (i * 7919) % 300000)
                                     : static_cast<std::uint32_t>(7010000 + (i / 20) % 100 * 1000);
        r.contacts.push_back(c);
    }
    return r;
}

void BM_ReportCount(benchmark::State& state) {
    const MadeUpRun& r = run(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const std::size_t before = (mallinfo2().uordblks + mallinfo2().hblkhd);
        ContestReport report(r.contacts.size());
        for (const ReportContact& c : r.contacts) report.add(c);
        state.counters["heap_bytes_per_qso"] =
            static_cast<double>((mallinfo2().uordblks + mallinfo2().hblkhd) - before) / static_cast<double>(r.contacts.size());
        benchmark::DoNotOptimize(report.qsos());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReportCount)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ReportAnalysis(benchmark::State& state) {
    const MadeUpRun& r = run(static_cast<std::size_t>(state.range(0)));
    ContestReport report(r.contacts.size());
    for (const ReportContact& c : r.contacts) report.add(c);
    for (auto _ : state) benchmark::DoNotOptimize(analyseReport(report, std::chrono::minutes{30}, {}).runs.run);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReportAnalysis)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_ReportPage(benchmark::State& state) {
    const MadeUpRun& r = run(static_cast<std::size_t>(state.range(0)));
    ContestReport report(r.contacts.size());
    for (const ReportContact& c : r.contacts) report.add(c);
    ReportPageInfo info;
    info.summary = "\tSA TOLVEN CONTEST 07.03-08.03.2026\r\n\t\tContestant: CE1TLV \r\n";
    std::size_t bytes = 0;
    for (auto _ : state) bytes = reportPage(report, info).size();
    state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ReportPage)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
