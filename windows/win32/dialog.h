#pragma once
// A dialog window owned by a C++ object: the procedure finds the object through GWLP_USERDATA.

#include <windows.h>

#include "windows/control_panel.h"

namespace stats {

class SharedContest;

/// The operator windows' background and the fill of their read-only fields.
inline constexpr COLORREF kPaleYellow = RGB(255, 250, 198);

/// What every operator window needs: the shared contest (settings, contest state, message boxes),
/// the window thread's lasting state and the module holding the templates.
struct WindowContext {
    SharedContest& contest;
    WindowThreadState& shared;
    HINSTANCE module;
};

/// A dialog from a template, modal or modeless, forwarding its messages to onMessage().
class Dialog {
public:
    explicit Dialog(WindowContext& context) noexcept : context_(context) {}
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    HWND hwnd() const noexcept { return hwnd_; }
    /// True when `window` is a dialog of this class (any operator window), not one of the
    /// system's own such as a message box.
    static bool isOperatorWindow(HWND window) noexcept;
    /// Runs the dialog modally with no owner; returns when it ends.
    INT_PTR runModal(int templateId);
    /// Creates the dialog as a top-level modeless window with no owner.
    bool create(int templateId);

protected:
    /// A message for the dialog; the result is the dialog procedure's (FALSE: default handling).
    virtual INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    /// The close box, Esc or WM_CLOSE: a modal dialog ends, a modeless one is hidden.
    virtual void onCancel();
    /// Destroys a modeless dialog's window; derived classes call it before their members go.
    void destroyWindow() noexcept;
    /// Sets the plug-in's icon as the window's big icon.
    void setBigIcon() const;
    /// Moves the window to a stored screen position, or, when its title bar would not be seen
    /// there, onto the nearest monitor's work area. `flags` are SetWindowPos flags besides the
    /// size's. Returns the position used.
    LastPosition moveToStoredPosition(int x, int y, UINT flags) const;
    /// Restores a modeless window's saved position (Z order kept); one brought back from off
    /// screen keeps its stored position until the operator moves it.
    void placeWindow(const PositionKeys& keys) const;

    WindowContext& context_;
    HWND hwnd_ = nullptr;

private:
    static INT_PTR CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    bool modal_ = false;
};

}  // namespace stats
