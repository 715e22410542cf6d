#pragma once
// The ITU zone window's 90 check boxes: which id carries which zone, and where it stands.

namespace stats {

inline constexpr int kItuZoneCount = 90;
inline constexpr int kItuFirstId = 1014;

/// The check box of zone z (1..90): column j = (z-1)/10 and row r = (z-1)%10 give id 1014 + 9r + j.
constexpr int ituControlId(int zone) noexcept {
    const int j = (zone - 1) / 10, r = (zone - 1) % 10;
    return kItuFirstId + 9 * r + j;
}

/// The zone of a check box id (1014..1103), or 0 for another id.
constexpr int ituZoneOfControl(int id) noexcept {
    if (id < kItuFirstId || id >= kItuFirstId + kItuZoneCount) return 0;
    const int k = id - kItuFirstId, r = k / 9, j = k % 9;
    return 10 * j + r + 1;
}

/// A check box's place in the template, in dialog units.
struct DialogBox {
    int x, y, width, height;
};

/// Where zone z's check box stands in template 106.
constexpr DialogBox ituBoxPlace(int zone) noexcept {
    constexpr int kLeft[9] = {6, 27, 49, 71, 92, 114, 135, 158, 182};
    // Narrowest widths for the first nine rows of a column, the widest for its last row.
    constexpr int kNarrow[9] = {18, 19, 20, 20, 19, 19, 19, 20, 25};
    constexpr int kWide[9] = {19, 22, 23, 23, 22, 22, 22, 22, 25};
    constexpr int kTop[10] = {7, 17, 28, 39, 49, 60, 71, 81, 92, 102};
    const int j = (zone - 1) / 10, r = (zone - 1) % 10;
    const int top = (zone == 78 || zone == 88) ? 82 : kTop[r];
    return {kLeft[j], top, r == 9 ? kWide[j] : kNarrow[j], 10};
}

}  // namespace stats
