// GetResult0 on a plug-in object with fake services: summary, claimed score, prefixes, export.
#include <gtest/gtest.h>

#include "plugin/plugin.h"
#include "platform/portable/headless_reports.h"
#include "report_fixture.h"

namespace stats {
namespace {

using namespace stats::testing;

struct PluginRig {
    TempDir dir;
    MemorySettings settings;
    RecordingMessages messages;
    NoWindowThread windows;
    ConfirmingHeaderDialog dialog;
    FixedHostFiles host{HostVersion{2, 19, 7}};
    Plugin plugin{PluginServices{settings, messages, windows, dialog, host, dir.path()}};

    void feed(const std::vector<CInfo>& contacts, std::vector<std::string> bands, int exportRequested = 0) {
        plugin.updateState([&](ContestState& s) {
            fillStore(s.qsoStore, contacts);
            s.bandList = std::move(bands);
            s.periodStartText = "01.03";
            s.periodEndText = "02.03.2026";
            s.contestant = "UA9XYZ";
            s.exportRequested = exportRequested;
        });
    }
};

TEST(GetResult, SummaryClaimedAndPrefixes) {
    PluginRig rig;
    rig.feed(sampleContacts(), {"20m", "40m"});
    int status = 0;
    const char* text = rig.plugin.getResult(&status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(std::string(text), readFile(golden("sample_summary.txt")));
    EXPECT_EQ(rig.plugin.claimedScore(), 18);
    EXPECT_EQ(rig.settings.values["Claimed"], "18");
    EXPECT_EQ(rig.plugin.state().workedSaPrefixes, (std::vector<std::string>{"PY1", "LU", "PY2"}));
    EXPECT_EQ(rig.plugin.state().bandList, (std::vector<std::string>{"40m", "20m"}));
    // Not in export mode: no file, no message.
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_TRUE(std::filesystem::is_empty(rig.dir.path()));

    // A null status is ignored; "Claimed" is written on every call.
    rig.settings.writes.clear();
    EXPECT_EQ(std::string(rig.plugin.getResult(nullptr)), readFile(golden("sample_summary.txt")));
    EXPECT_EQ(rig.settings.writes, (std::vector<std::pair<std::string, std::string>>{{"Claimed", "18"}}));
}

TEST(GetResult, EmptyContest) {
    PluginRig rig;
    int status = 5;
    EXPECT_NE(std::string(rig.plugin.getResult(&status))
                  .find("Total\t 0\t 0\t 0\t 0\t 0\r\n\r\nScore: 0*0 = 0\r\n"),
              std::string::npos);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(rig.settings.values["Claimed"], "0");
}

TEST(GetResult, ExportModeWritesTheFileAfterTheSummary) {
    PluginRig rig;
    rig.feed(sampleContacts(), {"40m", "20m"}, 1);
    rig.plugin.getResult(nullptr);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].caption, "Output");
    const std::string cbr = readFile(rig.dir.path() / ".cbr");
    EXPECT_NE(cbr.find("CLAIMED-SCORE: 18\r\n"), std::string::npos);
    EXPECT_NE(cbr.find("CREATED-BY: Zarv 2.19\r\n"), std::string::npos);
}

}  // namespace
}  // namespace stats

#include <atomic>
#include <thread>

namespace stats {
namespace {

using namespace stats::testing;

// The window thread reads the prefix list while summaries rebuild it: it only ever sees a whole
// list (run under the thread sanitizer to see the lock at work).
TEST(GetResult, WindowThreadSeesWholePrefixLists) {
    PluginRig rig;
    rig.feed(sampleContacts(), {"20m", "40m"});
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            const std::size_t n =
                rig.plugin.withState([](const ContestState& s) { return s.workedSaPrefixes.size(); });
            if (n != 0 && n != 3) ++torn;
        }
    });
    for (int i = 0; i < 300; ++i) rig.plugin.getResult(nullptr);
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace stats
