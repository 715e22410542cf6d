// The Cabrillo export through Stats.dll: the real header dialog driven from a watcher thread,
// the contacts fed with AddData0, GetResult0's summary and "Output" box, and the written files.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "core/ole_date.h"
#include "wine_test_support.h"

namespace {

using stats::OleDateTime;

using AddDataFn = decltype(&AddData0);
using ResetStatsFn = decltype(&ResetStats0);
using GetResultFn = decltype(&GetResult0);

// OLE date of 2026-03-`day` hh:mm (46082 is 2026-03-01).
OleDateTime at(int day, int hour, int minute) {
    return OleDateTime{46082.0 + (day - 1) + (hour * 60 + minute) / 1440.0, OleDateTime::kValid};
}

struct Contact {
    const char* call;
    const char* band;
    const char* mode;
    unsigned hz;
    OleDateTime time;
    const char *rstSent, *numberSent, *rstReceived, *numberReceived, *prefix, *continent;
};

// The contest of the golden files: a dupe, an empty call, a prefix on both bands, a wide call.
const std::vector<Contact> kContacts = {
    {"PY1AA", "40m", "CW", 7025000, at(1, 12, 5), "599", "001", "599", "005", "PY1", "SA"},
    {"LU1BB", "40m", "SSB", 7150000, at(1, 12, 10), "59", "002", "59", "017", "LU", "SA"},
    {"PY2CC", "20m", "CW", 14025000, at(1, 13, 0), "599", "003", "599", "110", "PY2", "SA"},
    {"PY1DD", "20m", "CW", 14030000, at(1, 13, 1), "599", "004", "599", "23", "PY1", "SA"},
    {"PY1AA", "40m", "CW", 7025999, at(1, 14, 2), "599", "005", "599", "006", "PY1", "SA"},
    {"", "20m", "SSB", 14200000, at(1, 14, 3), "59", "006", "59", "1", "", "SA"},
    {"DL1ABC", "20m", "CW", 14010000, at(2, 0, 7), "599", "007", "599", "0042", "DL", "EU"},
    {"9A/OM3ABCDEFGHIJK", "40m", "CW", 7001000, at(2, 23, 59), "599", "1234567", "5999", "12", "9A", "EU"},
};

std::filesystem::path golden(const char* name) {
    // The sources are reached through Wine's Z: drive.
    return std::filesystem::path("Z:" STATS_SOURCE_DIR "/tests/unit/golden") / name;
}

std::filesystem::path hostDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

class CabrilloExport : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.makePluginsFolder();
        // The host executable whose version goes into CREATED-BY.
        std::filesystem::copy_file(hostDir() / "fake_host" / "ZarvFake219.exe",
                                   dir_.path() / "ZarvFake219.exe");
        dll_ = std::make_unique<wine_test::StatsLibrary>();
        addData_ = dll_->get<AddDataFn>("AddData0");
        resetStats_ = dll_->get<ResetStatsFn>("ResetStats0");
        getResult_ = dll_->get<GetResultFn>("GetResult0");
        ASSERT_TRUE(addData_ && resetStats_ && getResult_);
    }

    void writeSettings(const std::string& lines) {
        wine_test::writeFile(dir_.path() / "Plugins" / "SA-TOLVEN.ini", "[Settings]\r\n" + lines);
    }
    std::string settings() const { return wine_test::readFile(dir_.path() / "Plugins" / "SA-TOLVEN.ini"); }

    void reset(int exportRequest, const char* ownCall = "UA9XYZ") {
        const OleDateTime start = at(1, 0, 0), end = at(2, 23, 59);
        resetStats_(nullptr, exportRequest, ownCall, &start, &end, "", "", "", "", "", "", "", "", "", "UA9",
                    0, 0, 0, 0.0, 0.0, "", "", "");
    }

    void feed() {
        for (const Contact& c : kContacts) {
            const OleDateTime t = c.time;
            EXPECT_EQ(addData_("UA9XYZ", c.call, &t, nullptr, nullptr, nullptr, 0, c.hz, c.mode, c.rstSent,
                               c.rstReceived, c.numberSent, c.numberReceived, "", "", "", "", "", "", "", "",
                               c.prefix, "", 0, 0, 0, 0.0, 0.0, "", c.continent, "", c.band, ""),
                      1)
                << c.call;
        }
    }

    // GetResult0, answering the "Output" box; returns the summary and what the box said.
    std::string result(std::string* output) {
        wine_test::DialogWatcher box("Output", IDOK);
        int status = 0;
        const std::string text = getResult_(&status);
        EXPECT_EQ(status, -1);
        const wine_test::SeenDialog seen = box.wait();
        if (output) *output = seen.found ? seen.message : "(no box)";
        return text;
    }

    wine_test::TempWorkDir dir_;
    std::unique_ptr<wine_test::StatsLibrary> dll_;
    AddDataFn addData_ = nullptr;
    ResetStatsFn resetStats_ = nullptr;
    GetResultFn getResult_ = nullptr;
};

TEST_F(CabrilloExport, ConfirmedHeaderGivesTheGoldenFile) {
    writeSettings(
        "Name=Ivan Petrov\r\nAddress=ul. Lenina 1\r\nAddress-City=Omsk\r\nAddress-PostalCode=644000\r\n"
        "Address-Country=Russia\r\nEmail=ua9xyz@example.org\r\nClub=Radio Club Tolven\r\n"
        "SoapBox=Good conditions on 40m.<CR><LF>73 and thanks!\r\n");
    std::string callsign, operators, power, soapbox, claimed;
    {
        wine_test::DialogWatcher dialog("SA TOLVEN", IDOK, [&](HWND d) {
            callsign = wine_test::dialogItemText(d, 1010);
            operators = wine_test::dialogItemText(d, 1006);
            power = wine_test::dialogItemText(d, 1123);
            soapbox = wine_test::dialogItemText(d, 1001);
            claimed = wine_test::dialogItemText(d, 1008);
            const auto shots = wine_test::screenshotDir();
            if (!shots.empty()) wine_test::captureWindow(d, shots / "cabrillo-dialog.bmp");
        });
        reset(1);
        EXPECT_TRUE(dialog.wait().found);
    }
    EXPECT_EQ(callsign, "UA9XYZ");
    EXPECT_EQ(operators, "UA9XYZ");
    EXPECT_EQ(power, "LOW");
    EXPECT_EQ(soapbox, "Good conditions on 40m.\r\n73 and thanks!");
    EXPECT_EQ(claimed, "");

    feed();
    std::string output;
    EXPECT_EQ(result(&output), wine_test::readFile(golden("sample_summary.txt")));
    EXPECT_EQ(output, "File produced: UA9XYZ.cbr");
    EXPECT_EQ(wine_test::readFile(dir_.path() / "UA9XYZ.cbr"), wine_test::readFile(golden("sample.cbr")));

    const std::string ini = settings();
    EXPECT_NE(ini.find("Claimed=18\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Power=LOW\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SoapBox=Good conditions on 40m.<CR><LF>73 and thanks!\r\n"), std::string::npos)
        << ini;

    // A second export after the same reset writes each contact once again.
    EXPECT_EQ(result(&output), wine_test::readFile(golden("sample_summary.txt")));
    EXPECT_EQ(wine_test::readFile(dir_.path() / "UA9XYZ.cbr"), wine_test::readFile(golden("sample.cbr")));
}

TEST_F(CabrilloExport, EditedFieldsReachTheFileAndTheSettings) {
    {
        wine_test::DialogWatcher dialog("SA TOLVEN", IDOK, [](HWND d) {
            SetDlgItemTextA(d, 1123, "HIGH");
            SetDlgItemTextA(d, 1010, "UA9XYZ/P");
            SetDlgItemTextA(d, 1000, "OMS");
            SetDlgItemTextA(d, 1001, "Line one\r\nLine two");
        });
        reset(1, "UA9XYZ/9");
        EXPECT_TRUE(dialog.wait().found);
    }
    feed();
    std::string output;
    result(&output);
    // The file name keeps the reset's callsign; the file carries the edited one.
    EXPECT_EQ(output, "File produced: UA9XYZ_9.cbr");
    const std::string cbr = wine_test::readFile(dir_.path() / "UA9XYZ_9.cbr");
    EXPECT_NE(cbr.find("CALLSIGN: UA9XYZ/P\r\n"), std::string::npos);
    EXPECT_NE(cbr.find("CATEGORY-POWER: HIGH\r\n"), std::string::npos);
    EXPECT_NE(cbr.find("LOCATION: OMS\r\n"), std::string::npos);
    EXPECT_NE(cbr.find("SOAPBOX: Line one\r\nSOAPBOX: Line two\r\nQSO:  7025 CW 2026-03-01 1205 UA9XYZ/P "),
              std::string::npos)
        << cbr;
    EXPECT_NE(cbr.find("CREATED-BY: Zarv 2.19\r\n"), std::string::npos);
    const std::string ini = settings();
    EXPECT_NE(ini.find("Power=HIGH\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Loc=OMS\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SoapBox=Line one<CR><LF>Line two\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Operators=UA9XYZ/9\r\n"), std::string::npos) << ini;

    // The next dialog proposes LOW again and shows the saved soapbox lines.
    std::string power, soapbox;
    {
        wine_test::DialogWatcher dialog("SA TOLVEN", IDCANCEL, [&](HWND d) {
            power = wine_test::dialogItemText(d, 1123);
            soapbox = wine_test::dialogItemText(d, 1001);
        });
        reset(1, "UA9XYZ/9");
        EXPECT_TRUE(dialog.wait().found);
    }
    EXPECT_EQ(power, "LOW");
    EXPECT_EQ(soapbox, "Line one\r\nLine two");
}

TEST_F(CabrilloExport, CancelSwitchesTheExportOff) {
    writeSettings("Name=Ivan\r\n");
    const std::string before = settings();
    {
        wine_test::DialogWatcher dialog("SA TOLVEN", IDCANCEL,
                                        [](HWND d) { SetDlgItemTextA(d, 1007, "Changed"); });
        reset(1);
        EXPECT_TRUE(dialog.wait().found);
    }
    feed();
    int status = 0;
    // No "Output" box can block here: the export is off.
    EXPECT_EQ(std::string(getResult_(&status)), wine_test::readFile(golden("sample_summary.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "UA9XYZ.cbr"));
    const std::string ini = settings();
    EXPECT_NE(ini.find("Name=Ivan\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("Changed"), std::string::npos) << ini;
}

TEST_F(CabrilloExport, HostVersionWithBuildNumber) {
    std::filesystem::remove(dir_.path() / "ZarvFake219.exe");
    std::filesystem::copy_file(hostDir() / "fake_host" / "ZarvFake314.exe", dir_.path() / "ZarvFake314.exe");
    {
        wine_test::DialogWatcher dialog("SA TOLVEN", IDOK);
        reset(1);
        EXPECT_TRUE(dialog.wait().found);
    }
    std::string output;
    result(&output);
    const std::string cbr = wine_test::readFile(dir_.path() / "UA9XYZ.cbr");
    EXPECT_NE(cbr.find("CREATED-BY: Zarv 3.1.4\r\n"), std::string::npos) << cbr;
    EXPECT_NE(cbr.find("CLAIMED-SCORE: 0\r\nCLUB: \r\n"), std::string::npos) << cbr;
}

TEST_F(CabrilloExport, UnwritableFileIsReported) {
    // A folder of the file's name stands in the way.
    std::filesystem::create_directory(dir_.path() / "UA9XYZ.cbr");
    {
        wine_test::DialogWatcher dialog("SA TOLVEN", IDOK);
        reset(1);
        EXPECT_TRUE(dialog.wait().found);
    }
    std::string output;
    result(&output);
    EXPECT_EQ(output, "The Cabrillo file could not be written: UA9XYZ.cbr");
}

}  // namespace
