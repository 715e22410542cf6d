#include "windows/window_layout.h"

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

PixelBox prevQsoButtonBox(const PixelRect& client) {
    return {client.left + 5, client.top + 5, client.right - 10, client.bottom - 10};
}

PixelBox prefixListBox(const PixelRect& client) {
    return {client.left + 1, client.top + 1, client.right - 4, client.bottom - 4};
}

}  // namespace stats
