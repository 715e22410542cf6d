#include "windows/previous_qso_grid.h"

namespace stats {

GridPicture layoutPreviousQsoGrid(int width, int height, int highlightedRow, std::string_view call,
                                  const std::array<std::vector<std::string>, 6>& rows) {
    GridPicture picture;
    picture.background = {0, 0, width, height};
    const int h = height / 7;
    if (highlightedRow >= 0) picture.highlight = PixelRect{0, (highlightedRow + 1) * h, width, (highlightedRow + 2) * h - 10};

    picture.texts.push_back({190, 0, std::string(call)});
    picture.texts.push_back({100, 18, "CW"});
    picture.texts.push_back({200, 18, "SSB"});
    picture.texts.push_back({320, 18, "NR"});
    static constexpr int kColumns[4] = {20, 100, 200, 320};
    for (int n = 1; n <= 6; ++n) {
        const std::vector<std::string>& row = rows[n - 1];
        // A row always has four entries while the window exists; draw what is there regardless.
        for (std::size_t e = 0; e < 4 && e < row.size(); ++e) picture.texts.push_back({kColumns[e], n * h, row[e]});
    }
    return picture;
}

}  // namespace stats
