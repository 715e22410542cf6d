#include "tools/logs/qso_mapping.h"

#include <algorithm>
#include <charconv>

#include "core/amateur_bands.h"
#include "core/text.h"
#include "tools/logs/callsign.h"
#include "tools/logs/cty.h"

namespace logs {
namespace {

using namespace std::chrono;

using stats::asciiLower;
using stats::asciiUpper;
using stats::parseDigits;
using stats::trimmed;

// The first of the named fields that the record has and that is not empty.
std::string_view firstOf(const AdifRecord& record, std::string_view a, std::string_view b) {
    const std::string_view first = trimmed(record.get(a));
    return first.empty() ? trimmed(record.get(b)) : first;
}

}  // namespace

bool parseFrequencyHz(std::string_view mhz, std::uint32_t& hz) {
    mhz = trimmed(mhz);
    const std::size_t point = mhz.find('.');
    const std::string_view whole = mhz.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : mhz.substr(point + 1);
    if (whole.empty() && fraction.empty()) return false;

    unsigned megahertz = 0;
    if (!whole.empty() && !parseDigits(whole, megahertz)) return false;
    // Any number of decimals is fine; only the first six (down to the hertz) are used.
    if (!std::all_of(fraction.begin(), fraction.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    std::uint64_t total = std::uint64_t{megahertz} * 1'000'000;
    std::uint64_t scale = 100'000;
    for (std::size_t i = 0; i < fraction.size() && i < 6; ++i, scale /= 10)
        total += static_cast<std::uint64_t>(fraction[i] - '0') * scale;
    if (megahertz > 4294 || total > 0xFFFF'FFFFull) return false;
    hz = static_cast<std::uint32_t>(total);
    return true;
}

std::string_view bandOfFrequency(std::uint32_t hz) {
    for (const stats::AmateurBand& band : stats::kAmateurBands)
        if (band.highKHz != 0 && hz >= std::uint64_t{band.lowKHz} * 1000 && hz <= std::uint64_t{band.highKHz} * 1000)
            return band.name;
    return {};
}

bool parseQsoTime(std::string_view date, std::string_view time, sys_seconds& out) {
    date = trimmed(date);
    time = trimmed(time);
    unsigned y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
    if (date.size() != 8 || !parseDigits(date.substr(0, 4), y) || !parseDigits(date.substr(4, 2), m) ||
        !parseDigits(date.substr(6, 2), d))
        return false;
    if ((time.size() != 4 && time.size() != 6) || !parseDigits(time.substr(0, 2), hh) ||
        !parseDigits(time.substr(2, 2), mm) || (time.size() == 6 && !parseDigits(time.substr(4, 2), ss)))
        return false;
    const year_month_day ymd{year{static_cast<int>(y)}, month{m}, day{d}};
    if (!ymd.ok() || y < 1900 || hh > 23 || mm > 59 || ss > 59) return false;
    out = sys_days{ymd} + hours{hh} + minutes{mm} + seconds{ss};
    return true;
}

bool mapRecord(const AdifRecord& record, const CountryFile* countries, ReplayQso& qso, std::string& problem) {
    if (!record.problem.empty()) {
        problem = record.problem;
        return false;
    }

    qso.call = asciiUpper(trimmed(record.get("CALL")));
    if (qso.call.empty()) {
        problem = "no CALL";
        return false;
    }
    if (!namesAStation(qso.call)) {
        problem = "CALL '" + qso.call + "' names no station";
        return false;
    }

    if (!parseQsoTime(record.get("QSO_DATE"), record.get("TIME_ON"), qso.when)) {
        problem = "QSO_DATE '" + std::string(record.get("QSO_DATE")) + "' / TIME_ON '" +
                  std::string(record.get("TIME_ON")) + "' is no valid date and time";
        return false;
    }
    qso.time = stats::oleDateFrom(qso.when);

    qso.frequencyHz = 0;
    if (const std::string_view freq = trimmed(record.get("FREQ")); !freq.empty()) {
        if (!parseFrequencyHz(freq, qso.frequencyHz)) {
            problem = "FREQ '" + std::string(freq) + "' is no frequency in MHz";
            return false;
        }
    }
    qso.band = asciiLower(trimmed(record.get("BAND")));
    if (qso.band.empty()) {
        qso.band = bandOfFrequency(qso.frequencyHz);
        if (qso.band.empty()) {
            problem = "no BAND, and no FREQ within a band";
            return false;
        }
    }

    // The contest knows CW and SSB; LSB and USB are SSB whether the log gives them as mode or submode.
    qso.mode = asciiUpper(trimmed(record.get("MODE")));
    const std::string submode = asciiUpper(trimmed(record.get("SUBMODE")));
    if (qso.mode == "LSB" || qso.mode == "USB" ||
        (qso.mode.empty() && (submode == "LSB" || submode == "USB")))
        qso.mode = "SSB";
    if (qso.mode.empty()) {
        problem = "no MODE";
        return false;
    }

    qso.rstSent = trimmed(record.get("RST_SENT"));
    qso.rstReceived = trimmed(record.get("RST_RCVD"));
    qso.numberSent = firstOf(record, "STX_STRING", "STX");
    qso.numberReceived = firstOf(record, "SRX_STRING", "SRX");
    qso.ownCall = asciiUpper(firstOf(record, "STATION_CALLSIGN", "OPERATOR"));

    fillPrefixAndContinent(record.get("PFX"), record.get("CONT"), countries, qso);
    return true;
}

void fillPrefixAndContinent(std::string_view prefix, std::string_view continent, const CountryFile* countries,
                            ReplayQso& qso) {
    qso.prefix = asciiUpper(trimmed(prefix));
    if (qso.prefix.empty()) qso.prefix = wpxPrefix(qso.call);
    qso.continent = asciiUpper(trimmed(continent));
    qso.continentUnknown = false;
    if (qso.continent.empty()) {
        if (countries)
            qso.continent = countries->lookup(qso.call).continent;
        else
            qso.continentUnknown = true;
    }
}

}  // namespace logs
