#include "cabrillo/cabrillo_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "report_fixture.h"

namespace stats {
namespace {

using namespace stats::testing;

// The header of the golden file, as a confirmed dialog leaves it.
CabrilloLog sampleLog() {
    CabrilloLog log;
    log.callsign = "UA9XYZ";
    log.categoryOperator = "SINGLE-OP";
    log.categoryAssisted = "NON-ASSISTED";
    log.categoryMode = "CW";
    log.categoryBand = "ALL";
    log.categoryPower = "LOW";
    log.categoryTransmitter = "ONE";
    log.certificate = "NO";
    log.club = "Radio Club Tolven";
    log.email = "ua9xyz@example.org";
    log.name = "Ivan Petrov";
    log.address = "ul. Lenina 1";
    log.addressCity = "Omsk";
    log.addressPostalCode = "644000";
    log.addressCountry = "Russia";
    log.operators = "UA9XYZ";
    log.soapbox = "Good conditions on 40m.\r\nSOAPBOX: 73 and thanks!";
    log.fileBaseName = "UA9XYZ";
    return log;
}

TEST(CabrilloWriter, SampleContestMatchesGoldenFile) {
    TempDir dir;
    CabrilloLog log = sampleLog();
    QsoStore store;
    fillStore(store, sampleContacts());
    FixedHostFiles host(HostVersion{2, 19, 7});
    RecordingMessages messages;
    exportCabrilloLog(log, store, 18, host, messages, dir.path());

    EXPECT_EQ(readFile(dir.path() / "UA9XYZ.cbr"), readFile(golden("sample.cbr")));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Output");
    EXPECT_EQ(messages.shown[0].text, "File produced: UA9XYZ.cbr");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kInformation);

    // A second export after the same reset lists each contact once, and replaces the file.
    exportCabrilloLog(log, store, 18, host, messages, dir.path());
    EXPECT_EQ(log.qsoLines.size(), store.size());
    EXPECT_EQ(readFile(dir.path() / "UA9XYZ.cbr"), readFile(golden("sample.cbr")));
}

TEST(CabrilloWriter, QsoLineColumns) {
    CabrilloLog log;
    log.callsign = "R9A";
    addQsoLine(log, "PY1AA", 14025, "CW", at(1, 9, 3), "599", "1", "599", "77");
    addQsoLine(log, "LU1BB", 7025, "PH", at(1, 23, 59), "59", "12", "59", "8");
    addQsoLine(log, "VERYLONGCALL/MM", 123456, "??", OleDateTime{0, OleDateTime::kNull}, "5999", "1234567",
               "", "");
    ASSERT_EQ(log.qsoLines.size(), 3u);
    EXPECT_EQ(log.qsoLines[0],
              "QSO: 14025 CW 2026-03-01 0903 R9A           599 1      PY1AA         599 77\r\n");
    EXPECT_EQ(log.qsoLines[1],
              "QSO:  7025 PH 2026-03-01 2359 R9A           59  12     LU1BB         59  8\r\n");
    EXPECT_EQ(log.qsoLines[2], "QSO: 123456 ??  R9A           5999 1234567 VERYLONGCALL/MM     \r\n");
    EXPECT_STREQ(cabrilloModeText("CW"), "CW");
    EXPECT_STREQ(cabrilloModeText("SSB"), "PH");
    EXPECT_STREQ(cabrilloModeText("cw"), "??");
    EXPECT_STREQ(cabrilloModeText(""), "??");
}

TEST(CabrilloWriter, EmptyStoreAndEmptyHeader) {
    const std::string text = cabrilloFileText(CabrilloLog{}, 0, "");
    EXPECT_EQ(
        text,
        "START-OF-LOG: 3.0\r\nCALLSIGN: \r\nCONTEST: SA-TOLVEN\r\nCATEGORY-OPERATOR: \r\nCATEGORY-ASSISTED: "
        "\r\n"
        "CATEGORY-MODE: \r\nCATEGORY-BAND: \r\nCATEGORY-POWER: \r\nCATEGORY-TRANSMITTER: \r\n"
        "CATEGORY-OVERLAY: \r\nCERTIFICATE: \r\nCLAIMED-SCORE: 0\r\nCLUB: \r\nCREATED-BY: Zarv \r\n"
        "LOCATION: \r\nEMAIL: \r\nNAME: \r\nADDRESS: \r\nADDRESS-CITY: \r\nADDRESS-STATE-PROVINCE: \r\n"
        "ADDRESS-POSTALCODE: \r\nADDRESS-COUNTRY: \r\nOPERATORS: \r\nSOAPBOX: \r\nEND-OF-LOG:\r\n");
}

TEST(CabrilloWriter, SoapboxLines) {
    auto soapboxPart = [](std::string soapbox) {
        CabrilloLog log;
        log.soapbox = std::move(soapbox);
        const std::string text = cabrilloFileText(log, 0, "");
        const auto from = text.find("SOAPBOX: ");
        return text.substr(from, text.find("END-OF-LOG") - from);
    };
    EXPECT_EQ(soapboxPart(""), "SOAPBOX: \r\n");
    EXPECT_EQ(soapboxPart("one\r\nSOAPBOX: two"), "SOAPBOX: one\r\nSOAPBOX: two\r\n");
    EXPECT_EQ(soapboxPart("one\r\nSOAPBOX: "), "SOAPBOX: one\r\nSOAPBOX: \r\n");
}

TEST(CabrilloWriter, CreatedByVersion) {
    EXPECT_EQ(hostVersionText(HostVersion{2, 19, 7}), "2.19");
    EXPECT_EQ(hostVersionText(HostVersion{3, 1, 4}), "3.1.4");
    EXPECT_EQ(hostVersionText(HostVersion{0, 0, 0}), "0.0.0");
    EXPECT_EQ(hostVersionText(HostVersion{65535, 65535, 65535}), "65535.65535.65535");
    EXPECT_EQ(hostVersionText(std::nullopt), "");
}

TEST(CabrilloWriter, FailureIsReportedNotClaimedAsSuccess) {
    TempDir dir;
    CabrilloLog log = sampleLog();
    log.fileBaseName = "missing-folder/UA9XYZ";
    FixedHostFiles host;
    RecordingMessages messages;
    exportCabrilloLog(log, QsoStore{}, 0, host, messages, dir.path());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Output");
    EXPECT_EQ(messages.shown[0].text, "The Cabrillo file could not be written: missing-folder/UA9XYZ.cbr");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kError);

    // A folder in the way of the file.
    log.fileBaseName = "taken";
    std::filesystem::create_directory(dir.path() / "taken.cbr");
    EXPECT_FALSE(writeCabrilloFile(log, 0, host, dir.path()).written);
}

TEST(CabrilloWriter, ExistingFileIsReplaced) {
    TempDir dir;
    {
        std::ofstream old(dir.path() / "UA9XYZ.cbr");
        old << std::string(10000, 'x');
    }
    CabrilloLog log = sampleLog();
    FixedHostFiles host;
    ASSERT_TRUE(writeCabrilloFile(log, 5, host, dir.path()).written);
    EXPECT_EQ(readFile(dir.path() / "UA9XYZ.cbr"), cabrilloFileText(log, 5, ""));
}

}  // namespace
}  // namespace stats

namespace stats {
namespace {

using namespace stats::testing;

// The written file read back by another program's Cabrillo reader (Debian package trustedqsl).
TEST(CabrilloWriter, IndependentReaderAcceptsTheFile) {
    const std::filesystem::path library = "/usr/lib/trustedqsl/libtqsllib.so";
    const std::filesystem::path config = "/usr/share/TrustedQSL";
    if (!std::filesystem::exists(library) || !std::filesystem::exists(config / "config.xml"))
        GTEST_SKIP() << "trustedqsl is not installed (apt-get install trustedqsl liblmdb0)";

    TempDir dir;
    std::filesystem::create_directory(dir.path() / "tqsl");
    for (const char* name : {"config.xml", "cab_modes.dat"})
        std::filesystem::copy_file(config / name, dir.path() / "tqsl" / name);
    CabrilloLog log = sampleLog();
    QsoStore store;
    fillStore(store, sampleContacts());
    FixedHostFiles host(HostVersion{2, 19, 7});
    RecordingMessages messages;
    exportCabrilloLog(log, store, 18, host, messages, dir.path());

    // The reader library keeps its parsed configuration to the end: no leak report for it.
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 TQSLDIR='" + (dir.path() / "tqsl").string() +
                                "' '" + STATS_CABRILLO_CHECK + "' '" + (dir.path() / "UA9XYZ.cbr").string() +
                                "' > '" + (dir.path() / "out.txt").string() + "' 2>&1";
    const int rc = std::system(command.c_str());
    ASSERT_EQ(rc, 0) << readFile(dir.path() / "out.txt");
    // One record per QSO line with its call, band, mode, date and time as written.
    EXPECT_EQ(readFile(dir.path() / "out.txt"), readFile(golden("sample.tqsl.txt")));
}

}  // namespace
}  // namespace stats
