#include <gtest/gtest.h>

#include <windows.h>

#include "controls/PictureBox.h"
#include "diagnostics/RuntimeError.h"
#include "win32/Handles.h"

using controls::PictureBox;
using controls::TwipsPerPixel;

namespace {

constexpr COLORREF kMarker = RGB(1, 2, 3);

int32_t ErrorNumberOf(void (*step)(PictureBox&), PictureBox& surface) {
    try {
        step(surface);
    } catch (const diagnostics::RuntimeError& e) {
        return e.number();
    }
    return 0;
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
