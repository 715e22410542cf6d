#pragma once
// The picture of the previous-QSO grid: seven text lines, the band the radio is on in cyan.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "windows/window_layout.h"

namespace stats {

inline constexpr unsigned kGridBackground = 0xC6FFFF;  // RGB(255, 255, 198) as 0x00BBGGRR
inline constexpr unsigned kGridHighlight = 0xFFFFC6;   // RGB(198, 255, 255)

/// One text of the grid at its top-left point.
struct GridText {
    int x = 0;
    int y = 0;
    std::string text;

    friend bool operator==(const GridText&, const GridText&) = default;
};

/// Everything the grid draws, in drawing order: background, highlight, then the texts.
struct GridPicture {
    PixelRect background;
    std::optional<PixelRect> highlight;
    std::vector<GridText> texts;
};

/// Lays out the grid for a button of `width` x `height` pixels: line height h = height / 7,
/// the highlight of row b from (b + 1)h to (b + 2)h - 10, the header with the call and the
/// column titles, and one line per row (band, CW time, SSB time, number) at y = n*h. The fixed
/// distances are those of a 96-dpi display, scaled to `dpi` as the dialogs' own are.
GridPicture layoutPreviousQsoGrid(int width, int height, int highlightedRow, std::string_view call,
                                  const std::array<std::vector<std::string>, 6>& rows, int dpi = 96);

/// The text height of the plug-in's own fonts on a display of `dpi` dots per inch: the stock
/// system font's 16 pixels at 96 dpi, scaled.
int systemFontHeight(int dpi) noexcept;

}  // namespace stats
