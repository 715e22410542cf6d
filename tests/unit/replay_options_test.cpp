#include "tools/replay_options.h"

#include <gtest/gtest.h>

using namespace replay;
using namespace std::chrono;

namespace {

bool parse(std::vector<std::string_view> args, ReplayOptions& o, std::string& error) {
    o = {};
    error.clear();
    return parseOptions(args, o, error);
}

TEST(ReplayOptions, TheWholeContract) {
    ReplayOptions o;
    std::string error;
    ASSERT_TRUE(parse(
        {"--call",   "CE3XX", "--country=CE", "--start", "2026-03-01", "--end=2026-03-02", "--dir", "w",
         "--export", "--cty", "cty.dat",      "--check", "LU1AA",      "--band",           "40M",   "--mode",
         "cw",       "--lib", "x/Stats.so",   "log.adi"},
        o, error))
        << error;
    EXPECT_EQ(o.call, "CE3XX");
    EXPECT_EQ(o.country, "CE");
    EXPECT_EQ(o.start, sys_days{year{2026} / March / 1});
    EXPECT_EQ(o.end, sys_days{year{2026} / March / 2});
    EXPECT_EQ(o.dir, "w");
    EXPECT_TRUE(o.exportLog);
    EXPECT_EQ(o.cty, "cty.dat");
    EXPECT_TRUE(o.check);
    EXPECT_EQ(o.checkCall, "LU1AA");
    EXPECT_EQ(o.checkBand, "40m");
    EXPECT_EQ(o.checkMode, "CW");
    EXPECT_EQ(o.library, "x/Stats.so");
    EXPECT_EQ(o.logFile, "log.adi");

    ASSERT_TRUE(parse({"--", "--odd-name.adi"}, o, error));
    EXPECT_EQ(o.logFile, "--odd-name.adi");
    ASSERT_TRUE(parse({"--verify", "--start", "2026-03-07", "log.cbr"}, o, error));
    EXPECT_TRUE(o.verify);
    ASSERT_TRUE(parse({"--help"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(ReplayOptions, WrongCommandLinesSayWhy) {
    struct Case {
        std::vector<std::string_view> args;
        const char* errorPart;
    } cases[] = {
        {{}, "no log file"},
        {{"--call", "X"}, "no log file"},
        {{"a.adi", "b.adi"}, "more than one log file"},
        {{"--bogus", "a.adi"}, "unknown option '--bogus'"},
        {{"-x", "a.adi"}, "unknown option '-x'"},
        {{"a.adi", "--call"}, "--call needs a value"},
        {{"a.adi", "--call="}, "non-empty"},
        {{"a.adi", "--start", "2026-02-30"}, "not a date"},
        {{"a.adi", "--end", "1.3.2026"}, "not a date"},
        {{"a.adi", "--start", "2026-03-02", "--end", "2026-03-01"}, "ends before it starts"},
        {{"a.adi", "--check", "LU1AA"}, "--check needs --band and --mode"},
        {{"--verify", "--export", "a.cbr"}, "does not go with --export"},
        {{"--verify=1", "a.cbr"}, "takes no value"},
        {{"a.adi", "--check", "LU1AA", "--band", "40m"}, "--check needs --band and --mode"},
        {{"a.adi", "--band", "40m", "--mode", "CW"}, "belong to --check"},
        {{"a.adi", "--export=1"}, "--export takes no value"},
    };
    for (const Case& c : cases) {
        ReplayOptions o;
        std::string error;
        EXPECT_FALSE(parse(c.args, o, error)) << c.errorPart;
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
    }
}

TEST(ReplayOptions, HelpNamesEveryOption) {
    const std::string help = usageText();
    for (const char* option : {"--call", "--country", "--start", "--end", "--dir", "--export", "--cty",
                               "--check", "--band", "--mode", "--lib", "--version", "--help"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
