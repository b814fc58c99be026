// Off-screen picture surface: a memory device context holding a persistent bitmap of the
// surface's size, so that whatever is drawn on it stays and can be copied at any time. Sizes are
// held in twips; the pixel size is the whole number of twips divided by the screen's whole
// twips per pixel, remainder dropped.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "win32/Handles.h"

namespace controls {

struct TwipsPerPixel {
    int32_t x = 15;
    int32_t y = 15;
};

// 1440 divided by the screen's logical pixels per inch, per axis, as whole numbers.
TwipsPerPixel ScreenTwipsPerPixel();
// The same for another DPI, on both axes.
TwipsPerPixel TwipsPerPixelAt(UINT dpi);

// The surface's font as a description; whoever draws text creates the font from it.
struct PictureFont {
    std::string Name = "MS Sans Serif";
    double Size = 8.25;  // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
};

class PictureBox {
  public:
    // Starts 0 x 0 twips, filled with the button-face colour, writing black text on a
    // transparent background. `twipsPerPixel` is the screen's unless a caller knows better.
    explicit PictureBox(TwipsPerPixel twipsPerPixel = ScreenTwipsPerPixel());
    ~PictureBox();
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    // The memory DC with the surface's bitmap selected; valid for the surface's life.
    HDC hDC() const { return dc_.get(); }

    // Sizes in twips. A negative size raises "Invalid property value" (380). Changing the
    // pixel size makes a new bitmap that keeps the old picture where the two overlap and
    // fills the rest with the back colour.
    double WidthTwips() const { return widthTwips_; }
    void SetWidthTwips(double twips);
    double HeightTwips() const { return heightTwips_; }
    void SetHeightTwips(double twips);
    // Changing the scale makes a new bitmap at the new pixel size, filled with the back
    // colour: the picture is to be drawn again.
    void SetTwipsPerPixel(TwipsPerPixel twipsPerPixel);
    int32_t TwipsPerPixelX() const { return twipsPerPixel_.x; }
    int32_t TwipsPerPixelY() const { return twipsPerPixel_.y; }
    int32_t WidthPixels() const;
    int32_t HeightPixels() const;

    const PictureFont& Font() const { return font_; }
    void SetFont(const PictureFont& font) { font_ = font; }

    // Text colour of the DC.
    COLORREF ForeColor() const { return foreColor_; }
    void SetForeColor(COLORREF color);
    // Setting it clears the whole surface to that colour.
    COLORREF BackColor() const { return backColor_; }
    void SetBackColor(COLORREF color);

    // Makes what was drawn so far part of the bitmap (GDI may batch drawing calls).
    void Refresh();

  private:
    void Resize(double widthTwips, double heightTwips);

    TwipsPerPixel twipsPerPixel_;
    double widthTwips_ = 0;
    double heightTwips_ = 0;
    PictureFont font_;
    COLORREF foreColor_;
    COLORREF backColor_;
    win32::MemoryDc dc_;
    win32::Bitmap bitmap_;
    HGDIOBJ originalBitmap_ = nullptr;
};

}  // namespace controls
