#pragma once
// Writes the contest log as a Cabrillo 3.0 file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "cabrillo/cabrillo_log.h"
#include "core/ole_date.h"
#include "core/qso_store.h"
#include "core/services.h"

namespace stats {

/// The mode column of a QSO line: "CW", "PH" for "SSB", "??" for anything else.
const char* cabrilloModeText(std::string_view mode);

/// Appends the QSO line of one contact (own call from `log.callsign`) to `log.qsoLines`.
void addQsoLine(CabrilloLog& log, std::string call, int frequencyKHz, std::string mode, OleDateTime qsoTime,
                std::string rstSent, std::string numberSent, std::string rstReceived,
                std::string numberReceived);

/// The CREATED-BY version: "2.19" for major 2, "3.1.4" otherwise, empty when there is no version.
std::string hostVersionText(const std::optional<HostVersion>& version);

/// The whole file: header entries, SOAPBOX lines, `log.qsoLines` and END-OF-LOG.
std::string cabrilloFileText(const CabrilloLog& log, std::int32_t claimedScore, std::string_view hostVersion);

/// The outcome of one write, with the message for the operator.
struct CabrilloWriteResult {
    bool written = false;
    std::string message;
};

/// Writes `log` to `<workDir>/<fileBaseName>.cbr` (binary, replacing any old file).
CabrilloWriteResult writeCabrilloFile(const CabrilloLog& log, std::int32_t claimedScore,
                                      const HostFiles& hostFiles, const std::filesystem::path& workDir);

/// The export: one QSO line per stored contact (the list starts empty each time), the file,
/// and the "Output" message box naming the file or saying that it could not be written.
void exportCabrilloLog(CabrilloLog& log, const QsoStore& store, std::int32_t claimedScore,
                       const HostFiles& hostFiles, MessageBoxService& messages,
                       const std::filesystem::path& workDir);

}  // namespace stats
