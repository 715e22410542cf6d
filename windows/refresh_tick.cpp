#include "windows/refresh_tick.h"

#include <cmath>

#include "core/contest.h"
#include "core/contest_rules.h"
#include "core/shared_contest.h"
#include "core/text.h"
#include "windows/control_panel.h"

namespace stats {

namespace {

// Each row's band by the whole megahertz of its designator: 1 for 1.8, 3 for 3.5, 7, 14, ...
constexpr auto kRowMegahertz = [] {
    std::array<std::uint32_t, kPanelBands.size()> out{};
    for (std::size_t r = 0; r < out.size(); ++r) out[r] = designatorKHz(amateurBand(kPanelBands[r]).designator) / 1000;
    return out;
}();

}  // namespace

int bandRowForFrequency(double hertz) noexcept {
    const double mhz = std::trunc(hertz / 1000000.0);
    for (std::size_t r = 0; r < kRowMegahertz.size(); ++r)
        if (mhz == kRowMegahertz[r]) return static_cast<int>(r);
    return -1;
}

void fillPreviousQsoRows(std::array<std::vector<std::string>, 6>& rows, const QsoStore& store,
                         std::string_view call, const std::array<std::string, 6>& bandNames) {
    for (std::size_t r = 0; r < rows.size(); ++r) {
        // A row is [band, CW time, SSB time, number]; one that lost its shape gets it back
        // rather than failing every refresh.
        if (rows[r].empty()) rows[r].push_back(bandNames[r]);
        rows[r].resize(4);
        for (std::size_t e = 1; e < 4; ++e) rows[r][e] = kNoPreviousQso;
    }
    if (call.empty()) return;
    // The index by call gives the matching records in store order, so the last one wins as
    // in a scan of the whole log.
    for (const std::size_t i : store.callPositions(call)) {
        const CInfo& record = store.at(i);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (record.band != bandNames[r]) continue;
            if (record.mode == kContest.modes[0].name)
                rows[r][1] = formatOleDate(record.qsoTime, "%H:%M");
            else if (record.mode == kContest.modes[1].name)
                rows[r][2] = formatOleDate(record.qsoTime, "%H:%M");
            rows[r][3] = record.numberReceived;
        }
    }
}

void ControlPanel::onTimer() {
    view_.killTimer();
    if (flags_.itu && !view_.isOpen(AuxWindow::kItu)) view_.open(AuxWindow::kItu);
    if (flags_.saPrefix && !view_.isOpen(AuxWindow::kSaPrefix)) view_.open(AuxWindow::kSaPrefix);
    if (!host_.connected()) return;

    shared_.currentCall = host_.queryText(kHostTypedCall);
    const std::string call = shared_.currentCall;
    // One or two characters: the operator is still typing; nothing else changes.
    if (call.size() == 1 || call.size() == 2) return;

    if (!call.empty() && flags_.prevQso && !view_.isOpen(AuxWindow::kPrevQso)) view_.open(AuxWindow::kPrevQso);

    // Everything the tick needs from the contest is read or written in one short hold of the
    // lock; no host call and no window message happens while it is held.
    struct Snapshot {
        std::string year;
        bool russian;
        std::vector<std::string> prefixes;
    };
    const Snapshot snap = contest_.updateState([&](ContestState& s) {
        fillPreviousQsoRows(s.previousQsoRows, s.qsoStore, call, panelBandNames_);
        return Snapshot{s.contestYear, s.homeCountryUA != 0, s.workedSaPrefixes};
    });

    if (!call.empty()) {
        const std::string caption =
            format(snap.russian ? panel_text::kWorkedWithRu : panel_text::kWorkedWith, snap.year.c_str(), call.c_str());
        if (view_.isOpen(AuxWindow::kPrevQso)) {
            view_.setWindowText(AuxWindow::kPrevQso, caption);
            view_.invalidate(AuxWindow::kPrevQso);
        }
    }

    const double f = host_.frequency();
    if (std::fabs(f - shared_.lastReportedFrequency) > 300.0) {
        host_.runMacro("<SP1>");
        shared_.lastReportedFrequency = f;
    }
    shared_.highlightedBand = bandRowForFrequency(f);

    if (view_.isOpen(AuxWindow::kSaPrefix)) {
        view_.setWindowText(AuxWindow::kSaPrefix, snap.russian ? panel_text::kPrefixTitleRu : panel_text::kPrefixTitle);
        if (!snap.prefixes.empty()) {
            std::vector<std::string> items;
            items.reserve(snap.prefixes.size());
            for (const std::string& p : snap.prefixes) items.push_back(" " + p);
            view_.setPrefixItems(items);
        }
        if (call.empty() && flags_.prevQso && view_.isOpen(AuxWindow::kPrevQso)) {
            view_.setWindowText(AuxWindow::kPrevQso, format(panel_text::kYearOnly, snap.year.c_str()));
            view_.invalidate(AuxWindow::kPrevQso);
        }
        view_.invalidate(AuxWindow::kSaPrefix);
    }
}

}  // namespace stats
