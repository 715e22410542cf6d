#include "windows/control_panel.h"

#include "core/shared_contest.h"
#include "core/text.h"
#include "resources/resource.h"

namespace stats {

ControlPanel::ControlPanel(SharedContest& contest, HostLink& host, PanelView& view, WindowThreadState& shared)
    : contest_(contest), host_(host), view_(view), shared_(shared) {}

bool ControlPanel::initialise() {
    Settings& settings = contest_.settings();
    const LastPosition at = restorePosition(settings, kPanelPositionKeys, shared_.lastPosition);
    view_.placePanel(at.x, at.y);
    view_.setPanelIcon();

    flags_.saPrefix = settings.readInt("HQ");
    flags_.itu = settings.readInt("ITU");
    flags_.useMaster = settings.readInt("setup_mast");
    contest_.setMasterOption(flags_.useMaster != 0);
    flags_.prevQso = settings.readInt("setup_previous");

    // Copied under the lock: the host's thread may be resetting the contest right now.
    const auto [year, russian] =
        contest_.withState([](const ContestState& s) { return std::pair(s.contestYear, s.homeCountryUA != 0); });
    view_.setPanelCaption(format(panel_text::kCaption, year.c_str()));
    if (russian) {
        view_.setPanelCaption(format(panel_text::kCaptionRu, year.c_str()));
        view_.moveControl(IDC_VIEW_LABEL, 150, 10, 200, 20);
        view_.setControlText(IDC_VIEW_LABEL, panel_text::kViewRu);
        view_.setControlText(IDC_MODE_LABEL, panel_text::kChoiceModeRu);
        view_.setControlText(IDC_USE_MASTER, panel_text::kUseMasterRu);
        view_.setControlText(IDC_PREV_QSO, panel_text::kPrevQsoRu);
    }

    for (std::size_t r = 0; r < kPanelBands.size(); ++r) panelBandNames_[r] = kPanelBands[r];
    view_.showFlags(flags_);
    view_.armTimer();

    // The host comes last: a host object that refuses the call leaves here by exception, and
    // everything the panel needs is in place by then.
    host_.lookup();
    // The panel always starts in CW and tells the host so.
    view_.enableControl(IDC_CW, false);
    view_.enableControl(IDC_SSB, true);
    host_.runMacro("<MODE:CW>");
    return true;
}

void ControlPanel::chooseMode(int disable, int enable, const char* macro) {
    view_.killTimer();
    view_.enableControl(disable, false);
    view_.enableControl(enable, true);
    // A failing host call leaves here by exception, so the timer stays killed.
    host_.runMacro(macro);
    view_.armTimer();
}

void ControlPanel::onCw() { chooseMode(IDC_CW, IDC_SSB, "<MODE:CW>"); }

void ControlPanel::onSsb() { chooseMode(IDC_SSB, IDC_CW, "<MODE:SSB>"); }

void ControlPanel::switchWindow(AuxWindow window, int& flag, const char* key) {
    // Decided by the window reference, not the flag: a window hidden by its close box is
    // still open, and this click closes it.
    view_.killTimer();
    if (view_.isOpen(window)) {
        view_.close(window);
        flag = 0;
        contest_.settings().write(key, "0");
    } else {
        view_.open(window);
        flag = 1;
        contest_.settings().write(key, "1");
    }
    view_.armTimer();
}

void ControlPanel::onSaPrefix() { switchWindow(AuxWindow::kSaPrefix, flags_.saPrefix, "HQ"); }

void ControlPanel::onItu() { switchWindow(AuxWindow::kItu, flags_.itu, "ITU"); }

void ControlPanel::onPrevQso() {
    view_.killTimer();
    Settings& settings = contest_.settings();
    if (flags_.prevQso) {
        flags_.prevQso = 0;
        settings.write("setup_previous", "0");
        if (view_.isOpen(AuxWindow::kPrevQso)) view_.close(AuxWindow::kPrevQso);
    } else {
        flags_.prevQso = 1;
        settings.write("setup_previous", "1");
        if (!view_.isOpen(AuxWindow::kPrevQso)) view_.open(AuxWindow::kPrevQso);
    }
    view_.showFlags(flags_);
    view_.armTimer();
}

void ControlPanel::onUseMaster() {
    flags_.useMaster = !flags_.useMaster;
    contest_.setMasterOption(flags_.useMaster != 0);
    contest_.settings().write("setup_mast", flags_.useMaster ? "1" : "0");
    view_.showFlags(flags_);
}

void ControlPanel::onSetCursor(int left, int top) {
    savePosition(contest_.settings(), kPanelPositionKeys, shared_.lastPosition, left, top);
}

}  // namespace stats
