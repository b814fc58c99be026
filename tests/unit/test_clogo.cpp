#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "controls/PictureBox.h"
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

TEST(clogo, DrawsCaptionUpward) {
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
