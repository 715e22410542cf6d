// The cross-check's matching on synthetic contests: every injected fault found with its verdict
// and nothing else flagged, whatever the order of the logs and their QSOs.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(CrossCheck, FindsEveryInjectedFaultAndNothingElse) {
    struct Case {
        std::size_t stations, qsos;
        std::uint64_t seed;
        double rate;
        unsigned workers;
    } cases[] = {{2, 30, 1, 0.05, 1}, {12, 60, 2, 0.05, 2}, {40, 150, 3, 0.03, 2}, {25, 80, 4, 0.1, 1}};
    for (const Case& c : cases) {
        SyntheticContest contest = generateContest({c.stations, c.qsos, c.seed, c.rate});
        std::vector<Flag> expected;
        for (const auto& f : contest.faults) expected.emplace_back(f.call, f.line, f.verdict);
        std::sort(expected.begin(), expected.end());
        std::size_t kinds[6] = {};
        for (const auto& f : contest.faults) ++kinds[static_cast<int>(f.verdict)];

        const auto checks = crossCheck(contest.logs, {180, c.workers});
        EXPECT_EQ(flagged(contest.logs, checks), expected) << "seed " << c.seed;
        for (Verdict v : {Verdict::kNotInLog, Verdict::kBustedCall, Verdict::kBustedExchange, Verdict::kUnique}) {
            if (c.stations >= 12) {
                EXPECT_GT(kinds[static_cast<int>(v)], 0u) << verdictName(v) << " seed " << c.seed;
            }
        }

        // The same verdicts with the logs and their QSOs in another order.
        std::mt19937 rng(static_cast<unsigned>(c.seed));
        std::shuffle(contest.logs.begin(), contest.logs.end(), rng);
        for (auto& log : contest.logs) std::shuffle(log.qsos.begin(), log.qsos.end(), rng);
        EXPECT_EQ(flagged(contest.logs, crossCheck(contest.logs, {180, 2})), expected) << "shuffled, seed " << c.seed;
    }
}

TEST(CrossCheck, PairsNearestFirstWithinTheWindow) {
    // A logs B twice three minutes apart, B logs A once: the nearer QSO is matched, the other is NIL.
    // A fourth minute is outside the default window.
    auto q = [](std::uint64_t line, std::int64_t minute, const char* call, const char* sent, const char* received) {
        return Qso{line, minute * 60, "40m", "CW", call, sent, received};
    };
    struct Case {
        std::vector<StationLog> logs;
        std::vector<std::vector<Verdict>> want;
    } cases[] = {
        {{{"A1AA", {q(1, 10, "B1BB", "1", "7"), q(2, 13, "B1BB", "2", "8")}}, {"B1BB", {q(1, 12, "A1AA", "8", "002")}}},
         {{Verdict::kNotInLog, Verdict::kVerified}, {Verdict::kVerified}}},
        {{{"A1AA", {q(1, 10, "B1BB", "1", "7")}}, {"B1BB", {q(1, 14, "A1AA", "7", "1")}}},
         {{Verdict::kNotInLog}, {Verdict::kNotInLog}}},
        {{{"A1AA", {q(1, 10, "B1BC", "1", "7")}}, {"B1BB", {q(1, 11, "A1AA", "7", "2")}}},
         {{Verdict::kBustedCall}, {Verdict::kBustedExchange}}},
        {{{"A1AA", {q(1, 10, "B1B", "1", "7")}}, {"B1BB", {q(1, 11, "A1AA", "7", "1")}}, {"B1BC", {q(1, 12, "A1AA", "5", "1")}}},
         {{Verdict::kUnique}, {Verdict::kNotInLog}, {Verdict::kNotInLog}}},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const auto checks = crossCheck(cases[k].logs, {});
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
