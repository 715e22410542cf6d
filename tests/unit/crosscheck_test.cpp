// The cross-check's matching on synthetic contests: every injected fault found with its verdict
// and nothing else flagged, whatever the order of the logs and their QSOs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <cstdio>
#include <random>
#include <tuple>

#include "tools/crosscheck/contest_generator.h"
#include "tools/crosscheck/crosscheck.h"

using namespace crosscheck;

namespace {

using Flag = std::tuple<std::string, std::uint64_t, Verdict>;

std::vector<Flag> flagged(const std::vector<StationLog>& logs, const std::vector<std::vector<QsoCheck>>& checks) {
    std::vector<Flag> out;
    for (std::size_t a = 0; a < logs.size(); ++a)
        for (std::size_t i = 0; i < logs[a].qsos.size(); ++i)
            if (!verdictName(checks[a][i].verdict).empty())
                out.emplace_back(logs[a].call, logs[a].qsos[i].line, checks[a][i].verdict);
    std::sort(out.begin(), out.end());
    return out;
}

CheckOptions periodOptions(unsigned workers) {
    CheckOptions o;
    o.workers = workers;
    o.start = kFirstDay;
    o.end = kLastDay;
    return o;
}

// Exact kinds: every injected fault flagged with its verdict and credit, nothing else (a missed
// inferred bust of a call stays UNIQUE). Inferred kinds: precision and recall over all seeds.
TEST(CrossCheck, FindsEveryInjectedFaultAndNothingElse) {
    struct Case {
        std::size_t stations, qsos;
        std::uint64_t seed;
        double rate;
        unsigned workers;
    } cases[] = {{2, 30, 1, 0.05, 1}, {12, 60, 2, 0.05, 2}, {40, 150, 3, 0.03, 2}, {25, 80, 4, 0.1, 1},
                 {80, 200, 5, 0.03, 2}};
    // Per inferred kind: flagged, flagged rightly, injected.
    std::map<Verdict, std::array<std::size_t, 3>> inferredCounts;
    for (const Case& c : cases) {
        SyntheticContest contest = generateContest({c.stations, c.qsos, c.seed, c.rate});
        std::vector<Flag> expected, inferred;
        for (const auto& f : contest.faults)
            (isInferred(f.verdict) ? inferred : expected).emplace_back(f.call, f.line, f.verdict);
        std::sort(expected.begin(), expected.end());
        std::size_t kinds[kVerdictCount] = {};
        for (const auto& f : contest.faults) ++kinds[static_cast<int>(f.verdict)];

        const CheckResult result = crossCheck(contest.logs, periodOptions(c.workers));
        const std::vector<Flag> all = flagged(contest.logs, result.checks);
        std::vector<Flag> exact;
        for (const Flag& f : all) {
            const bool missedBust = std::get<2>(f) == Verdict::kUnique &&
                                    std::count(inferred.begin(), inferred.end(),
                                               Flag{std::get<0>(f), std::get<1>(f), Verdict::kBustedCallInferred});
            if (isInferred(std::get<2>(f))) {
                ++inferredCounts[std::get<2>(f)][0];
                inferredCounts[std::get<2>(f)][1] += std::count(inferred.begin(), inferred.end(), f);
            } else if (!missedBust) {
                exact.push_back(f);
            }
        }
        for (const Flag& f : inferred) ++inferredCounts[std::get<2>(f)][2];
        EXPECT_EQ(exact, expected) << "seed " << c.seed;
        for (std::size_t a = 0; a < contest.logs.size(); ++a) {
            // Offsets are relative: the logs' clocks agree with the median log's.
            EXPECT_NEAR(result.clockOffsets[a] - contest.clockOffsets[a],
                        result.clockOffsets[0] - contest.clockOffsets[0], 60) << contest.logs[a].call;
            for (std::size_t i = 0; i < contest.logs[a].qsos.size(); ++i) {
                const auto f = std::find_if(contest.faults.begin(), contest.faults.end(), [&](const InjectedFault& x) {
                    return x.call == contest.logs[a].call && x.line == contest.logs[a].qsos[i].line;
                });
                if (f != contest.faults.end() && !isInferred(f->verdict) && result.checks[a][i].verdict == f->verdict) {
                    EXPECT_EQ(result.checks[a][i].credited, !f->lost) << f->call << " line " << f->line;
                }
            }
        }
        if (c.stations >= 40)
            for (std::size_t v = 0; v < kVerdictCount; ++v)
                if (v != static_cast<std::size_t>(Verdict::kVerified) && v != static_cast<std::size_t>(Verdict::kNoLog) &&
                    v != static_cast<std::size_t>(Verdict::kNoNumber) &&
                    v != static_cast<std::size_t>(Verdict::kUniqueOnBand)) {
                    EXPECT_GT(kinds[v], 0u) << verdictName(static_cast<Verdict>(v)) << " seed " << c.seed;
                }

        // The same verdicts with the logs and their QSOs in another order.
        std::mt19937 rng(static_cast<unsigned>(c.seed));
        std::shuffle(contest.logs.begin(), contest.logs.end(), rng);
        for (auto& log : contest.logs) std::shuffle(log.qsos.begin(), log.qsos.end(), rng);
        EXPECT_EQ(flagged(contest.logs, crossCheck(contest.logs, periodOptions(2)).checks), all)
            << "shuffled, seed " << c.seed;
    }
    // Recall is what docs/performance.md reports; the floor only catches an inference that stopped working.
    for (const auto& [kind, n] : inferredCounts) {
        const double precision = n[0] ? static_cast<double>(n[1]) / static_cast<double>(n[0]) : 1.0;
        const double recall = static_cast<double>(n[1]) / static_cast<double>(n[2]);
        EXPECT_GE(precision, 0.98) << verdictName(kind);
        EXPECT_GE(recall, 0.4) << verdictName(kind);
        std::printf("%s: %zu injected, %zu flagged, %zu right: precision %.3f, recall %.3f\n",
                    std::string(verdictName(kind)).c_str(), n[2], n[0], n[1], precision, recall);
    }
}

// One log's clock shifted by up to an hour: the same verdicts everywhere, the shift in its offset.
TEST(CrossCheck, AShiftedClockChangesNoVerdict) {
    const SyntheticContest contest = generateContest({30, 100, 8, 0.03});
    const CheckResult before = crossCheck(contest.logs, periodOptions(2));
    for (const std::int64_t minutes : {-60, -7, 13, 60}) {
        for (std::size_t a : {std::size_t{0}, std::size_t{17}}) {
            std::vector<StationLog> logs = contest.logs;
            for (Qso& q : logs[a].qsos) q.time += minutes * 60;
            const CheckResult after = crossCheck(logs, periodOptions(2));
            EXPECT_EQ(flagged(logs, after.checks), flagged(contest.logs, before.checks)) << minutes << " min, log " << a;
            EXPECT_NEAR(after.clockOffsets[a] - before.clockOffsets[a], minutes * 60, 60) << minutes << " min, log " << a;
        }
    }
}

TEST(CrossCheck, PairsNearestFirstWithinTheWindow) {
    // A logs B twice three minutes apart, B logs A once: the second is a dupe. Four minutes apart
    // with a number different is outside the default window. A busted call near two logged calls
    // is inferred from the numbers.
    auto q = [](std::uint64_t line, std::int64_t minute, const char* call, const char* sent, const char* received) {
        return Qso{line, minute * 60, "40m", "CW", call, sent, received};
    };
    struct Case {
        std::vector<StationLog> logs;
        std::vector<std::vector<Verdict>> want;
    } cases[] = {
        {{{"A1AA", {q(1, 10, "B1BB", "1", "7"), q(2, 13, "B1BB", "2", "8")}}, {"B1BB", {q(1, 12, "A1AA", "7", "001")}}},
         {{Verdict::kVerified, Verdict::kDupe}, {Verdict::kVerified}}},
        {{{"A1AA", {q(1, 10, "B1BB", "1", "7")}}, {"B1BB", {q(1, 14, "A1AA", "7", "2")}}},
         {{Verdict::kNotInLog}, {Verdict::kNotInLog}}},
        {{{"A1AA", {q(1, 10, "B1BC", "1", "7")}}, {"B1BB", {q(1, 11, "A1AA", "7", "2")}}},
         {{Verdict::kBustedCall}, {Verdict::kBustedExchange}}},
        {{{"A1AA", {q(1, 10, "B1B", "1", "7")}}, {"B1BB", {q(1, 11, "A1AA", "7", "1")}}, {"B1BC", {q(1, 12, "A1AA", "5", "1")}}},
         {{Verdict::kBustedCallInferred}, {Verdict::kNotInLog}, {Verdict::kNotInLog}}},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const auto checks = crossCheck(cases[k].logs, {}).checks;
        for (std::size_t a = 0; a < checks.size(); ++a)
            for (std::size_t i = 0; i < checks[a].size(); ++i)
                EXPECT_EQ(checks[a][i].verdict, cases[k].want[a][i]) << "case " << k << " log " << a << " qso " << i;
    }
}

TEST(CrossCheck, OneEditAndNumbers) {
    for (auto [a, b, near] : {std::tuple{"K1AB", "K1AC", true}, {"K1AB", "K1ABC", true}, {"K1AB", "1AB", true},
                              {"K1AB", "K1AB", false}, {"K1AB", "K1BA", false}, {"", "K", true}, {"K1", "K123", false}})
        EXPECT_EQ(oneEditApart(a, b), near) << a << " " << b;
    for (auto [a, b, same] : {std::tuple{"007", "7", true}, {"0", "000", true}, {"12", "21", false},
                              {"5a", "5A", true}, {"", "0", false}})
        EXPECT_EQ(sameNumber(a, b), same) << a << " " << b;
}

}  // namespace
