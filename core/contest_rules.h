#pragma once
// The one description of the contest: its bands and modes, what a QSO is worth and what counts as a
// multiplier. The plug-in's rules, the Cabrillo check, the cross-check, the report and the contest
// generator all read it; none keeps a copy of its own.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace stats {

/// A band of the contest: the host's name, the Cabrillo forms and the kHz range with its CW segment.
struct ContestBand {
    std::string_view name;              ///< as the host names it: "40m"
    std::string_view cabrilloCategory;  ///< CATEGORY-BAND: "40M"
    std::string_view cabrilloBand;      ///< a QSO line's band designator in MHz: "7"
    std::uint32_t lowKHz;               ///< the band's edges, both inclusive
    std::uint32_t highKHz;
    std::uint32_t phoneFromKHz;         ///< CW below this frequency, phone from it (the band plans' split)

    constexpr bool holds(std::uint32_t kHz) const noexcept { return kHz >= lowKHz && kHz <= highKHz; }
};

/// A mode of the contest: the host's name, its Cabrillo code and the report form it carries.
struct ContestMode {
    std::string_view name;          ///< as the host names it: "SSB"
    std::string_view cabrilloCode;  ///< a QSO line's mode: "PH"
    std::size_t reportDigits;       ///< RST for CW (599), RS for phone (59)
    bool cw;                        ///< keyed below a band's phone segment
};

/// What a QSO can carry as a multiplier.
enum class MultiplierKind : std::uint8_t {
    kPrefixOnContinent,  ///< each distinct prefix of a station on `multiplierContinent`
};

/// The contest as the rules describe it.
struct ContestRules {
    std::string_view ruleSetName;   ///< the name the host lists: "SA-TOLVEN CW/SSB (C)"
    std::string_view cabrilloName;  ///< CONTEST: in a Cabrillo log
    std::span<const ContestBand> bands;
    std::span<const ContestMode> modes;
    int pointsPerQso;
    MultiplierKind multiplier;
    std::string_view multiplierContinent;
    std::string_view mixedCategory;  ///< CATEGORY-MODE of a log in more than one mode
    std::string_view allBandsCategory;

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
    /// True when a QSO logged as `mode` at `kHz` lies in the segment of the band its mode belongs to;
    /// also true for a frequency outside the contest's bands or a mode it does not know.
    constexpr bool inModeSegment(std::uint32_t kHz, std::string_view modeName) const noexcept {
        const ContestBand* b = bandAt(kHz);
        const ContestMode* m = mode(modeName);
        return !b || !m || (kHz < b->phoneFromKHz) == m->cw;
    }
};

inline constexpr std::array<ContestBand, 2> kContestBands = {{
    {"40m", "40M", "7", 7000, 7300, 7040},
    {"20m", "20M", "14", 14000, 14350, 14100},
}};

inline constexpr std::array<ContestMode, 2> kContestModes = {{
    {"CW", "CW", 3, true},
    {"SSB", "PH", 2, false},
}};

/// SA-TOLVEN: CW and SSB on 40 m and 20 m, one point per QSO, the distinct SA prefixes as multipliers.
inline constexpr ContestRules kContest = {
    .ruleSetName = "SA-TOLVEN CW/SSB (C)",
    .cabrilloName = "SA-TOLVEN",
    .bands = kContestBands,
    .modes = kContestModes,
    .pointsPerQso = 1,
    .multiplier = MultiplierKind::kPrefixOnContinent,
    .multiplierContinent = "SA",
    .mixedCategory = "MIXED",
    .allBandsCategory = "ALL",
};

static_assert(kContest.band("20m") && kContest.bandAt(7040) == kContest.band("40m"));
static_assert(kContest.modeByCabrilloCode("PH") == kContest.mode("SSB"));

}  // namespace stats
