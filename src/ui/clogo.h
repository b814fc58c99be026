// Side-bar painter of the tray menu: paints a picture surface with a vertical colour gradient in
// horizontal bands (start colour at the bottom, end colour at the top), an optional 16 x 16 icon
// near the bottom and a caption written bottom-to-top in the surface's own font.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <string>

#include "controls/PictureBox.h"

namespace ui {

// OLE colour to RGB: 0x80000000 | index is the current system colour of that index, anything
// else the RGB value in its low three bytes.
COLORREF OleColorToRgb(uint32_t oleColor);

class clogo {
  public:
    // Start colour 0 (black), end colour 0x8000000F (button face), no caption, no icon.
    clogo();

    // The surface to paint; not owned, may be null. Setting it paints nothing.
    void SetDrawingObject(controls::PictureBox* picThis) { surface_ = picThis; }

    // Setting a colour that differs from the stored one stores and translates it and, when a
    // surface is set, repaints at once. An equal value does nothing.
    uint32_t StartColor() const { return startColor_; }
    void SetStartColor(uint32_t oColor);
    uint32_t EndColor() const { return endColor_; }
    void SetEndColor(uint32_t oColor);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& sCaption) { caption_ = sCaption; }

    // The icon: image `lIndex` of the list, in the list's own numbering. No icon is drawn while
    // the list is null or the index is below 1.
    void SethImageList(HIMAGELIST hIml) { imageList_ = hIml; }
    void SetIconIndex(int32_t lIndex) { iconIndex_ = lIndex; }

    // Repaints the whole surface; does nothing without a surface or on a surface 0 pixels high.
    void Draw();

  private:
    using Components = std::array<int16_t, 3>;  // red, green, blue

    static Components Translate(uint32_t oleColor);
    static void OleFontToLogFont(const controls::PictureFont& font, HDC dc, LOGFONTA& logFont);

    controls::PictureBox* surface_ = nullptr;
    uint32_t startColor_ = 0;
    Components start_{};
    uint32_t endColor_ = 0;
    Components end_{};
    std::string caption_;
    HIMAGELIST imageList_ = nullptr;
    int32_t iconIndex_ = 0;
};

}  // namespace ui
