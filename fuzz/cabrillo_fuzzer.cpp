// The Cabrillo writer with any header fields and contacts: the file is written, and read back
// line by line it is the header entries in order, the SOAPBOX lines, one QSO line per contact
// and END-OF-LOG, with no line broken by a value.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cabrillo/cabrillo_header.h"
#include "cabrillo/cabrillo_writer.h"
#include "fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;

class NoHost final : public stats::HostFiles {
public:
    std::optional<stats::HostVersion> hostVersion() const override { return version; }
    std::optional<stats::HostVersion> version;
};

std::string text(FuzzedDataProvider& in, std::size_t max = 30) {
    std::string s = in.ConsumeRandomLengthString(max);
    s.resize(std::strlen(s.c_str()));  // C texts from the host or the dialog
    return s;
}

const char* const kLabels[] = {"START-OF-LOG: 3.0", "CALLSIGN: ", "CONTEST: SA-TOLVEN", "CATEGORY-OPERATOR: ",
                               "CATEGORY-ASSISTED: ", "CATEGORY-MODE: ", "CATEGORY-BAND: ", "CATEGORY-POWER: ",
                               "CATEGORY-TRANSMITTER: ", "CATEGORY-OVERLAY: ", "CERTIFICATE: ", "CLAIMED-SCORE: ",
                               "CLUB: ", "CREATED-BY: Zarv ", "LOCATION: ", "EMAIL: ", "NAME: ", "ADDRESS: ",
                               "ADDRESS-CITY: ", "ADDRESS-STATE-PROVINCE: ", "ADDRESS-POSTALCODE: ",
                               "ADDRESS-COUNTRY: ", "OPERATORS: ", "SOAPBOX: "};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path dir = [] {
        auto p = fs::temp_directory_path() / ("stats-cbr-fuzz-" + std::to_string(::getpid()));
        // The scratch folder goes when the fuzzer ends (a finding leaves it for a look).
        std::atexit([] { std::error_code ec; fs::remove_all(fs::temp_directory_path() / ("stats-cbr-fuzz-" + std::to_string(::getpid())), ec); });
        fs::create_directories(p);
        return p;
    }();
    FuzzedDataProvider in(data, size);
    stats::CabrilloLog log;
    for (std::string* f : {&log.callsign, &log.categoryOperator, &log.categoryAssisted, &log.categoryMode,
                           &log.categoryBand, &log.categoryPower, &log.categoryTransmitter, &log.categoryOverlay,
                           &log.certificate, &log.club, &log.location, &log.email, &log.name, &log.address,
                           &log.addressCity, &log.addressProvince, &log.addressPostalCode, &log.addressCountry,
                           &log.operators})
        *f = text(in);
    // The soap box as the header step leaves it: the stored text decoded, then joined for the file.
    const std::string typed = text(in, 200);
    log.soapbox = stats::replaceAll(stats::replaceAll(stats::encodeSoapbox(typed), "<CR>", "\r\nSOAPBOX: "),
                                    "<LF>", "");
    log.fileBaseName = stats::cabrilloFileBaseName(text(in));
    NoHost host;
    if (in.ConsumeBool()) host.version = stats::HostVersion{in.ConsumeIntegral<std::uint16_t>(),
                                                            in.ConsumeIntegral<std::uint16_t>(),
                                                            in.ConsumeIntegral<std::uint16_t>()};
    const auto claimed = in.ConsumeIntegral<std::int32_t>();
    const std::size_t contacts = in.ConsumeIntegralInRange<std::size_t>(0, 20);
    for (std::size_t i = 0; i < contacts && in.remaining_bytes() > 0; ++i) {
        stats::OleDateTime t{in.ConsumeFloatingPoint<double>(), in.ConsumeIntegralInRange(-1, 3)};
        if (in.ConsumeBool()) t.dt = in.ConsumeFloatingPointInRange<double>(-10000.0, 3000000.0);
        stats::addQsoLine(log, text(in), in.ConsumeIntegral<int>(), stats::cabrilloModeText(text(in, 4)), t,
                          text(in, 6), text(in, 8), text(in, 6), text(in, 8));
    }

    FUZZ_CHECK(log.fileBaseName.find_first_of("/\\") == std::string::npos && !log.fileBaseName.empty());
    const auto result = stats::writeCabrilloFile(log, claimed, host, dir);
    FUZZ_CHECK(result.written);
    const fs::path file = dir / (log.fileBaseName + ".cbr");
    std::ifstream f(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    f.close();
    std::error_code ec;
    fs::remove(file, ec);

    // Line by line: CR LF ends every line, and no other CR or LF occurs.
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto end = bytes.find("\r\n", pos);
        FUZZ_CHECK(end != std::string::npos);
        lines.push_back(bytes.substr(pos, end - pos));
        FUZZ_CHECK(lines.back().find_first_of("\r\n") == std::string::npos);
        pos = end + 2;
    }
    std::size_t i = 0;
    for (const char* label : kLabels) {
        FUZZ_CHECK(i < lines.size() && lines[i].rfind(label, 0) == 0);
        ++i;
    }
    FUZZ_CHECK(lines[11] == "CLAIMED-SCORE: " + std::to_string(claimed));
    while (i < lines.size() && lines[i].rfind("SOAPBOX: ", 0) == 0 && lines.size() - i > log.qsoLines.size() + 1) ++i;
    FUZZ_CHECK(lines.size() - i == log.qsoLines.size() + 1);
    for (std::size_t q = 0; q < log.qsoLines.size(); ++q) FUZZ_CHECK(lines[i + q].rfind("QSO: ", 0) == 0);
    FUZZ_CHECK(lines.back() == "END-OF-LOG:");
    return 0;
}
