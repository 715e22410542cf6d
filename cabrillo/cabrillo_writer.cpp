#include "cabrillo/cabrillo_writer.h"

#include <fstream>
#include <utility>

#include "core/contest_rules.h"
#include "core/qso_line.h"
#include "core/text.h"

namespace stats {

namespace {

constexpr std::string_view kSoapboxJoin = "\r\nSOAPBOX: ";

// A value goes into one line of the file: a CR or LF in it (a host text may hold any byte) would
// start a line the reader takes for a header entry or a QSO, so it is written as a blank.
std::string oneLine(std::string_view value) {
    std::string out(value);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

// The soap box's own line breaks are the "\r\nSOAPBOX: " joins; any other CR or LF is a blank.
std::string soapboxLines(std::string_view soapbox) {
    std::string out;
    for (;;) {
        const auto join = soapbox.find(kSoapboxJoin);
        out += oneLine(soapbox.substr(0, join));
        if (join == std::string_view::npos) return out;
        out += kSoapboxJoin;
        soapbox.remove_prefix(join + kSoapboxJoin.size());
    }
}

// A QSO line's text: on one line, and up to a NUL as the host's C texts end there.
std::string fieldText(std::string_view value) {
    return oneLine(value.substr(0, value.find('\0')));
}

constexpr auto kExchangeKinds = [] {
    std::array<FieldKind, kContest.exchange.size()> out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = kContest.exchange[i].kind;
    return out;
}();

}  // namespace

const char* cabrilloModeText(std::string_view mode) {
    // The record's codes are literals, so their data() ends in a NUL.
    const ContestMode* m = kContest.mode(mode);
    return m ? m->cabrilloCode.data() : "??";
}

void addQsoLine(CabrilloLog& log, std::string call, int frequencyKHz, std::string mode, OleDateTime qsoTime,
                std::string rstSent, std::string numberSent, std::string rstReceived,
                std::string numberReceived) {
    // The record's exchange is the RST and the serial number, each way.
    static_assert(kExchangeKinds.size() == 2);
    const std::string own = fieldText(log.callsign), worked = fieldText(call);
    const std::string sent[] = {fieldText(rstSent), fieldText(numberSent)};
    const std::string received[] = {fieldText(rstReceived), fieldText(numberReceived)};
    const std::string_view sentTexts[] = {sent[0], sent[1]}, receivedTexts[] = {received[0], received[1]};
    const std::string modeText = fieldText(mode), time = formatOleDate(qsoTime, "%Y-%m-%d %H%M");
    log.qsoLines.push_back(
        qsoLine({frequencyKHz, modeText, time, own, sentTexts, worked, receivedTexts, {}}, kExchangeKinds) + "\r\n");
}

std::string hostVersionText(const std::optional<HostVersion>& version) {
    if (!version) return {};
    if (version->major == 2) return format("%d.%d", version->major, version->minor);
    return format("%d.%d.%d", version->major, version->minor, version->build);
}

std::string cabrilloFileText(const CabrilloLog& log, std::int32_t claimedScore,
                             std::string_view hostVersion) {
    std::string out;
    auto entry = [&out](std::string_view label, std::string_view value) {
        out.append(label).append(oneLine(value)).append("\r\n");
    };
    out += "START-OF-LOG: 3.0\r\n";
    entry("CALLSIGN: ", log.callsign);
    out.append("CONTEST: ").append(kContest.cabrilloName).append("\r\n");
    entry("CATEGORY-OPERATOR: ", log.categoryOperator);
    entry("CATEGORY-ASSISTED: ", log.categoryAssisted);
    entry("CATEGORY-MODE: ", log.categoryMode);
    entry("CATEGORY-BAND: ", log.categoryBand);
    entry("CATEGORY-POWER: ", log.categoryPower);
    entry("CATEGORY-TRANSMITTER: ", log.categoryTransmitter);
    entry("CATEGORY-OVERLAY: ", log.categoryOverlay);
    entry("CERTIFICATE: ", log.certificate);
    entry("CLAIMED-SCORE: ", std::to_string(claimedScore));
    entry("CLUB: ", log.club);
    entry("CREATED-BY: Zarv ", hostVersion);
    entry("LOCATION: ", log.location);
    entry("EMAIL: ", log.email);
    entry("NAME: ", log.name);
    entry("ADDRESS: ", log.address);
    entry("ADDRESS-CITY: ", log.addressCity);
    entry("ADDRESS-STATE-PROVINCE: ", log.addressProvince);
    entry("ADDRESS-POSTALCODE: ", log.addressPostalCode);
    entry("ADDRESS-COUNTRY: ", log.addressCountry);
    entry("OPERATORS: ", log.operators);
    // The soapbox already holds its lines joined by "\r\nSOAPBOX: ".
    out.append("SOAPBOX: ").append(soapboxLines(log.soapbox)).append("\r\n");
    for (const auto& line : log.qsoLines) out += line;
    out += "END-OF-LOG:\r\n";
    return out;
}

CabrilloWriteResult writeCabrilloFile(const CabrilloLog& log, std::int32_t claimedScore,
                                      const HostFiles& hostFiles, const std::filesystem::path& workDir) {
    const std::string fileName = log.fileBaseName + ".cbr";
    const std::string text = cabrilloFileText(log, claimedScore, hostVersionText(hostFiles.hostVersion()));

    // The name goes to the stream as 8-bit text, so a callsign in the ANSI code page reaches the
    // platform unconverted; only a test's work folder is put in front of it.
    const std::string path = workDir.empty() ? fileName : (workDir / fileName).string();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) {
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.flush();
    }
    const bool writeOk = file.good();
    if (file.is_open()) file.close();
    // A full disk or a vanished share shows only when the data is flushed and the file closed.
    if (writeOk && !file.fail()) return {true, "File produced: " + fileName};
    return {false, "The Cabrillo file could not be written: " + fileName};
}

void exportCabrilloLog(CabrilloLog& log, const QsoStore& store, std::int32_t claimedScore,
                       const HostFiles& hostFiles, MessageBoxService& messages,
                       const std::filesystem::path& workDir) {
    // Each export lists every stored contact once, dupes and empty calls included.
    log.qsoLines.clear();
    log.qsoLines.reserve(store.size());
    for (std::size_t i = 0; i < store.size(); ++i) {
        const CInfo& r = store.at(i);
        addQsoLine(log, r.call, static_cast<int>(r.frequencyKHz), cabrilloModeText(r.mode), r.qsoTime,
                   r.rstSent, r.numberSent, r.rstReceived, r.numberReceived);
    }
    const CabrilloWriteResult result = writeCabrilloFile(log, claimedScore, hostFiles, workDir);
    messages.show("Output", result.message, result.written ? MessageIcon::kInformation : MessageIcon::kError);
}

}  // namespace stats
