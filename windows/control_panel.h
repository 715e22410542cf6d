#pragma once
// The control panel's logic: what its initialisation, each click and each refresh tick do to
// its options, the settings, the refresh timer, the host and the other windows.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "windows/host_link.h"
#include "windows/window_layout.h"

namespace stats {

class SharedContest;

/// The panel's four options, as its check boxes show them.
struct PanelFlags {
    int saPrefix = 0;   ///< "SA Prefix", key "HQ"
    int itu = 0;        ///< "ITU", key "ITU"
    int useMaster = 0;  ///< "Using master", key "setup_mast"
    int prevQso = 0;    ///< "Previous QSO", key "setup_previous"

    friend bool operator==(const PanelFlags&, const PanelFlags&) = default;
};

/// The operator windows the panel opens besides itself.
enum class AuxWindow { kSaPrefix, kPrevQso, kItu };

/// What the window thread keeps from one panel to the next (process-wide, window thread only).
struct WindowThreadState {
    LastPosition lastPosition;
    /// The call in the host's entry field, as the last refresh read it.
    std::string currentCall;
    /// The frequency at which "<SP1>" was last sent, in hertz.
    double lastReportedFrequency = 0.0;
    /// Row 0..5 of the band the radio is on, -1 for none.
    int highlightedBand = -1;
};

/// The window operations the panel's logic asks for; the Win32 view carries them out on the
/// window thread. Texts are 8-bit Windows-1251 and shown as such whatever the system's code page.
class PanelView {
public:
    virtual ~PanelView() = default;
    /// Moves the panel to a screen position (size and Z order kept), then makes it topmost.
    virtual void placePanel(int x, int y) = 0;
    virtual void setPanelIcon() = 0;
    virtual void setPanelCaption(std::string_view text) = 0;
    virtual void setControlText(int id, std::string_view text) = 0;
    /// Moves a panel control, in client pixels, and repaints it.
    virtual void moveControl(int id, int x, int y, int width, int height) = 0;
    virtual void enableControl(int id, bool enabled) = 0;
    /// Shows the four options in their check boxes.
    virtual void showFlags(const PanelFlags& flags) = 0;
    /// Arms (or restarts) the one-shot refresh timer: id 1442, 300 ms.
    virtual void armTimer() = 0;
    virtual void killTimer() = 0;
    /// True while the panel holds a reference to the window (it may be hidden by its close box).
    virtual bool isOpen(AuxWindow window) const = 0;
    /// Creates the window from its template, keeps the reference and shows it.
    virtual void open(AuxWindow window) = 0;
    /// Sends the window the close message and drops the reference.
    virtual void close(AuxWindow window) = 0;
    virtual void setWindowText(AuxWindow window, std::string_view text) = 0;
    /// Asks the previous-QSO grid or the SA-prefix list to repaint, without erasing.
    virtual void invalidate(AuxWindow window) = 0;
    /// Replaces the SA-prefix list's items (the list box sorts them).
    virtual void setPrefixItems(const std::vector<std::string>& items) = 0;
};

/// The panel `baud`: its options, its mode buttons, its window switches and its refresh tick.
class ControlPanel {
public:
    ControlPanel(SharedContest& contest, HostLink& host, PanelView& view, WindowThreadState& shared);

    /// The panel's initialisation after the dialog exists; returns true (focus to the first tab stop).
    /// Throws HostCallFailed when the host refuses its first call, with the panel complete.
    bool initialise();
    void onCw();
    void onSsb();
    void onSaPrefix();
    void onItu();
    void onPrevQso();
    void onUseMaster();
    /// The mouse moved over the panel, whose window has these left and top edges.
    void onSetCursor(int left, int top);
    /// The refresh timer fired.
    void onTimer();

    const PanelFlags& flags() const noexcept { return flags_; }
    const std::array<std::string, 6>& bandNames() const noexcept { return panelBandNames_; }

private:
    void chooseMode(int disable, int enable, const char* macro);
    void switchWindow(AuxWindow window, int& flag, const char* key);

    SharedContest& contest_;
    HostLink& host_;
    PanelView& view_;
    WindowThreadState& shared_;
    PanelFlags flags_;
    std::array<std::string, 6> panelBandNames_;
};

/// The 8-bit texts of the operator windows (Russian ones in Windows-1251).
namespace panel_text {
inline constexpr const char* kCaption = "Setup SA-TOLVEN %s";
inline constexpr const char* kCaptionRu = "\xd3\xf1\xf2\xe0\xed\xee\xe2\xea\xe8 SA-TOLVEN %s";
inline constexpr const char* kViewRu = "\xce\xf2\xee\xe1\xf0\xe0\xe6\xe0\xf2\xfc";
inline constexpr const char* kChoiceModeRu = "\xc2\xfb\xe1\xee\xf0 \xe2\xe8\xe4\xe0";
inline constexpr const char* kUseMasterRu =
    "\xc8\xf1\xef\xee\xeb\xfc\xe7\xee\xe2\xe0\xf2\xfc \xef\xee\xe4\xf1\xea\xe0\xe7\xea\xf3";
inline constexpr const char* kPrevQsoRu = "\xcf\xf0\xe5\xe4\xfb\xe4\xf3\xf9\xe8\xe5 QSO";
inline constexpr const char* kWorkedWith = "SA TOLVEN %s worked with %s";
inline constexpr const char* kWorkedWithRu = "SA TOLVEN %s \xf1\xf0\xe0\xe1\xee\xf2\xe0\xed\xee \xf1 %s";
inline constexpr const char* kYearOnly = "SA TOLVEN %s";
inline constexpr const char* kPrefixTitle = "Worked SA prefix";
inline constexpr const char* kPrefixTitleRu =
    "\xd1\xf0\xe0\xe1\xee\xf2\xe0\xed\xed\xfb\xe5 SA \xef\xf0\xe5\xf4\xe8\xea\xf1\xfb ";
}  // namespace panel_text

}  // namespace stats
