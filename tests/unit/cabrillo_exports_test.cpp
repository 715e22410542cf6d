// An export-mode contest through Stats.so, as the host drives it: ResetStats0 (the header
// confirmed unchanged where there is no screen), AddData0 per contact, GetResult0.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "plugin/exports.h"
#include "report_fixture.h"

namespace stats {
namespace {

using namespace stats::testing;

// Runs in a fresh current directory: the plug-in writes err.txt, the settings and the .cbr there.
class CabrilloExports : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        lib_ = dlopen(STATS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (lib_) dlclose(lib_);
        std::filesystem::current_path(previous_);
    }
    template <typename F>
    F fn(const char* name) {
        return reinterpret_cast<F>(dlsym(lib_, name));
    }

    TempDir dir_;
    std::filesystem::path previous_;
    void* lib_ = nullptr;
};

TEST_F(CabrilloExports, SampleContestGivesTheGoldenSummaryAndFile) {
    std::filesystem::create_directory("Plugins");
    {
        std::ofstream ini("Plugins/SA-TOLVEN.ini", std::ios::binary);
        ini << "[Settings]\r\nName=Ivan Petrov\r\nAddress=ul. Lenina 1\r\nAddress-City=Omsk\r\n"
               "Address-PostalCode=644000\r\nAddress-Country=Russia\r\nEmail=ua9xyz@example.org\r\n"
               "Club=Radio Club Tolven\r\nSoapBox=Good conditions on 40m.<CR><LF>73 and thanks!\r\n";
    }
    std::filesystem::copy_file(golden("version_2_19_7_1_i686.exe"), "ZarvHost.exe");

    const OleDateTime start = at(1, 0, 0), end = at(2, 23, 59);
    fn<decltype(&ResetStats0)>("ResetStats0")(nullptr, 1, "UA9XYZ", &start, &end, "", "", "", "", "", "", "",
                                              "", "", "UA9", 0, 0, 0, 0.0, 0.0, "", "", "");
    auto addData = fn<decltype(&AddData0)>("AddData0");
    for (const CInfo& c : sampleContacts()) {
        // The host passes hertz and every contact's prefix and continent; only SA prefixes count.
        const bool sa = !c.saPrefix.empty() || c.call.empty();
        const std::string prefix = sa ? c.saPrefix : "DL";
        ASSERT_EQ(
            addData("UA9XYZ", c.call.c_str(), &c.qsoTime, nullptr, nullptr, nullptr, 0,
                    c.frequencyKHz * 1000 + 999, c.mode.c_str(), c.rstSent.c_str(), c.rstReceived.c_str(),
                    c.numberSent.c_str(), c.numberReceived.c_str(), "", "", "", "", "", "", "", "",
                    prefix.c_str(), "", 0, 0, 0, 0.0, 0.0, "", sa ? "SA" : "EU", "", c.band.c_str(), ""),
            1)
            << c.call;
    }
    ::testing::internal::CaptureStderr();
    int status = 0;
    const std::string summary = fn<decltype(&GetResult0)>("GetResult0")(&status);
    const std::string shown = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(status, -1);
    EXPECT_EQ(summary, readFile(golden("sample_summary.txt")));
    EXPECT_EQ(shown, "Output: File produced: UA9XYZ.cbr\n");
    EXPECT_EQ(readFile("UA9XYZ.cbr"), readFile(golden("sample.cbr")));
    const std::string ini = readFile("Plugins/SA-TOLVEN.ini");
    EXPECT_NE(ini.find("Claimed=18"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SoapBox=Good conditions on 40m.<CR><LF>73 and thanks!"), std::string::npos) << ini;
}

}  // namespace
}  // namespace stats
