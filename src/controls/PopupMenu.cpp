#include "controls/PopupMenu.h"

#include <oleacc.h>  // MSAAMENUINFO: only the layout, nothing of oleacc is called

#include <algorithm>
#include <vector>

#include "diagnostics/RuntimeError.h"
#include "win32/Dpi.h"
#include "win32/Handles.h"

namespace controls {

namespace {

constexpr int32_t kErrInvalidArgument = 5;
constexpr int32_t kErrSubscriptOutOfRange = 9;
constexpr char kSource[] = "PopupMenu";

// Menu messages carry item identifiers and positions in 16 bits.
constexpr size_t kMaxItems = 0xFFFF;

// Layout, in pixels at 96 DPI.
constexpr int kIconSize = 16;
constexpr int kIconPad = 3;      // on each side of the icon or check mark
constexpr int kTextGap = 4;      // between the icon column and the text
constexpr int kTextEndPad = 16;  // after the text: room for the submenu arrow the system draws
constexpr int kRowPad = 3;       // above and below the taller of text and icon
constexpr int kSeparatorHeight = 8;
constexpr int kSeparatorInset = 2;

// Where the source is 1 the destination stays, where it is 0 the brush goes on.
constexpr DWORD kRopBrushWhereSourceIsZero = 0x00B8074A;
constexpr UINT_PTR kSubclassId = 1;

enum class Kind { Command, Separator, Title };

struct Item {
    std::string caption;
    int32_t data = 0;
    int32_t parent = 0;
    int32_t icon = -1;
    bool checked = false;
    bool ownerDraw = false;
    std::string key;

    Kind kind() const {
        if (caption == "-") {
            return Kind::Separator;
        }
        return !caption.empty() && caption[0] == '-' ? Kind::Title : Kind::Command;
    }
    // What the item shows: a title line without its leading "-".
    const char* text() const {
        return kind() == Kind::Title ? caption.c_str() + 1 : caption.c_str();
    }
};

// An owner-drawn item has no text of its own for screen readers: its item data begins with an
// MSAAMENUINFO naming it, as accessibility tools read it. The item's index follows.
struct ItemName {
    MSAAMENUINFO info{};
    std::wstring text;
    int32_t index = 0;
};

// The caption as read aloud: without the "&" markers ("&&" stands for one ampersand).
std::wstring SpokenText(const char* caption) {
    std::string plain;
    for (const char* c = caption; *c != '\0'; ++c) {
        if (*c == '&' && *++c == '\0') {
            break;
        }
        plain += *c;
    }
    std::wstring wide(plain.size(), L'\0');
    wide.resize(static_cast<size_t>(
        ::MultiByteToWideChar(CP_ACP, 0, plain.data(), static_cast<int>(plain.size()), wide.data(),
                              static_cast<int>(wide.size()))));
    return wide;
}

WCHAR Upper(WCHAR c) {
    ::CharUpperBuffW(&c, 1);
    return c;
}

WCHAR Widen(const char* bytes, int count) {
    WCHAR c = 0;
    ::MultiByteToWideChar(CP_ACP, 0, bytes, count, &c, 1);
    return c;
}

// The character after the first single "&" ("&&" shows an ampersand); 0 when there is none.
WCHAR AcceleratorOf(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') {
            continue;
        }
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const bool pair =
            ::IsDBCSLeadByte(static_cast<BYTE>(caption[i + 1])) && i + 2 < caption.size();
        return Widen(caption.data() + i + 1, pair ? 2 : 1);
    }
    return 0;
}

// The character of WM_MENUCHAR: UTF-16 for a Unicode window procedure, else a code-page
// character with a double-byte character's lead byte in the high byte.
WCHAR MenuCharOf(HWND hwnd, WPARAM wParam) {
    const WORD raw = LOWORD(wParam);
    if (::IsWindowUnicode(hwnd)) {
        return raw;
    }
    const char bytes[2] = {static_cast<char>(HIBYTE(raw)), static_cast<char>(LOBYTE(raw))};
    return HIBYTE(raw) != 0 ? Widen(bytes, 2) : Widen(bytes + 1, 1);
}

// Restores everything drawing changed in a DC (origin, font, colours) at the end of a scope.
class SavedDc {
  public:
    explicit SavedDc(HDC dc) : dc_(dc), state_(::SaveDC(dc)) {}
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;
    ~SavedDc() {
        if (state_ != 0) {
            ::RestoreDC(dc_, state_);
        }
    }

  private:
    HDC dc_;
    int state_;
};

// A window subclass for one scope.
class Subclass {
  public:
    Subclass(HWND hwnd, SUBCLASSPROC proc, DWORD_PTR data)
        : hwnd_(hwnd),
          proc_(proc),
          installed_(::SetWindowSubclass(hwnd, proc, kSubclassId, data)) {}
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;
    ~Subclass() {
        if (installed_) {
            ::RemoveWindowSubclass(hwnd_, proc_, kSubclassId);
        }
    }
    explicit operator bool() const { return installed_; }

  private:
    HWND hwnd_;
    SUBCLASSPROC proc_;
    bool installed_;
};

[[noreturn]] void RaiseSubscriptOutOfRange() {
    throw diagnostics::RuntimeError(kErrSubscriptOutOfRange, "Subscript out of range", kSource);
}

[[noreturn]] void RaiseInvalidArgument() {
    throw diagnostics::RuntimeError(kErrInvalidArgument, "Invalid procedure call or argument",
                                    kSource);
}

}  // namespace

PopupMenu::MonitorDpiFn PopupMenu::MonitorDpi = &win32::MonitorDpi;

class PopupMenu::Impl {
  public:
    explicit Impl(PopupMenu& outer)
        : outer_(outer),
          dpi_(PopupMenu::MonitorDpi(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY))) {}

    HWND owner = nullptr;
    HIMAGELIST images = nullptr;
    std::vector<Item> items;  // items[i - 1] is item i

    Item& At(int32_t index) {
        if (index < 1 || static_cast<size_t>(index) > items.size()) {
            RaiseSubscriptOutOfRange();
        }
        return items[static_cast<size_t>(index) - 1];
    }

    int32_t Add(Item item) {
        if (item.parent != 0) {
            const Item& parent = At(item.parent);
            if (parent.parent != 0 || parent.kind() != Kind::Command) {
                RaiseInvalidArgument();
            }
        }
        if (items.size() >= kMaxItems) {
            RaiseInvalidArgument();
        }
        items.push_back(std::move(item));
        return static_cast<int32_t>(items.size());
    }

    // The item's size at the current DPI; marked items pass it through MeasureItem.
    SIZE Measure(int32_t index, bool raiseEvent) {
        const Item item = At(index);  // a copy: the handler may add items
        EnsureFonts();
        int32_t width = 0;
        int32_t height = 0;
        if (item.kind() == Kind::Separator) {
            width = Scaled(kIconSize) + 2 * Scaled(kIconPad);
            height = Scaled(kSeparatorHeight);
        } else {
            win32::MemoryDc dc(::CreateCompatibleDC(nullptr));
            TEXTMETRICA metrics{};
            RECT text{};
            {
                win32::SelectGuard font(dc.get(), fonts_.normal.get());
                ::GetTextMetricsA(dc.get(), &metrics);
            }
            {
                const bool title = item.kind() == Kind::Title;
                win32::SelectGuard font(dc.get(), title ? fonts_.bold.get() : fonts_.normal.get());
                ::DrawTextA(dc.get(), item.text(), -1, &text,
                            DT_SINGLELINE | DT_CALCRECT | (title ? DT_NOPREFIX : 0));
            }
            width = TextLeft() + (text.right - text.left) + Scaled(kTextEndPad);
            height = std::max<int32_t>(metrics.tmHeight, Scaled(kIconSize)) + 2 * Scaled(kRowPad);
        }
        if (raiseEvent && item.ownerDraw && outer_.MeasureItem) {
            outer_.MeasureItem(index, width, height);
        }
        return SIZE{std::max<LONG>(0, width), std::max<LONG>(0, height)};
    }

    UINT dpi() const { return dpi_; }

    int32_t Show(int32_t x, int32_t y) {
        if (showing_ || !::IsWindow(owner) || ChildrenOf(0).empty()) {
            return 0;
        }
        const POINT point{x, y};
        const HMONITOR monitor = ::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
        dpi_ = PopupMenu::MonitorDpi(monitor);
        fonts_.dpi = 0;  // read the menu font again: the user may have changed it
        OpenState open(*this);
        win32::Menu menu = BuildMenu(0);
        if (!menu) {
            return 0;
        }
        Subclass subclass(owner, &Impl::SubclassProc, reinterpret_cast<DWORD_PTR>(this));
        if (!subclass) {
            return 0;
        }
        const UINT alignment = ShellAlignment(point, monitor);
        // Unless the owner is the foreground window, the menu stays open when the user clicks
        // elsewhere; the posted message lets the owner's thread run once more, so that the
        // next menu opens and closes properly as well.
        ::SetForegroundWindow(owner);
        // No TPM_WORKAREA: Wine takes that bit for its own "end the menu" flag and closes the
        // menu at once. The system keeps the menu on the point's monitor all the same.
        const int chosen = ::TrackPopupMenuEx(
            menu.get(), alignment | TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, owner, nullptr);
        ::PostMessageA(owner, WM_NULL, 0, 0);
        return IsCommand(chosen) ? chosen : 0;
    }

  private:
    struct Fonts {
        win32::Font normal;
        win32::Font bold;
        UINT dpi = 0;
    };

    // The state of one ShowPopupMenu call, cleared however it ends.
    class OpenState {
      public:
        explicit OpenState(Impl& impl) : impl_(impl) {
            impl_.showing_ = true;
            impl_.shownHeights_.assign(impl_.items.size() + 1, 0);
        }
        OpenState(const OpenState&) = delete;
        OpenState& operator=(const OpenState&) = delete;
        ~OpenState() {
            impl_.showing_ = false;
            impl_.openMenus_.clear();
            impl_.names_.clear();
        }

      private:
        Impl& impl_;
    };

    int Scaled(int pixels) const { return win32::Scaled(pixels, dpi_); }
    int TextLeft() const { return Scaled(kIconSize) + 2 * Scaled(kIconPad) + Scaled(kTextGap); }

    void EnsureFonts() {
        if (fonts_.dpi == dpi_) {
            return;
        }
        NONCLIENTMETRICSA metrics{};
        metrics.cbSize = sizeof(metrics);
        ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        LOGFONTA font = metrics.lfMenuFont;
        // The metrics are given for the screen's DPI; the menu's monitor may have another.
        font.lfHeight = win32::FromScreenDpi(font.lfHeight, dpi_);
        fonts_.normal.reset(::CreateFontIndirectA(&font));
        font.lfWeight = FW_BOLD;
        fonts_.bold.reset(::CreateFontIndirectA(&font));
        fonts_.dpi = dpi_;
    }

    std::vector<int32_t> ChildrenOf(int32_t parent) const {
        std::vector<int32_t> children;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].parent == parent) {
                children.push_back(static_cast<int32_t>(i + 1));
            }
        }
        return children;
    }

    // The index of the item whose system item data this is; 0 for none of the open menu's.
    int32_t IndexOf(ULONG_PTR data) const {
        for (const auto& name : names_) {
            if (reinterpret_cast<ULONG_PTR>(name.get()) == data) {
                return name->index;
            }
        }
        return 0;
    }

    bool IsCommand(int value) const {
        if (value < 1 || static_cast<size_t>(value) > items.size()) {
            return false;
        }
        const Item& item = items[static_cast<size_t>(value) - 1];
        return item.kind() == Kind::Command && ChildrenOf(value).empty();
    }

    // The parent index whose children the open menu `menu` shows; -1 for a foreign menu.
    int32_t LevelOf(HMENU menu) const {
        for (const auto& [handle, parent] : openMenus_) {
            if (handle == menu) {
                return parent;
            }
        }
        return -1;
    }

    UINT ShellAlignment(POINT point, HMONITOR monitor) const {
        UINT alignment =
            ::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        // From a point in the lower half (a taskbar at the bottom) the menu opens upward.
        if (::GetMonitorInfoA(monitor, &info) &&
            point.y >= info.rcMonitor.top + (info.rcMonitor.bottom - info.rcMonitor.top) / 2) {
            alignment |= TPM_BOTTOMALIGN;
        } else {
            alignment |= TPM_TOPALIGN;
        }
        return alignment;
    }

    win32::Menu BuildMenu(int32_t parent) {
        win32::Menu menu(::CreatePopupMenu());
        if (!menu) {
            return menu;
        }
        openMenus_.emplace_back(menu.get(), parent);
        UINT position = 0;
        for (int32_t index : ChildrenOf(parent)) {
            const Item& item = items[static_cast<size_t>(index) - 1];
            MENUITEMINFOA info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
            // Title lines are separators to the system: never highlighted, never chosen.
            info.fType = MFT_OWNERDRAW | (item.kind() == Kind::Command ? 0 : MFT_SEPARATOR);
            info.fState = item.checked ? MFS_CHECKED : 0;
            info.wID = static_cast<UINT>(index);
            auto& name = *names_.emplace_back(std::make_unique<ItemName>());
            name.text = item.kind() == Kind::Separator ? L"" : SpokenText(item.text());
            name.info = {MSAA_MENU_SIG, static_cast<DWORD>(name.text.size()), name.text.data()};
            name.index = index;
            info.dwItemData = reinterpret_cast<ULONG_PTR>(&name);
            win32::Menu submenu;
            if (parent == 0 && !ChildrenOf(index).empty()) {
                submenu = BuildMenu(index);
                if (!submenu) {
                    return win32::Menu();
                }
                info.fMask |= MIIM_SUBMENU;
                info.hSubMenu = submenu.get();
            }
            if (!::InsertMenuItemA(menu.get(), position, TRUE, &info)) {
                return win32::Menu();
            }
            submenu.release();  // destroyed with its parent from now on
            ++position;
        }
        return menu;
    }

    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<Impl*>(data);
        try {
            LRESULT result = 0;
            if (self->HandleMenuMessage(hwnd, msg, wParam, lParam, result)) {
                return result;
            }
        } catch (...) {
            // A handler's failure must not unwind through the menu loop; the owner answers.
        }
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    }

    bool HandleMenuMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        switch (msg) {
            case WM_MEASUREITEM: {
                auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
                if (measure.CtlType != ODT_MENU || IndexOf(measure.itemData) == 0) {
                    return false;
                }
                OnMeasureItem(measure);
                result = TRUE;
                return true;
            }
            case WM_DRAWITEM: {
                const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
                if (draw.CtlType != ODT_MENU ||
                    LevelOf(reinterpret_cast<HMENU>(draw.hwndItem)) < 0 ||
                    IndexOf(draw.itemData) == 0) {
                    return false;
                }
                OnDrawItem(draw);
                result = TRUE;
                return true;
            }
            case WM_MENUCHAR: {
                const auto menu = reinterpret_cast<HMENU>(lParam);
                if (LevelOf(menu) < 0) {
                    return false;
                }
                result = OnMenuChar(hwnd, wParam, menu);
                return true;
            }
            default:
                return false;
        }
    }

    void OnMeasureItem(MEASUREITEMSTRUCT& measure) {
        const int32_t index = IndexOf(measure.itemData);
        SIZE size{};
        try {
            size = Measure(index, true);
        } catch (...) {
            size = Measure(index, false);  // a failing handler leaves the component's own size
        }
        measure.itemWidth = static_cast<UINT>(size.cx);
        measure.itemHeight = static_cast<UINT>(size.cy);
        if (static_cast<size_t>(index) < shownHeights_.size()) {
            shownHeights_[static_cast<size_t>(index)] = size.cy;
        }
    }

    void OnDrawItem(const DRAWITEMSTRUCT& draw) {
        const int32_t index = IndexOf(draw.itemData);
        const Item item = items[static_cast<size_t>(index) - 1];  // handlers may add items
        int32_t top = 0;
        for (int32_t sibling : ChildrenOf(item.parent)) {
            if (sibling == index || static_cast<size_t>(sibling) >= shownHeights_.size()) {
                break;
            }
            top += shownHeights_[static_cast<size_t>(sibling)];
        }
        const HDC dc = draw.hDC;
        SavedDc saved(dc);
        ::OffsetViewportOrgEx(dc, draw.rcItem.left, draw.rcItem.top - top, nullptr);
        int32_t left = 0;
        int32_t right = draw.rcItem.right - draw.rcItem.left;
        int32_t bottom = top + (draw.rcItem.bottom - draw.rcItem.top);
        const RECT whole{left, top, right, bottom};
        ::FillRect(dc, &whole, ::GetSysColorBrush(COLOR_MENU));

        const bool selected = (draw.itemState & ODS_SELECTED) != 0 && item.kind() == Kind::Command;
        bool doDefault = true;
        if (item.ownerDraw && outer_.DrawItem) {
            outer_.DrawItem(dc, index, left, top, right, bottom, selected, item.checked, false,
                            doDefault);
        }
        if (doDefault) {
            DrawContent(dc, item, RECT{left, top, right, bottom}, selected,
                        (draw.itemState & ODS_NOACCEL) != 0);
        }
    }

    void DrawContent(HDC dc, const Item& item, const RECT& area, bool selected, bool hidePrefix) {
        EnsureFonts();
        ::SetBkMode(dc, TRANSPARENT);
        const int height = area.bottom - area.top;
        if (item.kind() == Kind::Separator) {
            RECT line{area.left + Scaled(kSeparatorInset), area.top + height / 2 - 1,
                      area.right - Scaled(kSeparatorInset), area.top + height / 2 + 1};
            ::DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
            return;
        }
        const COLORREF color = ::GetSysColor(COLOR_MENUTEXT);
        ::SetTextColor(dc, color);
        RECT text{area.left + TextLeft(), area.top, area.right - Scaled(kTextEndPad), area.bottom};
        if (item.kind() == Kind::Title) {
            win32::SelectGuard font(dc, fonts_.bold.get());
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

        win32::SelectGuard font(dc, fonts_.normal.get());
        ::DrawTextA(dc, item.text(), -1, &text,
                    DT_SINGLELINE | DT_VCENTER | (hidePrefix ? DT_HIDEPREFIX : 0));
    }

    bool HasIcon(const Item& item) const {
        return images != nullptr && item.icon >= 1 &&
               item.icon <= ::ImageList_GetImageCount(images);
    }

    void DrawIcon(HDC dc, const Item& item, const RECT& cell) const {
        const int image = item.icon - 1;
        const int size = cell.right - cell.left;
        int width = 0;
        int height = 0;
        ::ImageList_GetIconSize(images, &width, &height);
        if (width == size && height == size) {
            ::ImageList_Draw(images, image, dc, cell.left, cell.top, ILD_TRANSPARENT);
        } else {
            win32::Icon icon(::ImageList_GetIcon(images, image, ILD_NORMAL));
            ::DrawIconEx(dc, cell.left, cell.top, icon.get(), size, size, 0, nullptr, DI_NORMAL);
        }
    }

    // The system's check mark, drawn as a black-on-white mask, put on in `color`.
    static void DrawCheck(HDC dc, const RECT& cell, COLORREF color) {
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
        ::BitBlt(dc, cell.left, cell.top, size, size, maskDc.get(), 0, 0,
                 kRopBrushWhereSourceIsZero);
        ::SetTextColor(dc, oldText);
        ::SetBkColor(dc, oldBack);
    }

    // The menu's item with the key as accelerator; the system only knows those of items it
    // draws itself.
    LRESULT OnMenuChar(HWND hwnd, WPARAM wParam, HMENU menu) const {
        const WCHAR key = Upper(MenuCharOf(hwnd, wParam));
        const std::vector<int32_t> siblings = ChildrenOf(LevelOf(menu));
        const auto shown = static_cast<size_t>(std::max(0, ::GetMenuItemCount(menu)));
        for (size_t position = 0; key != 0 && position < std::min(siblings.size(), shown);
             ++position) {
            const Item& item = items[static_cast<size_t>(siblings[position]) - 1];
            if (item.kind() == Kind::Command && Upper(AcceleratorOf(item.caption)) == key) {
                return MAKELRESULT(position, MNC_EXECUTE);
            }
        }
        return MAKELRESULT(0, MNC_IGNORE);
    }

    PopupMenu& outer_;
    UINT dpi_;
    Fonts fonts_;
    bool showing_ = false;
    std::vector<std::pair<HMENU, int32_t>> openMenus_;  // each open menu and its parent index
    std::vector<LONG> shownHeights_;                    // by index, as the open menu was told
    std::vector<std::unique_ptr<ItemName>> names_;      // the open menus' item data
};

PopupMenu::PopupMenu() : impl_(std::make_unique<Impl>(*this)) {}

PopupMenu::~PopupMenu() = default;

void PopupMenu::SetOwnerWindow(HWND owner) {
    impl_->owner = owner;
}

HWND PopupMenu::OwnerWindow() const {
    return impl_->owner;
}

void PopupMenu::SetImageSource(HIMAGELIST images) {
    impl_->images = images;
}

HIMAGELIST PopupMenu::ImageSource() const {
    return impl_->images;
}

int32_t PopupMenu::AddItem(const std::string& caption, int32_t itemData, int32_t parent,
                           int32_t iconIndex, bool checked, const std::string& key) {
    Item item;
    item.caption = caption;
    item.data = itemData;
    item.parent = parent;
    item.icon = iconIndex;
    item.checked = checked;
    item.key = key;
    return impl_->Add(std::move(item));
}

void PopupMenu::SetItemOwnerDraw(int32_t index, bool ownerDraw) {
    impl_->At(index).ownerDraw = ownerDraw;
}

int32_t PopupMenu::ItemCount() const {
    return static_cast<int32_t>(impl_->items.size());
}

int32_t PopupMenu::ItemLevel(int32_t index) const {
    return impl_->At(index).parent;
}

UINT PopupMenu::Dpi() const {
    return impl_->dpi();
}

int32_t PopupMenu::ItemHeight(int32_t index) const {
    return impl_->Measure(index, true).cy;
}

void PopupMenu::SetItemChecked(int32_t index, bool checked) {
    impl_->At(index).checked = checked;
}

bool PopupMenu::ItemChecked(int32_t index) const {
    return impl_->At(index).checked;
}

int32_t PopupMenu::ItemData(int32_t index) const {
    return impl_->At(index).data;
}

std::string PopupMenu::ItemKey(int32_t index) const {
    return impl_->At(index).key;
}

int32_t PopupMenu::ShowPopupMenu(int32_t x, int32_t y) {
    return impl_->Show(x, y);
}

}  // namespace controls
