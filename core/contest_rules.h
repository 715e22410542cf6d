#pragma once
// The one description of the contest: its names, bands and modes, the exchange a QSO line
// carries, the header categories, what a QSO is worth and what counts as a multiplier. The
// plug-in's rules, the Cabrillo writer and header dialog, the Cabrillo check, the cross-check, the
// report and the contest generator all read it; none keeps a copy of its own.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/amateur_bands.h"

namespace stats {

/// A band of the contest: one of the amateur bands, with its name, Cabrillo forms, edges and split.
using ContestBand = AmateurBand;

/// A mode of the contest: the host's name, its Cabrillo code and the report form it carries.
struct ContestMode {
    std::string_view name;          ///< as the host names it: "SSB"
    std::string_view cabrilloCode;  ///< a QSO line's mode: "PH"
    std::size_t reportDigits;       ///< RST for CW (599), RS for phone (59)
    bool cw;                        ///< keyed below a band's phone segment
};

/// What an exchange field holds.
enum class FieldKind : std::uint8_t { kRst, kSerial, kText };

/// A field of the exchange, in the order a QSO line gives it, sent and received alike.
struct ContestField {
    std::string_view name;  ///< "rst", "serial"
    FieldKind kind;
};

/// A Cabrillo header category: the values the header dialog offers, and the one it proposes.
struct ContestCategory {
    std::string_view tag;  ///< "CATEGORY-POWER"
    std::span<const std::string_view> values;
    std::string_view proposed;  ///< "" where the dialog proposes nothing
};

/// What a QSO can carry as a multiplier.
enum class MultiplierKind : std::uint8_t {
    kPrefixOnContinent,  ///< each distinct prefix of a station on `multiplierContinent`
};

/// The contest as the rules describe it.
struct ContestRules {
    std::string_view ruleSetName;   ///< the name the host lists: "SA-TOLVEN CW/SSB (C)"
    std::string_view cabrilloName;  ///< CONTEST: in a Cabrillo log
    std::string_view summaryTitle;  ///< the score summary's first line: "SA TOLVEN CONTEST"
    std::span<const ContestBand> bands;
    std::span<const ContestMode> modes;
    std::span<const ContestField> exchange;
    int pointsPerQso;
    MultiplierKind multiplier;
    std::string_view multiplierContinent;
    std::string_view mixedCategory;  ///< CATEGORY-MODE of a log in more than one mode
    std::string_view allBandsCategory;
    /// The categories a log carries, in the header dialog's order (which leaves out the station).
    std::span<const ContestCategory> categories;

    /// The first entry of `entries` that `matches`, or none.
    template <typename T, typename Match>
    static constexpr const T* find(std::span<const T> entries, Match matches) noexcept {
        for (const T& entry : entries)
            if (matches(entry)) return &entry;
        return nullptr;
    }

    constexpr const ContestBand* band(std::string_view name) const noexcept {
        return find(bands, [name](const ContestBand& b) { return b.name == name; });
    }
    /// The band that holds `kHz`, or none.
    constexpr const ContestBand* bandAt(std::uint32_t kHz) const noexcept {
        return find(bands, [kHz](const ContestBand& b) { return b.holds(kHz); });
    }
    constexpr const ContestMode* mode(std::string_view name) const noexcept {
        return find(modes, [name](const ContestMode& m) { return m.name == name; });
    }
    constexpr const ContestMode* modeByCabrilloCode(std::string_view code) const noexcept {
        return find(modes, [code](const ContestMode& m) { return m.cabrilloCode == code; });
    }
    /// The category of header tag `tag`, or none.
    constexpr const ContestCategory* category(std::string_view tag) const noexcept {
        return find(categories, [tag](const ContestCategory& c) { return c.tag == tag; });
    }
    /// True when a QSO logged as `mode` at `kHz` lies in the segment of the band its mode belongs to;
    /// also true for a frequency outside the contest's bands or a mode it does not know.
    constexpr bool inModeSegment(std::uint32_t kHz, std::string_view modeName) const noexcept {
        const ContestBand* b = bandAt(kHz);
        const ContestMode* m = mode(modeName);
        return !b || !m || (kHz < b->phoneFromKHz) == m->cw;
    }
};

inline constexpr std::array<ContestBand, 2> kContestBands = {amateurBand("40m"), amateurBand("20m")};

inline constexpr std::array<ContestMode, 2> kContestModes = {{
    {"CW", "CW", 3, true},
    {"SSB", "PH", 2, false},
}};

inline constexpr std::array<ContestField, 2> kContestExchange = {{
    {"rst", FieldKind::kRst},
    {"serial", FieldKind::kSerial},
}};

inline constexpr std::string_view kMixedCategory = "MIXED";
inline constexpr std::string_view kAllBandsCategory = "ALL";

// CATEGORY-BAND: all bands, then each band; CATEGORY-MODE: each mode, then mixed.
inline constexpr auto kBandCategories = [] {
    std::array<std::string_view, kContestBands.size() + 1> out{kAllBandsCategory};
    for (std::size_t i = 0; i < kContestBands.size(); ++i) out[i + 1] = kContestBands[i].category;
    return out;
}();
inline constexpr auto kModeCategories = [] {
    std::array<std::string_view, kContestModes.size() + 1> out{};
    for (std::size_t i = 0; i < kContestModes.size(); ++i) out[i] = kContestModes[i].name;
    out.back() = kMixedCategory;
    return out;
}();
inline constexpr std::string_view kOperatorCategories[] = {"SINGLE-OP", "MULTI-OP", "MULTI-OP HQCHECKLOG"};
inline constexpr std::string_view kPowerCategories[] = {"HIGH", "LOW", "QRP"};
inline constexpr std::string_view kAssistedCategories[] = {"ASSISTED", "NON-ASSISTED"};
inline constexpr std::string_view kTransmitterCategories[] = {"ONE", "TWO", "UNLIMITED"};
inline constexpr std::string_view kOverlayCategories[] = {"NOVICE", "YL", "RADIO-CLUB"};

inline constexpr std::array<ContestCategory, 7> kContestCategories = {{
    {"CATEGORY-OPERATOR", kOperatorCategories, "SINGLE-OP"},
    {"CATEGORY-BAND", kBandCategories, kAllBandsCategory},
    {"CATEGORY-MODE", kModeCategories, kContestModes[0].name},
    {"CATEGORY-POWER", kPowerCategories, "LOW"},
    {"CATEGORY-ASSISTED", kAssistedCategories, "NON-ASSISTED"},
    {"CATEGORY-TRANSMITTER", kTransmitterCategories, "ONE"},
    {"CATEGORY-OVERLAY", kOverlayCategories, ""},
}};

/// SA-TOLVEN: CW and SSB on 40 m and 20 m, RST and serial number, one point per QSO, the distinct
/// SA prefixes as multipliers.
inline constexpr ContestRules kContest = {
    .ruleSetName = "SA-TOLVEN CW/SSB (C)",
    .cabrilloName = "SA-TOLVEN",
    .summaryTitle = "SA TOLVEN CONTEST",
    .bands = kContestBands,
    .modes = kContestModes,
    .exchange = kContestExchange,
    .pointsPerQso = 1,
    .multiplier = MultiplierKind::kPrefixOnContinent,
    .multiplierContinent = "SA",
    .mixedCategory = kMixedCategory,
    .allBandsCategory = kAllBandsCategory,
    .categories = kContestCategories,
};

}  // namespace stats
