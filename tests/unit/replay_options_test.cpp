#include "tools/replay/replay_options.h"

#include "tools/host/command_line.h"
#include "tools/host/header_choices.h"
#include "tools/logs/log_input.h"
#include "tools/submission/verify_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace logs;
using namespace replay;
using namespace host;
using namespace std::chrono;

namespace {

bool parse(std::vector<std::string_view> args, ReplayOptions& o, std::string& error) {
    o = {};
    error.clear();
    return parseOptions(args, o, error);
}

// The options a --help text lists: the names at the start of each entry ("-h, --help": both).
std::vector<std::string> listedOptions(const std::string& help) {
    std::vector<std::string> names;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("  -")) continue;
        std::istringstream words(line);
        for (std::string word; words >> word && word.starts_with('-');)
            names.push_back(word.ends_with(',') ? word.substr(0, word.size() - 1) : word);
    }
    return names;
}

TEST(ReplayOptions, TheWholeContract) {
    ReplayOptions o;
    std::string error;
    ASSERT_TRUE(parse(
        {"--call",   "CE3XX", "--country=CE", "--start", "2026-03-01", "--end=2026-03-02", "--dir", "w",
         "--export", "--cty", "cty.dat",      "--check", "LU1AA",      "--band",           "40M",   "--mode",
         "cw",       "--lib", "x/Stats.so",   "--report",  "r.html",     "--min-break=45",   "--compare",
         "b.cbr",    "--qso-csv", "q.csv", "log.adi"},
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
    EXPECT_EQ(o.minBreak, 45);
    EXPECT_EQ(o.compare, "b.cbr");
    EXPECT_EQ(o.qsoCsv, "q.csv");

    // The header dialog's fields: empty values allowed, the last one wins, --soapbox adds lines.
    ASSERT_TRUE(parse({"--export", "--category-mode", "SSB", "--email=", "--soapbox", "a", "--category-mode=cw",
                       "--soapbox=", "--soapbox", "c", "--address-state-province", "V", "log.adi"},
                      o, error))
        << error;
    EXPECT_EQ(o.header, (stats::HeaderAnswers{{"CATEGORY-MODE", "cw"},
                                              {"EMAIL", ""},
                                              {"SOAPBOX", "a\r\n\r\nc"},
                                              {"ADDRESS-STATE-PROVINCE", "V"}}));

    ASSERT_TRUE(parse({"--call=AB=", "log.adi"}, o, error)) << error;  // a value ending in '=' keeps it
    EXPECT_EQ(o.call, "AB=");

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
        {{"--verify", "--report", "r.html", "a.cbr"}, "does not go with --report"},
        {{"--verify", "--qso-csv=-", "a.cbr"}, "does not go with --qso-csv"},
        {{"--report", "r.html", "--compare", "-", "-"}, "standard input gives one log"},
        {{"--verify=1", "a.cbr"}, "takes no value"},
        {{"a.adi", "--check", "LU1AA", "--band", "40m"}, "--check needs --band and --mode"},
        {{"a.adi", "--band", "40m", "--mode", "CW"}, "belong to --check"},
        {{"a.adi", "--export=1"}, "--export takes no value"},
        {{"a.adi", "--category-power", "HIGH"}, "(--category-power) belong to --export"},
        {{"a.adi", "--export", "--soapbox", "two\nlines"}, "once per line"},
        {{"a.adi", "--export", "--category-station", "FIXED"}, "unknown option '--category-station'"},
        {{"a.adi", "--export", "--email"}, "--email needs a value"},
        {{"a.adi", "--compare", "b.adi"}, "--compare belongs to --report"},
        {{"a.adi", "--min-break", "10"}, "--min-break belongs to --report"},
        {{"a.adi", "--report", "./a.adi"}, "--report ./a.adi is a log this run reads"},
        {{"a.adi", "--report", "r.html", "--compare", "b.cbr", "--qso-csv", "x/../b.cbr"}, "--qso-csv x/../b.cbr is a log"},
        {{"a.adi", "--report", "r.html", "--min-break", "0"}, "not a number of minutes"},
        {{"a.adi", "--report", "r.html", "--min-break", "99999999999"}, "not a number of minutes"},
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
    EXPECT_TRUE(help.starts_with("Usage: stats-replay [options] LOG\n")) << help;
    const std::vector<std::string> listed = listedOptions(help);
    auto isListed = [&](const std::string& name) { return std::find(listed.begin(), listed.end(), name) != listed.end(); };
    for (const char* option : {"--call", "--country", "--start", "--end", "--dir", "--export", "--verify", "--cty",
                               "--check", "--band", "--mode", "--lib", "--report", "--compare", "--min-break",
                               "--qso-csv", "--version", "--help", "-h"})
        EXPECT_TRUE(isListed(option)) << option;
    for (const auto& field : stats::headerAnswerFields()) EXPECT_TRUE(isListed(headerOptionName(field.tag))) << field.tag;
    // Every option listed is one the command line knows.
    for (const std::string& name : listed) {
        ReplayOptions o;
        std::string error;
        parse({name}, o, error);
        EXPECT_EQ(error.find("unknown option"), std::string::npos) << name << ": " << error;
    }
    EXPECT_EQ(listed.size(), 19u + stats::headerAnswerFields().size());
    for (const char* note : {"Exit status:", "--opt=VALUE", "START-OF-LOG:", "not with --export, --check, --report, --qso-csv"})
        EXPECT_NE(help.find(note), std::string::npos) << note;
}

TEST(VerifyOptions, HelpNamesEveryOption) {
    const std::string help = verify::verifyUsageText();
    EXPECT_TRUE(help.starts_with("Usage: stats-verify [options] LOG.cbr\n")) << help;
    const std::vector<std::string> listed = listedOptions(help);
    EXPECT_EQ(listed, (std::vector<std::string>{"--call", "--country", "--dir", "--cty", "--lib", "--contest", "--start",
                                                "--end", "--version", "-h", "--help"}));
    for (const std::string& name : listed) {
        verify::VerifyOptions o;
        std::string error;
        verify::parseVerifyOptions({name}, o, error);
        EXPECT_EQ(error.find("unknown option"), std::string::npos) << name << ": " << error;
    }
    EXPECT_NE(help.find("Exit status: 0 no error"), std::string::npos);
}

// --help made from an application's declarations: the usage line, the description, the options by
// group with their value names, aligned and wrapped, then the notes.
TEST(CommandLineHelp, MadeFromTheDeclarations) {
    CLI::App app("Does a thing to the FILEs. " + std::string(30, 'x') + " a description long enough to wrap "
                 "onto a second line of the help.",
                 "tool");
    applyConventions(app);
    std::string folder, name = "standard", hidden;
    int count = 3;
    bool flag = false;
    std::vector<std::string> files;
    app.add_option("--folder", folder, "where it goes")->option_text("DIR")->required();
    app.add_option("--name", name, "its name")->capture_default_str();
    app.add_option("--a-rather-long-option-name", count,
                   "a description that is long enough to be wrapped onto a second line: " + std::string(60, 'y'))
        ->option_text("N")
        ->group("Tuning");
    app.add_flag("-f,--flag", flag, "a flag");
    app.add_option("--hidden", hidden)->group("");
    app.add_option("FILE", files, "the files");
    const std::string help = helpText(app, "Exit status: 0.");
    const std::string expected =
        "Usage: tool --folder DIR [options] FILE...\n"
        "\n"
        "Does a thing to the FILEs. xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx a description long enough to wrap onto a\n"
        "second line of the help.\n"
        "\n"
        "Options:\n"
        "  --folder DIR              where it goes (required)\n"
        "  --name VALUE              its name (default: standard)\n"
        "  -f, --flag                a flag\n"
        "  FILE...                   the files\n"
        "\n"
        "Tuning:\n"
        "  --a-rather-long-option-name N\n"
        "                            a description that is long enough to be wrapped onto a second line:\n"
        "                            yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy\n"
        "\n"
        "Exit status: 0.\n";
    EXPECT_EQ(help, expected);
}

// The header answers an operator would give: the Cabrillo input's categories, else mode and band
// from the contacts; options win. Contacts are "mode band" pairs.
TEST(HeaderChoices, DerivedFromTheLogOptionsWin) {
    using A = stats::HeaderAnswers;
    struct Case {
        std::vector<std::pair<const char*, const char*>> contacts;
        A header;
        A given;
        A expected;
    } cases[] = {
        {{}, {}, {}, {}},
        {{{"CW", "40m"}, {"CW", "40m"}}, {}, {}, {{"CATEGORY-MODE", "CW"}, {"CATEGORY-BAND", "40M"}}},
        {{{"SSB", "20m"}, {"FT8", "15m"}}, {}, {}, {{"CATEGORY-MODE", "SSB"}, {"CATEGORY-BAND", "20M"}}},
        {{{"CW", "40m"}, {"SSB", "20m"}}, {}, {}, {{"CATEGORY-MODE", "MIXED"}, {"CATEGORY-BAND", "ALL"}}},
        {{{"RTTY", "80m"}}, {}, {}, {}},
        {{{"CW", "40m"}, {"SSB", "20m"}},
         {{"CALLSIGN", "LU1AA"}, {"CATEGORY-MODE", "SSB"}, {"CATEGORY-POWER", "HIGH"}, {"CATEGORY-STATION", "FIXED"},
          {"CATEGORY-OVERLAY", ""}, {"NAME", "x"}},
         {},
         {{"CATEGORY-MODE", "SSB"}, {"CATEGORY-POWER", "HIGH"}, {"CATEGORY-BAND", "ALL"}}},
        {{{"CW", "40m"}},
         {{"CATEGORY-POWER", "HIGH"}},
         {{"CATEGORY-POWER", "QRP"}, {"CATEGORY-MODE", "MIXED"}, {"EMAIL", ""}},
         {{"CATEGORY-POWER", "QRP"}, {"CATEGORY-MODE", "MIXED"}, {"CATEGORY-BAND", "40M"}, {"EMAIL", ""}}},
    };
    for (const Case& c : cases) {
        LoadedLog log;
        for (const auto& [mode, band] : c.contacts) {
            ReplayQso qso;
            qso.mode = mode;
            qso.band = band;
            log.contacts.add(qso, 1);
        }
        log.header = c.header;
        EXPECT_EQ(headerAnswersFor(log, c.given), c.expected) << c.contacts.size() << " contacts";
    }
    EXPECT_EQ(offListWarning("--category-mode", "CATEGORY-MODE", "MIXED"), std::nullopt);
    EXPECT_EQ(offListWarning("--name", "NAME", "anything"), std::nullopt);
    EXPECT_EQ(offListWarning("--category-mode", "CATEGORY-MODE", "ssb"),
              "--category-mode 'ssb' is not in the dialog's list (CW, SSB, MIXED); it goes into the file as given");
}

}  // namespace
