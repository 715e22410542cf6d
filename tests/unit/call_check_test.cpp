// The call check: result codes, the host's two buffers and the refresh timer.
#include "core/call_check.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_services.h"

using namespace stats;

namespace {

QsoParams contact(std::string_view call, std::string_view prefix, std::string_view continent = "SA",
                  std::string_view band = "40m", std::string_view mode = "CW") {
    QsoParams q;
    q.call = call;
    q.band = band;
    q.mode = mode;
    q.numberSent = "1";
    q.numberReceived = "2";
    q.prefix = prefix;
    q.continent = continent;
    return q;
}

class CallCheck : public ::testing::Test {
  protected:
    static constexpr char kUntouched = '#';

    CallCheck() {
        std::memset(out_, kUntouched, sizeof out_);
        std::memset(hint_, kUntouched, sizeof hint_);
    }
    int check(std::string_view call, std::string_view prefix, std::string_view continent = "SA",
              std::string_view band = "40m", std::string_view mode = "CW", char* out = nullptr) {
        CallCheckParams p;
        p.call = call;
        p.prefix = prefix;
        p.continent = continent;
        p.band = band;
        p.mode = mode;
        p.outBuffer = out ? out : out_;
        p.hintBuffer = hint_;
        return plugin_.checkCall(p);
    }
    bool outUntouched() const { return out_[0] == kUntouched; }
    bool hintUntouched() const { return hint_[0] == kUntouched; }

    fakes::FakeServices fakes_;
    Plugin plugin_{fakes_.services()};
    char out_[kOutBufferSize + 8];
    char hint_[kHintBufferSize + 8];
};

TEST_F(CallCheck, NewPrefixOnAnEmptyStore) {
    EXPECT_EQ(check("CE3ABC", "CE3"), 2);
    EXPECT_STREQ(hint_, "New mult !!! CE3 New SA Prefix !!!");
    EXPECT_TRUE(outUntouched());  // master option off
}

TEST_F(CallCheck, WorkedPrefixAndDupes) {
    plugin_.addData(contact("CE3XYZ", "CE3"));
    EXPECT_EQ(check("CE3ABC", "CE3"), 1);
    EXPECT_EQ(check("CE3XYZ", "CE3"), 0);  // same band and mode: dupe first
    EXPECT_EQ(check("CE3XYZ", "CE3", "SA", "40m", "SSB"), 1);
    EXPECT_EQ(check("CE3XYZ", "CE9", "SA", "20m", "CW"), 2);  // not a dupe there, and CE9 is new
    EXPECT_STREQ(hint_, "New mult !!! CE9 New SA Prefix !!!");
    std::memset(hint_, kUntouched, sizeof hint_);
    EXPECT_EQ(check("ce3xyz", "CE3"), 1);        // calls compare case-sensitively
    EXPECT_EQ(check("CE3ABC", "ce3"), 2);        // and so do prefixes
    EXPECT_EQ(check("CE3XYZ", "CE9", "NA"), 0);  // a dupe whatever the continent

    // A prefix carried only by a dupe counts as worked.
    fakes::FakeServices fakes;
    Plugin plugin(fakes.services());
    plugin.addData(contact("LU1AA", ""));
    plugin.addData(contact("LU1AA", "LU1", "SA"));
    CallCheckParams p{"LU9ZZ", "CW", "LU1", "SA", "40m", nullptr, hint_};
    EXPECT_EQ(plugin.checkCall(p), 1);
}

TEST_F(CallCheck, EmptyCallAndOtherContinents) {
    EXPECT_EQ(check("", "CE3"), 1);
    EXPECT_TRUE(hintUntouched());
    EXPECT_EQ(check("K1ABC", "K1", "NA"), 2);
    EXPECT_EQ(check("K1ABC", "K1", "sa"), 2);
    EXPECT_TRUE(hintUntouched());
    EXPECT_TRUE(outUntouched());
    // A stored contact with an empty call makes the empty call a dupe.
    plugin_.addData(contact("", "CE3"));
    EXPECT_EQ(check("", "CE3"), 0);
    EXPECT_EQ(check("", "CE3", "SA", "20m"), 1);
}

TEST_F(CallCheck, EmptyPrefixBothWays) {
    EXPECT_EQ(check("PY2XX", ""), 2);
    EXPECT_STREQ(hint_, "New mult !!!  New SA Prefix !!!");
    plugin_.addData(contact("K1ABC", "K1", "NA"));  // outside SA: stored with an empty prefix
    std::memset(hint_, kUntouched, sizeof hint_);
    EXPECT_EQ(check("PY2XX", ""), 1);
    EXPECT_TRUE(hintUntouched());
}

TEST_F(CallCheck, MasterOptionClearsTheFirstBuffer) {
    plugin_.setMasterOption(true);
    EXPECT_EQ(check("K1ABC", "K1", "NA"), 2);
    EXPECT_EQ(out_[0], '\0');
    EXPECT_EQ(out_[1], kUntouched);
    EXPECT_TRUE(hintUntouched());

    std::memset(out_, kUntouched, sizeof out_);
    EXPECT_EQ(check("CE3ABC", "CE3"), 2);
    EXPECT_EQ(out_[0], '\0');
    plugin_.addData(contact("CE3ABC", "CE3"));
    std::memset(out_, kUntouched, sizeof out_);
    EXPECT_EQ(check("CE3ABC", "CE3"), 0);
    EXPECT_EQ(check("CE3XYZ", "CE3"), 1);
    EXPECT_EQ(check("", "CE3", "NA"), 1);
    EXPECT_TRUE(outUntouched());

    // A null first buffer is left alone; a null hint buffer too.
    CallCheckParams p{"OA4B", "CW", "OA4", "SA", "40m", nullptr, nullptr};
    EXPECT_EQ(plugin_.checkCall(p), 2);
    p.continent = "EU";
    EXPECT_EQ(plugin_.checkCall(p), 2);
}

TEST_F(CallCheck, LongPrefixIsCutToTheHintBuffer) {
    const std::string prefix(200, 'P');
    EXPECT_EQ(check("PY2XX", prefix), 2);
    EXPECT_EQ(std::strlen(hint_), kHintBufferSize - 1);
    EXPECT_EQ(hint_[kHintBufferSize], kUntouched);
    EXPECT_EQ(std::string(hint_), ("New mult !!! " + prefix).substr(0, kHintBufferSize - 1));

    // 66 characters is the longest that fits whole.
    const std::string fits(66, 'Q');
    EXPECT_EQ(check("PY2XX", fits), 2);
    EXPECT_EQ(std::string(hint_), "New mult !!! " + fits + " New SA Prefix !!!");
}

TEST_F(CallCheck, ArmsTheRefreshTimerOnlyWithAPanel) {
    check("CE3ABC", "CE3");
    EXPECT_EQ(fakes_.windows.arms, 0);
    fakes_.windows.panel = true;
    plugin_.addData(contact("CE3ABC", "CE3"));
    check("CE3ABC", "CE3");  // dupe: armed all the same
    check("", "");
    EXPECT_EQ(fakes_.windows.arms, 2);
    // Arming happens without the lock: the window thread may be reading the state meanwhile.
    std::size_t seen = 0;
    fakes_.windows.onArm = [&] {
        seen = plugin_.withState([](const ContestState& s) { return s.qsoStore.size(); });
    };
    check("X", "X");
    EXPECT_EQ(seen, 1u);
}

TEST_F(CallCheck, FollowsRemovals) {
    plugin_.addData(contact("CE3ABC", "CE3"));
    plugin_.removeData(contact("CE3ABC", "CE3"));
    EXPECT_EQ(check("CE3ABC", "CE3"), 2);
}

}  // namespace
