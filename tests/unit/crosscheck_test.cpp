// The cross-check's matching on synthetic contests: every injected fault found with its verdict
// and nothing else flagged, whatever the order of the logs and their QSOs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <cstdio>
#include <random>
#include <sstream>
#include <string_view>
#include <tuple>
#include <utility>

#include "tools/contest/definition_file.h"
#include "tools/crosscheck/contest_generator.h"
#include "tools/crosscheck/contest_log.h"
#include "tools/crosscheck/contest_scoring.h"
#include "tools/crosscheck/crosscheck.h"
#include "tools/crosscheck/evidence.h"
#include "tools/crosscheck/match_stages.h"
#include "tools/crosscheck/qso_rows.h"
#include "tools/logs/csv_field.h"

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

// SA-TOLVEN's record, as the tools pass it.
CheckOptions tolven() {
    CheckOptions o;
    o.contest = &saTolven();
    return o;
}

CheckOptions periodOptions(unsigned workers) {
    CheckOptions o = tolven();
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
        const char* definition = nullptr;  // the contest played, by its definition; none: SA-TOLVEN
    } cases[] = {{2, 30, 1, 0.05, 1}, {12, 60, 2, 0.05, 2}, {40, 150, 3, 0.03, 2}, {25, 80, 4, 0.1, 1},
                 {80, 200, 5, 0.03, 2}, {30, 60, 6, 0.05, 2, "/contests/nrau-baltic-ssb.toml"},
                 {60, 150, 7, 0.03, 2, "/bench/general-exchange.toml"}};
    // Per inferred kind: flagged, flagged rightly, injected.
    std::map<Verdict, std::array<std::size_t, 3>> inferredCounts;
    for (const Case& c : cases) {
        const contest::ContestDefinition played =
            c.definition ? contest::readDefinition(std::string(STATS_SOURCE_DIR) + c.definition) : saTolven();
        SyntheticContest contest =
            generateContest({c.stations, c.qsos, c.seed, c.rate, c.definition ? &played : nullptr, c.rate});
        CheckOptions options = c.definition ? tolven() : periodOptions(c.workers);
        options.workers = c.workers;
        if (c.definition) options.contest = &played;
        std::vector<Flag> expected, inferred;
        for (const auto& f : contest.faults)
            (isInferred(f.verdict) ? inferred : expected).emplace_back(f.call, f.line, f.verdict);
        std::sort(expected.begin(), expected.end());
        std::size_t kinds[kVerdictCount] = {};
        for (const auto& f : contest.faults) ++kinds[static_cast<int>(f.verdict)];

        const CheckResult result = crossCheck(contest.logs, options);
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
        // A QSO line's first injected fault, found without a scan per line (the sanitizer builds run this).
        std::map<std::pair<std::string_view, std::uint64_t>, const InjectedFault*> faultAt;
        for (const InjectedFault& f : contest.faults) faultAt.emplace(std::pair{std::string_view(f.call), f.line}, &f);
        for (std::size_t a = 0; a < contest.logs.size(); ++a) {
            // Offsets are relative: the logs' clocks agree with the median log's.
            EXPECT_NEAR(result.clockOffsets[a] - contest.clockOffsets[a],
                        result.clockOffsets[0] - contest.clockOffsets[0], 60) << contest.logs[a].call;
            for (std::size_t i = 0; i < contest.logs[a].qsos.size(); ++i) {
                const auto at = faultAt.find({contest.logs[a].call, contest.logs[a].qsos[i].line});
                const InjectedFault* f = at == faultAt.end() ? nullptr : at->second;
                if (f && !isInferred(f->verdict) && result.checks[a][i].verdict == f->verdict) {
                    EXPECT_EQ(result.checks[a][i].credited, !f->lost) << f->call << " line " << f->line;
                }
            }
        }
        if (c.stations >= 40)  // (a contest of one mode has no mode mismatch)
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
        options.workers = 2;
        EXPECT_EQ(flagged(contest.logs, crossCheck(contest.logs, options).checks), all)
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
        const auto checks = crossCheck(cases[k].logs, tolven()).checks;
        for (std::size_t a = 0; a < checks.size(); ++a)
            for (std::size_t i = 0; i < checks[a].size(); ++i)
                EXPECT_EQ(checks[a][i].verdict, cases[k].want[a][i]) << "case " << k << " log " << a << " qso " << i;
    }
}

// Logs written QSO by QSO from minutes after 2026-03-07 12:00 UTC; lines count from 1 per log.
struct HandLogs {
    static constexpr std::int64_t kNoon = 1772884800;
    std::vector<StationLog> logs;
    StationLog& log(const std::string& call) {
        for (StationLog& l : logs)
            if (l.call == call) return l;
        return logs.emplace_back(StationLog{call, {}});
    }
    void add(const std::string& own, std::int64_t minute, const std::string& call, const std::string& received,
             const std::string& band = "40m", const std::string& sent = "1") {
        StationLog& l = log(own);
        l.qsos.push_back({l.qsos.size() + 1, kNoon + minute * 60, band, "SSB", call, sent, received});
    }
    const QsoCheck& check(const CheckResult& r, const std::string& own, std::uint64_t line) {
        const std::size_t a = static_cast<std::size_t>(&log(own) - logs.data());
        return r.checks[a][line - 1];
    }
    std::string note(const CheckResult& r, const std::string& own, std::uint64_t line) {
        const std::size_t a = static_cast<std::size_t>(&log(own) - logs.data());
        const QsoCheck& c = r.checks[a][line - 1];
        return c.detail > 0 ? r.notes[a][static_cast<std::size_t>(c.detail) - 1] : std::string();
    }
};

// Generated contests that relay numbers, repeat QSOs after the definition's minutes (repeats too
// soon are dupes) and make a miscopied exchange cost both stations or the miscopier alone: every fault found, and the partner of each
// miscopier scored by the rules.
TEST(CrossCheck, RepeatsRelayedNumbersAndWhoAnExchangeErrorCosts) {
    using std::chrono::hours;
    const contest::ContestDefinition relay = contest::readDefinition(STATS_GOLDEN_DIR "/relay-sprint.toml");
    contest::ContestDefinition twoParts = relay;  // two periods, each starting the dupes afresh
    const std::chrono::sys_seconds t0 = relay.periods.front().start;
    twoParts.periods = {{t0, t0 + hours(2)}, {t0 + hours(3), t0 + hours(5)}};
    twoParts.checking.dupesPerPeriod = true;
    const std::pair<const contest::ContestDefinition*, contest::Side> plays[] = {
        {&relay, contest::Side::kBoth}, {&relay, contest::Side::kOwn}, {&twoParts, contest::Side::kBoth}};
    for (const auto& [rules, side] : plays)
        for (const std::uint64_t seed : {11, 12}) {
            contest::ContestDefinition played = *rules;
            played.checking.bustedExchange.side = side;
            const SyntheticContest generated = generateContest({30, 40, seed, 0.04, &played});
            CheckOptions options;
            options.contest = &played;
            const CheckResult result = crossCheck(generated.logs, options);
            std::vector<Flag> expected, found, busts;  // busts: inferred busted calls, UNIQUE where missed
            std::size_t relayed = 0;
            for (const InjectedFault& f : generated.faults) {
                if (f.verdict == Verdict::kBustedCallInferred || !isInferred(f.verdict))
                    (isInferred(f.verdict) ? busts : expected).emplace_back(f.call, f.line, f.verdict);
                relayed += f.what.starts_with("relayed number");
            }
            for (const auto& [call, line, verdict] : flagged(generated.logs, result.checks))
                if (!isInferred(verdict) && !(verdict == Verdict::kUnique && std::count(busts.begin(), busts.end(),
                                                                                      Flag{call, line, Verdict::kBustedCallInferred})))
                    found.emplace_back(call, line, verdict);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(found, expected) << "seed " << seed;
            EXPECT_GT(relayed, 0u) << "seed " << seed;
            // A miscopier's partner, VERIFIED, pays with it when both stations pay; any other
            // VERIFIED QSO keeps its 2 points.
            const DefinitionScorer scorer(played, generated.logs, result, nullptr, false);
            std::vector<std::vector<int>> points;
            for (std::size_t k = 0; k < generated.logs.size(); ++k) points.push_back(scorer.score(k).points);
            std::size_t partners = 0;
            for (std::size_t k = 0; k < generated.logs.size(); ++k)
                for (std::size_t i = 0; i < result.checks[k].size(); ++i) {
                    const QsoCheck& c = result.checks[k][i];
                    if (c.verdict == Verdict::kBustedExchange) {
                        EXPECT_EQ(points[k][i], 0);
                        if (result.checks[c.otherLog][c.otherQso].verdict != Verdict::kVerified) continue;
                        ++partners;
                        EXPECT_EQ(points[c.otherLog][c.otherQso], side == contest::Side::kOwn ? 2 : 0);
                    } else if (c.verdict == Verdict::kVerified && !paysForPartnersMiscopy(played, result, k, i)) {
                        EXPECT_EQ(points[k][i], 2);
                    }
                }
            EXPECT_GT(partners, 0u) << "seed " << seed;
        }
}

// K8GL (no log) numbers per band: its 20 m numbers stand though its 40 m ones are far lower, and
// the lone 012 between 133 and 138 on 40 m is set aside. 9A3YT (no log) is the station behind a
// unique only where its numbers fit and no QSO of its own says otherwise. A call other logs hold
// only on other bands is UNIQUE ON THIS BAND.
TEST(CrossCheck, InfersFromTheSequenceEachCopyBelongsTo) {
    HandLogs h;
    const std::pair<int, const char*> fortyMetres[] = {{0, "128"}, {2, "131"}, {4, "133"}, {7, "012"}, {11, "138"}, {13, "140"}};
    for (std::size_t k = 0; k < std::size(fortyMetres); ++k)
        h.add("L" + std::to_string(k + 1) + "AA", fortyMetres[k].first, "K8GL", fortyMetres[k].second);
    h.add("L7AA", 8, "K8GL", "442", "20m");
    h.add("L8AA", 28, "K8GL", "460", "20m");
    for (const auto& [log, minute, number] : {std::tuple{"L1AA", 0, "10"}, {"L2AA", 4, "14"}, {"L3AA", 8, "18"}, {"L5AA", 12, "22"}, {"L8AA", 5, "15"}})
        h.add(log, minute, "9A3YT", number, "20m");
    h.add("L6AA", 6, "9A3YC", "16", "20m");  // fits: a bust of 9A3YT
    h.add("L7AA", 6, "9A3YD", "14", "20m");  // 9A3YT gave 14 to L2AA
    h.add("L8AA", 6, "9A3YE", "16", "20m");  // L8AA worked 9A3YT a minute before
    h.add("L1AA", 30, "ZZ9ZZ", "5");
    h.add("L2AA", 31, "ZZ9ZZ", "6", "15m");
    h.add("L3AA", 32, "VP8WX", "7");
    const CheckResult r = crossCheck(h.logs, tolven());
    const struct {
        const char* log;
        std::uint64_t line;
        Verdict verdict;
        const char* note;  // a part of the evidence, "" for none
    } want[] = {
        {"L4AA", 1, Verdict::kBustedExchangeInferred, "numbering (from the copies): per band; on 40m the logs copied 131 at 2026-03-07 1202 (L2AA)"},
        {"L1AA", 1, Verdict::kNoLog, ""},   {"L7AA", 1, Verdict::kNoLog, ""}, {"L8AA", 1, Verdict::kNoLog, ""},
        {"L6AA", 2, Verdict::kBustedCallInferred, "-> 9A3YT"},
        {"L7AA", 2, Verdict::kUnique, "not it: gave 14 at 2026-03-07 1204 to L2AA"},
        {"L8AA", 3, Verdict::kUnique, "not it: L8AA worked it too at 2026-03-07 1205"},
        {"L1AA", 3, Verdict::kUniqueOnBand, "ZZ9ZZ is in no other log on 40m; 1 other log(s) hold it on 15m"},
        {"L2AA", 3, Verdict::kOutOfBand, ""},
        {"L3AA", 3, Verdict::kUnique, ""},
    };
    for (const auto& w : want) {
        EXPECT_EQ(verdictName(h.check(r, w.log, w.line).verdict), verdictName(w.verdict)) << w.log << " line " << w.line;
        EXPECT_NE(h.note(r, w.log, w.line).find(w.note), std::string::npos) << h.note(r, w.log, w.line);
    }
    std::size_t inferred = 0;
    for (const auto& checks : r.checks)
        for (const QsoCheck& c : checks) inferred += isInferred(c.verdict);
    EXPECT_EQ(inferred, 2u);
}

// W1XYA and W1XYB fit the unique W1XYZ equally well: no verdict, though W1XYZZ, which fits in
// fewer logs, is weighed after them.
TEST(CrossCheck, ATieForTheBustedCallStandsAfterAWeakerCandidate) {
    HandLogs h;
    h.add("L9AA", 10, "W1XYZ", "20");
    for (const auto& [log, minute, call, number] : {std::tuple{"L1AA", 8, "W1XYA", "18"}, {"L2AA", 12, "W1XYA", "22"},
                                                    {"L3AA", 8, "W1XYB", "18"}, {"L4AA", 12, "W1XYB", "22"},
                                                    {"L5AA", 8, "W1XYZZ", "19"}, {"L6AA", 40, "W1XYZZ", "60"}})
        h.add(log, minute, call, number);
    const CheckResult r = crossCheck(h.logs, tolven());
    EXPECT_EQ(verdictName(h.check(r, "L9AA", 1).verdict), verdictName(Verdict::kUnique)) << h.note(r, "L9AA", 1);
}

// A log of 65,536 made-up bands before them does not make K8GL's 20 m copy one of 40 m, where it
// would break the sequence.
TEST(CrossCheck, MadeUpBandsTakeNoRealBandsPlace) {
    HandLogs h;
    for (int k = 0; k < 0x10000; ++k) h.add("G1AA", 0, "G2GG", "", k ? "b" + std::to_string(k) : "40m");
    for (const auto& [log, minute, band, number] : {std::tuple{"L1AA", 0, "40m", "128"}, {"L2AA", 2, "40m", "131"},
                                                    {"L3AA", 4, "40m", "133"}, {"L4AA", 11, "40m", "138"},
                                                    {"L5AA", 13, "40m", "140"}, {"L6AA", 8, "20m", "442"}, {"L7AA", 28, "20m", "460"}})
        h.add(log, minute, "K8GL", number, band);
    EXPECT_EQ(verdictName(h.check(crossCheck(h.logs, tolven()), "L6AA", 1).verdict), "");
}

// A log 7 minutes fast keeps the QSO it made at 23:56 on the period's last day, which it logged
// at 00:03 the day after.
TEST(CrossCheck, ThePeriodIsCheckedOnTheCorrectedTime) {
    HandLogs h;
    int serial[3] = {};
    const char* calls[] = {"P1FAST", "Q1OK", "R1OK"};
    auto work = [&](int a, int b, std::int64_t minute) {
        const std::string sa = std::to_string(++serial[a]), sb = std::to_string(++serial[b]);
        h.add(calls[a], minute + (a == 0 ? 7 : 0), calls[b], sb, "40m", sa);
        h.add(calls[b], minute + (b == 0 ? 7 : 0), calls[a], sa, "40m", sb);
    };
    work(0, 1, 0);
    work(0, 2, 30);
    work(1, 2, 60);
    h.add(calls[0], 11 * 60 + 56 + 7, calls[1], "9", "20m", "9");
    h.add(calls[1], 11 * 60 + 56, calls[0], "9", "20m", "9");
    CheckOptions options = tolven();
    options.start = options.end = kFirstDay;
    const CheckResult r = crossCheck(h.logs, options);
    for (const auto& checks : r.checks)
        for (const QsoCheck& c : checks) EXPECT_EQ(verdictName(c.verdict), "");
    EXPECT_EQ(r.clockOffsets[0] - r.clockOffsets[1], 7 * 60);
}

// Repeats after some minutes and dupes per period, judged in the log's order (the plug-in's way)
// and after the matching (the first the other log confirms counts): each of A1AA's QSOs with
// B1BB gets the verdict, the QSO it repeats and the minutes from that one.
TEST(CrossCheck, RepeatsAndDupesPerPeriod) {
    using namespace std::chrono;
    struct Case {
        const char* name;
        std::optional<int> repeatAfter;
        bool perPeriod, byOrder;
        std::vector<std::pair<int, bool>> qsos;  // minute after noon, B1BB logs it too
        std::vector<std::tuple<Verdict, int, int>> want;  // verdict, QSO repeated (-1 none), minutes
        int clock = 0;  // minutes A1AA's clock is ahead (C1CC, exact with B1BB, says whose is right)
    } cases[] = {
        {"repeat after 30, in order", 30, false, true, {{0, true}, {20, true}, {35, true}, {51, true}},
         {{Verdict::kVerified, -1, 0}, {Verdict::kDupe, 0, 20}, {Verdict::kVerified, -1, 0}, {Verdict::kDupe, 2, 16}}},
        {"repeat after 30, the confirmed counts", 30, false, false, {{0, false}, {10, true}, {45, true}, {50, true}},
         {{Verdict::kDupe, 1, -10}, {Verdict::kVerified, -1, 0}, {Verdict::kVerified, -1, 0}, {Verdict::kDupe, 2, 5}}},
        {"no repeat, the confirmed counts", std::nullopt, false, false, {{0, false}, {50, true}, {100, true}},
         {{Verdict::kDupe, 1, -50}, {Verdict::kVerified, -1, 0}, {Verdict::kDupe, 1, 50}}},
        {"each period afresh", std::nullopt, true, false, {{0, true}, {50, true}, {70, true}, {100, true}},
         {{Verdict::kVerified, -1, 0}, {Verdict::kDupe, 0, 50}, {Verdict::kVerified, -1, 0}, {Verdict::kDupe, 2, 30}}},
        {"each period afresh, in order", std::nullopt, true, true, {{0, true}, {50, true}, {70, true}},
         {{Verdict::kVerified, -1, 0}, {Verdict::kDupe, 0, 50}, {Verdict::kVerified, -1, 0}}},
        {"each period afresh, a slow clock's periods", std::nullopt, true, true, {{15, true}, {65, true}, {80, true}},
         {{Verdict::kVerified, -1, 0}, {Verdict::kVerified, -1, 0}, {Verdict::kDupe, 1, 15}}, -10},
    };
    const sys_seconds noon{seconds{HandLogs::kNoon}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        contest::ContestDefinition d = saTolven();
        d.periods = {{noon, noon + 1h}, {noon + 1h, noon + 2h}};
        d.checking.repeatAfterMinutes = c.repeatAfter;
        d.checking.dupesPerPeriod = c.perPeriod;
        HandLogs h;
        for (std::size_t i = 0; i < c.qsos.size(); ++i) {
            const std::string sa = std::to_string(i + 1), sb = std::to_string(i + 101);
            h.add("A1AA", c.qsos[i].first + c.clock, "B1BB", sb, "40m", sa);
            if (c.qsos[i].second) h.add("B1BB", c.qsos[i].first, "A1AA", sa, "40m", sb);
        }
        for (int k = 0; c.clock && k < 3; ++k) {
            const std::string sb = std::to_string(k + 201), sc = std::to_string(k + 301);
            h.add("B1BB", 20 + k, "C1CC", sc, "20m", sb);
            h.add("C1CC", 20 + k, "B1BB", sb, "20m", sc);
        }
        CheckOptions options;
        options.contest = &d;
        options.dupesByOrder = c.byOrder;
        const CheckResult r = crossCheck(h.logs, options);
        for (std::size_t i = 0; i < c.want.size(); ++i) {
            const QsoCheck& got = h.check(r, "A1AA", i + 1);
            const auto [verdict, repeated, minutes] = c.want[i];
            EXPECT_EQ(got.verdict, verdict) << "QSO " << i;
            if (verdict == Verdict::kDupe) {
                EXPECT_EQ(std::tuple(static_cast<int>(got.otherQso), got.detail), std::tuple(repeated, minutes));
            }
        }
        if (c.repeatAfter && !c.byOrder) {
            const std::vector<LineTexts> texts(h.logs.size());
            const EvidenceWriter writer(h.logs, r, texts, "", d);
            EXPECT_EQ(writer.evidence(0, 3), "of the QSO at 1245 (line 3), 5 minutes before: (line 3)");
            EXPECT_EQ(writer.evidence(0, 0), "of the QSO at 1210 (line 2), 10 minutes later: (line 2)");
        }
    }
}

// Repeats after 30 minutes, a busted call costing both: the QSO whose numbers agree pairs before the
// nearest; one on a band the contest lacks is matched, then set aside; the innocent side of a busted
// call and a repeat the other log puts further apart say so.
TEST(CrossCheck, PairsByNumbersAndNamesWhatTheOtherLogDid) {
    const struct {
        const char* lines;  // per QSO: own call, minute, call, sent, received, band; "/" between
        std::vector<std::tuple<const char*, int, const char*, const char*>> want;  // line, label, evidence
    } cases[] = {
        {"A1AA 1 B1BB 5 9 40m / A1AA 3 B1BB 6 9 40m / B1BB 1 A1AA 9 6 40m",
         {{"A1AA", 1, "DUPE", "(line 2)"}, {"A1AA", 2, "VERIFIED", ""}, {"B1BB", 1, "VERIFIED", ""}}},
        {"A1AA 0 B1BB 5 9 15m / B1BB 1 A1AA 9 5 40m / A1AA 9 C1CC 6 9 15m / C1CC 9 A1AA 9 7 40m",
         {{"A1AA", 1, "OUT OF BAND", "band 15m"}, {"B1BB", 1, "VERIFIED", ""}, {"C1CC", 1, "NIL", ""}}},
        {"A1AA 0 B1BX 5 9 40m / B1BB 0 A1AA 9 5 40m",
         {{"A1AA", 1, "BUSTED CALL", "B1BX is B1BB"},
          {"B1BB", 1, "VERIFIED (lost: the other station miscopied the call)", "A1AA copied B1BB as B1BX"}}},
        {"A1AA 1 B1BB 5 9 40m / A1AA 30 B1BB 6 10 40m / B1BB 0 A1AA 9 5 40m / B1BB 30 A1AA 10 6 40m",
         {{"A1AA", 2, "DUPE", "(line 1); B1BB logged the two at 1200 and 1230, 30 minutes apart"},
          {"B1BB", 2, "VERIFIED", ""}}},
    };
    contest::ContestDefinition d = saTolven();
    d.checking.repeatAfterMinutes = 30;
    d.checking.bustedCall.side = contest::Side::kBoth;
    const CheckOptions options{.contest = &d, .dupesByOrder = false};
    for (const auto& c : cases) {
        HandLogs h;
        std::istringstream in(c.lines);
        std::string own, call, sent, received, band, slash;
        for (int minute; in >> own >> minute >> call >> sent >> received >> band; in >> slash)
            h.add(own, minute, call, received, band, sent);
        const CheckResult r = crossCheck(h.logs, options);
        std::vector<std::vector<int>> points;
        for (std::size_t k = 0; k < h.logs.size(); ++k)
            points.push_back(DefinitionScorer(d, h.logs, r, nullptr, false).score(k).points);
        const std::vector<LineTexts> texts(h.logs.size());
        const EvidenceWriter writer(h.logs, r, texts, "", d, &points);
        for (const auto& [own, line, label, evidence] : c.want) {
            const std::size_t k = static_cast<std::size_t>(&h.log(own) - h.logs.data());
            EXPECT_EQ(writer.label(k, line - 1), label) << own << " line " << line;
            EXPECT_NE(writer.evidence(k, line - 1).find(evidence), std::string::npos) << evidence;
        }
    }
}

// The clock offsets alone, from exact matches given by hand: medians, so that a QSO logged late
// moves nothing, and the median log taken as right.
TEST(CrossCheck, ClockOffsetsFromTheExactMatches) {
    const std::vector<StationLog> logs = {{"A1AA", {}}, {"B1BB", {}}, {"C1CC", {}}};
    const CheckOptions options = tolven();
    match::Matching m(logs, options, saTolven());
    m.records[0].exact = {{1, 120}, {1, 120}, {1, 600}};
    m.records[1].exact = {{0, -120}, {0, -120}, {0, -600}, {2, 60}, {2, 60}};
    m.records[2].exact = {{1, -60}, {1, -60}};
    match::solveClockOffsets(m);
    EXPECT_EQ(m.result.clockOffsets, (std::vector<std::int64_t>{120, 0, -60}));
    EXPECT_EQ(m.result.offsetMatches, (std::vector<std::uint32_t>{3, 5, 2}));
}

// The generator's logs number as the generator made them, and the cross-check reads that back.
TEST(CrossCheck, ReadsEachLogsNumbering) {
    const SyntheticContest contest = generateContest({40, 150, 3, 0.03});
    std::size_t kinds[3] = {};
    for (std::size_t a = 0; a < contest.logs.size(); ++a) {
        EXPECT_EQ(numberingOfLog(contest.logs[a]), contest.numbering[a]) << contest.logs[a].call;
        ++kinds[static_cast<std::size_t>(contest.numbering[a])];
    }
    for (const std::size_t k : kinds) EXPECT_GT(k, 0u);
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

namespace {

contest::ContestDefinition nrauSsb() {
    return contest::readDefinition(std::string(STATS_SOURCE_DIR) + "/contests/nrau-baltic-ssb.toml");
}

}  // namespace

// A QSO line in the definition's layout: its fields by place, a transmitter id after them, a band
// designator for the frequency; a line of another layout refused with its count of fields.
TEST(CrossCheck, ReadsAQsoLineByTheContestsLayout) {
    const contest::ContestDefinition nrau = nrauSsb();
    const ExchangeLayout layout(nrau);
    const struct {
        const char* value;
        const char* band;  // "" when refused
        const char* received;
        const char* problem;
    } cases[] = {
        {"3750 PH 2022-01-09 0631 es1aa 59 001 TL ly2bb 59 005 UT", "80m", "59 005 UT", ""},
        {"7000 PH 2022-01-09 0631 ES1AA 59 001 TL LY2BB 59 005 UT 1", "40m", "59 005 UT", ""},
        {"7 PH 2022-01-09 0631 ES1AA 59 0001 TL LY2BB 59 05 ut", "40m", "59 05 ut", ""},
        {"3750 PH 2022-01-09 0631 ES1AA 59 001 LY2BB 59 005", "", "", "10 fields where a QSO line of NRAU-BALTIC-SSB has 12"},
        {"3750 PH 2022-01-09 0631 ES1AA 59 001 TL LY2BB 59 005 UT 1 2", "", "", "14 fields where"},
        {"3750 PH 2022-01-32 0631 ES1AA 59 001 TL LY2BB 59 005 UT", "", "", "date '2022-01-32'"},
    };
    for (const auto& c : cases) {
        Qso q;
        std::string problem;
        EXPECT_EQ(contestQso(c.value, nrau, layout, q, problem), *c.band != 0) << c.value << ": " << problem;
        EXPECT_TRUE(problem.starts_with(c.problem)) << problem;
        if (!*c.band) continue;
        EXPECT_EQ(q.band, c.band);
        EXPECT_EQ(q.mode, "SSB");
        EXPECT_EQ(q.call, "LY2BB");
        EXPECT_EQ(q.receivedExchange, c.received);
        EXPECT_EQ(q.received, exchangeField(c.received, 1));
    }
}

// A layout without signal reports, however padded; a relayed number compared as a number.
TEST(CrossCheck, ReadsALineWithoutAReport) {
    const contest::ContestDefinition relay = contest::readDefinition(STATS_GOLDEN_DIR "/relay-sprint.toml");
    const ExchangeLayout layout(relay);
    Qso own, other;
    std::string problem;
    ASSERT_TRUE(contestQso("  3527 CW 2016-08-20 0805 LZ0AA     009 006     LZ0DM     004 011   ", relay, layout, own,
                           problem));
    ASSERT_TRUE(contestQso("3527 CW 2016-08-20 0805 LZ0DM 4 11 LZ0AA 9 7", relay, layout, other, problem));
    EXPECT_EQ(own.band + own.call + own.sent + own.received + own.receivedExchange, "80mLZ0DM009004004 011");
    EXPECT_FALSE(layout.mismatch(own, other));
    EXPECT_EQ(layout.mismatch(other, own)->copied, "7");
}

// An ADIF record by the definition: the serial and the county in the string fields, or the serial
// in the number fields and the county in the strings; a record whose strings hold less is skipped.
TEST(CrossCheck, ReadsAnAdifRecordByTheContestsExchange) {
    const contest::ContestDefinition nrau = nrauSsb();
    const std::string head = "<CALL:5>ly2bb <QSO_DATE:8>20220109 <TIME_ON:4>0631 <BAND:3>80m <MODE:3>SSB "
                             "<RST_SENT:2>59 <RST_RCVD:2>57 ";
    const struct {
        const char* exchange;
        const char* sent;  // "" when skipped
        const char* received;
    } cases[] = {
        {"<STX_STRING:6>001 TL <SRX_STRING:6>005 UT", "59 001 TL", "57 005 UT"},
        {"<STX:1>1 <STX_STRING:2>TL <SRX:2>05 <SRX_STRING:2>UT", "59 1 TL", "57 05 UT"},
        {"<STX:1>1 <STX_STRING:6>002 TL <SRX_STRING:3>005", "", ""},
    };
    for (const auto& c : cases) {
        std::istringstream in(head + c.exchange + " <EOR>");
        std::vector<Qso> qsos;
        std::size_t skipped = 0;
        std::string notes;
        ASSERT_TRUE(readContestAdif(in, "x.adi", nrau, qsos, skipped, [&](const std::string& n) { notes += n; }));
        ASSERT_EQ(qsos.size(), *c.sent ? 1u : 0u) << notes;
        EXPECT_EQ(skipped, *c.sent ? 0u : 1u);
        if (qsos.empty()) continue;
        EXPECT_EQ(qsos[0].call, "LY2BB");
        EXPECT_EQ(qsos[0].sentExchange, c.sent);
        EXPECT_EQ(qsos[0].receivedExchange, c.received);
        EXPECT_EQ(qsos[0].received, exchangeField(c.received, 1));
    }
}

// A station that sent no log counts from ten other logs: its QSOs get one point then, and its
// county a multiplier where the contest lists it; a county its own log confirms counts unlisted.
TEST(CrossCheck, ScoresByTheDefinition) {
    const contest::ContestDefinition nrau = nrauSsb();
    for (const std::size_t holders : {std::size_t{10}, std::size_t{11}}) {
        HandLogs h;
        for (std::size_t k = 0; k < holders; ++k) {
            const std::string own = "L" + std::to_string(k + 1) + "AA";
            h.add(own, 10 + static_cast<std::int64_t>(k), "YL9ZZ", std::to_string(k + 1) + " RR");
            h.add(own, 50 + static_cast<std::int64_t>(k), "ZZ1ZZ", std::to_string(k + 1) + " QQ");
        }
        h.add("L1AA", 90, "L2AA", "1 VF", "40m", "1 TL");
        h.add("L2AA", 90, "L1AA", "1 TL", "40m", "1 VF");
        for (StationLog& log : h.logs)
            for (Qso& q : log.qsos) {
                q.sentExchange = "59 " + q.sent;
                q.receivedExchange = "59 " + q.received;
                q.received = q.received.substr(0, q.received.find(' '));
                q.sent = q.sent.substr(0, q.sent.find(' '));
            }
        CheckOptions options = periodOptions(1);
        options.contest = &nrau;
        const CheckResult r = crossCheck(h.logs, options);
        const DefinitionScore s = DefinitionScorer(nrau, h.logs, r, nullptr, false).score(0);
        const bool counted = holders == 11;
        EXPECT_EQ(s.points, (std::vector<int>{counted, counted, 2})) << holders;
        EXPECT_EQ(s.checked.multipliers, counted ? 2 : 1) << holders;  // VF, and RR when counted; never QQ
        EXPECT_EQ(s.checked.score, (2 + 2 * counted) * (counted ? 2 : 1));
    }
}

TEST(CrossCheck, QsoTableCells) {
    for (const auto& [text, cell] : {std::pair{"K1ABC", "K1ABC"}, {"=SUM(A1)", "'=SUM(A1)"}, {"+22 min", "'+22 min"},
                                     {"-1", "'-1"}, {"@x", "'@x"}, {"\tx", "'\tx"}, {"a,b", "\"a,b\""},
                                     {"-\"q\"", "\"'-\"\"q\"\"\""}, {"", ""}})
        EXPECT_EQ(logs::csvField(text), cell) << text;
}

// A ShortText holds any text as a std::string would, in place up to 15 bytes and on the heap beyond.
TEST(ShortText, HoldsCopiesAndOrdersAnyText) {
    const std::string texts[] = {"", "A", std::string(15, 'x'), std::string(16, 'y'), std::string(300, 'z'),
                                 std::string("a\0b", 3)};
    for (const std::string& t : texts) {
        ShortText a(t), b = a, c = std::move(b);
        b = c;
        a = ShortText(a);
        EXPECT_EQ(a, t);
        EXPECT_EQ(b.view(), t);
        EXPECT_EQ(c.str(), t);
        EXPECT_EQ("<" + c + ">", "<" + t + ">");
        for (const std::string& u : texts) EXPECT_EQ(ShortText(t) < ShortText(u), t < u) << t << " " << u;
    }
}
