#include "windows/window_layout.h"

#include <algorithm>

namespace stats {

LastPosition restorePosition(const Settings& settings, const PositionKeys& keys, LastPosition& last) {
    int x = settings.readInt(keys.xKey);
    int y = settings.readInt(keys.yKey);
    if (x == 0) x = keys.defaultX;
    if (y == 0) y = keys.defaultY;
    last = {x, y};
    return last;
}

void savePosition(Settings& settings, const PositionKeys& keys, LastPosition& last, int left, int top) {
    // Written whole: a left edge on a monitor left of the primary one (-1280) or far right
    // (12000) must come back as it was, not cut to four characters.
    if (left != last.x) {
        last.x = left;
        settings.write(keys.xKey, std::to_string(left));
    }
    if (top != last.y) {
        last.y = top;
        settings.write(keys.yKey, std::to_string(top));
    }
}

PixelRect placeOnScreen(const PixelRect& window, const PixelRect& workArea, int titleBarHeight) {
    // Enough to grab: half the title bar's height, over 32 pixels of its width (all of a
    // narrower window's).
    constexpr int kGripWidth = 32;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int titleBar = std::max(titleBarHeight, 1);
    const int seenWidth = std::min(window.right, workArea.right) - std::max(window.left, workArea.left);
    const int seenHeight = std::min(window.top + titleBar, workArea.bottom) - std::max(window.top, workArea.top);
    if (seenWidth >= std::min(kGripWidth, width) && seenHeight >= (titleBar + 1) / 2) return window;

    const int w = std::min(width, workArea.right - workArea.left);
    const int h = std::min(height, workArea.bottom - workArea.top);
    const int left = std::clamp(window.left, workArea.left, workArea.right - w);
    const int top = std::clamp(window.top, workArea.top, workArea.bottom - h);
    return {left, top, left + w, top + h};
}

PixelBox prevQsoButtonBox(const PixelRect& client) {
    return {client.left + 5, client.top + 5, client.right - 10, client.bottom - 10};
}

PixelBox prefixListBox(const PixelRect& client) {
    return {client.left + 1, client.top + 1, client.right - 4, client.bottom - 4};
}

}  // namespace stats
