// The panel's refresh tick against a fake host and a recording view.
#include <gtest/gtest.h>

#include "window_fakes.h"
#include "windows/refresh_tick.h"

namespace stats {
namespace {

using testing::FakeHost;
using testing::PluginFixture;
using testing::RecordingView;

constexpr double kDay = 46082.0;  // 1 March 2026

OleDateTime at(int hour, int minute) { return {kDay + (hour * 60 + minute) / 1440.0, OleDateTime::kValid}; }

class RefreshTickTest : public ::testing::Test {
protected:
    void SetUp() override { fx.setContest("2026", false); }
    void start(std::map<std::string, std::string> settings = {}) {
        fx.settings.values = std::move(settings);
        panel.initialise();
        host.macros.clear();
        view.events.clear();
    }
    void add(const char* call, const char* band, const char* mode, OleDateTime time, const char* nr,
             const char* prefix = "") {
        CInfo qso;
        qso.call = call;
        qso.band = band;
        qso.mode = mode;
        qso.qsoTime = time;
        qso.numberReceived = nr;
        qso.saPrefix = prefix;
        fx.plugin.updateState([&](ContestState& s) { s.qsoStore.append(qso); });
    }
    std::vector<std::string> row(int r) {
        return fx.plugin.withState([r](const ContestState& s) { return s.previousQsoRows[r]; });
    }
    std::vector<std::string> bandRow(const char* band, std::string cw, std::string ssb, std::string nr) {
        return {band, std::move(cw), std::move(ssb), std::move(nr)};
    }

    PluginFixture fx;
    FakeHost host;
    RecordingView view;
    WindowThreadState shared;
    ControlPanel panel{fx.plugin, host, view, shared};
};

TEST(BandRow, WholeMegahertzOnly) {
    struct Case {
        double hz;
        int row;
    } cases[] = {{1830000, 0},  {3500000, 1},  {3799999, 1},  {7025000, 2},  {14050000, 3}, {21000000, 4},
                 {28500000, 5}, {29600000, -1}, {10120000, -1}, {18100000, -1}, {0, -1},      {999999, -1},
                 {2000000, -1}, {-7025000, -1}, {1e300, -1}};
    for (const Case& c : cases) EXPECT_EQ(bandRowForFrequency(c.hz), c.row) << c.hz;
}

TEST_F(RefreshTickTest, ACallWorkedOnFortyMetresInBothModes) {
    add("CE3AA", "40m", "CW", at(0, 15), "015");
    add("LU1XX", "40m", "CW", at(0, 30), "020");
    add("CE3AA", "40m", "SSB", at(1, 2), "077");
    add("CE3AAA", "20m", "CW", at(1, 5), "099");
    start({{"setup_previous", "1"}});
    host.typedCall = "CE3AA";
    host.hertz = 7025000;
    panel.onTimer();
    EXPECT_EQ(host.queried, std::vector<int>{5});
    EXPECT_EQ(row(2), bandRow("40m", "00:15", "01:02", "077"));
    for (int r : {0, 1, 3, 4, 5}) EXPECT_EQ(row(r), bandRow(kPanelBands[r], "   -", "   -", "   -")) << r;
    EXPECT_EQ(shared.currentCall, "CE3AA");
    EXPECT_EQ(shared.highlightedBand, 2);
    // The option opens the window on the tick, which then names the call and repaints the grid.
    EXPECT_TRUE(view.isOpen(AuxWindow::kPrevQso));
    EXPECT_EQ(view.windowText[AuxWindow::kPrevQso], "SA TOLVEN 2026 worked with CE3AA");
    EXPECT_TRUE(view.logged("invalidate DXCC"));
    EXPECT_EQ(view.events.front(), "kill");
    EXPECT_FALSE(view.timerArmed);
}

TEST_F(RefreshTickTest, TheLastContactInTheStoreWins) {
    add("CE3AA", "20m", "SSB", at(2, 0), "001");
    add("CE3AA", "20m", "SSB", at(3, 0), "002");
    add("CE3AA", "20m", "RTTY", at(4, 0), "003");
    start();
    host.typedCall = "CE3AA";
    panel.onTimer();
    // Another mode sets only the number.
    EXPECT_EQ(row(3), bandRow("20m", "   -", "03:00", "003"));
}

TEST_F(RefreshTickTest, OneOrTwoCharactersChangeNothing) {
    add("CE3AA", "40m", "CW", at(0, 15), "015");
    start({{"setup_previous", "1"}, {"HQ", "1"}});
    host.typedCall = "CE3AA";
    host.hertz = 7025000;
    panel.onTimer();
    const auto before = row(2);
    const auto macros = host.macros.size();
    for (const char* typed : {"C", "CE"}) {
        view.events.clear();
        host.typedCall = typed;
        host.hertz = 14050000;
        panel.onTimer();
        EXPECT_EQ(row(2), before);
        EXPECT_EQ(host.macros.size(), macros);
        EXPECT_EQ(shared.highlightedBand, 2);
        EXPECT_EQ(view.events, std::vector<std::string>{"kill"});
    }
}

TEST_F(RefreshTickTest, AnEmptyCallClearsTheRowsAndStillFollowsTheRadio) {
    add("CE3AA", "40m", "CW", at(0, 15), "015");
    start({{"setup_previous", "1"}});
    host.typedCall = "CE3AA";
    panel.onTimer();
    host.typedCall = "";
    host.hertz = 3799999;
    view.events.clear();
    panel.onTimer();
    EXPECT_EQ(row(2), bandRow("40m", "   -", "   -", "   -"));
    EXPECT_EQ(shared.highlightedBand, 1);
    EXPECT_EQ(host.macros.back(), "<SP1>");
    // Without the SA-prefix window the caption keeps naming the last call and nothing repaints.
    EXPECT_EQ(view.windowText[AuxWindow::kPrevQso], "SA TOLVEN 2026 worked with CE3AA");
    EXPECT_FALSE(view.logged("invalidate DXCC"));
}

TEST_F(RefreshTickTest, AnEmptyCallWithTheListOpenRestoresTheYearCaption) {
    start({{"setup_previous", "1"}, {"HQ", "1"}});
    host.typedCall = "CE3AA";
    panel.onTimer();
    host.typedCall = "";
    view.events.clear();
    panel.onTimer();
    EXPECT_EQ(view.windowText[AuxWindow::kPrevQso], "SA TOLVEN 2026");
    EXPECT_EQ(view.events, (std::vector<std::string>{"kill", "invalidate DXCC", "invalidate rda"}));
}

TEST_F(RefreshTickTest, FrequencyMovesOfMoreThan300Hz) {
    start();
    host.typedCall = "CE3AA";
    struct Step {
        double hz;
        bool sp1;
        double last;
    } steps[] = {{14050000, true, 14050000}, {7025000, true, 7025000}, {7025250, false, 7025000},
                 {7025400, true, 7025400},   {7025700, false, 7025400}, {7025701, true, 7025701}};
    for (const Step& s : steps) {
        host.macros.clear();
        host.hertz = s.hz;
        panel.onTimer();
        EXPECT_EQ(host.macros.size(), s.sp1 ? 1u : 0u) << s.hz;
        if (s.sp1) {
            EXPECT_EQ(host.macros[0], "<SP1>");
        }
        EXPECT_EQ(shared.lastReportedFrequency, s.last) << s.hz;
    }
}

TEST_F(RefreshTickTest, WithoutTheHostOnlyTheOptionWindowsOpen) {
    host.present = false;
    start({{"HQ", "1"}, {"ITU", "1"}, {"setup_previous", "1"}});
    panel.onTimer();
    EXPECT_EQ(view.events, (std::vector<std::string>{"kill", "open Itu", "open rda"}));
    EXPECT_EQ(shared.highlightedBand, -1);
    EXPECT_EQ(row(0), bandRow("160m", "-", "-", "-"));
    // Open windows are not opened again.
    view.events.clear();
    panel.onTimer();
    EXPECT_EQ(view.events, std::vector<std::string>{"kill"});
}

TEST_F(RefreshTickTest, TheListShowsTheWorkedPrefixesAndKeepsThemWhenTheSummaryHasNone) {
    start({{"HQ", "1"}});
    fx.plugin.updateState([](ContestState& s) { s.workedSaPrefixes = {"LU1", "CE3", "PY2"}; });
    panel.onTimer();
    EXPECT_EQ(view.windowText[AuxWindow::kSaPrefix], "Worked SA prefix");
    EXPECT_EQ(view.prefixItems, (std::vector<std::string>{" LU1", " CE3", " PY2"}));
    fx.plugin.updateState([](ContestState& s) { s.workedSaPrefixes.clear(); });
    view.events.clear();
    panel.onTimer();
    EXPECT_FALSE(view.logged("items"));
    EXPECT_EQ(view.prefixItems.size(), 3u);
    EXPECT_TRUE(view.logged("invalidate rda"));
}

TEST_F(RefreshTickTest, RussianCaptions) {
    fx.setContest("2026", true);
    start({{"HQ", "1"}, {"setup_previous", "1"}});
    host.typedCall = "CE3AA";
    panel.onTimer();
    EXPECT_EQ(view.windowText[AuxWindow::kPrevQso], "SA TOLVEN 2026 \xf1\xf0\xe0\xe1\xee\xf2\xe0\xed\xee \xf1 CE3AA");
    EXPECT_EQ(view.windowText[AuxWindow::kSaPrefix],
              "\xd1\xf0\xe0\xe1\xee\xf2\xe0\xed\xed\xfb\xe5 SA \xef\xf0\xe5\xf4\xe8\xea\xf1\xfb ");
}

TEST_F(RefreshTickTest, AWindowHiddenByItsCloseBoxIsNotReopened) {
    start({{"setup_previous", "1"}});
    host.typedCall = "CE3AA";
    panel.onTimer();
    panel.onTimer();
    EXPECT_EQ(view.opened[AuxWindow::kPrevQso], 1);
}

TEST_F(RefreshTickTest, RowsThatLostTheirShapeAreCompleted) {
    fx.plugin.updateState([](ContestState& s) {
        s.previousQsoRows[0].clear();
        s.previousQsoRows[1] = {"80m"};
    });
    add("CE3AA", "160m", "CW", at(0, 1), "5");
    start();
    host.typedCall = "CE3AA";
    panel.onTimer();
    EXPECT_EQ(row(0), bandRow("160m", "00:01", "   -", "5"));
    EXPECT_EQ(row(1), bandRow("80m", "   -", "   -", "   -"));
}

}  // namespace
}  // namespace stats
