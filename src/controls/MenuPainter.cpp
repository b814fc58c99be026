#include "controls/MenuPainter.h"

#include <algorithm>

#include "win32/Dpi.h"

namespace controls {

namespace {

// Layout, in pixels at the design DPI.
constexpr int kTextGap = 4;      // between the icon column and the text
constexpr int kTextEndPad = 16;  // after the text: room for the submenu arrow the system draws
constexpr int kRowPad = 3;       // above and below the taller of text and icon
constexpr int kSeparatorHeight = 8;
constexpr int kSeparatorInset = 2;

// Where the source is 1 the destination stays, where it is 0 the brush goes on.
constexpr DWORD kRopBrushWhereSourceIsZero = 0x00B8074A;

}  // namespace

void MenuPainter::SetDpi(UINT dpi) {
    dpi_ = dpi;
    fontsDpi_ = 0;
}

SIZE MenuPainter::Measure(const MenuItem& item) {
    EnsureFonts();
    if (item.kind() == MenuItemKind::Separator) {
        return SIZE{Scaled(kIconSize) + 2 * Scaled(kIconPad), Scaled(kSeparatorHeight)};
    }
    win32::MemoryDc dc(::CreateCompatibleDC(nullptr));
    TEXTMETRICA metrics{};
    RECT text{};
    {
        win32::SelectGuard font(dc.get(), normal_.get());
        ::GetTextMetricsA(dc.get(), &metrics);
    }
    {
        const bool title = item.kind() == MenuItemKind::Title;
        win32::SelectGuard font(dc.get(), title ? bold_.get() : normal_.get());
        ::DrawTextA(dc.get(), item.text(), -1, &text,
                    DT_SINGLELINE | DT_CALCRECT | (title ? DT_NOPREFIX : 0));
    }
    const LONG width = TextLeft() + (text.right - text.left) + Scaled(kTextEndPad);
    const LONG height = std::max<LONG>(metrics.tmHeight, Scaled(kIconSize)) + 2 * Scaled(kRowPad);
    return SIZE{width, height};
}

void MenuPainter::DrawBackground(HDC dc, const RECT& area) {
    ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_MENU));
}

void MenuPainter::Draw(HDC dc, const MenuItem& item, const RECT& area, bool selected,
                       bool hidePrefix) {
    EnsureFonts();
    ::SetBkMode(dc, TRANSPARENT);
    const int height = area.bottom - area.top;
    if (item.kind() == MenuItemKind::Separator) {
        RECT line{area.left + Scaled(kSeparatorInset), area.top + height / 2 - 1,
                  area.right - Scaled(kSeparatorInset), area.top + height / 2 + 1};
        ::DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
        return;
    }
    const COLORREF color = ::GetSysColor(COLOR_MENUTEXT);
    ::SetTextColor(dc, color);
    RECT text{area.left + TextLeft(), area.top, area.right - Scaled(kTextEndPad), area.bottom};
    if (item.kind() == MenuItemKind::Title) {
        win32::SelectGuard font(dc, bold_.get());
        ::DrawTextA(dc, item.text(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        return;
    }

    if (selected) {
        ::FrameRect(dc, &area, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    }

    const int cellSize = Scaled(kIconSize);
    const int cellLeft = area.left + Scaled(kIconPad);
    const int cellTop = area.top + (height - cellSize) / 2;
    const RECT cell{cellLeft, cellTop, cellLeft + cellSize, cellTop + cellSize};
    if (HasIcon(item)) {
        DrawIcon(dc, item, cell);
        if (item.checked) {
            RECT frame = cell;
            ::InflateRect(&frame, 1, 1);
            ::DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
        }
    } else if (item.checked) {
        DrawCheck(dc, cell, color);
    }

    win32::SelectGuard font(dc, normal_.get());
    ::DrawTextA(dc, item.text(), -1, &text,
                DT_SINGLELINE | DT_VCENTER | (hidePrefix ? DT_HIDEPREFIX : 0));
}

int MenuPainter::Scaled(int pixels) const {
    return win32::Scaled(pixels, dpi_);
}

int MenuPainter::TextLeft() const {
    return Scaled(kIconSize) + 2 * Scaled(kIconPad) + Scaled(kTextGap);
}

void MenuPainter::EnsureFonts() {
    if (fontsDpi_ == dpi_) {
        return;
    }
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof(metrics);
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTA font = metrics.lfMenuFont;
    // The metrics are given for the screen's DPI; the menu's monitor may have another.
    font.lfHeight = win32::FromScreenDpi(font.lfHeight, dpi_);
    normal_.reset(::CreateFontIndirectA(&font));
    font.lfWeight = FW_BOLD;
    bold_.reset(::CreateFontIndirectA(&font));
    fontsDpi_ = dpi_;
}

bool MenuPainter::HasIcon(const MenuItem& item) const {
    return images_ != nullptr && item.icon >= 1 && item.icon <= ::ImageList_GetImageCount(images_);
}

void MenuPainter::DrawIcon(HDC dc, const MenuItem& item, const RECT& cell) const {
    const int image = item.icon - 1;
    const int size = cell.right - cell.left;
    int width = 0;
    int height = 0;
    ::ImageList_GetIconSize(images_, &width, &height);
    if (width == size && height == size) {
        ::ImageList_Draw(images_, image, dc, cell.left, cell.top, ILD_TRANSPARENT);
    } else {
        win32::Icon icon(::ImageList_GetIcon(images_, image, ILD_NORMAL));
        ::DrawIconEx(dc, cell.left, cell.top, icon.get(), size, size, 0, nullptr, DI_NORMAL);
    }
}

// The system's check mark, drawn as a black-on-white mask, put on in `color`.
void MenuPainter::DrawCheck(HDC dc, const RECT& cell, COLORREF color) {
    const int size = cell.right - cell.left;
    win32::MemoryDc maskDc(::CreateCompatibleDC(dc));
    win32::Bitmap mask(::CreateBitmap(size, size, 1, 1, nullptr));
    win32::Brush brush(::CreateSolidBrush(color));
    if (!maskDc || !mask || !brush) {
        return;
    }
    win32::SelectGuard selectMask(maskDc.get(), mask.get());
    RECT all{0, 0, size, size};
    ::DrawFrameControl(maskDc.get(), &all, DFC_MENU, DFCS_MENUCHECK);
    win32::SelectGuard selectBrush(dc, brush.get());
    // The mask's black turns into source 0 (the text colour), its white into 1.
    const COLORREF oldText = ::SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF oldBack = ::SetBkColor(dc, RGB(255, 255, 255));
    ::BitBlt(dc, cell.left, cell.top, size, size, maskDc.get(), 0, 0, kRopBrushWhereSourceIsZero);
    ::SetTextColor(dc, oldText);
    ::SetBkColor(dc, oldBack);
}

}  // namespace controls
