#pragma once
// The amateur bands as logs name them: the host's band name, a Cabrillo QSO line's band
// designator, the CATEGORY-BAND value, the edges in kHz and the band plans' CW/phone split.
// The contest record takes its bands from here; the panel, the log readers, the Cabrillo check,
// the report and the contest generator read the same table.

#include <array>
#include <cstdint>
#include <string_view>

namespace stats {

/// An amateur band.
struct AmateurBand {
    std::string_view name;        ///< as the host names it: "40m"
    std::string_view designator;  ///< a QSO line's band in place of a frequency: "7", "144", "1.2G"; "" for none
    std::string_view category;    ///< CATEGORY-BAND: "40M", "432"; "" for none
    std::uint32_t lowKHz;         ///< the edges, both inclusive; 0 and 0 where the table gives none
    std::uint32_t highKHz;
    std::uint32_t phoneFromKHz;   ///< CW below this frequency, phone from it; 0 where the table gives none

    constexpr bool holds(std::uint32_t kHz) const noexcept { return highKHz != 0 && kHz >= lowKHz && kHz <= highKHz; }
    /// True for a band below 30 MHz.
    constexpr bool hf() const noexcept { return highKHz != 0 && highKHz < 30'000; }
};

// clang-format off
/// In order of frequency. The edges span every region's allocation; the microwave bands and
/// the bands few logs meet (4 m, 1.25 m, 33 cm) have none here.
inline constexpr std::array<AmateurBand, 28> kAmateurBands = {{
    {"160m", "1.8", "160M", 1'800, 2'000, 1'840},       {"80m", "3.5", "80M", 3'500, 4'000, 3'600},
    {"60m", "", "", 5'060, 5'450, 0},                   {"40m", "7", "40M", 7'000, 7'300, 7'040},
    {"30m", "", "", 10'100, 10'150, 0},                 {"20m", "14", "20M", 14'000, 14'350, 14'100},
    {"17m", "", "", 18'068, 18'168, 0},                 {"15m", "21", "15M", 21'000, 21'450, 21'200},
    {"12m", "", "", 24'890, 24'990, 0},                 {"10m", "28", "10M", 28'000, 29'700, 28'300},
    {"6m", "50", "6M", 50'000, 54'000, 0},              {"4m", "70", "4M", 0, 0, 0},
    {"2m", "144", "2M", 144'000, 148'000, 0},           {"1.25m", "222", "222", 0, 0, 0},
    {"70cm", "432", "432", 420'000, 450'000, 0},        {"33cm", "902", "902", 0, 0, 0},
    {"23cm", "1.2G", "1.2G", 0, 0, 0},                  {"13cm", "2.3G", "2.3G", 0, 0, 0},
    {"9cm", "3.4G", "3.4G", 0, 0, 0},                   {"6cm", "5.7G", "5.7G", 0, 0, 0},
    {"3cm", "10G", "10G", 0, 0, 0},                     {"1.25cm", "24G", "24G", 0, 0, 0},
    {"6mm", "47G", "47G", 0, 0, 0},                     {"4mm", "75G", "75G", 0, 0, 0},
    {"2.5mm", "122G", "122G", 0, 0, 0},                 {"2mm", "134G", "134G", 0, 0, 0},
    {"1mm", "241G", "241G", 0, 0, 0},                   {"submm", "LIGHT", "LIGHT", 0, 0, 0},
}};
// clang-format on

/// The kHz a band designator in MHz stands for, whole or with one decimal ("3.5": 3500, "144":
/// 144000); 0 for any other text ("1.2G", "LIGHT").
constexpr std::uint32_t designatorKHz(std::string_view designator) noexcept {
    const std::size_t point = designator.find('.');
    const std::string_view whole = designator.substr(0, point);
    const std::string_view tenth = point == std::string_view::npos ? "0" : designator.substr(point + 1);
    if (whole.empty() || whole.size() > 6 || tenth.size() != 1) return 0;
    std::uint32_t mhz = 0;
    for (const char c : whole) {
        if (c < '0' || c > '9') return 0;
        mhz = mhz * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (tenth[0] < '0' || tenth[0] > '9') return 0;
    return mhz * 1000 + static_cast<std::uint32_t>(tenth[0] - '0') * 100;
}

/// The band called `name`; a compile-time error (no constant value) when none is.
constexpr const AmateurBand& amateurBand(std::string_view name) {
    for (const AmateurBand& b : kAmateurBands)
        if (b.name == name) return b;
    throw "no such amateur band";
}

}  // namespace stats
