#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/PictureBox.h"
#include "diagnostics/RuntimeError.h"
#include "ui/clogo.h"
#include "win32/Handles.h"

using controls::PictureBox;
using controls::TwipsPerPixel;
using ui::clogo;

namespace {

constexpr COLORREF kMarker = RGB(1, 2, 3);

// A surface of w x h pixels writing white bold text, as the tray menu's side bar does.
struct Bar {
    Bar(int w, int h, const std::string& fontName = "Arial") {
        surface.SetWidthTwips(w * 15);
        surface.SetHeightTwips(h * 15);
        surface.SetForeColor(RGB(255, 255, 255));
        surface.SetFont(controls::PictureFont{fontName, 9.75, true});
        logo.SetDrawingObject(&surface);
    }
    COLORREF At(int x, int y) const { return ::GetPixel(surface.hDC(), x, y); }
    // How many pixels pass `test`, and the first and last rows that hold one.
    template <class Test>
    std::array<int, 3> Find(Test test) const {
        std::array<int, 3> found{0, surface.HeightPixels(), -1};
        for (int y = 0; y < surface.HeightPixels(); ++y) {
            for (int x = 0; x < surface.WidthPixels(); ++x) {
                if (test(At(x, y))) {
                    found = {found[0] + 1, std::min(found[1], y), y};
                }
            }
        }
        return found;
    }

    PictureBox surface{TwipsPerPixel{15, 15}};
    clogo logo;
};

}  // namespace

TEST(PictureBox, SizesInWholePixelsAndResizingKeepsThePicture) {
    PictureBox surface(TwipsPerPixel{15, 12});
    surface.SetBackColor(RGB(10, 20, 30));
    surface.SetWidthTwips(255);
    surface.SetHeightTwips(299.6);  // 300 twips: 25 pixels
    EXPECT_EQ(surface.WidthPixels(), 17);
    EXPECT_EQ(surface.HeightPixels(), 25);
    ::SetPixel(surface.hDC(), 4, 5, kMarker);
    surface.SetWidthTwips(30 * 15);
    EXPECT_EQ(::GetPixel(surface.hDC(), 4, 5), kMarker);
    EXPECT_EQ(::GetPixel(surface.hDC(), 25, 20), RGB(10, 20, 30)) << "the new part";
    EXPECT_EQ(::GetPixel(surface.hDC(), 4, 25), CLR_INVALID) << "the bitmap ends at 25 rows";

    try {
        surface.SetHeightTwips(-1);
        ADD_FAILURE() << "a negative height was accepted";
    } catch (const diagnostics::RuntimeError& e) {
        EXPECT_EQ(e.number(), 380);
    }
    EXPECT_EQ(surface.HeightPixels(), 25);
}

TEST(clogo, PaintsBrownishRedAtTheBottomDarkeningUpward) {
    const int h = 100;
    Bar bar(17, h);
    bar.logo.SetStartColor(13209);  // the tray menu's start colour
    bar.logo.SetEndColor(0);
    bar.logo.Draw();
    EXPECT_EQ(bar.At(5, h - 1), RGB(0x99, 0x33, 0));
    EXPECT_LE(GetRValue(bar.At(5, 0)), 4) << "the top nears the end colour, black";
    for (int y = 0; y + 1 < h; ++y) {
        const COLORREF above = bar.At(0, y);
        const COLORREF below = bar.At(0, y + 1);
        ASSERT_TRUE(GetRValue(above) <= GetRValue(below) && GetGValue(above) <= GetGValue(below) &&
                    GetBValue(above) == 0)
            << std::hex << "row " << y << ": " << above << " over " << below;
        ASSERT_EQ(bar.At(16, y), above) << "bands span the width, row " << y;
    }

    // The end colour's system colour as start colour: one colour from top to bottom.
    Bar plain(17, 60);
    plain.logo.SetStartColor(::GetSysColor(COLOR_BTNFACE));
    plain.logo.Draw();
    EXPECT_EQ(plain.Find([](COLORREF c) { return c != ::GetSysColor(COLOR_BTNFACE); })[0], 0);
}

TEST(clogo, DrawsTheCaptionUpwardAndTheIconOnlyFromIndexOne) {
    // Image 0 red, image 1 green; the bar black, so only the icon brings colour.
    win32::ImageList images(::ImageList_Create(16, 16, ILC_COLOR24, 2, 0));
    ASSERT_TRUE(images);
    for (uint32_t colour : {0xFF0000u, 0x00FF00u}) {  // as 32-bit pixels hold them
        const std::vector<uint32_t> pixels(16 * 16, colour);
        win32::Bitmap image(::CreateBitmap(16, 16, 1, 32, pixels.data()));
        ASSERT_GE(::ImageList_Add(images.get(), image.get(), nullptr), 0);
    }
    const auto green = [](COLORREF c) { return c == RGB(0, 255, 0); };
    const auto red = [](COLORREF c) { return c == RGB(255, 0, 0); };
    for (int index : {0, 1}) {
        Bar bar(40, 60);
        bar.logo.SetEndColor(0);
        bar.logo.SethImageList(images.get());
        bar.logo.SetIconIndex(index);
        bar.logo.Draw();
        EXPECT_EQ(bar.Find(green)[0], index >= 1 ? 16 * 16 : 0) << "index " << index;
        EXPECT_EQ(bar.Find(red)[0], 0) << "index " << index;
    }

    // The caption: white text running up the bar from near its bottom. A font name longer
    // than the font record holds is cut, and the caption still drawn.
    for (const std::string& fontName : {std::string("Arial"), std::string(40, 'A')}) {
        Bar bar(17, 150, fontName);
        bar.logo.SetEndColor(0);
        bar.logo.SetCaption("Corvanta");
        bar.logo.Draw();
        const auto [count, top, bottom] =
            bar.Find([](COLORREF c) { return GetRValue(c) > 128 && GetBValue(c) > 128; });
        EXPECT_GT(bottom - top, 40) << fontName;
        EXPECT_GE(bottom, 150 - 12) << fontName;
    }
}

TEST(clogo, LeavesASurfaceWithoutHeightAlone) {
    clogo unset;
    unset.Draw();  // nothing to paint on
    Bar bar(17, 0);
    ::SetPixel(bar.surface.hDC(), 0, 0, kMarker);
    bar.logo.SetCaption("Corvanta");
    bar.logo.SetStartColor(13209);
    bar.logo.Draw();
    EXPECT_EQ(bar.At(0, 0), kMarker);
}
