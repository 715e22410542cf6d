#pragma once
// The Cabrillo 3.0 contest log: header fields, file name and QSO lines.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stats {

/// The header fields the operator confirms, the file's base name and the QSO lines.
struct CabrilloLog {
    std::string callsign;
    std::string categoryOperator;
    std::string categoryAssisted;
    std::string categoryMode;
    std::string categoryBand;
    std::string categoryPower;
    std::string categoryTransmitter;
    std::string categoryOverlay;
    std::string certificate;
    std::string club;
    std::string location;
    std::string email;
    std::string name;
    std::string address;
    std::string addressCity;
    std::string addressProvince;
    std::string addressPostalCode;
    std::string addressCountry;
    std::string operators;
    std::string soapbox;  ///< the operator's lines joined by "\r\nSOAPBOX: "
    std::string contest;
    std::string claimed;
    std::string categoryStation;
    std::string fileBaseName;
    std::vector<std::string> qsoLines;
};

/// A host executable's fixed version numbers.
struct HostVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t build = 0;
};

/// Finds the host executable in the current directory and reads its version resource.
class HostFiles {
public:
    virtual ~HostFiles() = default;
    /// The version of the first "*.exe" whose name contains "Zarv", if it has one.
    virtual std::optional<HostVersion> hostVersion() const = 0;
};

/// The modal header dialog: shows the fields and lets the operator edit them.
class HeaderDialog {
public:
    virtual ~HeaderDialog() = default;
    /// Runs the dialog on the calling thread; true when the operator pressed OK (fields edited in place).
    virtual bool run(CabrilloLog& fields) = 0;
};

}  // namespace stats
