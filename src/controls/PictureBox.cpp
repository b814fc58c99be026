#include "controls/PictureBox.h"

#include <algorithm>
#include <cmath>

#include "diagnostics/RuntimeError.h"

namespace controls {

namespace {

constexpr int32_t kTwipsPerInch = 1440;
constexpr int32_t kErrInvalidArgument = 5;
constexpr int32_t kErrInvalidPropertyValue = 380;

int32_t TwipsPerPixelFor(int dpi) {
    return std::max(1, kTwipsPerInch / std::max(1, dpi));
}

int32_t PixelsFor(double twips, int32_t twipsPerPixel) {
    return static_cast<int32_t>(std::nearbyint(twips)) / twipsPerPixel;
}

// The bitmap is never empty, so the DC always holds a colour bitmap of the screen's format.
int BitmapExtent(int32_t pixels) {
    return std::max<int32_t>(1, pixels);
}

}  // namespace

TwipsPerPixel ScreenTwipsPerPixel() {
    win32::WindowDc screen(nullptr);
    return {TwipsPerPixelFor(::GetDeviceCaps(screen.get(), LOGPIXELSX)),
            TwipsPerPixelFor(::GetDeviceCaps(screen.get(), LOGPIXELSY))};
}

TwipsPerPixel TwipsPerPixelAt(UINT dpi) {
    const int32_t scale = TwipsPerPixelFor(static_cast<int>(dpi));
    return {scale, scale};
}

PictureBox::PictureBox(TwipsPerPixel twipsPerPixel)
    : twipsPerPixel_(twipsPerPixel),
      foreColor_(RGB(0, 0, 0)),
      backColor_(::GetSysColor(COLOR_BTNFACE)) {
    if (twipsPerPixel_.x < 1 || twipsPerPixel_.y < 1) {
        throw diagnostics::RuntimeError(kErrInvalidArgument, "Invalid procedure call or argument",
                                        "PictureBox");
    }
    win32::WindowDc screen(nullptr);
    dc_.reset(::CreateCompatibleDC(screen.get()));
    bitmap_.reset(::CreateCompatibleBitmap(screen.get(), 1, 1));
    if (!dc_ || !bitmap_) {
        throw diagnostics::RuntimeError(diagnostics::kErrOutOfMemory, "Out of memory",
                                        "PictureBox");
    }
    originalBitmap_ = ::SelectObject(dc_.get(), bitmap_.get());
    ::SetTextColor(dc_.get(), foreColor_);
    ::SetBkMode(dc_.get(), TRANSPARENT);
    SetBackColor(backColor_);
}

PictureBox::~PictureBox() {
    // The bitmap can only be deleted once it is out of the DC.
    ::SelectObject(dc_.get(), originalBitmap_);
}

void PictureBox::SetWidthTwips(double twips) {
    Resize(twips, heightTwips_);
}

void PictureBox::SetHeightTwips(double twips) {
    Resize(widthTwips_, twips);
}

void PictureBox::SetTwipsPerPixel(TwipsPerPixel twipsPerPixel) {
    if (twipsPerPixel.x < 1 || twipsPerPixel.y < 1) {
        throw diagnostics::RuntimeError(kErrInvalidArgument, "Invalid procedure call or argument",
                                        "PictureBox");
    }
    if (twipsPerPixel.x == twipsPerPixel_.x && twipsPerPixel.y == twipsPerPixel_.y) {
        return;
    }
    const double width = widthTwips_;
    const double height = heightTwips_;
    Resize(0, 0);  // drops the picture of the old scale
    twipsPerPixel_ = twipsPerPixel;
    Resize(width, height);
}

int32_t PictureBox::WidthPixels() const {
    return PixelsFor(widthTwips_, twipsPerPixel_.x);
}

int32_t PictureBox::HeightPixels() const {
    return PixelsFor(heightTwips_, twipsPerPixel_.y);
}

void PictureBox::SetForeColor(COLORREF color) {
    foreColor_ = color;
    ::SetTextColor(dc_.get(), color);
}

void PictureBox::SetBackColor(COLORREF color) {
    backColor_ = color;
    BITMAP info{};
    ::GetObjectA(bitmap_.get(), sizeof(info), &info);
    RECT all{0, 0, info.bmWidth, info.bmHeight};
    win32::Brush brush(::CreateSolidBrush(color));
    ::FillRect(dc_.get(), &all, brush.get());
}

void PictureBox::Refresh() {
    ::GdiFlush();
}

void PictureBox::Resize(double widthTwips, double heightTwips) {
    if (!(widthTwips >= 0) || !(heightTwips >= 0) || widthTwips > INT32_MAX ||
        heightTwips > INT32_MAX) {
        throw diagnostics::RuntimeError(kErrInvalidPropertyValue, "Invalid property value",
                                        "PictureBox");
    }
    const int oldWidth = BitmapExtent(WidthPixels());
    const int oldHeight = BitmapExtent(HeightPixels());
    const int newWidth = BitmapExtent(PixelsFor(widthTwips, twipsPerPixel_.x));
    const int newHeight = BitmapExtent(PixelsFor(heightTwips, twipsPerPixel_.y));
    if (newWidth != oldWidth || newHeight != oldHeight) {
        win32::WindowDc screen(nullptr);
        win32::Bitmap bitmap(::CreateCompatibleBitmap(screen.get(), newWidth, newHeight));
        win32::MemoryDc copyDc(::CreateCompatibleDC(screen.get()));
        if (!bitmap || !copyDc) {
            throw diagnostics::RuntimeError(diagnostics::kErrOutOfMemory, "Out of memory",
                                            "PictureBox");
        }
        {
            win32::SelectGuard select(copyDc.get(), bitmap.get());
            RECT all{0, 0, newWidth, newHeight};
            win32::Brush brush(::CreateSolidBrush(backColor_));
            ::FillRect(copyDc.get(), &all, brush.get());
            ::BitBlt(copyDc.get(), 0, 0, std::min(oldWidth, newWidth),
                     std::min(oldHeight, newHeight), dc_.get(), 0, 0, SRCCOPY);
        }
        ::SelectObject(dc_.get(), bitmap.get());
        bitmap_ = std::move(bitmap);
    }
    widthTwips_ = widthTwips;
    heightTwips_ = heightTwips;
}

}  // namespace controls
