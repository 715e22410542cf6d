#include "cabrillo/cabrillo_header.h"
#include "cabrillo/header_answers.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "report_fixture.h"

namespace stats {
namespace {

using namespace stats::testing;

// A dialog stand-in: records what it was shown, then applies `edit` and answers OK or Cancel.
class ScriptedDialog final : public HeaderDialog {
  public:
    bool ok = true;
    std::function<void(CabrilloLog&)> edit;
    std::optional<CabrilloLog> shown;
    bool run(CabrilloLog& fields) override {
        shown = fields;
        if (edit) edit(fields);
        return ok;
    }
};

class CountingWindows final : public WindowThread {
  public:
    bool panel = false;
    int kills = 0;
    void start() override {}
    bool panelExists() const override { return panel; }
    void armRefreshTimer() override {}
    void killRefreshTimer() override { ++kills; }
    void stop() override {}
};

struct HeaderRun {
    MemorySettings settings;
    ScriptedDialog dialog;
    CountingWindows windows;
    CabrilloLog log;
    int run(const std::string& call = "UA9XYZ") {
        return loadCabrilloHeader(log, call, at(1, 0, 0), at(2, 23, 59), settings, dialog, windows);
    }
};

TEST(CabrilloHeader, EmptySettingsShowFixedValues) {
    HeaderRun h;
    ASSERT_EQ(h.run(), 1);
    const CabrilloLog& d = *h.dialog.shown;
    EXPECT_EQ(d.callsign, "UA9XYZ");
    EXPECT_EQ(d.operators, "UA9XYZ");
    EXPECT_EQ(d.contest, "SA-TOLVEN");
    EXPECT_EQ(d.categoryOperator, "SINGLE-OP");
    EXPECT_EQ(d.categoryBand, "ALL");
    EXPECT_EQ(d.categoryMode, "CW");
    EXPECT_EQ(d.categoryPower, "LOW");
    EXPECT_EQ(d.categoryAssisted, "NON-ASSISTED");
    EXPECT_EQ(d.categoryTransmitter, "ONE");
    EXPECT_EQ(d.certificate, "NO");
    for (auto field :
         {&CabrilloLog::claimed, &CabrilloLog::name, &CabrilloLog::address, &CabrilloLog::addressCity,
          &CabrilloLog::addressPostalCode, &CabrilloLog::addressCountry, &CabrilloLog::club,
          &CabrilloLog::email, &CabrilloLog::soapbox, &CabrilloLog::location})
        EXPECT_EQ(d.*field, "");
    EXPECT_EQ(h.settings.reads,
              (std::vector<std::string>{"Operators", "Name", "Address", "Address-City", "Address-PostalCode",
                                        "Address-Country", "Claimed", "Email", "Club", "SoapBox"}));
}

TEST(CabrilloHeader, OkSavesInOrderAndPreparesTheWriter) {
    HeaderRun h;
    const std::string longName(150, 'N');  // read back whole, not cut at 99 characters
    h.settings.values = {{"Operators", "UA9XYZ UA9ABC"},
                         {"Name", longName},
                         {"Address", "ul. Lenina 1"},
                         {"Address-City", "Omsk"},
                         {"Claimed", "245"},
                         {"Email", "a@b.c"},
                         {"Club", "RCT"},
                         {"SoapBox", "Hi<CR><LF>73"},
                         {"Power", "HIGH"}};
    h.log.qsoLines = {"old line\r\n"};
    h.dialog.edit = [](CabrilloLog& f) {
        EXPECT_EQ(f.soapbox, "Hi\r\n73");
        f.categoryPower = "HIGH";
        f.callsign = "UA9XYZ/P";
        f.location = "OMS";
        f.claimed = "999";
        f.soapbox = "Line one\r\nLine two";
    };
    ASSERT_EQ(h.run(), 1);
    EXPECT_EQ(h.dialog.shown->name, longName);
    EXPECT_EQ(h.dialog.shown->claimed, "245");
    // Power still starts from LOW whatever was saved.
    EXPECT_EQ(h.dialog.shown->categoryPower, "LOW");

    std::vector<std::pair<std::string, std::string>> expected = {{"Band", "ALL"},
                                                                 {"Power", "HIGH"},
                                                                 {"Operators", "UA9XYZ UA9ABC"},
                                                                 {"Name", longName},
                                                                 {"Address", "ul. Lenina 1"},
                                                                 {"Address-City", "Omsk"},
                                                                 {"Address-PostalCode", ""},
                                                                 {"Address-Country", ""},
                                                                 {"Category", "SINGLE-OP"},
                                                                 {"Contest", "SA-TOLVEN"},
                                                                 {"Email", "a@b.c"},
                                                                 {"Club", "RCT"},
                                                                 {"SoapBox", "Line one<CR><LF>Line two"},
                                                                 {"Loc", "OMS"},
                                                                 {"Mode", "CW"},
                                                                 {"Assisted", "NON-ASSISTED"}};
    EXPECT_EQ(h.settings.writes, expected);

    EXPECT_EQ(h.log.callsign, "UA9XYZ/P");
    EXPECT_EQ(h.log.fileBaseName, "UA9XYZ");  // from the reset's callsign, not the edited one
    EXPECT_EQ(h.log.claimed, "245");          // shown only, never taken back
    EXPECT_EQ(h.log.soapbox, "Line one\r\nSOAPBOX: Line two");
    EXPECT_TRUE(h.log.qsoLines.empty());
}

TEST(CabrilloHeader, CancelKeepsSettingsAndLines) {
    HeaderRun h;
    h.settings.values = {{"Name", "Ivan"}};
    h.log.qsoLines = {"old line\r\n"};
    h.log.location = "OMS";
    h.dialog.ok = false;
    h.dialog.edit = [](CabrilloLog& f) {
        f.name = "changed";
        f.location = "XX";
    };
    EXPECT_EQ(h.run(), 0);
    EXPECT_TRUE(h.settings.writes.empty());
    EXPECT_EQ(h.log.name, "Ivan");
    EXPECT_EQ(h.log.location, "OMS");
    EXPECT_EQ(h.log.qsoLines, (std::vector<std::string>{"old line\r\n"}));
}

TEST(CabrilloHeader, SoapboxRoundTrips) {
    struct Case {
        std::string typed, stored, writerForm;
    } cases[] = {
        {"one\r\ntwo", "one<CR><LF>two", "one\r\nSOAPBOX: two"},
        {"one\r\n", "one<CR><LF>", "one\r\nSOAPBOX: "},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        HeaderRun h;
        h.dialog.edit = [&](CabrilloLog& f) { f.soapbox = c.typed; };
        ASSERT_EQ(h.run(), 1);
        EXPECT_EQ(h.settings.values["SoapBox"], c.stored);
        EXPECT_EQ(h.log.soapbox, c.writerForm);
        // The next dialog shows the lines as they were typed.
        h.dialog.edit = nullptr;
        ASSERT_EQ(h.run(), 1);
        EXPECT_EQ(h.dialog.shown->soapbox, c.typed);
    }
}

TEST(CabrilloHeader, RefreshTimerStopsOnlyWhenAPanelRuns) {
    HeaderRun h;
    h.run();
    EXPECT_EQ(h.windows.kills, 0);
    h.windows.panel = true;
    h.run();
    EXPECT_EQ(h.windows.kills, 1);
}

TEST(CabrilloHeader, FileBaseName) {
    struct Case {
        const char* call;
        const char* name;
    } cases[] = {
        {"UA9XYZ", "UA9XYZ"},
        {"UA9XYZ/P", "UA9XYZ_P"},
        {"UA9XYZ\\P", "UA9XYZ_P"},
        {"  UA9XYZ \t", "UA9XYZ"},
        {"", "KVOR"},
        {" \t ", "KVOR"},
        {"C:X", "C_X"},
        {"../../x", ".._.._x"},
        {"a*b?c\"d<e>f|g", "a_b_c_d_e_f_g"},
        {"A\x01"
         "B",
         "A_B"},
        {"UA 9", "UA 9"},
        {"con", "con_"},
        {"NUL", "NUL_"},
        {"COM10", "COM10"},
        {"\xc0\xc1", "\xc0\xc1"},
    };
    for (const Case& c : cases) EXPECT_EQ(cabrilloFileBaseName(c.call), c.name) << c.call;
}

TEST(CabrilloHeader, ReplaceAll) {
    EXPECT_EQ(replaceAll("a<CR>b<CR>", "<CR>", "\r"), "a\rb\r");
    EXPECT_EQ(replaceAll("aaaa", "aa", "a"), "aa");  // no overlap, no rescan
    EXPECT_EQ(replaceAll("abc", "b", "b"), "abc");
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(replaceAll("", "a", "b"), "");
    EXPECT_EQ(replaceAll("xax", "a", "aa"), "xaax");
}

TEST(CabrilloHeader, ComboSelection) {
    const std::vector<std::string> power = {"HIGH", "LOW", "QRP"};
    EXPECT_EQ(comboSelection(power, "LOW"), 1u);
    EXPECT_EQ(comboSelection(power, "low"), 1u);
    EXPECT_EQ(comboSelection(power, "Q"), 2u);
    EXPECT_EQ(comboSelection(power, "LOWER"), std::nullopt);
    EXPECT_EQ(comboSelection(power, ""), std::nullopt);
    const std::vector<std::string> op = {"SINGLE-OP", "MULTI-OP", "MULTI-OP HQCHECKLOG"};
    EXPECT_EQ(comboSelection(op, "MULTI-OP H"), 2u);
    EXPECT_EQ(comboSelection(op, "MULTI"), 1u);
}

TEST(CabrilloHeader, ControlTableCoversEveryField) {
    const auto& controls = headerControls();
    EXPECT_EQ(controls.size(), 23u);
    std::set<int> ids;
    for (const auto& c : controls) ids.insert(c.id);
    EXPECT_EQ(ids.size(), 23u);
}

// The headless dialog's answers: what the text sets, and text that is refused whole.
TEST(CabrilloHeader, AnswersAsText) {
    const HeaderAnswers answers = {{"CATEGORY-POWER", "HIGH"}, {"SOAPBOX", "one\r\n\r\nthree"}, {"EMAIL", ""}};
    const std::string text = formatHeaderAnswers(answers);
    EXPECT_EQ(text, "CATEGORY-POWER=HIGH\nSOAPBOX=one\nSOAPBOX=\nSOAPBOX=three\nEMAIL=\n");
    CabrilloLog fields;
    fields.email = "old@example.org";
    fields.name = "kept";
    std::string problem;
    ASSERT_TRUE(applyHeaderAnswers(text, fields, problem)) << problem;
    EXPECT_EQ(fields.categoryPower, "HIGH");
    EXPECT_EQ(fields.soapbox, "one\r\n\r\nthree");
    EXPECT_EQ(fields.email, "");
    EXPECT_EQ(fields.name, "kept");
    ASSERT_TRUE(applyHeaderAnswers("category-mode=SSB\r\nNAME=a=b\r\n", fields, problem));
    EXPECT_EQ(fields.categoryMode, "SSB");
    EXPECT_EQ(fields.name, "a=b");
    for (const char* bad : {"NAME=x\nCATEGORY-STATION=FIXED\n", "NAME=x\nno tag\n", "NAME=x\n\n", "CLAIMED=5"}) {
        CabrilloLog before;
        EXPECT_FALSE(applyHeaderAnswers(bad, before, problem)) << bad;
        EXPECT_EQ(before.name, "") << "nothing applied: " << bad;
        EXPECT_NE(problem.find("line "), std::string::npos) << problem;
    }
}

}  // namespace
}  // namespace stats

#include "platform/portable/ini_settings.h"

namespace stats {
namespace {

using namespace stats::testing;

// The header step on the real settings file: missing at first, then filled by the confirmed dialog.
TEST(CabrilloHeader, SettingsFileRoundTrip) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "Plugins");
    IniFileSettings settings(dir.path());
    ScriptedDialog dialog;
    NoWindowThread windows;
    CabrilloLog log;

    const std::string longClub(150, 'C');
    dialog.edit = [&](CabrilloLog& f) {
        EXPECT_EQ(f.operators, "CE3ABC");
        EXPECT_EQ(f.name, "");
        f.club = longClub;
        f.soapbox = "First line\r\nSecond line\r\n";
    };
    ASSERT_EQ(loadCabrilloHeader(log, "CE3ABC", {}, {}, settings, dialog, windows), 1);
    const std::string file = readFile(settings.filePath());
    EXPECT_NE(file.find("SoapBox=First line<CR><LF>Second line<CR><LF>\r\n"), std::string::npos) << file;
    EXPECT_LT(file.find("Band=ALL"), file.find("Assisted=NON-ASSISTED"));

    // The next dialog shows what was saved, whole, with the line breaks back.
    dialog.edit = [&](CabrilloLog& f) {
        EXPECT_EQ(f.club, longClub);
        EXPECT_EQ(f.soapbox, "First line\r\nSecond line\r\n");
    };
    ASSERT_EQ(loadCabrilloHeader(log, "CE3ABC", {}, {}, settings, dialog, windows), 1);
    EXPECT_EQ(log.soapbox, "First line\r\nSOAPBOX: Second line\r\nSOAPBOX: ");
}

}  // namespace
}  // namespace stats
