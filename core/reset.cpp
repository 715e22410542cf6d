#include "core/reset.h"

namespace stats {

bool isHomeCountryUA(std::string_view prefix) noexcept {
    return prefix == "UA" || prefix == "UA2" || prefix == "UA2/f" || prefix == "UA9";
}

void resetContestState(ContestState& state, const ResetParams& params) {
    state.periodStartText = formatOleDate(params.periodStart, "%d.%m");
    state.periodEndText = formatOleDate(params.periodEnd, "%d.%m.%Y");
    state.contestYear = formatOleDate(params.periodEnd, "%Y");

    // One row per panel band: the band, then no CW time, no SSB time, no received number yet.
    for (std::size_t k = 0; k < kPanelBands.size(); ++k)
        state.previousQsoRows[k] = {kPanelBands[k], "-", "-", "-"};

    state.qsoStore.clear();
    state.bandList.clear();

    state.exportRequested = params.exportRequest;
    state.contestant = params.ownCall;
    state.ownCountryPrefix = params.ownCountryPrefix;
    state.homeCountryUA = isHomeCountryUA(state.ownCountryPrefix) ? 1 : 0;
}

void applyStartToggle(Settings& settings, WindowThread& windows) {
    if (settings.readInt(kStartKey) == 0) {
        // A panel that already exists keeps running; the toggle then stays as it is.
        if (!windows.panelExists()) {
            windows.start();
            settings.write(kStartKey, "1");
        }
    } else {
        settings.write(kStartKey, "0");
    }
}

}  // namespace stats
