#pragma once
// The error log "err.txt": one line per rejected contact and per dupe match.

#include <filesystem>
#include <string>
#include <string_view>

#include "core/contest.h"
#include "core/rules.h"

namespace stats {

inline constexpr std::string_view kErrorLogHeader = "SA TOLVEN TEST UBN file ";
/// Every line of the error log ends with CR LF, on every platform.
inline constexpr std::string_view kErrorLogLineEnd = "\r\n";
inline constexpr std::string_view kDupeReason = "   DUPE !!!";

/// The reason text of a rejection ("   NO CONTEST BAND !!!", ...); empty for kNone.
std::string_view rejectionReason(Rejection rejection) noexcept;

/// Appends one contact line ("QSO:  " and the fields two blanks apart, the reason, CR LF) to `out`.
/// `dateText` is the contact's time already formatted as "%Y-%m-%d %H%M".
void appendErrorLine(std::string& out, const QsoParams& qso, std::string_view dateText,
                     std::string_view reason);

/// The error log file. Opened only to write and closed again, so the host may read it at any time.
class ErrorLog {
  public:
    explicit ErrorLog(std::filesystem::path path) : path_(std::move(path)) {}

    /// Truncates the file and writes the header line; false when the file could not be written.
    bool startFresh() const;
    /// Appends `lines` in one write and closes the file; an empty text opens nothing.
    bool append(std::string_view lines) const;

  private:
    std::filesystem::path path_;
};

}  // namespace stats
