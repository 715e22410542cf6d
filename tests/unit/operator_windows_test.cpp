// Geometry of the operator windows: the previous-QSO grid, resize layouts, the ITU template.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

#include "windows/itu_zones.h"
#include "windows/previous_qso_grid.h"
#include "windows/window_layout.h"

namespace stats {
namespace {

std::array<std::vector<std::string>, 6> rows() {
    return {{{"160m", "   -", "   -", "   -"},
             {"80m", "   -", "   -", "   -"},
             {"40m", "00:15", "01:02", "077"},
             {"20m", "   -", "   -", "   -"},
             {"15m", "   -", "   -", "   -"},
             {"10m", "   -", "   -", "   -"}}};
}

bool hasText(const GridPicture& p, const GridText& t) {
    for (const auto& x : p.texts)
        if (x == t) return true;
    return false;
}

TEST(PreviousQsoGrid, LineHeightAndHighlight) {
    const GridPicture p = layoutPreviousQsoGrid(400, 224, 3, "CE3AA", rows());
    EXPECT_EQ(p.background, (PixelRect{0, 0, 400, 224}));
    ASSERT_TRUE(p.highlight);
    EXPECT_EQ(*p.highlight, (PixelRect{0, 128, 400, 150}));
    EXPECT_TRUE(hasText(p, {20, 128, "20m"}));
    EXPECT_TRUE(hasText(p, {20, 96, "40m"}));
    EXPECT_TRUE(hasText(p, {100, 96, "00:15"}));
    EXPECT_TRUE(hasText(p, {200, 96, "01:02"}));
    EXPECT_TRUE(hasText(p, {320, 96, "077"}));
    EXPECT_TRUE(hasText(p, {20, 192, "10m"}));
    // h truncates: 230 / 7 = 32.
    EXPECT_EQ(layoutPreviousQsoGrid(400, 230, 0, "", rows()).highlight, (PixelRect{0, 32, 400, 54}));
    // At 144 dpi the fixed distances grow by half, the lines follow the taller button.
    const GridPicture big = layoutPreviousQsoGrid(600, 336, 3, "CE3AA", rows(), 144);
    EXPECT_TRUE(hasText(big, {285, 0, "CE3AA"}) && hasText(big, {300, 27, "SSB"}) && hasText(big, {480, 144, "077"}));
    EXPECT_EQ(*big.highlight, (PixelRect{0, 192, 600, 225}));
    EXPECT_EQ(std::pair(systemFontHeight(96), systemFontHeight(144)), std::pair(16, 24));
}

TEST(PreviousQsoGrid, HeaderAndNoHighlight) {
    const GridPicture p = layoutPreviousQsoGrid(400, 224, -1, "", rows());
    EXPECT_FALSE(p.highlight);
    ASSERT_GE(p.texts.size(), 4u);
    EXPECT_EQ(p.texts[0], (GridText{190, 0, ""}));
    EXPECT_EQ(p.texts[1], (GridText{100, 18, "CW"}));
    EXPECT_EQ(p.texts[2], (GridText{200, 18, "SSB"}));
    EXPECT_EQ(p.texts[3], (GridText{320, 18, "NR"}));
    EXPECT_EQ(p.texts.size(), 4u + 24u);
}

TEST(PreviousQsoGrid, ATinyButtonDrawsEveryLineAtTheTop) {
    const GridPicture p = layoutPreviousQsoGrid(50, 6, 2, "CE3AA", rows());
    for (std::size_t i = 4; i < p.texts.size(); ++i) EXPECT_EQ(p.texts[i].y, 0);
    EXPECT_EQ(p.highlight, (PixelRect{0, 0, 50, -10}));
}

TEST(PreviousQsoGrid, ShortRowsDrawWhatTheyHave) {
    auto r = rows();
    r[0] = {"160m"};
    r[1].clear();
    EXPECT_EQ(layoutPreviousQsoGrid(400, 224, -1, "X", r).texts.size(), 4u + 1u + 0u + 16u);
}

TEST(WindowLayout, ResizedWindowsKeepTheirMargins) {
    EXPECT_EQ(prevQsoButtonBox({0, 0, 300, 200}), (PixelBox{5, 5, 290, 190}));
    EXPECT_EQ(prefixListBox({0, 0, 200, 150}), (PixelBox{1, 1, 196, 146}));
    EXPECT_EQ(prevQsoButtonBox({0, 0, 4, 4}), (PixelBox{5, 5, -6, -6}));
}

TEST(WindowLayout, PositionDefaultsPerWindow) {
    struct Keys final : Settings {
        std::string read(std::string_view, std::string_view fallback) const override { return std::string(fallback); }
        bool write(std::string_view, std::string_view) override { return true; }
    } none;
    LastPosition last{77, 77};
    EXPECT_EQ(restorePosition(none, kPrevQsoPositionKeys, last).y, 400);
    EXPECT_EQ(last.x, 10);
    EXPECT_EQ(restorePosition(none, kItuPositionKeys, last).y, 10);
    EXPECT_EQ(restorePosition(none, kSaPrefixPositionKeys, last).x, 0);
    EXPECT_EQ(last.y, 0);
}

TEST(WindowLayout, OffScreenWindowsComeBackVisibleOnScreenOnesStay) {
    const PixelRect screen{0, 0, 1280, 1000}, leftMonitor{-1920, 0, 0, 1040};
    const auto at = [](int x, int y, int w = 200, int h = 100) { return PixelRect{x, y, x + w, y + h}; };
    const PixelRect cases[][3] = {  // window, work area, placed (a 30-pixel title bar)
        {at(10, 10), screen, at(10, 10)},     {at(-20, 35), screen, at(-20, 35)},   {at(100, -10), screen, at(100, -10)},
        {at(100, 985), screen, at(100, 985)}, {at(1240, 10), screen, at(1240, 10)}, {at(1270, 10), screen, at(1080, 10)},
        {at(100, -20), screen, at(100, 0)},   {at(5000, 4000), screen, at(1080, 900)}, {at(-3000, -3000), screen, at(0, 0)},
        {at(-5000, 100), leftMonitor, at(-1920, 100)}, {at(5000, 4000, 2000, 1500), screen, screen}};
    for (const auto& c : cases) EXPECT_EQ(placeOnScreen(c[0], c[1], 30), c[2]) << c[0].left << "," << c[0].top;
}

TEST(ItuZones, IdRule) {
    EXPECT_EQ(ituControlId(1), 1014);
    EXPECT_EQ(ituControlId(11), 1015);
    EXPECT_EQ(ituControlId(81), 1022);
    EXPECT_EQ(ituControlId(2), 1023);
    EXPECT_EQ(ituControlId(90), 1103);
    EXPECT_EQ(ituZoneOfControl(1050), 5);
    EXPECT_EQ(ituZoneOfControl(1103), 90);
    EXPECT_EQ(ituZoneOfControl(1013), 0);
    EXPECT_EQ(ituZoneOfControl(1104), 0);
    std::set<int> ids;
    for (int z = 1; z <= 90; ++z) {
        ids.insert(ituControlId(z));
        EXPECT_EQ(ituZoneOfControl(ituControlId(z)), z);
    }
    EXPECT_EQ(ids.size(), 90u);
    EXPECT_EQ(*ids.begin(), 1014);
    EXPECT_EQ(*ids.rbegin(), 1103);
}

TEST(ItuZones, PlacesFollowTheColumnsAndRows) {
    EXPECT_EQ(ituBoxPlace(1).x, 6);
    EXPECT_EQ(ituBoxPlace(1).y, 7);
    EXPECT_EQ(ituBoxPlace(10).width, 19);
    EXPECT_EQ(ituBoxPlace(90).x, 182);
    EXPECT_EQ(ituBoxPlace(90).y, 102);
    EXPECT_EQ(ituBoxPlace(90).width, 25);
    EXPECT_EQ(ituBoxPlace(78).y, 82);
    EXPECT_EQ(ituBoxPlace(88).y, 82);
    EXPECT_EQ(ituBoxPlace(68).y, 81);
    for (int z = 1; z <= 90; ++z) {
        const DialogBox b = ituBoxPlace(z);
        EXPECT_LE(b.x + b.width, 210) << z;
        EXPECT_LE(b.y + b.height, 120) << z;
    }
}

// The committed template was generated by a script; it must agree with the rule the code uses.
TEST(ItuZones, TheTemplateMatchesTheRule) {
    std::ifstream in(STATS_SOURCE_DIR "/resources/itu_dialog.rc");
    ASSERT_TRUE(in) << "resources/itu_dialog.rc";
    const std::regex control(R"re(CONTROL "(\d+)", (\d+), "Button", BS_AUTOCHECKBOX \| WS_TABSTOP, (\d+), (\d+), (\d+), (\d+))re");
    std::set<int> zones;
    std::string line;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, control)) continue;
        const int zone = std::stoi(m[1]);
        zones.insert(zone);
        EXPECT_EQ(std::stoi(m[2]), ituControlId(zone)) << line;
        const DialogBox b = ituBoxPlace(zone);
        EXPECT_EQ(std::stoi(m[3]), b.x) << line;
        EXPECT_EQ(std::stoi(m[4]), b.y) << line;
        EXPECT_EQ(std::stoi(m[5]), b.width) << line;
        EXPECT_EQ(std::stoi(m[6]), b.height) << line;
    }
    EXPECT_EQ(zones.size(), 90u);
}

}  // namespace
}  // namespace stats
