#include "cabrillo/summary.h"

#include <gtest/gtest.h>

#include "report_fixture.h"

namespace stats {
namespace {

using namespace stats::testing;

ScoreSummary summarize(std::vector<std::string>& bands, const std::vector<CInfo>& contacts) {
    QsoStore store;
    fillStore(store, contacts);
    return buildScoreSummary(bands, store, "01.03", "02.03.2026", "UA9XYZ");
}

TEST(Summary, SampleContestMatchesGoldenText) {
    std::vector<std::string> bands = {"20m", "40m"};
    const ScoreSummary s = summarize(bands, sampleContacts());
    EXPECT_EQ(s.text, readFile(golden("sample_summary.txt")));
    EXPECT_EQ(s.score, 18);
    // 40m is walked first, so PY1 counts there although 20m carries it too.
    EXPECT_EQ(s.workedSaPrefixes, (std::vector<std::string>{"PY1", "LU", "PY2"}));
    EXPECT_EQ(bands, (std::vector<std::string>{"40m", "20m"}));
}

TEST(Summary, EmptyStoreGivesZeroScore) {
    std::vector<std::string> bands;
    const ScoreSummary s = summarize(bands, {});
    EXPECT_EQ(s.text,
              "\tSA TOLVEN CONTEST 01.03-02.03.2026\r\n\t\tContestant: UA9XYZ "
              "\r\n\tQSOs\tPoints\tPrefix\tCW\tSSB\r\n"
              "Total\t 0\t 0\t 0\t 0\t 0\r\n\r\nScore: 0*0 = 0\r\n");
    EXPECT_TRUE(s.workedSaPrefixes.empty());
}

TEST(Summary, DupesEmptyCallsAndUnlistedBandsCountNothing) {
    std::vector<std::string> bands = {"40m"};
    const ScoreSummary s =
        summarize(bands, {
                             qso("PY1AA", "40m", "CW", 7025, at(1, 0, 0), "599", "1", "599", "1", "PY1", 1),
                             qso("", "40m", "CW", 7025, at(1, 0, 0), "599", "1", "599", "1", "LU"),
                             qso("PY2AA", "20m", "CW", 14025, at(1, 0, 0), "599", "1", "599", "1", "PY2"),
                             qso("K1AA", "40m", "RTTY", 7040, at(1, 0, 0), "599", "1", "599", "1"),
                         });
    // Only K1AA counts: a QSO and a point, in neither mode column, no multiplier.
    EXPECT_NE(s.text.find("40m\t 1\t 1\t\t 0\t 0\r\n"), std::string::npos) << s.text;
    EXPECT_NE(s.text.find("Score: 1*0 = 0"), std::string::npos);
    EXPECT_TRUE(s.workedSaPrefixes.empty());
}

TEST(Summary, BandsSortFromLongestWavelength) {
    std::vector<std::string> bands = {"10m", "20m", "160m", "40m", "15m", "80m"};
    sortBandList(bands);
    EXPECT_EQ(bands, (std::vector<std::string>{"160m", "80m", "40m", "20m", "15m", "10m"}));
    // "abc" and "0abc" pad to the same key: the exchange sort's own order decides between them.
    // A text longer than the key width compares as it is.
    std::vector<std::string> odd = {"abc", "0abc", "2m", "zzzzzzzzzzzzzzzzzzzzzzzzz"};
    sortBandList(odd);
    EXPECT_EQ(odd, (std::vector<std::string>{"zzzzzzzzzzzzzzzzzzzzzzzzz", "0abc", "abc", "2m"}));
}

TEST(Summary, RepeatedCallsGiveEqualTexts) {
    std::vector<std::string> bands = {"20m", "40m"};
    QsoStore store;
    fillStore(store, sampleContacts());
    const ScoreSummary a = buildScoreSummary(bands, store, "01.03", "02.03.2026", "UA9XYZ");
    const ScoreSummary b = buildScoreSummary(bands, store, "01.03", "02.03.2026", "UA9XYZ");
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.workedSaPrefixes, b.workedSaPrefixes);
}

}  // namespace
}  // namespace stats
