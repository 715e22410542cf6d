#pragma once
// The control panel's window: template 107, run modally on the window thread.

#include <exception>
#include <memory>

#include "windows/control_panel.h"
#include "windows/win32/dialog.h"
#include "windows/win32/operator_windows.h"
#include "windows/window_thread_control.h"

namespace stats {

/// Posted by the host's thread to end the panel: close every window, then the panel.
inline constexpr UINT kStopPanelMessage = WM_APP + 0x42;
/// Posted by the panel to itself: report the failure of its initialisation's host call.
inline constexpr UINT kReportInitFailureMessage = WM_APP + 0x43;

/// The control panel `baud`: the Win32 view of ControlPanel, owning the other three windows.
class baud final : public Dialog, private PanelView {
public:
    baud(WindowContext& context, HostLink& host, WindowThreadControl& control);
    /// Closes the ITU, previous-QSO and SA-prefix windows.
    ~baud() override;

    /// Runs the panel until it is closed.
    void run() { runModal(IDD_PANEL); }

protected:
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static constexpr int IDD_PANEL = 107;

    /// WM_INITDIALOG: the zone list, the brush, the message filter and the panel's first refresh.
    INT_PTR onInitDialog();
    LastPosition placePanel(int x, int y) override;
    void setPanelIcon() override { setBigIcon(); }
    void setPanelCaption(std::string_view text) override;
    void setControlText(int id, std::string_view text) override;
    void moveControl(int id, int x, int y, int width, int height) override;
    void enableControl(int id, bool enabled) override;
    void showFlags(const PanelFlags& flags) override;
    void armTimer() override;
    void killTimer() override;
    bool isOpen(AuxWindow window) const override;
    void open(AuxWindow window) override;
    void close(AuxWindow window) override;
    void setWindowText(AuxWindow window, std::string_view text) override;
    void invalidate(AuxWindow window) override;
    void setPrefixItems(const std::vector<std::string>& items) override;

    Dialog* window(AuxWindow which) const;
    static LRESULT CALLBACK messageFilter(int code, WPARAM wParam, LPARAM lParam);
    void closeAll(std::initializer_list<AuxWindow> order);
    static void endMessageBoxes();
    static BOOL CALLBACK endIfMessageBox(HWND window, LPARAM);

    WindowThreadControl& control_;
    ControlPanel logic_;
    UniqueBrush brush_;
    std::unique_ptr<rda> saPrefix_;
    std::unique_ptr<DXCC> prevQso_;
    std::unique_ptr<Itu> itu_;
    HHOOK filter_ = nullptr;
    std::exception_ptr initFailure_;
};

}  // namespace stats
