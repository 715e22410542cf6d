// The report's analysis against brute-force counts over generated logs with planted gaps, band
// changes and runs: rolling rates, band changes per hour and transmitter, time on and breaks per band, run or
// search and pounce, and what two logs worked apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "tools/report/report_analysis.h"

using namespace report;
using namespace std::chrono;

namespace {

struct GeneratedLog {
    std::vector<std::string> calls;  // owns the texts the contacts point to
    std::vector<ReportContact> contacts;
};

struct Plan {
    unsigned seed;
    int qsos;
    int gapEvery;      // a gap of 31..120 minutes after every so many contacts
    int qsyEvery;      // another band after about so many contacts
    int runLength;     // QSOs on one frequency in a row (0: none)
    bool period;       // time within a contest period wider than the log
    int transmitters;  // 0: no ids; else ids "0", "1", ... each transmitter on a band of its own
    bool edgesOnly20;  // 20m gives only band edges (14000 kHz), as a log of band designators does
};

GeneratedLog generate(const Plan& plan) {
    static const char* const kBands[] = {"40m", "20m", "15m"};
    std::mt19937 rng(plan.seed);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    GeneratedLog log;
    log.calls.reserve(static_cast<std::size_t>(plan.qsos));
    std::int64_t t = 1772884800;
    static const char* const kIds[] = {"0", "1", "2"};
    int bands[3] = {0, 1, 2};  // per transmitter
    int runLeft = 0;
    std::uint32_t runHz = 0;
    for (int i = 0; i < plan.qsos; ++i) {
        t += pick(150) + (plan.gapEvery && i % plan.gapEvery == plan.gapEvery - 1 ? 60 * (31 + pick(90)) : 0);
        const int tx = plan.transmitters ? pick(plan.transmitters) : 0;
        int& band = bands[tx];
        if (pick(plan.qsyEvery) == 0) band = pick(3);
        const bool cw = pick(2) == 0;
        const std::uint32_t base = band == 0 ? 7000000 : band == 1 ? 14000000 : 21000000;
        std::uint32_t hz = base + 10000 + static_cast<std::uint32_t>(pick(200000));
        if (plan.runLength && runLeft == 0 && pick(4) == 0) runLeft = plan.runLength, runHz = hz;
        if (runLeft) --runLeft, hz = runHz + static_cast<std::uint32_t>(pick(cw ? 80 : 400));
        if (pick(15) == 0) hz = 0;
        if (pick(10) == 0 || (plan.edgesOnly20 && band == 1)) hz = base;  // a band edge
        log.calls.push_back("K" + std::to_string(pick(plan.qsos)));
        ReportContact c;
        c.when = sys_seconds{seconds{t}};
        c.record = static_cast<std::uint64_t>(i) + 1;
        c.band = kBands[band];
        c.mode = cw ? "CW" : "SSB";
        c.call = log.calls.back();
        c.prefix = "LU1";
        c.added = band == 2 ? 0 : 1;
        c.check = pick(12) == 0 ? 0 : 2;
        c.frequencyHz = hz;
        if (plan.transmitters) c.transmitter = kIds[tx];
        log.contacts.push_back(c);
    }
    return log;
}

std::int64_t secondsOf(const ReportContact& c) { return c.when.time_since_epoch().count(); }
bool counts(const ReportContact& c) { return c.added && c.check != 0; }

std::uint32_t bruteRate(const std::vector<ReportContact>& log, std::int64_t startMinute, int window) {
    std::uint32_t n = 0;
    for (const ReportContact& c : log)
        n += counts(c) && secondsOf(c) / 60 >= startMinute && secondsOf(c) / 60 < startMinute + window;
    return n;
}

// Whether a triple of QSOs on the band within 10 minutes and the tolerance holds QSO i.
bool bruteRun(const std::vector<ReportContact>& log, const std::vector<bool>& known, std::size_t i) {
    const std::int64_t tol = log[i].mode == "CW" ? 100 : 500;
    std::vector<std::int64_t> near;
    for (std::size_t j = 0; j < log.size(); ++j)
        if (j != i && counts(log[j]) && known[j] && log[j].band == log[i].band &&
            std::abs(static_cast<std::int64_t>(log[j].frequencyHz) - log[i].frequencyHz) <= tol)
            near.push_back(secondsOf(log[j]));
    for (std::size_t a = 0; a < near.size(); ++a)
        for (std::size_t b = a + 1; b < near.size(); ++b) {
            const std::int64_t lo = std::min({near[a], near[b], secondsOf(log[i])});
            const std::int64_t hi = std::max({near[a], near[b], secondsOf(log[i])});
            if (hi - lo <= 600) return true;
        }
    return false;
}

TEST(ReportAnalysis, AgreesWithBruteForceCountsOnGeneratedLogs) {
    const Plan plans[] = {
        {1, 300, 40, 25, 0, false, 0, false}, {2, 400, 0, 5, 8, false, 0, true}, {3, 250, 17, 60, 12, true, 2, false},
        {4, 1, 0, 1, 0, true, 0, false},       {5, 400, 0, 8, 8, false, 3, true},
    };
    std::uint64_t runsSeen = 0, breaksSeen = 0, changesSeen = 0, edgesKnown = 0, edgesUnknown = 0;
    for (const Plan& plan : plans) {
        SCOPED_TRACE("seed " + std::to_string(plan.seed));
        const GeneratedLog log = generate(plan);
        ContestReport report(0, true);
        for (const ReportContact& c : log.contacts) report.add(c);
        TimePeriod period;
        const std::int64_t first = secondsOf(log.contacts.front()), last = secondsOf(log.contacts.back());
        if (plan.period) period = {sys_seconds{seconds{first - 3000}}, sys_seconds{seconds{last + 100}}};
        const ReportAnalysis a = analyseReport(report, minutes{30}, period);

        for (const BestRate& best : a.best) {
            const int w = static_cast<int>(best.window.count());
            std::uint32_t most = 0;
            for (std::int64_t m = first / 60 - w; m <= last / 60; ++m) most = std::max(most, bruteRate(log.contacts, m, w));
            EXPECT_EQ(best.qsos, most) << w << " minutes";
            const std::int64_t start = best.start.time_since_epoch().count() / 60;
            EXPECT_EQ(bruteRate(log.contacts, start, w), most);
            for (const ReportContact& c : log.contacts)  // no window from an earlier QSO's minute is as good
                if (counts(c) && secondsOf(c) / 60 < start) {
                    EXPECT_LT(bruteRate(log.contacts, secondsOf(c) / 60, w), most);
                }
        }

        std::map<std::int64_t, std::uint32_t> changes;  // per transmitter: against its contact before
        std::map<std::string_view, std::string_view> lastBand;
        for (const ReportContact& c : log.contacts) {
            const auto [it, first] = lastBand.try_emplace(c.transmitter, c.band);
            if (!first && it->second != c.band) ++changes[secondsOf(c) / 3600];
            it->second = c.band;
        }
        EXPECT_EQ(report.transmitters(), static_cast<std::size_t>(plan.qsos > 1 ? plan.transmitters : 0));
        for (const auto& [hour, h] : report.hours()) EXPECT_EQ(h.bandChanges, changes[hour]) << "hour " << hour;
        EXPECT_EQ(a.bandChanges, log.contacts.empty() ? 0 : [&] {
            std::uint64_t n = 0;
            for (const auto& [hour, k] : changes) n += k;
            return n;
        }());
        changesSeen += a.bandChanges;

        for (std::size_t b = 0; b < report.activityBands().size(); ++b) {
            std::vector<std::int64_t> times;
            if (plan.period) times.push_back(period.from->time_since_epoch().count());
            for (const ReportContact& c : log.contacts)
                if (c.band == report.activityBands()[b]) times.push_back(secondsOf(c));
            if (plan.period) times.push_back(period.to->time_since_epoch().count());
            std::uint64_t breaks = 0;
            std::int64_t off = 0;
            for (std::size_t i = 1; i < times.size(); ++i)
                if (times[i] - times[i - 1] >= 1800) ++breaks, off += times[i] - times[i - 1];
            EXPECT_EQ(a.bands[b].breakCount, breaks) << report.activityBands()[b];
            EXPECT_EQ(a.bands[b].off.count(), off) << report.activityBands()[b];
            EXPECT_EQ(a.bands[b].on.count(), times.back() - times.front() - off) << report.activityBands()[b];
            breaksSeen += breaks;
        }

        // A band edge is a frequency on a band where some contact gives another one.
        std::set<std::string_view> realBands;
        for (const ReportContact& c : log.contacts)
            if (c.frequencyHz % 1000000 != 0) realBands.insert(c.band);
        std::vector<bool> known;
        for (const ReportContact& c : log.contacts)
            known.push_back(c.frequencyHz != 0 && (c.frequencyHz % 1000000 != 0 || realBands.count(c.band)));
        const std::vector<RunState> states = runStates(report.activity());
        for (std::size_t i = 0; i < log.contacts.size(); ++i) {
            const ReportContact& c = log.contacts[i];
            const RunState expected = !counts(c) ? RunState::kNotQso
                                      : !known[i] ? RunState::kUnknown
                                      : bruteRun(log.contacts, known, i) ? RunState::kRun
                                                                  : RunState::kSearch;
            EXPECT_EQ(states[i], expected) << "contact " << i;
            if (counts(c) && c.frequencyHz && c.frequencyHz % 1000000 == 0) ++(known[i] ? edgesKnown : edgesUnknown);
            runsSeen += expected == RunState::kRun;
        }

        // The other log: the next plan's seed, so the two share some calls and not others.
        const GeneratedLog otherLog = generate({plan.seed + 10, plan.qsos, 0, 9, 0, false, 0, false});
        ContestReport other(0, true);
        for (const ReportContact& c : otherLog.contacts) other.add(c);
        std::set<std::string> mine, theirs;
        for (const ReportContact& c : log.contacts)
            if (counts(c)) mine.emplace(c.call);
        for (const ReportContact& c : otherLog.contacts)
            if (counts(c)) theirs.emplace(c.call);
        std::vector<std::string> onlyMine, onlyTheirs;
        std::set_difference(mine.begin(), mine.end(), theirs.begin(), theirs.end(), std::back_inserter(onlyMine));
        std::set_difference(theirs.begin(), theirs.end(), mine.begin(), mine.end(), std::back_inserter(onlyTheirs));
        EXPECT_EQ(callsMissingFrom(report, other), onlyMine);
        EXPECT_EQ(callsMissingFrom(other, report), onlyTheirs);
    }
    EXPECT_GT(runsSeen, 20u) << "the planted runs are found";
    EXPECT_GT(breaksSeen, 10u) << "the planted gaps are breaks";
    EXPECT_GT(changesSeen, 50u) << "the planted band changes are counted";
    EXPECT_GT(edgesKnown, 20u) << "band edges among real frequencies";
    EXPECT_GT(edgesUnknown, 20u) << "band edges of a band of designators";
}

}  // namespace
