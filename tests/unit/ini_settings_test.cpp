// The portable settings file against the rules of the platform's private-profile functions.
#include "platform/portable/ini_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "fake_services.h"

using namespace stats;

namespace {

std::string readAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeAll(const std::filesystem::path& path, std::string_view text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
}

class IniSettings : public ::testing::Test {
  protected:
    IniSettings() { std::filesystem::create_directory(dir_.path() / "Plugins"); }
    std::filesystem::path file() const { return dir_.path() / "Plugins" / "SA-TOLVEN.ini"; }
    std::string text() const { return readAll(file()); }

    fakes::TempDir dir_;
    IniFileSettings settings_{dir_.path()};
};

TEST_F(IniSettings, ResolvesTheRelativePathAgainstItsBase) {
    EXPECT_EQ(settings_.filePath(), file());
    EXPECT_EQ(IniFileSettings().filePath(), std::filesystem::path("Plugins") / "SA-TOLVEN.ini");
}

TEST_F(IniSettings, FirstWriteCreatesFileAndSection) {
    EXPECT_EQ(settings_.read("Start"), "");
    EXPECT_EQ(settings_.read("Start", "dflt"), "dflt");
    EXPECT_TRUE(settings_.write("Start", "1"));
    EXPECT_EQ(text(), "[Settings]\r\nStart=1\r\n");
    EXPECT_EQ(settings_.read("Start"), "1");
}

TEST_F(IniSettings, ReplacesInPlaceAndAppendsAtTheSectionEnd) {
    writeAll(file(),
             "; kept as it is\n[Other]\nStart=9\n\n[Settings]\r\nbaud_x=12\r\nStart=0\r\n\r\n[Last]\r\nx=1");
    EXPECT_TRUE(settings_.write("Start", "1"));
    EXPECT_TRUE(settings_.write("HQ", "1"));
    EXPECT_TRUE(settings_.write("baud_x", "345"));
    EXPECT_EQ(text(),
              "; kept as it is\n[Other]\nStart=9\n\n[Settings]\r\nbaud_x=345\r\nStart=1\r\nHQ=1\r\n\r\n"
              "[Last]\r\nx=1");
    EXPECT_EQ(settings_.read("Start"), "1");
    EXPECT_EQ(settings_.read("x"), "");  // keys of other sections are not seen
}

TEST_F(IniSettings, NewSectionGoesAtTheEnd) {
    writeAll(file(), "[Other]\r\nStart=9");
    EXPECT_TRUE(settings_.write("Start", "0"));
    EXPECT_EQ(text(), "[Other]\r\nStart=9\r\n[Settings]\r\nStart=0\r\n");
    EXPECT_EQ(settings_.read("Start"), "0");
}

TEST_F(IniSettings, NamesMatchWithoutCaseAndBlanks) {
    writeAll(file(), "[ settings ]\r\n  START  =  1 2  \r\nClaimed=\t77\t\r\n");
    EXPECT_EQ(settings_.read("Start"), "1 2");
    EXPECT_EQ(settings_.read("start"), "1 2");
    EXPECT_EQ(settings_.readInt("Claimed"), 77);
    EXPECT_TRUE(settings_.write("start", "0"));
    // The key keeps the spelling it has in the file.
    EXPECT_EQ(text(), "[ settings ]\r\nSTART=0\r\nClaimed=\t77\t\r\n");
}

TEST_F(IniSettings, FirstSectionAndFirstKeyWin) {
    writeAll(file(), "[Settings]\r\nName=a\r\nName=b\r\n[SETTINGS]\r\nEmail=x\r\n");
    EXPECT_EQ(settings_.read("Name"), "a");
    EXPECT_EQ(settings_.read("Email"), "");
    EXPECT_TRUE(settings_.write("Email", "y"));
    EXPECT_EQ(text(), "[Settings]\r\nName=a\r\nName=b\r\nEmail=y\r\n[SETTINGS]\r\nEmail=x\r\n");
}

TEST_F(IniSettings, CommentsAndLinesWithoutEqualsAreNotKeys) {
    writeAll(file(), "[Settings]\r\n;Start=1\r\nStart\r\n");
    EXPECT_EQ(settings_.read("Start", "d"), "d");
    EXPECT_EQ(settings_.read(";Start", "d"), "d");
}

TEST_F(IniSettings, QuotesAndDefaults) {
    writeAll(file(), "[Settings]\r\nA=\"quoted\"\r\nB='x'\r\nC=\"\r\nD=\"a'\r\nE=\"\"\r\n");
    EXPECT_EQ(settings_.read("A"), "quoted");
    EXPECT_EQ(settings_.read("B"), "x");
    EXPECT_EQ(settings_.read("C"), "\"");
    EXPECT_EQ(settings_.read("D"), "\"a'");
    EXPECT_EQ(settings_.read("E", "d"), "");
    EXPECT_EQ(settings_.read("Operators", "UA9XX  "), "UA9XX");  // trailing blanks of a default go
}

TEST_F(IniSettings, LongValuesReadWhole) {
    const std::string value(150, 'v');
    const std::string huge(100000, 'h');
    EXPECT_TRUE(settings_.write("SoapBox", value));
    EXPECT_TRUE(settings_.write("Club", huge));
    EXPECT_EQ(settings_.read("SoapBox"), value);
    EXPECT_EQ(settings_.read("Club"), huge);
}

TEST_F(IniSettings, NumbersReadAsAtoiDoes) {
    struct Case {
        const char* stored;
        int value;
    } cases[] = {{"12abc", 12},
                 {"abc", 0},
                 {"", 0},
                 {"-7", -7},
                 {"+3", 3},
                 {" 42", 42},
                 {"0x10", 0},
                 {"99999999999", 2147483647},
                 {"-99999999999", -2147483647 - 1}};
    for (const Case& c : cases) {
        ASSERT_TRUE(settings_.write("baud_x", c.stored));
        EXPECT_EQ(settings_.readInt("baud_x"), c.value) << c.stored;
    }
    EXPECT_EQ(settings_.readInt("missing"), 0);
}

TEST(IniSettingsFolder, MissingPluginsFolderFailsAndCreatesNothing) {
    fakes::TempDir dir;
    IniFileSettings settings(dir.path());
    EXPECT_FALSE(settings.write("Start", "1"));
    EXPECT_EQ(settings.read("Start", "d"), "d");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(IniSettings, ReplacesTheFileWithoutLeavingTemporaries) {
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(settings_.write("Claimed", std::to_string(i)));
    EXPECT_EQ(text(), "[Settings]\r\nClaimed=19\r\n");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path() / "Plugins"))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(IniSettings, BothThreadsReadAndWrite) {
    // The host's thread and the window thread write different keys; no write may be lost.
    std::thread windowThread([&] {
        for (int i = 0; i < 200; ++i) settings_.write("baud_x", std::to_string(i));
    });
    for (int i = 0; i < 200; ++i) {
        settings_.write("Claimed", std::to_string(i));
        const int x = settings_.readInt("baud_x");
        EXPECT_GE(x, 0);
    }
    windowThread.join();
    EXPECT_EQ(settings_.read("baud_x"), "199");
    EXPECT_EQ(settings_.read("Claimed"), "199");
}

}  // namespace
