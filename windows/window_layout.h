#pragma once
// Placement of the operator windows: saved positions and the layout of a resized window.

#include <string>

#include "core/services.h"

namespace stats {

/// A rectangle in pixels: left, top, right, bottom.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

/// A control's place: left, top, width, height.
struct PixelBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

/// The last left and top edges that any window of the plug-in read from or wrote to the
/// settings file: one pair for all four windows, used on the window thread only.
struct LastPosition {
    int x = 0;
    int y = 0;
};

/// The settings keys of one window's left and top edges, and what a stored 0 becomes.
struct PositionKeys {
    const char* xKey;
    const char* yKey;
    int defaultX;
    int defaultY;
};

inline constexpr PositionKeys kPanelPositionKeys{"baud_x", "baud_y", 10, 10};
inline constexpr PositionKeys kPrevQsoPositionKeys{"dxcc_x", "dxcc_y", 10, 400};
inline constexpr PositionKeys kItuPositionKeys{"itu_x", "itu_y", 10, 10};
inline constexpr PositionKeys kSaPrefixPositionKeys{"rda_x", "rda_y", 0, 0};

/// Reads a window's saved position (0 gives the default), stores it in `last` and returns it.
LastPosition restorePosition(const Settings& settings, const PositionKeys& keys, LastPosition& last);

/// Writes each edge that differs from `last` and records it there.
void savePosition(Settings& settings, const PositionKeys& keys, LastPosition& last, int left, int top);

/// Where a window restored to `window` goes on the monitor whose work area is `workArea` (the
/// monitor nearest its stored corner). Unchanged while enough of its title bar (the top
/// `titleBarHeight` pixels) lies in the work area to grab it; otherwise moved the shortest way
/// into the work area, fully visible, its size kept where it fits.
PixelRect placeOnScreen(const PixelRect& window, const PixelRect& workArea, int titleBarHeight);

/// The previous-QSO grid button inside a client rectangle: a 5-pixel margin on every side.
PixelBox prevQsoButtonBox(const PixelRect& client);

/// The SA-prefix list inside a client rectangle: 1 pixel left and top, 3 right and bottom.
PixelBox prefixListBox(const PixelRect& client);

}  // namespace stats
