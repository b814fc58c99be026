#include "ui/clogo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "win32/Handles.h"

namespace ui {

namespace {

constexpr uint32_t kSystemColorFlag = 0x80000000;
constexpr uint32_t kButtonFace = kSystemColorFlag | COLOR_BTNFACE;
constexpr int32_t kBandsPerBar = 255;
constexpr int kIconSize = 16;
constexpr LONG kUpward = 900;  // tenths of a degree

int32_t WholeNumber(double value) {
    return static_cast<int32_t>(std::nearbyint(value));
}

}  // namespace

COLORREF OleColorToRgb(uint32_t oleColor) {
    if ((oleColor & 0xFF000000) == kSystemColorFlag) {
        return ::GetSysColor(static_cast<int>(oleColor & 0xFFFF));
    }
    return oleColor & 0x00FFFFFF;
}

clogo::clogo() {
    SetStartColor(0);
    SetEndColor(kButtonFace);
}

clogo::Components clogo::Translate(uint32_t oleColor) {
    const COLORREF rgb = OleColorToRgb(oleColor);
    return {static_cast<int16_t>(GetRValue(rgb)), static_cast<int16_t>(GetGValue(rgb)),
            static_cast<int16_t>(GetBValue(rgb))};
}

void clogo::SetStartColor(uint32_t oColor) {
    if (oColor == startColor_) {
        return;
    }
    startColor_ = oColor;
    start_ = Translate(oColor);
    if (surface_ != nullptr) {
        Draw();
    }
}

void clogo::SetEndColor(uint32_t oColor) {
    if (oColor == endColor_) {
        return;
    }
    endColor_ = oColor;
    end_ = Translate(oColor);
    if (surface_ != nullptr) {
        Draw();
    }
}

void clogo::OleFontToLogFont(const controls::PictureFont& font, HDC dc, LOGFONTA& logFont) {
    // A name longer than the field is cut so that the terminating zero still fits.
    const size_t length = std::min(font.Name.size(), sizeof(logFont.lfFaceName) - 1);
    std::memcpy(logFont.lfFaceName, font.Name.data(), length);
    logFont.lfHeight = -::MulDiv(WholeNumber(font.Size), ::GetDeviceCaps(dc, LOGPIXELSY), 72);
    logFont.lfItalic = font.Italic ? 1 : 0;
    logFont.lfUnderline = font.Underline ? 1 : 0;
    logFont.lfStrikeOut = font.Strikethrough ? 1 : 0;
    logFont.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
}

void clogo::Draw() {
    if (surface_ == nullptr) {
        return;
    }
    const HDC dc = surface_->hDC();
    const int32_t h = WholeNumber(surface_->HeightTwips()) / surface_->TwipsPerPixelY();
    const int32_t w = WholeNumber(surface_->WidthTwips()) / surface_->TwipsPerPixelX();
    if (h <= 0) {
        return;  // the colour steps below divide by the height
    }

    int32_t s = h / kBandsPerBar;
    if (s == 0) {
        s = 1;
    }
    Components c = start_;
    std::array<double, 3> delta{};
    for (size_t k = 0; k < 3; ++k) {
        delta[k] = static_cast<int16_t>(end_[k] - start_[k]);
    }

    // Bands from the bottom edge upward; each band takes the colour worked out one step before.
    RECT band{0, 0, w, h};
    for (int32_t i = h; i >= 0; i -= s) {
        band.top = band.bottom - s;
        const COLORREF colour = static_cast<COLORREF>(c[0]) + 256 * static_cast<COLORREF>(c[1]) +
                                65536 * static_cast<COLORREF>(c[2]);
        win32::Brush brush(::CreateSolidBrush(colour));
        ::FillRect(dc, &band, brush.get());
        band.bottom = band.top;
        for (size_t k = 0; k < 3; ++k) {
            c[k] = static_cast<int16_t>(std::nearbyint(start_[k] + (h - i) * delta[k] / h));
        }
    }

    int32_t textY = h - 2;
    if (imageList_ != nullptr && iconIndex_ >= 1) {
        ::ImageList_Draw(imageList_, iconIndex_, dc, (w - kIconSize) / 2, h - 18, ILD_TRANSPARENT);
        textY = h - 20;
    }

    LOGFONTA logFont{};
    OleFontToLogFont(surface_->Font(), dc, logFont);
    logFont.lfEscapement = kUpward;
    win32::Font font(::CreateFontIndirectA(&logFont));
    if (font) {
        win32::SelectGuard select(dc, font.get());
        ::TextOutA(dc, 0, textY, caption_.data(), static_cast<int>(caption_.size()));
    }

    surface_->Refresh();
}

}  // namespace ui
