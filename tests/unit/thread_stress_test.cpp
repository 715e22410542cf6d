// The panel's real refresh tick in a loop on a second thread while the host's thread resets the
// contest, reloads 100k contacts (30k under a sanitizer), removes some and builds summaries. Run under the thread
// sanitizer by the test command; here it checks that every tick saw one whole state of the store.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include "fake_services.h"
#include "window_fakes.h"
#include "windows/refresh_tick.h"

namespace stats {
namespace {

using testing::FakeHost;
using testing::PluginFixture;
using testing::RecordingView;

constexpr double kDay = 46082.0;
// The sanitizer builds run this at -O0, ten to fifty times slower: a smaller load races the tick
// just as often per contact.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define STATS_TEST_SANITIZED 1
#endif
#endif
#if defined(STATS_TEST_SANITIZED) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kContacts = 30000;
#else
constexpr int kContacts = 100000;
#endif
constexpr int kSummaryEvery = kContacts / 5;
constexpr int kTypedCallEvery = 5000;  // the typed call's contacts: 40m CW and 20m SSB in turn
constexpr int kPrefixes = 37;

// The received number of contact k of load g: "g:k"; its time is k minutes past midnight (mod 24 h).
std::string numberOf(int g, int k) { return std::to_string(g) + ":" + std::to_string(k); }

// Checks one pair of previous-QSO rows: each shows the time and the number of the same contact,
// and both rows come from the same load.
void expectConsistent(const std::array<std::vector<std::string>, 6>& rows, std::atomic<int>& seen,
                      std::atomic<int>& bad) {
    int generation[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
        const auto& row = rows[2 + i];  // 40m (CW entries), 20m (SSB entries)
        if (row.size() != 4) {
            ++bad;
            return;
        }
        const std::string& time = row[1 + i];
        const std::string& nr = row[3];
        if (nr == "-" || nr == kNoPreviousQso) {
            if (time != nr) ++bad;
            continue;
        }
        const auto colon = nr.find(':');
        if (colon == std::string::npos) {
            ++bad;
            continue;
        }
        generation[i] = std::stoi(nr.substr(0, colon));
        const int k = std::stoi(nr.substr(colon + 1)) % 1440;
        char expect[8];
        std::snprintf(expect, sizeof expect, "%02d:%02d", k / 60, k % 60);
        if (time != expect) ++bad;
        ++seen;
    }
    if (generation[0] >= 0 && generation[1] >= 0 && generation[0] != generation[1]) ++bad;
}

TEST(ThreadStress, TickSeesOneWholeStateWhileTheHostReloads) {
    fakes::TempDir dir;
    PluginFixture fx(dir.path());
    fx.setContest("2026", false);
    fx.settings.values = {{"setup_previous", "1"}, {"HQ", "1"}, {"Start", "1"}};

    std::atomic<bool> done{false};
    std::atomic<int> ticks{0}, seen{0}, bad{0};
    std::thread window([&] {
        FakeHost host;
        host.typedCall = "CE3AA";
        host.hertz = 7025000;
        RecordingView view;
        WindowThreadState shared;
        ControlPanel panel(fx.plugin, host, view, shared);
        panel.initialise();
        while (!done) {
            panel.onTimer();
            const auto rows = fx.plugin.withState([](const ContestState& s) { return s.previousQsoRows; });
            expectConsistent(rows, seen, bad);
            // The prefix list is one summary's whole list: distinct prefixes, none missing halfway.
            std::set<std::string> distinct(view.prefixItems.begin(), view.prefixItems.end());
            if (distinct.size() != view.prefixItems.size() || distinct.size() > kPrefixes) ++bad;
            host.hertz += 500;
            view.events.clear();
            ++ticks;
        }
    });

    ResetParams reset;
    reset.ownCall = "CE1TLV";
    reset.periodEnd = {kDay + 1, OleDateTime::kValid};
    int summaries = 0;
    for (int g = 0; g < 3; ++g) {
        fx.plugin.resetStats(reset);
        for (int k = 0; k < kContacts; ++k) {
            const bool typed = k % kTypedCallEvery == 0;
            const std::string call = typed ? "CE3AA" : "K" + std::to_string(k);
            const std::string nr = numberOf(g, k);
            const std::string prefix = "P" + std::to_string(k % kPrefixes);
            QsoParams qso;
            qso.call = call;
            qso.band = typed && (k / kTypedCallEvery) % 2 ? "20m" : "40m";
            qso.mode = typed && (k / kTypedCallEvery) % 2 ? "SSB" : "CW";
            qso.numberSent = "1";
            qso.numberReceived = nr;
            qso.time = {kDay + (k % 1440) / 1440.0, OleDateTime::kValid};
            qso.prefix = prefix;
            qso.continent = "SA";
            ASSERT_EQ(fx.plugin.addData(qso), 1);
            if (k % 997 == 0) {
                EXPECT_EQ(fx.plugin.removeData(qso), 1);  // the typed call's too, now and then
            }
            if (k % kSummaryEvery == kSummaryEvery - 1) {
                int status = 0;
                fx.plugin.getResult(&status);
                ++summaries;
            }
        }
        const std::size_t removed = (kContacts + 996) / 997;
        EXPECT_EQ(fx.plugin.state().qsoStore.size(), kContacts - removed);
    }
    while (ticks < 100) std::this_thread::yield();
    done = true;
    window.join();
    EXPECT_EQ(bad, 0);
    EXPECT_GT(seen, 0);
    EXPECT_EQ(summaries, 15);
}

}  // namespace
}  // namespace stats
