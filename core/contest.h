#pragma once
// The contest state that the exports share, and the parameters the host passes.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/amateur_bands.h"
#include "core/ole_date.h"
#include "core/qso_store.h"

namespace stats {

/// The panel's band rows: the amateur bands below 30 MHz that a QSO line may name by designator.
inline constexpr std::array<const char*, 6> kPanelBands = [] {
    std::array<const char*, 6> out{};
    std::size_t n = 0;
    for (const AmateurBand& b : kAmateurBands)
        if (b.hf() && !b.designator.empty()) out.at(n++) = b.name.data();  // literals: NUL-terminated
    return out;
}();

/// The contest run: store, band list, period texts and flags.
struct ContestState {
    QsoStore qsoStore;
    std::vector<std::string> bandList;
    /// One row per entry of kPanelBands: band, CW time, SSB time, received number.
    std::array<std::vector<std::string>, 6> previousQsoRows;
    std::int32_t exportRequested = 0;
    std::string contestant;
    std::string periodStartText;
    std::string periodEndText;
    std::string contestYear;
    std::string ownCountryPrefix;
    std::int32_t homeCountryUA = 0;
    /// The SA prefixes of the last score summary, in the order it met them.
    std::vector<std::string> workedSaPrefixes;
};

/// The parameters of AddData0 and RemoveData0 that the plug-in reads (null texts already empty).
struct QsoParams {
    std::string_view ownCall;         // 1
    std::string_view call;            // 2
    OleDateTime time;                 // 3 (a null pointer reads as a null date)
    std::uint32_t frequencyHz = 0;    // 8
    std::string_view mode;            // 9
    std::string_view rstSent;         // 10
    std::string_view rstReceived;     // 11
    std::string_view numberSent;      // 12
    std::string_view numberReceived;  // 13
    std::string_view prefix;          // 22
    std::string_view continent;       // 30
    std::string_view band;            // 32
};

/// The parameters of ResetStats0 that the plug-in reads.
struct ResetParams {
    std::int32_t exportRequest = 0;    // 2
    std::string_view ownCall;          // 3
    OleDateTime periodStart;           // 4
    OleDateTime periodEnd;             // 5
    std::string_view ownCountryPrefix; // 15
};

/// The parameters of CheckCall0 that the plug-in reads.
struct CallCheckParams {
    std::string_view call;       // 1
    std::string_view mode;       // 4
    std::string_view prefix;     // 13
    std::string_view continent;  // 21
    std::string_view band;       // 25
    char* outBuffer = nullptr;   // 27: 50 bytes, may be null
    char* hintBuffer = nullptr;  // 28: 100 bytes
};

}  // namespace stats
