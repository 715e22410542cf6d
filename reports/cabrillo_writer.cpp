#include "reports/cabrillo_writer.h"

#include <fstream>
#include <utility>

#include "core/text.h"

namespace stats {

const char* cabrilloModeText(std::string_view mode) {
    if (mode == "CW") return "CW";
    if (mode == "SSB") return "PH";
    return "??";
}

void addQsoLine(CabrilloLog& log, std::string call, int frequencyKHz, std::string mode, OleDateTime qsoTime,
                std::string rstSent, std::string numberSent, std::string rstReceived,
                std::string numberReceived) {
    const std::string time = formatOleDate(qsoTime, "%Y-%m-%d %H%M");
    log.qsoLines.push_back(format("QSO: %5i %2s %s %-13s %-3s %-6s %-13s %-3s %s\r\n", frequencyKHz,
                                  mode.c_str(), time.c_str(), log.callsign.c_str(), rstSent.c_str(),
                                  numberSent.c_str(), call.c_str(), rstReceived.c_str(),
                                  numberReceived.c_str()));
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
        out.append(label).append(value).append("\r\n");
    };
    out += "START-OF-LOG: 3.0\r\n";
    entry("CALLSIGN: ", log.callsign);
    out += "CONTEST: SA-TOLVEN\r\n";
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
    entry("E-MAIL: ", log.email);
    entry("NAME: ", log.name);
    entry("ADDRESS: ", log.address);
    entry("ADDRESS-CITY: ", log.addressCity);
    entry("ADDRESS-STATE-PROVINCE: ", log.addressProvince);
    entry("ADDRESS-POSTALCODE: ", log.addressPostalCode);
    entry("ADDRESS-COUNTRY: ", log.addressCountry);
    entry("OPERATORS: ", log.operators);
    // The soapbox already holds its lines joined by "\r\nSOAPBOX: ".
    entry("SOAPBOX: ", log.soapbox);
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
