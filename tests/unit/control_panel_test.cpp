// The control panel's logic against a fake host, fake settings and a recording view.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "window_fakes.h"

namespace stats {
namespace {

using testing::FakeHost;
using testing::PluginFixture;
using testing::RecordingView;

class ControlPanelTest : public ::testing::Test {
protected:
    void SetUp() override { fx.setContest("2026", false); }
    ControlPanel& start() {
        panel.initialise();
        view.events.clear();
        fx.settings.writes.clear();
        return panel;
    }

    PluginFixture fx;
    FakeHost host;
    RecordingView view;
    WindowThreadState shared;
    ControlPanel panel{fx.plugin, host, view, shared};
};

TEST_F(ControlPanelTest, FirstStartWithoutSettings) {
    EXPECT_TRUE(panel.initialise());
    EXPECT_TRUE(view.logged("place 10,10"));
    EXPECT_TRUE(view.logged("icon"));
    EXPECT_EQ(shared.lastPosition.x, 10);
    EXPECT_EQ(shared.lastPosition.y, 10);
    EXPECT_EQ(panel.flags(), PanelFlags{});
    EXPECT_EQ(view.shown, PanelFlags{});
    EXPECT_FALSE(view.enabled.at(IDC_CW));
    EXPECT_TRUE(view.enabled.at(IDC_SSB));
    EXPECT_EQ(host.macros, std::vector<std::string>{"<MODE:CW>"});
    EXPECT_EQ(view.caption, "Setup SA-TOLVEN 2026");
    EXPECT_TRUE(view.texts.empty());
    EXPECT_EQ(panel.bandNames()[0], "160m");
    EXPECT_EQ(panel.bandNames()[5], "10m");
    // Initialisation arms the timer last and opens no window; it writes nothing.
    EXPECT_EQ(view.events.back(), "arm");
    EXPECT_TRUE(view.opened.empty());
    EXPECT_TRUE(fx.settings.writes.empty());
}

TEST_F(ControlPanelTest, StoredPositionsAndOptions) {
    struct Case {
        const char* x;
        const char* y;
        const char* placed;
    } cases[] = {{"0", "0", "place 10,10"},     {"-20", "35", "place -20,35"}, {"12abc", "abc", "place 12,10"},
                 {"-1500", "12000", "place -1500,12000"}};
    for (const Case& c : cases) {
        PluginFixture f;
        f.settings.values = {{"baud_x", c.x}, {"baud_y", c.y}, {"HQ", "1"}, {"setup_mast", "1"}, {"setup_previous", "1"}};
        RecordingView v;
        FakeHost h;
        WindowThreadState s;
        ControlPanel p(f.plugin, h, v, s);
        p.initialise();
        EXPECT_TRUE(v.logged(c.placed)) << c.x << "," << c.y;
        EXPECT_EQ(p.flags(), (PanelFlags{1, 0, 1, 1}));
        EXPECT_EQ(v.shown, (PanelFlags{1, 0, 1, 1}));
        EXPECT_TRUE(f.plugin.masterOption());
    }
}

TEST_F(ControlPanelTest, WithoutHostTheModeButtonsStillSwitch) {
    host.present = false;
    start().onSsb();
    EXPECT_FALSE(view.enabled.at(IDC_SSB));
    EXPECT_TRUE(view.enabled.at(IDC_CW));
    EXPECT_TRUE(host.macros.empty());
    EXPECT_TRUE(view.timerArmed);
}

TEST_F(ControlPanelTest, ModeButtonsKillTheTimerAndArmItLast) {
    start().onSsb();
    EXPECT_EQ(host.macros.back(), "<MODE:SSB>");
    EXPECT_FALSE(view.enabled.at(IDC_SSB));
    EXPECT_TRUE(view.enabled.at(IDC_CW));
    EXPECT_EQ(view.events, (std::vector<std::string>{"kill", "arm"}));
    panel.onCw();
    EXPECT_EQ(host.macros.back(), "<MODE:CW>");
    EXPECT_FALSE(view.enabled.at(IDC_CW));
    EXPECT_TRUE(view.enabled.at(IDC_SSB));
}

TEST_F(ControlPanelTest, AFailingHostCallEndsTheHandlerBeforeTheTimerIsArmed) {
    start();
    host.failMacros = true;
    EXPECT_THROW(panel.onSsb(), HostCallFailed);
    EXPECT_FALSE(view.timerArmed);
    EXPECT_EQ(view.events, std::vector<std::string>{"kill"});
}

TEST_F(ControlPanelTest, AHostRefusingTheFirstCallLeavesTheInitialisationComplete) {
    fx.settings.values = {{"HQ", "1"}, {"setup_previous", "1"}};
    host.failMacros = true;
    EXPECT_THROW(panel.initialise(), HostCallFailed);
    EXPECT_EQ(view.shown, (PanelFlags{1, 0, 0, 1}));
    EXPECT_EQ(panel.bandNames()[2], "40m");
    EXPECT_TRUE(view.timerArmed);
    EXPECT_FALSE(view.enabled.at(IDC_CW));
}

TEST_F(ControlPanelTest, SaPrefixTwiceOpensThenClosesTheList) {
    start().onSaPrefix();
    EXPECT_TRUE(view.isOpen(AuxWindow::kSaPrefix));
    EXPECT_EQ(panel.flags().saPrefix, 1);
    EXPECT_EQ(fx.settings.values["HQ"], "1");
    panel.onSaPrefix();
    EXPECT_FALSE(view.isOpen(AuxWindow::kSaPrefix));
    EXPECT_EQ(panel.flags().saPrefix, 0);
    EXPECT_EQ(fx.settings.values["HQ"], "0");
    EXPECT_EQ(view.events, (std::vector<std::string>{"kill", "open rda", "arm", "kill", "close rda", "arm"}));
    // The automatic check box ticks itself; these switches do not transfer the flags.
    EXPECT_EQ(view.shown, PanelFlags{});
}

TEST_F(ControlPanelTest, ItuSwitchDecidesByTheWindowNotTheFlag) {
    fx.settings.values["ITU"] = "1";
    start();
    EXPECT_EQ(panel.flags().itu, 1);
    // The flag is on but no window is open yet: the click opens it.
    panel.onItu();
    EXPECT_TRUE(view.isOpen(AuxWindow::kItu));
    EXPECT_EQ(fx.settings.values["ITU"], "1");
    panel.onItu();
    EXPECT_FALSE(view.isOpen(AuxWindow::kItu));
    EXPECT_EQ(fx.settings.values["ITU"], "0");
}

TEST_F(ControlPanelTest, PreviousQsoTwiceOpensAtOnceThenCloses) {
    start().onPrevQso();
    EXPECT_TRUE(view.isOpen(AuxWindow::kPrevQso));
    EXPECT_EQ(fx.settings.values["setup_previous"], "1");
    EXPECT_EQ(view.shown.prevQso, 1);
    panel.onPrevQso();
    EXPECT_FALSE(view.isOpen(AuxWindow::kPrevQso));
    EXPECT_EQ(fx.settings.values["setup_previous"], "0");
    EXPECT_EQ(view.shown.prevQso, 0);
    EXPECT_TRUE(view.timerArmed);
}

TEST_F(ControlPanelTest, PreviousQsoOnWithTheWindowAlreadyOpenOpensNoSecond) {
    start();
    view.open(AuxWindow::kPrevQso);
    panel.onPrevQso();
    EXPECT_EQ(view.opened[AuxWindow::kPrevQso], 1);
}

TEST_F(ControlPanelTest, UsingMasterTwiceEndsOffAndLeavesTheTimerAlone) {
    start().onUseMaster();
    EXPECT_TRUE(fx.plugin.masterOption());
    EXPECT_EQ(fx.settings.values["setup_mast"], "1");
    EXPECT_EQ(view.shown.useMaster, 1);
    panel.onUseMaster();
    EXPECT_FALSE(fx.plugin.masterOption());
    EXPECT_EQ(fx.settings.values["setup_mast"], "0");
    EXPECT_TRUE(view.events.empty());
}

TEST_F(ControlPanelTest, RussianTexts) {
    fx.setContest("2026", true);
    panel.initialise();
    EXPECT_EQ(view.caption, "\xd3\xf1\xf2\xe0\xed\xee\xe2\xea\xe8 SA-TOLVEN 2026");
    EXPECT_TRUE(view.logged("move 1124 150,10 200x20"));
    EXPECT_EQ(view.texts.at(IDC_PREV_QSO), "\xcf\xf0\xe5\xe4\xfb\xe4\xf3\xf9\xe8\xe5 QSO");
    EXPECT_EQ(view.texts.at(IDC_USE_MASTER),
              "\xc8\xf1\xef\xee\xeb\xfc\xe7\xee\xe2\xe0\xf2\xfc \xef\xee\xe4\xf1\xea\xe0\xe7\xea\xf3");
    EXPECT_EQ(view.texts.at(IDC_VIEW_LABEL), "\xce\xf2\xee\xe1\xf0\xe0\xe6\xe0\xf2\xfc");
    EXPECT_EQ(view.texts.at(IDC_MODE_LABEL), "\xc2\xfb\xe1\xee\xf0 \xe2\xe8\xe4\xe0");
    EXPECT_EQ(view.texts.count(IDC_SA_PREFIX), 0u);
}

TEST_F(ControlPanelTest, PositionSavingUsesTheSharedPair) {
    start();
    panel.onSetCursor(10, 10);
    EXPECT_TRUE(fx.settings.writes.empty());
    // Another window saved its own corner into the pair: the panel writes both edges again.
    shared.lastPosition = {10, 400};
    panel.onSetCursor(10, 10);
    EXPECT_EQ(fx.settings.writes, std::vector<std::string>{"baud_y=10"});
    shared.lastPosition = {300, 400};
    panel.onSetCursor(-1280, 10);
    EXPECT_EQ(fx.settings.values["baud_x"], "-1280");
    EXPECT_EQ(fx.settings.values["baud_y"], "10");
    panel.onSetCursor(10000, 10);
    EXPECT_EQ(fx.settings.values["baud_x"], "10000");
}

}  // namespace
}  // namespace stats
