#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <functional>
#include <set>
#include <string>
#include <stdexcept>
#include <vector>

#include "TestWindows.h"
#include "controls/MenuPainter.h"
#include "controls/PopupMenu.h"
#include "win32/Handles.h"

namespace {

// The program's tray menu, On checked; the submenu's parent has an icon, a green square.
struct TrayMenu {
    TrayMenu() {
        menu.SetOwnerWindow(owner.get());
        const std::vector<DWORD> green(16 * 16, 0x0000FF00);  // 0x00RRGGBB
        win32::Bitmap image(::CreateBitmap(16, 16, 1, 32, green.data()));
        ::ImageList_Add(images.get(), image.get(), nullptr);
        menu.SetImageSource(images.get());
        for (const char* caption :
             {"-Ie Tamewin", "&On", "O&ff", "&About", "On the We&b", "-", "E&xit"}) {
            const int32_t icon = menu.ItemCount() == 4 ? 1 : -1;
            menu.SetItemOwnerDraw(menu.AddItem(caption, 0, 0, icon, caption[1] == 'O', ""), true);
            if (menu.ItemCount() == 5) {
                menu.AddItem("Corvanta", -32768, 5, -1, false, "https://corvanta.example.com/");
            }
        }
    }
    win32::Window owner{::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          nullptr, nullptr)};
    win32::ImageList images{::ImageList_Create(16, 16, ILC_COLOR24, 1, 0)};
    controls::PopupMenu menu;
};

// Runs the steps in turn while the menu is open, each until it returns true; ends a stalled menu.
std::vector<std::function<bool()>> g_steps;
size_t g_next = 0;
int g_ticks = 0;
void CALLBACK RunScript(HWND, UINT, UINT_PTR, DWORD) {
    static bool running = false;  // a step may open a nested menu loop, which ticks too
    if (!running && g_next < g_steps.size()) {
        running = true;
        g_next += g_steps[g_next]() ? 1 : 0;
        running = false;
    }
    if (++g_ticks > 1000) {
        g_next = g_steps.size() + 1;  // stalled, or still open after the last step
        ::EndMenu();
    }
}
HWND OpenMenu() {
    HWND w = nullptr;
    do {
        w = ::FindWindowExA(nullptr, w, "#32768", nullptr);
    } while (w != nullptr && !::IsWindowVisible(w));
    return w;
}

}  // namespace

TEST(PopupMenu, DrawsWhereItemsAre) {
    TrayMenu tray;
    // A one-column side bar, green y at row y; sizes are the handler's, where it fails its own.
    constexpr int kBar = 17;
    int32_t sum = tray.menu.ItemHeight(7);
    tray.menu.MeasureItem = [](int32_t index, int32_t& width, int32_t& height) {
        width += index == 7 ? throw std::runtime_error("handler") : kBar + 1;
        height += 1;
    };
    for (int32_t i : {1, 2, 3, 4, 5, 8}) {
        sum += tray.menu.ItemHeight(i);
    }
    std::set<int32_t> drawn;
    tray.menu.DrawItem = [&](HDC dc, int32_t index, int32_t& left, int32_t& top, int32_t&,
                             int32_t& bottom, bool, bool, bool, bool&) {
        drawn.insert(index);
        for (int y = top; y < bottom; ++y) {
            ::SetPixelV(dc, left, y, RGB(0, y, 200));
        }
        left += kBar + 1;
    };
    RECT window{};
    std::vector<RECT> items;                // in the menu window's client area
    std::vector<std::set<COLORREF>> cells;  // the icon cells of On (checked), Off, We&b
    constexpr int kCell = controls::MenuPainter::kIconSize, kPad = controls::MenuPainter::kIconPad;
    auto pixel = [](int x, int y) { return ::GetPixel(win32::WindowDc(OpenMenu()).get(), x, y); };
    const auto read = [&] {
        const HWND open = OpenMenu();
        ::GetWindowRect(open, &window);
        const auto menu = reinterpret_cast<HMENU>(::SendMessageA(open, MN_GETHMENU, 0, 0));
        items.resize(static_cast<size_t>(::GetMenuItemCount(menu)));
        for (UINT i = 0; i < items.size(); ++i) {
            ::GetMenuItemRect(nullptr, menu, i, &items[i]);
            ::MapWindowPoints(nullptr, open, reinterpret_cast<POINT*>(&items[i]), 2);
            // Screen readers read each owner-drawn item's name from its item data.
            static const wchar_t* const kNames[] = {L"Ie Tamewin", L"On", L"Off", L"About",
                                                    L"On the Web", L"",   L"Exit"};
            MENUITEMINFOA info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_DATA;
            ::GetMenuItemInfoA(menu, i, TRUE, &info);
            const auto* name = reinterpret_cast<const MSAAMENUINFO*>(info.dwItemData);
            EXPECT_EQ(name->dwMSAASignature, MSAA_MENU_SIG);
            EXPECT_EQ(std::wstring(name->pszWText, name->cchWText), kNames[i]);
        }
        for (int y = 0; y < sum; ++y) {
            EXPECT_EQ(pixel(items[0].left, items[0].top + y), RGB(0, y, 200)) << "row " << y;
        }
        for (const RECT& r : {items[1], items[2], items[4]}) {
            const int top = r.top + (r.bottom - r.top - kCell) / 2, left = r.left + kBar + 1 + kPad;
            cells.emplace_back();
            for (int y = top; y < top + kCell; ++y) {
                for (int x = left; x < left + kCell; ++x) {
                    cells.back().insert(pixel(x, y));
                }
            }
        }
        EXPECT_EQ(tray.menu.ShowPopupMenu(100, 100), 0) << "a menu is open already";
        return ::PostMessageA(open, WM_KEYDOWN, VK_DOWN, 0);
    };
    // Down past the title line to On, framed in the highlight colour; a key of no item is ignored.
    const auto framed = [&] {
        const RECT& on = items[1];
        return pixel(on.left + kBar + 1, (on.top + on.bottom) / 2) ==
               ::GetSysColor(COLOR_HIGHLIGHT);
    };
    const auto choose = [&] {
        ::PostMessageA(OpenMenu(), WM_CHAR, 'i', 0);
        return ::PostMessageA(OpenMenu(), WM_CHAR, '\r', 0);
    };
    g_next = g_ticks = 0;
    g_steps = {[&] { return drawn.size() == 7 && read(); }, [&] { return framed() && choose(); }};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &RunScript);
    EXPECT_EQ(tray.menu.ShowPopupMenu(200, 150), 2);
    ::KillTimer(nullptr, timer);
    ASSERT_EQ(g_next, g_steps.size()) << "the menu closed or stalled at this step";
    EXPECT_EQ(window.top, 150) << "from the upper half of the monitor the menu opens downward";
    EXPECT_EQ(items.back().bottom - items.front().top, sum);
    const COLORREF back = ::GetSysColor(COLOR_MENU);
    EXPECT_EQ(cells[0].count(::GetSysColor(COLOR_MENUTEXT)), 1u) << "the check mark";
    EXPECT_EQ(cells[1], std::set<COLORREF>{back}) << "no mark on an unchecked item";
    EXPECT_EQ(cells[2], std::set<COLORREF>{RGB(0, 255, 0)}) << "the icon fills its cell";
}
