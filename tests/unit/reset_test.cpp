// The contest reset: the state it leaves, the fresh error log and the "Start" toggle.
#include "core/reset.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fake_services.h"
#include "platform/portable/ini_settings.h"

using namespace stats;
using namespace std::chrono;

namespace {

using Writes = std::vector<std::pair<std::string, std::string>>;

OleDateTime date(int y, unsigned m, unsigned d, int hh = 0) {
    return oleDateFrom(sys_days{year{y} / month{m} / std::chrono::day{d}} + hours{hh});
}

ResetParams params(std::int32_t exportRequest = 0, std::string_view country = "UA9") {
    ResetParams p;
    p.exportRequest = exportRequest;
    p.ownCall = "UA9XX";
    p.periodStart = date(2026, 3, 1, 12);
    p.periodEnd = date(2026, 3, 2, 23);
    p.ownCountryPrefix = country;
    return p;
}

QsoParams contact(std::string_view call, std::string_view band = "40m") {
    QsoParams q;
    q.call = call;
    q.band = band;
    q.mode = "CW";
    q.numberSent = "1";
    q.numberReceived = "2";
    return q;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class Reset : public ::testing::Test {
  protected:
    fakes::FakeServices fakes_;
    Plugin plugin_{fakes_.services()};
};

TEST_F(Reset, StartsTheRunOver) {
    plugin_.addData(contact("LU1AA"));
    plugin_.addData(contact("PY2XX", "20m"));
    plugin_.addData(contact("PY2XX", "15m"));
    EXPECT_EQ(plugin_.resetStats(params(7)), 1);

    const ContestState& s = plugin_.state();
    EXPECT_EQ(s.periodStartText, "01.03");
    EXPECT_EQ(s.periodEndText, "02.03.2026");
    EXPECT_EQ(s.contestYear, "2026");
    EXPECT_TRUE(s.qsoStore.empty());
    EXPECT_TRUE(s.bandList.empty());
    EXPECT_EQ(s.exportRequested, 7);
    EXPECT_EQ(s.contestant, "UA9XX");
    EXPECT_EQ(s.ownCountryPrefix, "UA9");
    EXPECT_EQ(s.homeCountryUA, 1);
    const char* bands[] = {"160m", "80m", "40m", "20m", "15m", "10m"};
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(s.previousQsoRows[k], (std::vector<std::string>{bands[k], "-", "-", "-"})) << k;

    // A contact stored after the reset is a first contact again.
    EXPECT_EQ(plugin_.addData(contact("LU1AA")), 1);
    EXPECT_EQ(plugin_.state().qsoStore.at(0).isDupe, 0);
}

TEST_F(Reset, PeriodTextsOfInvalidAndNullDates) {
    ResetParams p = params();
    p.periodStart = OleDateTime{46000.0, OleDateTime::kInvalid};
    p.periodEnd = OleDateTime{0.0, OleDateTime::kNull};
    plugin_.resetStats(p);
    EXPECT_EQ(plugin_.state().periodStartText, "Invalid DateTime");
    EXPECT_EQ(plugin_.state().periodEndText, "");
    EXPECT_EQ(plugin_.state().contestYear, "");
}

TEST_F(Reset, HomeCountryIsExactlyOneOfFourPrefixes) {
    struct Case {
        const char* prefix;
        int ua;
    } cases[] = {{"UA", 1},    {"UA2", 1}, {"UA2/f", 1}, {"UA9", 1}, {"ua", 0}, {"ua9", 0},
                 {"UA2/F", 0}, {"UA3", 0}, {"UA ", 0},   {" UA", 0}, {"", 0},   {"UA9/f", 0}};
    for (const Case& c : cases) {
        plugin_.resetStats(params(0, c.prefix));
        EXPECT_EQ(plugin_.state().homeCountryUA, c.ua) << '"' << c.prefix << '"';
    }
}

TEST_F(Reset, ErrorLogHoldsOnlyTheHeaderLine) {
    plugin_.resetStats(params());
    plugin_.addData(contact("LU1AA", "80m"));
    plugin_.addData(contact("LU1AA"));
    plugin_.addData(contact("LU1AA"));
    EXPECT_GT(readAll(plugin_.errorLogPath()).size(), 30u);
    plugin_.resetStats(params());
    plugin_.resetStats(params());
    EXPECT_EQ(readAll(plugin_.errorLogPath()), "SA TOLVEN TEST UBN file \r\n");
}

TEST(ResetFailures, AnUnwritableErrorLogIsIgnored) {
    fakes::FakeServices fakes;
    PluginServices services = fakes.services();
    services.workDir /= "missing";
    Plugin plugin(services);
    EXPECT_EQ(plugin.resetStats(params()), 1);
    EXPECT_EQ(plugin.addData(contact("LU1AA", "80m")), 0);
    EXPECT_EQ(plugin.addData(contact("LU1AA")), 1);
    EXPECT_FALSE(std::filesystem::exists(services.workDir));
}

TEST_F(Reset, StartToggleWithoutAPanel) {
    // No value yet: the thread starts and the toggle becomes 1.
    plugin_.resetStats(params());
    EXPECT_EQ(fakes_.windows.starts, 1);
    EXPECT_EQ(fakes_.settings.writes(), (Writes{{"Start", "1"}}));

    // "1" (the panel has not appeared yet): only "0" is written.
    fakes_.settings.clearWrites();
    plugin_.resetStats(params());
    EXPECT_EQ(fakes_.windows.starts, 1);
    EXPECT_EQ(fakes_.settings.writes(), (Writes{{"Start", "0"}}));

    // "0" and still no panel: started again.
    fakes_.settings.clearWrites();
    plugin_.resetStats(params());
    EXPECT_EQ(fakes_.windows.starts, 2);
    EXPECT_EQ(fakes_.settings.writes(), (Writes{{"Start", "1"}}));
}

TEST_F(Reset, StartToggleWhileThePanelExists) {
    fakes_.windows.startCreatesPanel = true;
    plugin_.resetStats(params());  // starts it
    plugin_.resetStats(params());  // "1": writes "0"
    fakes_.settings.clearWrites();
    plugin_.resetStats(params());  // "0" with a panel: nothing more
    plugin_.resetStats(params());
    EXPECT_EQ(fakes_.windows.starts, 1);
    EXPECT_TRUE(fakes_.settings.writes().empty());
    EXPECT_EQ(fakes_.settings.value("Start"), "0");
}

TEST_F(Reset, StartValuesReadAsNumbers) {
    struct Case {
        const char* stored;
        int starts;
        const char* after;
    } cases[] = {{"", 1, "1"},  {"0", 1, "1"},     {"abc", 1, "1"}, {" 0", 1, "1"},
                 {"1", 0, "0"}, {"12abc", 0, "0"}, {"-1", 0, "0"},  {" 2", 0, "0"}};
    for (const Case& c : cases) {
        fakes::FakeServices fakes;
        Plugin plugin(fakes.services());
        fakes.settings.set("Start", c.stored);
        plugin.resetStats(params());
        EXPECT_EQ(fakes.windows.starts, c.starts) << '"' << c.stored << '"';
        EXPECT_EQ(fakes.settings.value("Start"), c.after) << '"' << c.stored << '"';
    }
}

TEST_F(Reset, ExportModeNeverStartsTheThread) {
    for (const char* stored : {"", "0", "1"}) {
        fakes::FakeServices fakes;
        Plugin plugin(fakes.services());
        if (*stored) fakes.settings.set("Start", stored);
        plugin.resetStats(params(1));
        EXPECT_EQ(fakes.windows.starts, 0) << stored;
        // The confirmed header dialog saves its keys first; the toggle's writes come last.
        Writes startWrites;
        for (const auto& w : fakes.settings.writes())
            if (w.first == "Start") startWrites.push_back(w);
        EXPECT_EQ(startWrites, (Writes{{"Start", "1"}, {"Start", "0"}})) << stored;
        EXPECT_EQ(fakes.settings.writes().back(), (Writes::value_type{"Start", "0"})) << stored;
        EXPECT_EQ(plugin.state().exportRequested, 1);
    }
}

TEST_F(Reset, FailedWritesLeaveTheToggleAtZero) {
    // As with a missing "Plugins" folder: every reset without a panel starts the thread.
    fakes_.settings.setFailWrites(true);
    plugin_.resetStats(params());
    plugin_.resetStats(params());
    EXPECT_EQ(fakes_.windows.starts, 2);
    EXPECT_EQ(fakes_.settings.value("Start"), std::nullopt);
}

TEST(ResetWithTheSettingsFile, FirstResetCreatesTheFile) {
    fakes::FakeServices fakes;
    std::filesystem::create_directory(fakes.workDir.path() / "Plugins");
    IniFileSettings settings(fakes.workDir.path());
    Plugin plugin(PluginServices{settings, fakes.messages, fakes.windows, fakes.headerDialog, fakes.hostFiles,
                                 fakes.workDir.path()});
    plugin.resetStats(params());
    EXPECT_EQ(fakes.windows.starts, 1);
    EXPECT_EQ(readAll(settings.filePath()), "[Settings]\r\nStart=1\r\n");
}

TEST_F(Reset, TheThreadStartsWithoutTheLockHeld) {
    // A window thread that reads the state while starting must not wait for the host's thread.
    std::size_t rows = 0;
    fakes_.windows.onStart = [&] {
        rows = plugin_.withState([](const ContestState& s) { return s.previousQsoRows[0].size(); });
    };
    plugin_.resetStats(params());
    EXPECT_EQ(rows, 4u);
}

}  // namespace
