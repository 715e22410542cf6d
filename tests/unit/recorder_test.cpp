// Recording and withdrawing contacts through the Plugin, with the error log on disk.
#include "core/recorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "core/error_log.h"
#include "fake_services.h"

using namespace stats;
using namespace std::chrono;

namespace {

OleDateTime at(int y, unsigned m, unsigned d, int hh, int mm) {
    return oleDateFrom(sys_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm});
}

QsoParams qso(std::string_view call, std::string_view band = "40m", std::string_view mode = "CW",
              std::string_view sent = "001", std::string_view received = "002") {
    QsoParams p;
    p.ownCall = "UA9XX";
    p.call = call;
    p.time = at(2026, 3, 1, 12, 34);
    p.frequencyHz = 7025999;
    p.mode = mode;
    p.rstSent = "599";
    p.rstReceived = "579";
    p.numberSent = sent;
    p.numberReceived = received;
    p.band = band;
    return p;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            out.push_back(text.substr(pos) + "<no CR LF>");
            break;
        }
        out.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

class Recorder : public ::testing::Test {
  protected:
    std::vector<std::string> logLines() const { return lines(readAll(plugin_.errorLogPath())); }
    std::vector<std::int32_t> dupeFlags() const {
        std::vector<std::int32_t> out;
        for (std::size_t i = 0; i < plugin_.state().qsoStore.size(); ++i)
            out.push_back(plugin_.state().qsoStore.at(i).isDupe);
        return out;
    }
    fakes::FakeServices fakes_;
    Plugin plugin_{fakes_.services()};
};

TEST_F(Recorder, AcceptedContactIsStoredWithoutAnyLine) {
    EXPECT_EQ(plugin_.addData(qso("LU1AA")), 1);
    ASSERT_EQ(plugin_.state().qsoStore.size(), 1u);
    const CInfo& c = plugin_.state().qsoStore.at(0);
    EXPECT_EQ(c.isDupe, 0);
    EXPECT_EQ(c.frequencyKHz, 7025u);  // 7 025 999 Hz, truncated
    EXPECT_EQ(c.numberSent, "001");
    EXPECT_EQ(c.numberReceived, "002");
    EXPECT_EQ(c.rstSent, "599");
    EXPECT_EQ(c.rstReceived, "579");
    EXPECT_EQ(plugin_.state().bandList, std::vector<std::string>{"40m"});
    // Nothing to write: the error log is not even created.
    EXPECT_FALSE(std::filesystem::exists(plugin_.errorLogPath()));
}

TEST_F(Recorder, OneDupeLinePerEarlierContact) {
    const std::string line = "QSO:  7025  CW  2026-03-01 1234  UA9XX  599  001  LU1AA  579  002   DUPE !!!";
    EXPECT_EQ(plugin_.addData(qso("LU1AA")), 1);
    EXPECT_EQ(plugin_.addData(qso("LU1AA")), 1);
    EXPECT_EQ(logLines(), std::vector<std::string>{line});
    EXPECT_EQ(plugin_.addData(qso("LU1AA")), 1);
    EXPECT_EQ(logLines(), std::vector<std::string>(3, line));  // the third contact adds two
    EXPECT_EQ(dupeFlags(), (std::vector<std::int32_t>{0, 1, 1}));

    // Another mode, another band, another letter case: each a first contact.
    EXPECT_EQ(plugin_.addData(qso("LU1AA", "40m", "SSB")), 1);
    EXPECT_EQ(plugin_.addData(qso("LU1AA", "20m", "CW")), 1);
    EXPECT_EQ(plugin_.addData(qso("lu1aa")), 1);
    EXPECT_EQ(dupeFlags(), (std::vector<std::int32_t>{0, 1, 1, 0, 0, 0}));
    EXPECT_EQ(logLines().size(), 3u);
    EXPECT_EQ(plugin_.state().bandList, (std::vector<std::string>{"40m", "20m"}));
}

TEST_F(Recorder, RejectionsInOrderWithTheirReasons) {
    struct Case {
        QsoParams params;
        const char* reason;
    } cases[] = {
        {qso("A", "15m"), "   NO CONTEST BAND !!!"},
        {qso("A", "80m", "AM"), "   NO CONTEST BAND !!!"},  // off band and off mode: band wins
        {qso("A", "40M"), "   NO CONTEST BAND !!!"},
        {qso("A", "40m "), "   NO CONTEST BAND !!!"},
        {qso("A", ""), "   NO CONTEST BAND !!!"},
        {qso("A", "40m", "AM"), "   NO TEST MODE !!!"},
        {qso("A", "20m", "cw"), "   NO TEST MODE !!!"},
        {qso("A", "20m", "FT8", ""), "   NO TEST MODE !!!"},  // mode before numbers
        {qso("A", "40m", "CW", "001", ""), "   NO RX NUMBER !!!"},
        {qso("A", "40m", "CW", "", "002"), "   NO RX NUMBER !!!"},
        {qso("A", "40m", "SSB", "", ""), "   NO RX NUMBER !!!"},
    };
    std::size_t expectedLines = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(plugin_.addData(c.params), 0) << c.reason;
        const auto log = logLines();
        ASSERT_EQ(log.size(), ++expectedLines);
        EXPECT_TRUE(log.back().ends_with(c.reason)) << log.back();
        EXPECT_EQ(log.back().find(c.reason), log.back().size() - std::strlen(c.reason));
    }
    EXPECT_TRUE(plugin_.state().qsoStore.empty());
    EXPECT_TRUE(plugin_.state().bandList.empty());
    // Any non-empty number passes; its content is not checked here.
    EXPECT_EQ(plugin_.addData(qso("A", "20m", "SSB", "x", " ")), 1);
}

TEST_F(Recorder, LineFieldsAsPassed) {
    QsoParams p = qso("", "10m", "SSB", "", "");
    p.ownCall = "";
    p.rstSent = "";
    p.rstReceived = "";
    p.frequencyHz = 999;
    p.time = OleDateTime{0.0, OleDateTime::kNull};
    plugin_.addData(p);
    p.time = OleDateTime{45000.0, OleDateTime::kInvalid};
    p.frequencyHz = 4294967295u;
    plugin_.addData(p);
    // Each empty field leaves its two blanks: seven after the mode, six after the date.
    EXPECT_EQ(logLines(),
              (std::vector<std::string>{
                  "QSO:  0  SSB" + std::string(14, ' ') + "   NO CONTEST BAND !!!",
                  "QSO:  4294967  SSB  Invalid DateTime" + std::string(12, ' ') + "   NO CONTEST BAND !!!",
              }));
}

TEST_F(Recorder, MultiplierPrefixOnlyFromSouthAmerica) {
    struct Case {
        const char* prefix;
        const char* continent;
        const char* stored;
    } cases[] = {{"CE3", "SA", "CE3"}, {"CE3", "sa", ""}, {"CE3", "SA ", ""},
                 {"K1", "NA", ""},     {"", "SA", ""},    {"lu", "SA", "lu"}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string call = "CALL" + std::to_string(i);
        QsoParams p = qso(call);
        p.prefix = cases[i].prefix;
        p.continent = cases[i].continent;
        ASSERT_EQ(plugin_.addData(p), 1);
        EXPECT_EQ(plugin_.state().qsoStore.at(i).saPrefix, cases[i].stored) << i;
    }
}

TEST_F(Recorder, RemovalNeedsBothNumbersAndLeavesTheLogAlone) {
    plugin_.addData(qso("LU1AA"));
    plugin_.addData(qso("LU1AA"));
    const std::string logBefore = readAll(plugin_.errorLogPath());
    EXPECT_EQ(plugin_.removeData(qso("LU1AA", "40m", "CW", "001", "")), 0);
    EXPECT_EQ(plugin_.removeData(qso("LU1AA", "40m", "CW", "", "002")), 0);
    EXPECT_EQ(plugin_.state().qsoStore.size(), 2u);
    EXPECT_EQ(plugin_.removeData(qso("LU1AA", "20m")), 1);  // not stored: nothing changes
    EXPECT_EQ(plugin_.removeData(qso("lu1aa")), 1);
    EXPECT_EQ(plugin_.state().qsoStore.size(), 2u);
    EXPECT_EQ(plugin_.removeData(qso("LU1AA")), 1);
    EXPECT_EQ(plugin_.removeData(qso("LU1AA")), 1);
    EXPECT_TRUE(plugin_.state().qsoStore.empty());
    EXPECT_EQ(plugin_.state().bandList, std::vector<std::string>{"40m"});  // bands stay
    EXPECT_EQ(readAll(plugin_.errorLogPath()), logBefore);
}

TEST_F(Recorder, RemovalPicksTheContactWithTheSameNumbers) {
    plugin_.addData(qso("LU1AA", "40m", "CW", "001", "011"));
    plugin_.addData(qso("PY2XX"));
    plugin_.addData(qso("LU1AA", "40m", "CW", "005", "055"));
    plugin_.addData(qso("LU1AA", "40m", "CW", "009", "099"));

    // The dupe in the middle goes; the first keeps counting.
    EXPECT_EQ(plugin_.removeData(qso("LU1AA", "40m", "CW", "005", "055")), 1);
    ASSERT_EQ(plugin_.state().qsoStore.size(), 3u);
    EXPECT_EQ(plugin_.state().qsoStore.at(2).numberSent, "009");
    EXPECT_EQ(dupeFlags(), (std::vector<std::int32_t>{0, 0, 1}));

    // Removing the counted one: the next of that call, band and mode counts now.
    EXPECT_EQ(plugin_.removeData(qso("LU1AA", "40m", "CW", "001", "011")), 1);
    ASSERT_EQ(plugin_.state().qsoStore.size(), 2u);
    EXPECT_EQ(plugin_.state().qsoStore.at(0).call, "PY2XX");
    EXPECT_EQ(plugin_.state().qsoStore.at(1).numberSent, "009");
    EXPECT_EQ(dupeFlags(), (std::vector<std::int32_t>{0, 0}));

    // Numbers that match nothing: the oldest of that call, band and mode goes.
    plugin_.addData(qso("LU1AA", "40m", "CW", "010", "100"));
    EXPECT_EQ(plugin_.removeData(qso("LU1AA", "40m", "CW", "777", "777")), 1);
    ASSERT_EQ(plugin_.state().qsoStore.size(), 2u);
    EXPECT_EQ(plugin_.state().qsoStore.at(1).numberSent, "010");
    EXPECT_EQ(dupeFlags(), (std::vector<std::int32_t>{0, 0}));
}

// A plain model: scans for every decision, as a log reload without the removed contacts would.
TEST_F(Recorder, AgreesWithAPlainScanOverRandomEdits) {
    std::mt19937 rng(7);
    const char* calls[] = {"A", "B", "a", ""};
    const char* bands[] = {"40m", "20m", "80m"};
    const char* modes[] = {"CW", "SSB"};
    const char* numbers[] = {"1", "2", ""};
    struct Model {
        std::string call, band, mode, sent, received;
    };
    std::vector<Model> model;
    std::size_t dupeLines = 0;
    for (int step = 0; step < 3000; ++step) {
        const QsoParams p =
            qso(calls[rng() % 4], bands[rng() % 3], modes[rng() % 2], numbers[rng() % 3], numbers[rng() % 3]);
        auto same = [&](const Model& m) { return m.call == p.call && m.band == p.band && m.mode == p.mode; };
        const bool accepted =
            acceptanceOf(p.band, p.mode, p.numberSent, p.numberReceived) == Rejection::kNone;
        if (rng() % 3 == 0) {
            const bool hasNumbers = !p.numberSent.empty() && !p.numberReceived.empty();
            ASSERT_EQ(plugin_.removeData(p), hasNumbers ? 1 : 0);
            if (!hasNumbers) continue;
            auto victim = std::find_if(model.begin(), model.end(), [&](const Model& m) {
                return same(m) && m.sent == p.numberSent && m.received == p.numberReceived;
            });
            if (victim == model.end()) victim = std::find_if(model.begin(), model.end(), same);
            if (victim != model.end()) model.erase(victim);
        } else {
            ASSERT_EQ(plugin_.addData(p), accepted ? 1 : 0);
            if (!accepted) continue;
            dupeLines += static_cast<std::size_t>(std::count_if(model.begin(), model.end(), same));
            model.push_back(Model{std::string(p.call), std::string(p.band), std::string(p.mode),
                                  std::string(p.numberSent), std::string(p.numberReceived)});
        }
        const QsoStore& store = plugin_.state().qsoStore;
        ASSERT_EQ(store.size(), model.size());
        for (std::size_t i = 0; i < model.size(); ++i) {
            const bool dupe = std::any_of(
                model.begin(), model.begin() + static_cast<std::ptrdiff_t>(i), [&](const Model& m) {
                    return m.call == model[i].call && m.band == model[i].band && m.mode == model[i].mode;
                });
            ASSERT_EQ(store.at(i).call, model[i].call);
            ASSERT_EQ(store.at(i).numberSent, model[i].sent);
            ASSERT_EQ(store.at(i).isDupe, dupe ? 1 : 0) << "step " << step << " index " << i;
        }
    }
    std::size_t logged = 0;
    for (const std::string& line : logLines()) logged += line.ends_with(kDupeReason);
    EXPECT_EQ(logged, dupeLines);
}

// A short contest run through the plug-in; err.txt must match the golden file byte for byte.
TEST(ErrorLogGolden, SmallLog) {
    fakes::FakeServices fakes;
    Plugin plugin(fakes.services());
    ResetParams reset;
    reset.ownCall = "UA9XX";
    reset.periodStart = at(2026, 3, 1, 0, 0);
    reset.periodEnd = at(2026, 3, 2, 23, 59);
    reset.ownCountryPrefix = "UA9";
    plugin.resetStats(reset);

    struct Row {
        const char* call;
        int minute;
        std::uint32_t hz;
        const char* mode;
        const char* sent;
        const char* received;
        const char* band;
    } rows[] = {
        {"LU1AA", 1, 7012345, "CW", "001", "015", "40m"},  {"PY2XX", 3, 14025000, "CW", "002", "101", "20m"},
        {"LU1AA", 5, 7012000, "CW", "003", "016", "40m"},  {"CE3A", 7, 3525000, "CW", "004", "007", "80m"},
        {"CE3A", 9, 7150000, "AM", "004", "007", "40m"},   {"OA4B", 11, 14200000, "SSB", "005", "", "20m"},
        {"LU1AA", 13, 7012999, "CW", "006", "017", "40m"}, {"LU1AA", 15, 7100000, "SSB", "007", "018", "40m"},
        {"K1ABC", 17, 14001000, "CW", "", "033", "20m"},   {"PY2XX", 59, 14025500, "CW", "008", "102", "20m"},
    };
    for (const Row& r : rows) {
        QsoParams p = qso(r.call, r.band, r.mode, r.sent, r.received);
        p.time = at(2026, 3, 1, 14, r.minute);
        p.frequencyHz = r.hz;
        plugin.addData(p);
    }
    plugin.removeData(qso("LU1AA", "40m", "CW", "003", "016"));

    const std::string expected = readAll(std::filesystem::path(STATS_GOLDEN_DIR) / "err.txt");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(readAll(plugin.errorLogPath()), expected);
}

}  // namespace
