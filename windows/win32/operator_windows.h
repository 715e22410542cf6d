#pragma once
// The panel's three other windows: previous QSOs (DXCC), ITU zones (Itu), SA prefixes (rda).

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "windows/itu_zones.h"
#include "windows/previous_qso_grid.h"
#include "windows/win32/dialog.h"
#include "windows/win32/win32_handles.h"

namespace stats {

/// Off-screen drawing over a target DC's clip box, copied to the target in one step when destroyed.
class CMemDC {
public:
    explicit CMemDC(HDC target);
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;
    ~CMemDC();
    /// The DC to draw into, in the target's logical coordinates.
    HDC dc() const noexcept { return offScreen_ ? memory_.get() : target_; }

private:
    HDC target_;
    RECT area_{};
    bool offScreen_;
    // Destroyed in reverse: the selection is undone, then the bitmap and the DC are deleted.
    UniqueDc memory_;
    UniqueBitmap bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
};

/// The previous-QSO grid: an owner-drawn button painted from a GridPicture.
class CCqWwInfoButton {
public:
    /// Paints the grid into the item's DC, off screen first, its texts sized for `dpi`.
    static void drawItem(const DRAWITEMSTRUCT& item, const GridPicture& picture, int dpi);
};

/// The previous-QSO window, template 108.
class DXCC final : public Dialog {
public:
    using Dialog::Dialog;
    ~DXCC() override { destroyWindow(); }
    bool open();

protected:
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

/// The ITU zone window, template 106: 90 check boxes the operator ticks by hand.
class Itu final : public Dialog {
public:
    using Dialog::Dialog;
    ~Itu() override { destroyWindow(); }
    bool open();

protected:
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    UniqueBrush brush_;
    std::array<int, kItuZoneCount> zones_{};
};

/// The SA-prefix list window, template 111.
class rda final : public Dialog {
public:
    using Dialog::Dialog;
    ~rda() override { destroyWindow(); }
    bool open();
    /// Replaces the list's items; the sorted list box orders them.
    void setItems(const std::vector<std::string>& items);

protected:
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    UniqueFont font_;
    UniqueBrush brush_;
};

}  // namespace stats
