#include "core/qso_store.h"

#include <gtest/gtest.h>

#include <random>

using stats::CInfo;
using stats::QsoStore;

namespace {

CInfo contact(std::string call, std::string band = "40m", std::string mode = "CW", std::string prefix = "") {
    CInfo c;
    c.call = std::move(call);
    c.band = std::move(band);
    c.mode = std::move(mode);
    c.saPrefix = std::move(prefix);
    c.numberSent = "001";
    c.numberReceived = "002";
    return c;
}

TEST(QsoStore, KeepsOrderAndRemovalClosesTheGap) {
    QsoStore store;
    EXPECT_EQ(store.append(contact("A")), 0u);
    EXPECT_EQ(store.append(contact("B")), 0u);
    EXPECT_EQ(store.append(contact("C")), 0u);
    store.removeAt(0);
    ASSERT_EQ(store.size(), 2u);
    EXPECT_EQ(store.at(0).call, "B");
    EXPECT_EQ(store.at(1).call, "C");
    EXPECT_THROW(store.at(2), std::out_of_range);
    EXPECT_THROW(store.removeAt(2), std::out_of_range);
}

TEST(QsoStore, SameContactTwiceIsTwoRecords) {
    QsoStore store;
    EXPECT_EQ(store.append(contact("LU1AA")), 0u);
    EXPECT_EQ(store.append(contact("LU1AA")), 1u);
    EXPECT_EQ(store.append(contact("LU1AA")), 2u);
    EXPECT_EQ(store.size(), 3u);
    EXPECT_EQ(store.countContact("LU1AA", "40m", "CW"), 3u);
    EXPECT_EQ(store.findContact("LU1AA", "40m", "CW"), 0u);
}

TEST(QsoStore, ComparisonsAreExactAndCaseSensitive) {
    QsoStore store;
    store.append(contact("LU1AA", "40m", "CW", "LU1"));
    EXPECT_FALSE(store.findContact("lu1aa", "40m", "CW"));
    EXPECT_FALSE(store.findContact("LU1AA", "40M", "CW"));
    EXPECT_FALSE(store.findContact("LU1AA", "40m ", "CW"));
    EXPECT_FALSE(store.findContact("LU1AA", "40m", "SSB"));
    EXPECT_TRUE(store.hasPrefix("LU1"));
    EXPECT_FALSE(store.hasPrefix("lu1"));
    EXPECT_FALSE(store.hasPrefix("LU1 "));
    EXPECT_FALSE(store.hasPrefix(""));  // no record with an empty prefix yet
}

TEST(QsoStore, EmptyStoreFindsNothing) {
    QsoStore store;
    EXPECT_FALSE(store.findContact("", "", ""));
    EXPECT_FALSE(store.hasPrefix(""));
    EXPECT_TRUE(store.callPositions("X").empty());
    store.append(contact(""));
    store.clear();
    EXPECT_TRUE(store.empty());
    EXPECT_FALSE(store.findContact("", "40m", "CW"));
}

// The indexes against a plain scan from index 0, over random appends and removals.
TEST(QsoStore, IndexAgreesWithAPlainScan) {
    std::mt19937 rng(12345);
    const std::vector<std::string> calls = {"", "LU1AA", "lu1aa", "PY2XX", "CE3A", "K1ABC"};
    const std::vector<std::string> bands = {"40m", "20m", "80m"};
    const std::vector<std::string> modes = {"CW", "SSB"};
    const std::vector<std::string> prefixes = {"", "LU1", "PY2", "CE3"};
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };

    QsoStore store;
    std::vector<CInfo> plain;
    for (int step = 0; step < 4000; ++step) {
        if (!plain.empty() && rng() % 3 == 0) {
            const std::size_t i = rng() % plain.size();
            store.removeAt(i);
            plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(i));
        } else if (rng() % 50 == 0) {
            store.clear();
            plain.clear();
        } else {
            CInfo c = contact(pick(calls), pick(bands), pick(modes), pick(prefixes));
            std::size_t earlier = 0;
            for (const CInfo& p : plain) earlier += p.call == c.call && p.band == c.band && p.mode == c.mode;
            ASSERT_EQ(store.append(c), earlier);
            plain.push_back(c);
        }
        ASSERT_EQ(store.size(), plain.size());
        const std::string call = pick(calls), band = pick(bands), mode = pick(modes), prefix = pick(prefixes);
        std::vector<std::size_t> contactScan, callScan;
        bool prefixScan = false;
        for (std::size_t i = 0; i < plain.size(); ++i) {
            if (plain[i].call == call && plain[i].band == band && plain[i].mode == mode)
                contactScan.push_back(i);
            if (plain[i].call == call) callScan.push_back(i);
            prefixScan = prefixScan || plain[i].saPrefix == prefix;
        }
        ASSERT_EQ(store.contactPositions(call, band, mode), contactScan);
        ASSERT_EQ(store.countContact(call, band, mode), contactScan.size());
        ASSERT_EQ(store.findContact(call, band, mode),
                  contactScan.empty() ? std::nullopt : std::optional<std::size_t>(contactScan.front()));
        ASSERT_EQ(store.callPositions(call), callScan);
        ASSERT_EQ(store.hasPrefix(prefix), prefixScan);
    }
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(store.at(i), plain[i]);
}

}  // namespace

namespace {

// Every field comes back exactly, long texts (several length bytes) and odd bytes included.
TEST(QsoStore, KeepsEveryFieldExactly) {
    QsoStore store;
    CInfo a = contact("LU1AA", "40m", "CW", "LU1");
    a.rstReceived = std::string(200, 'r');
    a.rstSent = "";
    a.numberReceived = std::string(70000, '7');
    a.numberSent = std::string("0\0\xff", 3);
    a.frequencyKHz = 0xFFFFFFFFu;
    a.isDupe = -5;
    a.qsoTime = stats::OleDateTime{46082.75, 7};
    CInfo b = contact(std::string(300, 'K'), "", "", std::string(20, 'P'));
    store.append(a);
    store.append(b);
    EXPECT_EQ(store.at(0), a);
    EXPECT_EQ(store.at(1), b);
    const stats::CInfoView v = store.view(0);
    EXPECT_EQ(v.call, a.call);
    EXPECT_EQ(v.numberReceived, a.numberReceived);
    EXPECT_EQ(v.numberSent, a.numberSent);
    EXPECT_EQ(v.saPrefix, a.saPrefix);
    EXPECT_EQ(v.isDupe, a.isDupe);
    EXPECT_EQ(v.qsoTime, a.qsoTime);
    EXPECT_EQ(store.view(1).call, b.call);
    EXPECT_THROW(store.view(2), std::out_of_range);
    store.removeAt(0);
    EXPECT_EQ(store.at(0), b);
}

// A copy is independent of its source and answers the same lookups.
TEST(QsoStore, CopyIsIndependent) {
    QsoStore store;
    store.append(contact("A", "40m", "CW", "CE3"));
    store.append(contact("B"));
    store.append(contact("A", "40m", "CW", "CE3"));
    store.setDupe(2, 1);
    QsoStore copy = store;
    store.clear();
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_EQ(copy.at(2).isDupe, 1);
    EXPECT_EQ(copy.countContact("A", "40m", "CW"), 2u);
    EXPECT_EQ(copy.callPositions("A"), (std::vector<std::size_t>{0, 2}));
    EXPECT_TRUE(copy.hasPrefix("CE3"));
    store = copy;
    copy.removeAt(0);
    EXPECT_EQ(store.callPositions("A"), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(copy.callPositions("A"), (std::vector<std::size_t>{1}));
}

// Many removals without a clear: the positions stay right when the store renumbers its
// records and reclaims the texts of removed ones.
TEST(QsoStore, ManyRemovalsKeepPositions) {
    std::mt19937 rng(777);
    QsoStore store;
    std::vector<CInfo> plain;
    for (int i = 0; i < 6000; ++i) {
        CInfo c = contact("K" + std::to_string(rng() % 300), i % 2 ? "40m" : "20m", "CW",
                          rng() % 4 ? "" : "CE" + std::to_string(rng() % 5));
        c.numberSent = std::to_string(i);
        store.append(c);
        plain.push_back(c);
        if (i % 3 != 0) {
            const std::size_t victim = rng() % plain.size();
            store.removeAt(victim);
            plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(victim));
        }
    }
    ASSERT_EQ(store.size(), plain.size());
    for (int k = 0; k < 300; ++k) {
        const std::string call = "K" + std::to_string(k);
        std::vector<std::size_t> scan;
        for (std::size_t i = 0; i < plain.size(); ++i)
            if (plain[i].call == call) scan.push_back(i);
        ASSERT_EQ(store.callPositions(call), scan) << call;
    }
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(store.at(i), plain[i]) << i;
}

}  // namespace
