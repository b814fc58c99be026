#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "controls/PictureBox.h"
#include "diagnostics/RuntimeError.h"
#include "ui/clogo.h"

namespace {

// A side bar of w x h pixels writing white bold text, as the tray menu's does, on black.
struct Bar {
    Bar(int w, int h, const std::string& fontName = "Arial") {
        surface.SetWidthTwips(w * 15);
        surface.SetHeightTwips(h * 15);
        surface.SetForeColor(RGB(255, 255, 255));
        surface.SetFont(controls::PictureFont{fontName, 9.75, true});
        logo.SetDrawingObject(&surface);
        logo.SetEndColor(0);
    }
    COLORREF At(int x, int y) const { return ::GetPixel(surface.hDC(), x, y); }
    controls::PictureBox surface{controls::TwipsPerPixel{15, 15}};
    ui::clogo logo;
};

}  // namespace

TEST(PictureBox, SizesInWholePixelsAndResizingKeepsThePicture) {
    controls::PictureBox surface(controls::TwipsPerPixel{15, 12});
    surface.SetBackColor(RGB(10, 20, 30));
    surface.SetWidthTwips(255);
    surface.SetHeightTwips(299.6);  // 300 twips: 25 pixels
    ::SetPixel(surface.hDC(), 4, 5, RGB(1, 2, 3));
    surface.SetWidthTwips(30 * 15);
    EXPECT_EQ(::GetPixel(surface.hDC(), 4, 5), RGB(1, 2, 3));
    EXPECT_EQ(::GetPixel(surface.hDC(), 25, 24), RGB(10, 20, 30)) << "the new part";
    EXPECT_EQ(::GetPixel(surface.hDC(), 4, 25), CLR_INVALID) << "the bitmap ends at 25 rows";
    EXPECT_THROW(surface.SetHeightTwips(-1), diagnostics::RuntimeError);
}

TEST(clogo, PaintsBrownishRedAtTheBottomDarkeningUpward) {
    const int h = 100;
    Bar bar(17, h);
    bar.logo.SetStartColor(13209);  // the tray menu's start colour
    EXPECT_EQ(bar.At(5, h - 1), RGB(0x99, 0x33, 0));
    EXPECT_LE(GetRValue(bar.At(5, 0)), 4) << "the top nears the end colour, black";
    for (int y = 0; y + 1 < h; ++y) {
        const COLORREF above = bar.At(0, y), below = bar.At(0, y + 1);
        ASSERT_TRUE(GetRValue(above) <= GetRValue(below) && GetGValue(above) <= GetGValue(below) &&
                    GetBValue(above) == 0 && bar.At(16, y) == above)
            << std::hex << "row " << y << ": " << above << " over " << below;
    }
}

TEST(clogo, DrawsTheCaptionUpwardFromNearTheBottom) {
    // Also when the font name is longer than the font record holds, and is cut to fit.
    for (const std::string& fontName : {std::string("Arial"), std::string(40, 'A')}) {
        Bar bar(17, 150, fontName);
        bar.logo.SetCaption("Corvanta");
        bar.logo.Draw();
        int top = 150, bottom = -1;  // of the white
        for (int i = 0; i < 17 * 150; ++i) {
            if (GetRValue(bar.At(i % 17, i / 17)) > 128) {
                top = std::min(top, i / 17);
                bottom = i / 17;
            }
        }
        EXPECT_GT(bottom - top, 40) << fontName;
        EXPECT_GE(bottom, 150 - 12) << fontName;
    }
}
