// The look of PopupMenu's items at one DPI: their sizes and their content in the menu font,
// with an icon or a check mark in the column before the text. The highlighted item is framed
// in the highlight colour and keeps the menu's own colours.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "controls/MenuItems.h"
#include "win32/Handles.h"

namespace controls {

class MenuPainter {
  public:
    // The cell of an icon or check mark at the design DPI, and the room on each side of it.
    static constexpr int kIconSize = 16;
    static constexpr int kIconPad = 3;

    explicit MenuPainter(UINT dpi) : dpi_(dpi) {}

    UINT Dpi() const { return dpi_; }
    // Sizes and fonts for `dpi` from now on; the menu font is read again as well, as the user
    // may have changed it.
    void SetDpi(UINT dpi);
    // Icon index n is image n of the list, from 1; items without one show none.
    void SetImages(HIMAGELIST images) { images_ = images; }
    HIMAGELIST Images() const { return images_; }

    // The item's own size, in pixels.
    SIZE Measure(const MenuItem& item);
    // Fills an item's whole rectangle with the menu colour.
    static void DrawBackground(HDC dc, const RECT& area);
    // Draws the item's content inside `area`; `hidePrefix` hides the accelerator's underline.
    void Draw(HDC dc, const MenuItem& item, const RECT& area, bool selected, bool hidePrefix);

  private:
    int Scaled(int pixels) const;
    int TextLeft() const;
    void EnsureFonts();
    bool HasIcon(const MenuItem& item) const;
    void DrawIcon(HDC dc, const MenuItem& item, const RECT& cell) const;
    static void DrawCheck(HDC dc, const RECT& cell, COLORREF color);

    UINT dpi_;
    HIMAGELIST images_ = nullptr;
    win32::Font normal_;
    win32::Font bold_;
    UINT fontsDpi_ = 0;  // the DPI the fonts were made for; 0 before they are
};

}  // namespace controls
