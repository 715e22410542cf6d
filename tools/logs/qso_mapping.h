#pragma once
// From an ADIF record to the values the host hands the plug-in for one contact.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/ole_date.h"
#include "tools/logs/adif.h"

namespace logs {

class CountryFile;

/// One contact as the host passes it to AddData0.
struct ReplayQso {
    std::string ownCall;         // STATION_CALLSIGN or OPERATOR
    std::string call;            // CALL
    std::string mode;            // "CW", "SSB" (also for LSB/USB), or the log's mode in upper case
    std::string rstSent;         // RST_SENT
    std::string rstReceived;     // RST_RCVD
    std::string numberSent;      // STX_STRING or STX
    std::string numberReceived;  // SRX_STRING or SRX
    std::string prefix;          // PFX, or the WPX prefix of the call
    std::string continent;       // CONT, or the country file's continent of the call
    std::string band;            // BAND in lower case ("40m"), or the band of FREQ
    std::string transmitter;     // a Cabrillo QSO line's transmitter id; "" when the log gives none
    std::uint32_t frequencyHz = 0;
    std::chrono::sys_seconds when{};
    stats::OleDateTime time;
    bool continentUnknown = false;  ///< no CONT and no country file to derive it from
};

/// Frequency in MHz ("7.025") to hertz, exactly; false for anything but digits with one optional point,
/// or a value beyond 4294.967295 MHz. Digits beyond the hertz are dropped.
bool parseFrequencyHz(std::string_view mhz, std::uint32_t& hz);

/// The amateur band of a frequency ("40m"), or "" outside the bands.
std::string_view bandOfFrequency(std::uint32_t hz);

/// QSO_DATE (YYYYMMDD) and TIME_ON (HHMM or HHMMSS) to a UTC time; false when either is not a valid value.
bool parseQsoTime(std::string_view date, std::string_view time, std::chrono::sys_seconds& out);

/// Sets the prefix and continent of `qso` (whose call is set) from the log's values, deriving an empty
/// one from the call: the WPX prefix, the country file's continent (`countries` may be null).
void fillPrefixAndContinent(std::string_view prefix, std::string_view continent, const CountryFile* countries,
                            ReplayQso& qso);

/// Fills `qso` from `record`, deriving a missing prefix and continent (`countries` may be null);
/// false with a one-line `problem` when the record cannot be a contact.
bool mapRecord(const AdifRecord& record, const CountryFile* countries, ReplayQso& qso, std::string& problem);

}  // namespace logs
