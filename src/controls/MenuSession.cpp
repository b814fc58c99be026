#include "controls/MenuSession.h"

#include <oleacc.h>  // MSAAMENUINFO: only the layout, nothing of oleacc is called

#include <algorithm>
#include <string>

namespace controls {

namespace {

constexpr UINT_PTR kSubclassId = 1;

WCHAR Upper(WCHAR c) {
    ::CharUpperBuffW(&c, 1);
    return c;
}

// The character of WM_MENUCHAR: UTF-16 for a Unicode window procedure, else a code-page
// character with a double-byte character's lead byte in the high byte.
WCHAR MenuCharOf(HWND hwnd, WPARAM wParam) {
    const WORD raw = LOWORD(wParam);
    if (::IsWindowUnicode(hwnd)) {
        return raw;
    }
    const char bytes[2] = {static_cast<char>(HIBYTE(raw)), static_cast<char>(LOBYTE(raw))};
    const bool pair = HIBYTE(raw) != 0;
    WCHAR c = 0;
    ::MultiByteToWideChar(CP_ACP, 0, pair ? bytes : bytes + 1, pair ? 2 : 1, &c, 1);
    return c;
}

UINT ShellAlignment(POINT point, HMONITOR monitor) {
    UINT alignment = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
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

}  // namespace

// An owner-drawn item has no text of its own for screen readers: its item data begins with an
// MSAAMENUINFO naming it, as accessibility tools read it. The item's index follows.
struct MenuSession::ItemName {
    MSAAMENUINFO info{};
    std::wstring text;
    int32_t index = 0;
};

// The state of one Show, cleared however it ends.
class MenuSession::OpenState {
  public:
    explicit OpenState(MenuSession& session) : session_(session) {
        session_.showing_ = true;
        session_.shownHeights_.assign(static_cast<size_t>(session_.items_.Count()) + 1, 0);
    }
    OpenState(const OpenState&) = delete;
    OpenState& operator=(const OpenState&) = delete;
    ~OpenState() {
        session_.showing_ = false;
        session_.openMenus_.clear();
        session_.names_.clear();
    }

  private:
    MenuSession& session_;
};

MenuSession::MenuSession(const MenuItems& items, MenuPainter& painter, Host& host)
    : items_(items), painter_(painter), host_(host) {}

MenuSession::~MenuSession() = default;

int32_t MenuSession::Show(HWND owner, POINT point) {
    if (showing_ || !::IsWindow(owner) || items_.ChildrenOf(0).empty()) {
        return 0;
    }
    const HMONITOR monitor = ::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    painter_.SetDpi(host_.DpiAt(point));
    OpenState open(*this);
    win32::Menu menu = BuildMenu(0);
    if (!menu) {
        return 0;
    }
    win32::WindowSubclass subclass(owner, &MenuSession::SubclassProc, kSubclassId,
                                   reinterpret_cast<DWORD_PTR>(this));
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
    const int chosen = ::TrackPopupMenuEx(menu.get(), alignment | TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                          point.x, point.y, owner, nullptr);
    ::PostMessageA(owner, WM_NULL, 0, 0);
    return items_.IsChoice(chosen) ? chosen : 0;
}

win32::Menu MenuSession::BuildMenu(int32_t parent) {
    win32::Menu menu(::CreatePopupMenu());
    if (!menu) {
        return menu;
    }
    openMenus_.emplace_back(menu.get(), parent);
    UINT position = 0;
    for (int32_t index : items_.ChildrenOf(parent)) {
        const MenuItem& item = items_.At(index);
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
        // Title lines are separators to the system: never highlighted, never chosen.
        info.fType = MFT_OWNERDRAW | (item.kind() == MenuItemKind::Command ? 0 : MFT_SEPARATOR);
        info.fState = item.checked ? MFS_CHECKED : 0;
        info.wID = static_cast<UINT>(index);
        auto& name = *names_.emplace_back(std::make_unique<ItemName>());
        name.text = item.kind() == MenuItemKind::Separator ? L"" : item.SpokenText();
        name.info = {MSAA_MENU_SIG, static_cast<DWORD>(name.text.size()), name.text.data()};
        name.index = index;
        info.dwItemData = reinterpret_cast<ULONG_PTR>(&name);
        win32::Menu submenu;
        if (parent == 0 && !items_.ChildrenOf(index).empty()) {
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

LRESULT CALLBACK MenuSession::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MenuSession*>(data);
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

bool MenuSession::HandleMenuMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) {
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
            if (draw.CtlType != ODT_MENU || LevelOf(reinterpret_cast<HMENU>(draw.hwndItem)) < 0 ||
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

void MenuSession::OnMeasureItem(MEASUREITEMSTRUCT& measure) {
    const int32_t index = IndexOf(measure.itemData);
    SIZE size{};
    try {
        size = host_.MeasureItem(index);
    } catch (...) {
        size = painter_.Measure(items_.At(index));  // a failing handler leaves the own size
    }
    measure.itemWidth = static_cast<UINT>(size.cx);
    measure.itemHeight = static_cast<UINT>(size.cy);
    if (static_cast<size_t>(index) < shownHeights_.size()) {
        shownHeights_[static_cast<size_t>(index)] = size.cy;
    }
}

// The rectangle handed on starts at (0, 0) for the first item of the item's menu, and the DC's
// origin is moved to match, so a strip painted for a whole menu lines up item by item.
void MenuSession::OnDrawItem(const DRAWITEMSTRUCT& draw) {
    const int32_t index = IndexOf(draw.itemData);
    const MenuItem item = items_.At(index);  // a copy: handlers may add items
    LONG top = 0;
    for (int32_t sibling : items_.ChildrenOf(item.parent)) {
        if (sibling == index || static_cast<size_t>(sibling) >= shownHeights_.size()) {
            break;
        }
        top += shownHeights_[static_cast<size_t>(sibling)];
    }
    const HDC dc = draw.hDC;
    win32::SavedDc saved(dc);
    ::OffsetViewportOrgEx(dc, draw.rcItem.left, draw.rcItem.top - top, nullptr);
    RECT area{0, top, draw.rcItem.right - draw.rcItem.left,
              top + (draw.rcItem.bottom - draw.rcItem.top)};
    MenuPainter::DrawBackground(dc, area);

    const bool selected =
        (draw.itemState & ODS_SELECTED) != 0 && item.kind() == MenuItemKind::Command;
    bool doDefault = true;
    host_.DrawItem(dc, index, item, area, selected, doDefault);
    if (doDefault) {
        painter_.Draw(dc, item, area, selected, (draw.itemState & ODS_NOACCEL) != 0);
    }
}

// The menu's item with the key as accelerator; the system only knows those of items it draws
// itself.
LRESULT MenuSession::OnMenuChar(HWND hwnd, WPARAM wParam, HMENU menu) const {
    const WCHAR key = Upper(MenuCharOf(hwnd, wParam));
    const std::vector<int32_t> siblings = items_.ChildrenOf(LevelOf(menu));
    const auto shown = static_cast<size_t>(std::max(0, ::GetMenuItemCount(menu)));
    for (size_t position = 0; key != 0 && position < std::min(siblings.size(), shown); ++position) {
        const MenuItem& item = items_.At(siblings[position]);
        if (item.kind() == MenuItemKind::Command && Upper(item.Accelerator()) == key) {
            return MAKELRESULT(position, MNC_EXECUTE);
        }
    }
    return MAKELRESULT(0, MNC_IGNORE);
}

// The index of the item whose system item data this is; 0 for none of the open menu's.
int32_t MenuSession::IndexOf(ULONG_PTR data) const {
    for (const auto& name : names_) {
        if (reinterpret_cast<ULONG_PTR>(name.get()) == data) {
            return name->index;
        }
    }
    return 0;
}

// The parent index whose children the open menu `menu` shows; -1 for a foreign menu.
int32_t MenuSession::LevelOf(HMENU menu) const {
    for (const auto& [handle, parent] : openMenus_) {
        if (handle == menu) {
            return parent;
        }
    }
    return -1;
}

}  // namespace controls
