#include "windows/previous_qso_grid.h"

#include "core/contest_rules.h"

namespace stats {

namespace {

// A distance of a 96-dpi display on one of `dpi`, rounded as MulDiv rounds.
int scaled(int pixels, int dpi) noexcept {
    return dpi == 96 || dpi <= 0 ? pixels : static_cast<int>((static_cast<long long>(pixels) * dpi + 48) / 96);
}

}  // namespace

int systemFontHeight(int dpi) noexcept { return scaled(16, dpi); }

GridPicture layoutPreviousQsoGrid(int width, int height, int highlightedRow, std::string_view call,
                                  const std::array<std::vector<std::string>, 6>& rows, int dpi) {
    GridPicture picture;
    picture.background = {0, 0, width, height};
    const int h = height / 7;
    if (highlightedRow >= 0)
        picture.highlight = PixelRect{0, (highlightedRow + 1) * h, width, (highlightedRow + 2) * h - scaled(10, dpi)};

    const int header = scaled(18, dpi);
    picture.texts.push_back({scaled(190, dpi), 0, std::string(call)});
    picture.texts.push_back({scaled(100, dpi), header, std::string(kContest.modes[0].name)});
    picture.texts.push_back({scaled(200, dpi), header, std::string(kContest.modes[1].name)});
    picture.texts.push_back({scaled(320, dpi), header, "NR"});
    static constexpr int kColumns[4] = {20, 100, 200, 320};
    for (int n = 1; n <= 6; ++n) {
        const std::vector<std::string>& row = rows[n - 1];
        // A row always has four entries while the window exists; draw what is there regardless.
        for (std::size_t e = 0; e < 4 && e < row.size(); ++e)
            picture.texts.push_back({scaled(kColumns[e], dpi), n * h, row[e]});
    }
    return picture;
}

}  // namespace stats
