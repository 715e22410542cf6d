// The settings service on the real private-profile functions: the same cases as the portable
// stand-in's unit tests, so that both behave alike for everything the plug-in uses.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/profile_settings.h"
#include "wine_test_support.h"

namespace {

const char* const kFile = "Plugins\\SA-TOLVEN.ini";

// Each test works in a fresh folder, so the platform's cache of profile files never sees a file twice.
class ProfileSettingsOnWine : public ::testing::Test {
  protected:
    ProfileSettingsOnWine() { dir_.makePluginsFolder(); }
    std::string text() const { return wine_test::readFile(dir_.path() / "Plugins" / "SA-TOLVEN.ini"); }
    void put(const std::string& content) const {
        wine_test::writeFile(dir_.path() / "Plugins" / "SA-TOLVEN.ini", content);
    }

    wine_test::TempWorkDir dir_;
    stats::ProfileSettings settings_;
};

TEST_F(ProfileSettingsOnWine, FirstWriteCreatesFileAndSection) {
    EXPECT_EQ(settings_.read("Start"), "");
    EXPECT_EQ(settings_.read("Start", "dflt"), "dflt");
    EXPECT_TRUE(settings_.write("Start", "1"));
    EXPECT_EQ(text(), "[Settings]\r\nStart=1\r\n");
    EXPECT_EQ(settings_.read("Start"), "1");
}

TEST_F(ProfileSettingsOnWine, ReplacesInPlaceAndAppendsAtTheSectionEnd) {
    put("[Other]\r\nStart=9\r\n[Settings]\r\nbaud_x=12\r\nStart=0\r\n[Last]\r\nx=1\r\n");
    EXPECT_TRUE(settings_.write("Start", "1"));
    EXPECT_TRUE(settings_.write("HQ", "1"));
    EXPECT_TRUE(settings_.write("baud_x", "345"));
    EXPECT_EQ(text(),
              "[Other]\r\nStart=9\r\n[Settings]\r\nbaud_x=345\r\nStart=1\r\nHQ=1\r\n[Last]\r\nx=1\r\n");
    EXPECT_EQ(settings_.read("x"), "");
}

TEST_F(ProfileSettingsOnWine, NewSectionGoesAtTheEnd) {
    put("[Other]\r\nStart=9");
    EXPECT_TRUE(settings_.write("Start", "0"));
    EXPECT_EQ(text(), "[Other]\r\nStart=9\r\n[Settings]\r\nStart=0\r\n");
}

TEST_F(ProfileSettingsOnWine, NamesMatchWithoutCaseAndBlanks) {
    put("[ settings ]\r\n  START  =  1 2  \r\nClaimed=\t77\t\r\n");
    EXPECT_EQ(settings_.read("Start"), "1 2");
    EXPECT_EQ(settings_.read("start"), "1 2");
    EXPECT_EQ(settings_.readInt("Claimed"), 77);
}

TEST_F(ProfileSettingsOnWine, FirstSectionAndFirstKeyWin) {
    put("[Settings]\r\nName=a\r\nName=b\r\n[SETTINGS]\r\nEmail=x\r\n");
    EXPECT_EQ(settings_.read("Name"), "a");
    EXPECT_EQ(settings_.read("Email"), "");
    EXPECT_TRUE(settings_.write("Email", "y"));
    EXPECT_EQ(text(), "[Settings]\r\nName=a\r\nName=b\r\nEmail=y\r\n[SETTINGS]\r\nEmail=x\r\n");
}

TEST_F(ProfileSettingsOnWine, QuotesAndDefaults) {
    put("[Settings]\r\nA=\"quoted\"\r\nB='x'\r\nC=\"\r\nD=\"a'\r\nE=\"\"\r\n");
    EXPECT_EQ(settings_.read("A"), "quoted");
    EXPECT_EQ(settings_.read("B"), "x");
    EXPECT_EQ(settings_.read("C"), "\"");
    EXPECT_EQ(settings_.read("D"), "\"a'");
    EXPECT_EQ(settings_.read("E", "d"), "");
    EXPECT_EQ(settings_.read("Operators", "UA9XX  "), "UA9XX");
}

TEST_F(ProfileSettingsOnWine, LongValuesReadWhole) {
    const std::string value(150, 'v');
    const std::string longer(5000, 'w');
    EXPECT_TRUE(settings_.write("SoapBox", value));
    EXPECT_TRUE(settings_.write("Club", longer));
    EXPECT_EQ(settings_.read("SoapBox"), value);
    EXPECT_EQ(settings_.read("Club"), longer);
}

TEST_F(ProfileSettingsOnWine, NumbersReadAsAtoiDoes) {
    struct Case {
        const char* stored;
        int value;
    } cases[] = {{"12abc", 12}, {"abc", 0}, {"", 0}, {"-7", -7}, {"+3", 3}, {"0x10", 0}};
    for (const Case& c : cases) {
        ASSERT_TRUE(settings_.write("baud_x", c.stored));
        EXPECT_EQ(settings_.readInt("baud_x"), c.value) << c.stored;
    }
    EXPECT_EQ(settings_.readInt("missing"), 0);
}

TEST(ProfileSettingsOnWineFolder, MissingPluginsFolderFailsAndCreatesNothing) {
    wine_test::TempWorkDir dir;
    stats::ProfileSettings settings;
    EXPECT_FALSE(settings.write("Start", "1"));
    EXPECT_EQ(settings.read("Start", "d"), "d");
    EXPECT_EQ(GetFileAttributesA("Plugins"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(kFile), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
