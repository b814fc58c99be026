#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "controls/PictureBox.h"
#include "diagnostics/RuntimeError.h"
#include "ui/clogo.h"
#include "win32/Handles.h"

using controls::PictureBox;
using controls::TwipsPerPixel;
using ui::clogo;

namespace {

constexpr int kTwips = 15;
constexpr COLORREF kMarker = RGB(1, 2, 3);

// A surface of w x h pixels at 15 twips per pixel, writing white text as the tray menu's does.
struct Bar {
    Bar(int w, int h) {
        surface.SetWidthTwips(w * kTwips);
        surface.SetHeightTwips(h * kTwips);
        surface.SetForeColor(RGB(255, 255, 255));
        surface.SetFont(controls::PictureFont{"Arial", 9.75, true});
    }
    COLORREF At(int x, int y) const { return ::GetPixel(surface.hDC(), x, y); }

    PictureBox surface{TwipsPerPixel{kTwips, kTwips}};
    clogo logo;
};

int32_t ErrorNumberOf(void (*step)(PictureBox&), PictureBox& surface) {
    try {
        step(surface);
    } catch (const diagnostics::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// Number of rows, from the bottom up, that still have the bottom row's colour.
int RowsOfBottomColour(const Bar& bar, int h) {
    int rows = 0;
    while (rows < h && bar.At(0, h - 1 - rows) == bar.At(0, h - 1)) {
        ++rows;
    }
    return rows;
}

// Paints `caption` on a fresh 17 x h bar and returns the box around the pixels the caption
// changed, compared with the same bar painted without caption.
RECT CaptionBox(const std::string& caption, const std::string& fontName, int h) {
    Bar plain(17, h);
    Bar text(17, h);
    text.surface.SetFont(controls::PictureFont{fontName, 9.75, true});
    for (Bar* bar : {&plain, &text}) {
        bar->logo.SetDrawingObject(&bar->surface);
        bar->logo.SetStartColor(13209);
        bar->logo.SetEndColor(0);
    }
    text.logo.SetCaption(caption);
    plain.logo.Draw();
    text.logo.Draw();
    RECT box{17, h, -1, -1};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < 17; ++x) {
            if (plain.At(x, y) != text.At(x, y)) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x);
                box.bottom = std::max<LONG>(box.bottom, y);
            }
        }
    }
    return box;
}

}  // namespace

TEST(PictureBox, KeepsTwipsAndSizesItsBitmapInWholePixels) {
    PictureBox surface(TwipsPerPixel{15, 12});
    surface.SetWidthTwips(255);
    surface.SetHeightTwips(299.6);  // rounded to 300 twips first
    EXPECT_EQ(surface.WidthTwips(), 255);
    EXPECT_EQ(surface.HeightTwips(), 299.6);
    EXPECT_EQ(surface.WidthPixels(), 17);
    EXPECT_EQ(surface.HeightPixels(), 25);
    BITMAP bitmap{};
    ASSERT_NE(::GetObjectA(::GetCurrentObject(surface.hDC(), OBJ_BITMAP), sizeof(bitmap), &bitmap),
              0);
    EXPECT_EQ(bitmap.bmWidth, 17);
    EXPECT_EQ(bitmap.bmHeight, 25);
}

TEST(PictureBox, TakesTwipsPerPixelFromTheScreen) {
    win32::WindowDc screen(nullptr);
    PictureBox surface;
    EXPECT_EQ(surface.TwipsPerPixelX(), 1440 / ::GetDeviceCaps(screen.get(), LOGPIXELSX));
    EXPECT_EQ(surface.TwipsPerPixelY(), 1440 / ::GetDeviceCaps(screen.get(), LOGPIXELSY));
}

TEST(PictureBox, ResizingKeepsThePictureAndFillsTheNewPart) {
    PictureBox surface(TwipsPerPixel{15, 15});
    surface.SetBackColor(RGB(10, 20, 30));
    surface.SetWidthTwips(10 * 15);
    surface.SetHeightTwips(10 * 15);
    ::SetPixel(surface.hDC(), 4, 5, kMarker);
    surface.SetHeightTwips(40 * 15);
    surface.SetWidthTwips(30 * 15);
    EXPECT_EQ(::GetPixel(surface.hDC(), 4, 5), kMarker);
    EXPECT_EQ(::GetPixel(surface.hDC(), 25, 35), RGB(10, 20, 30));
    surface.SetHeightTwips(3 * 15);  // shrinking and growing again loses only the cut part
    surface.SetHeightTwips(10 * 15);
    EXPECT_EQ(::GetPixel(surface.hDC(), 4, 5), RGB(10, 20, 30));
}

TEST(PictureBox, RefusesNegativeSizesAndNonsenseScales) {
    PictureBox surface(TwipsPerPixel{15, 15});
    surface.SetHeightTwips(150);
    EXPECT_EQ(ErrorNumberOf([](PictureBox& s) { s.SetHeightTwips(-1); }, surface), 380);
    EXPECT_EQ(ErrorNumberOf([](PictureBox& s) { s.SetWidthTwips(-15); }, surface), 380);
    EXPECT_EQ(surface.HeightTwips(), 150);
    EXPECT_EQ(surface.WidthTwips(), 0);
    try {
        PictureBox broken(TwipsPerPixel{0, 15});
        ADD_FAILURE() << "a scale of 0 twips per pixel was accepted";
    } catch (const diagnostics::RuntimeError& e) {
        EXPECT_EQ(e.number(), 5);
    }
}

TEST(OleColorToRgb, ResolvesSystemColoursAndPassesPlainOnes) {
    EXPECT_EQ(ui::OleColorToRgb(0x8000000F), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ui::OleColorToRgb(0x80000005), ::GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ui::OleColorToRgb(13209), RGB(0x99, 0x33, 0x00));
    EXPECT_EQ(ui::OleColorToRgb(0x02123456), 0x123456u);
}

TEST(clogo, StartsBlackToButtonFaceWithoutSurface) {
    clogo logo;
    EXPECT_EQ(logo.StartColor(), 0u);
    EXPECT_EQ(logo.EndColor(), 0x8000000Fu);
    EXPECT_EQ(logo.Caption(), "");
    logo.Draw();  // nothing to paint on: nothing happens
}

TEST(clogo, BandsAreOnePixelHighBelow510AndTwoFrom510) {
    for (int h : {100, 509, 510, 1020}) {
        Bar bar(17, h);
        bar.logo.SetStartColor(0xFFFFFF);
        bar.logo.SetEndColor(0);
        bar.logo.SetDrawingObject(&bar.surface);
        bar.logo.Draw();
        // The two lowest bands share the start colour; the third already differs.
        EXPECT_EQ(RowsOfBottomColour(bar, h), 2 * std::max(1, h / 255)) << "h = " << h;
        EXPECT_EQ(bar.At(0, h - 1), RGB(255, 255, 255));
        EXPECT_EQ(bar.At(16, h - 1), RGB(255, 255, 255)) << "bands span the whole width";
    }
}

TEST(clogo, BrownishRedAtTheBottomDarkensUpward) {
    const int h = 100;
    Bar bar(17, h);
    bar.logo.SetDrawingObject(&bar.surface);
    bar.logo.SetStartColor(13209);
    bar.logo.SetEndColor(0);
    bar.logo.Draw();
    EXPECT_EQ(bar.At(5, h - 1), RGB(153, 51, 0));
    EXPECT_EQ(bar.At(5, h - 2), RGB(153, 51, 0));
    EXPECT_EQ(bar.At(5, h - 3), RGB(151, 50, 0));  // 153 - 1.53 and 51 - 0.51, rounded
    EXPECT_EQ(bar.At(5, 0), RGB(3, 1, 0));         // 153 - 98 * 1.53: the top falls short of black
    for (int y = 0; y + 1 < h; ++y) {
        const COLORREF above = bar.At(0, y);
        const COLORREF below = bar.At(0, y + 1);
        EXPECT_LE(GetRValue(above), GetRValue(below)) << "row " << y;
        EXPECT_LE(GetGValue(above), GetGValue(below)) << "row " << y;
        EXPECT_LE(GetBValue(above), GetBValue(below)) << "row " << y;
    }
}

TEST(clogo, RoundsHalvesToEven) {
    Bar bar(4, 4);
    bar.logo.SetDrawingObject(&bar.surface);
    bar.logo.SetStartColor(RGB(3, 0, 0));
    bar.logo.SetEndColor(RGB(1, 0, 0));
    bar.logo.Draw();
    // Row 1 gets 3 + 1 * (1 - 3) / 4 = 2.5, which goes to 2.
    EXPECT_EQ(bar.At(0, 3), RGB(3, 0, 0));
    EXPECT_EQ(bar.At(0, 2), RGB(3, 0, 0));
    EXPECT_EQ(bar.At(0, 1), RGB(2, 0, 0));
    EXPECT_EQ(bar.At(0, 0), RGB(2, 0, 0));
}

TEST(clogo, EqualColoursGiveOneColour) {
    Bar bar(17, 60);
    bar.logo.SetDrawingObject(&bar.surface);
    bar.logo.SetStartColor(::GetSysColor(COLOR_BTNFACE));  // the end colour's system colour
    bar.logo.Draw();
    for (int y = 0; y < 60; ++y) {
        ASSERT_EQ(bar.At(3, y), ::GetSysColor(COLOR_BTNFACE)) << "row " << y;
    }
}

TEST(clogo, SettingTheDrawingObjectOrAnEqualColourPaintsNothing) {
    Bar bar(17, 50);
    ::SetPixel(bar.surface.hDC(), 3, 3, kMarker);
    bar.logo.SetDrawingObject(&bar.surface);
    EXPECT_EQ(bar.At(3, 3), kMarker);
    bar.logo.SetStartColor(0);
    bar.logo.SetEndColor(0x8000000F);
    bar.logo.SetCaption("Corvanta");
    EXPECT_EQ(bar.At(3, 3), kMarker);
}

TEST(clogo, ADifferentColourRepaintsAtOnce) {
    Bar bar(17, 50);
    bar.logo.SetDrawingObject(&bar.surface);
    ::SetPixel(bar.surface.hDC(), 3, 49, kMarker);
    bar.logo.SetStartColor(RGB(0, 200, 0));
    EXPECT_EQ(bar.At(3, 49), RGB(0, 200, 0));
    ::SetPixel(bar.surface.hDC(), 3, 49, kMarker);
    bar.logo.SetEndColor(RGB(0, 0, 200));
    EXPECT_EQ(bar.At(3, 49), RGB(0, 200, 0));
}

TEST(clogo, ASurfaceWithoutHeightIsLeftAlone) {
    Bar bar(17, 0);
    ::SetPixel(bar.surface.hDC(), 0, 0, kMarker);
    bar.logo.SetDrawingObject(&bar.surface);
    bar.logo.SetCaption("Corvanta");
    bar.logo.SetStartColor(13209);
    bar.logo.Draw();
    EXPECT_EQ(bar.At(0, 0), kMarker);
}

TEST(clogo, DrawsTheIconOnlyForAnIndexFromOne) {
    const int w = 40;
    const int h = 60;
    win32::ImageList images(::ImageList_Create(16, 16, ILC_COLOR24, 2, 0));
    ASSERT_TRUE(images);
    for (COLORREF color : {RGB(255, 0, 0), RGB(0, 255, 0)}) {
        win32::WindowDc screen(nullptr);
        win32::Bitmap image(::CreateCompatibleBitmap(screen.get(), 16, 16));
        win32::MemoryDc dc(::CreateCompatibleDC(screen.get()));
        {
            win32::SelectGuard select(dc.get(), image.get());
            win32::Brush brush(::CreateSolidBrush(color));
            RECT all{0, 0, 16, 16};
            ::FillRect(dc.get(), &all, brush.get());
        }
        ASSERT_GE(::ImageList_Add(images.get(), image.get(), nullptr), 0);
    }
    for (int index : {0, 1}) {
        Bar bar(w, h);
        bar.logo.SethImageList(images.get());
        bar.logo.SetIconIndex(index);
        bar.logo.SetDrawingObject(&bar.surface);
        bar.logo.Draw();
        // The icon sits at ((w - 16) / 2, h - 18), 16 pixels square: x 12 to 27, y 42 to 57.
        const bool drawn = index >= 1;
        EXPECT_EQ(bar.At(12, 42) == RGB(0, 255, 0), drawn) << "index " << index;
        EXPECT_EQ(bar.At(27, 57) == RGB(0, 255, 0), drawn) << "index " << index;
        EXPECT_NE(bar.At(11, 42), RGB(0, 255, 0));
        EXPECT_NE(bar.At(28, 57), RGB(0, 255, 0));
        EXPECT_NE(bar.At(12, 58), RGB(0, 255, 0));
        EXPECT_NE(bar.At(12, 42), RGB(255, 0, 0)) << "the index is the list's own";
    }
}

TEST(clogo, WritesTheCaptionUpwardFromNearTheBottom) {
    const int h = 150;
    const RECT box = CaptionBox("Corvanta", "Arial", h);
    ASSERT_GE(box.right, 0) << "no pixel changed";
    EXPECT_LE(box.bottom, h - 2);
    EXPECT_GE(box.bottom, h - 12);
    EXPECT_GT(box.bottom - box.top, 40) << "the text runs up the bar, not across it";
}

TEST(clogo, CutsAFontNameTooLongForTheFontRecord) {
    const RECT box = CaptionBox("Corvanta", std::string(40, 'A'), 150);
    EXPECT_GE(box.right, 0) << "no pixel changed";
    EXPECT_GT(box.bottom - box.top, 40);
}
