#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/PictureBox.h"
#include "controls/PopupMenu.h"
#include "diagnostics/RuntimeError.h"
#include "win32/Handles.h"

using controls::PopupMenu;

namespace {

constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU
constexpr int kBarWidth = 17;

// While a menu is open, a thread timer runs the steps in turn; a step returns true when done,
// so a step is also a condition to wait for. A menu that stalls, or stays open after the last
// step, is closed, so a failing test cannot hang.
using Step = std::function<bool()>;
struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    int idleTicks = 0;
    bool stalled = false;
};
Script* g_script = nullptr;

void CALLBACK RunScript(HWND, UINT, UINT_PTR, DWORD) {
    Script& script = *g_script;
    if (script.next < script.steps.size() && script.steps[script.next]()) {
        ++script.next;
        script.idleTicks = 0;
    } else if (++script.idleTicks > 500) {
        script.stalled = true;
        ::EndMenu();
    }
}

int32_t ShowWith(PopupMenu& menu, std::vector<Step> steps, POINT at = {200, 150}) {
    Script script{std::move(steps)};
    g_script = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &RunScript);
    const int32_t chosen = menu.ShowPopupMenu(at.x, at.y);
    ::KillTimer(nullptr, timer);
    g_script = nullptr;
    EXPECT_FALSE(script.stalled) << "the menu stayed open at step " << script.next << " of "
                                 << script.steps.size();
    EXPECT_EQ(script.next, script.steps.size()) << "the menu closed before its script ended";
    return chosen;
}

HMENU MenuOf(HWND window) {
    return reinterpret_cast<HMENU>(::SendMessageA(window, kGetMenuHandle, 0, 0));
}

// The open menu windows; the menu loop takes its keys from any of them.
std::vector<HWND> MenuWindows() {
    std::vector<HWND> open;
    for (HWND w = nullptr; (w = ::FindWindowExA(nullptr, w, "#32768", nullptr)) != nullptr;) {
        if (::IsWindowVisible(w)) {
            open.push_back(w);
        }
    }
    return open;
}

Step WaitForMenus(size_t count) {
    return [count] { return MenuWindows().size() == count; };
}

Step Do(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}

void PostKey(WPARAM key) {
    ::PostMessageA(MenuWindows().front(), WM_KEYDOWN, key, 0);
}
void PostChar(char c) {
    ::PostMessageA(MenuWindows().front(), WM_CHAR, static_cast<BYTE>(c), 0);
}

// An item's rectangle on the screen, or in the client area of `window` when given.
RECT ItemRect(HMENU menu, UINT position, HWND window = nullptr) {
    RECT rect{};
    EXPECT_TRUE(::GetMenuItemRect(nullptr, menu, position, &rect));
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// A hidden window of this thread to own the menus.
struct Owner {
    Owner()
        : window(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr)) {}
    win32::Window window;
};

int32_t RuntimeErrorOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const diagnostics::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// The program's tray menu, with the side bar's width added to the top-level items.
struct TrayMenu {
    TrayMenu() {
        menu.SetOwnerWindow(owner.window.get());
        auto top = [this](const char* caption, const char* key) {
            menu.SetItemOwnerDraw(menu.AddItem(caption, 0, 0, -1, false, key), true);
        };
        top("-Ie Tamewin", "");
        top("&On", "On");
        top("O&ff", "Off");
        top("&About", "About");
        top("On the We&b", "Web");
        menu.AddItem("Corvanta", -32768, 5, -1, false, "https://corvanta.example/");
        top("-", "");
        top("E&xit", "Exit");
        menu.SetItemChecked(2, true);
        menu.MeasureItem = [this](int32_t index, int32_t& width, int32_t&) {
            width += menu.ItemLevel(index) == 0 ? kBarWidth + 1 : 0;
        };
    }
    int32_t BarHeight() const {
        int32_t sum = 0;
        for (int32_t i = 1; i <= menu.ItemCount(); ++i) {
            sum += menu.ItemLevel(i) == 0 ? menu.ItemHeight(i) : 0;
        }
        return sum;
    }

    Owner owner;
    PopupMenu menu;
};

}  // namespace

TEST(PopupMenu, NumbersItemsFromOneAndRefusesUnknownItemsAndDeeperSubmenus) {
    PopupMenu menu;
    EXPECT_EQ(menu.AddItem("&On", 0, 0, -1, true, "On"), 1);
    EXPECT_EQ(menu.AddItem("On the We&b", 0, 0, 38, false, "Web"), 2);
    EXPECT_EQ(menu.AddItem("Corvanta", -32768, 2, 38, false, "https://x.example/"), 3);
    EXPECT_EQ(menu.AddItem("-", 7, 0, -1, false, ""), 4);
    EXPECT_EQ(menu.AddItem("-Title", 0, 0, -1, false, ""), 5);
    EXPECT_EQ(menu.ItemCount(), 5);
    EXPECT_EQ(menu.ItemKey(1), "On");
    EXPECT_EQ(menu.ItemData(3), -32768);
    EXPECT_EQ(menu.ItemKey(3), "https://x.example/");
    EXPECT_EQ(menu.ItemData(4), 7);
    EXPECT_EQ(menu.ItemLevel(4), 0);
    EXPECT_EQ(menu.ItemLevel(3), 2);
    menu.SetItemChecked(1, false);
    menu.SetItemChecked(2, true);
    EXPECT_FALSE(menu.ItemChecked(1));
    EXPECT_TRUE(menu.ItemChecked(2));

    for (int32_t index : {0, 6, -1}) {
        EXPECT_EQ(RuntimeErrorOf([&] { menu.ItemKey(index); }), 9) << index;
        EXPECT_EQ(RuntimeErrorOf([&] { menu.SetItemChecked(index, true); }), 9) << index;
        EXPECT_EQ(RuntimeErrorOf([&] { menu.ItemHeight(index); }), 9) << index;
    }
    auto addUnder = [&](int32_t parent) {
        return RuntimeErrorOf([&] { menu.AddItem("x", 0, parent, -1, false, "x"); });
    };
    EXPECT_EQ(addUnder(3), 5) << "one submenu level only";
    EXPECT_EQ(addUnder(4), 5) << "a separator opens no submenu";
    EXPECT_EQ(addUnder(5), 5) << "a title line opens no submenu";
    EXPECT_EQ(addUnder(9), 9);
    EXPECT_EQ(menu.ItemCount(), 5);
}

TEST(PopupMenu, MeasuresMarkedItemsThroughTheEventAndOutlivesAFailingHandler) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("&Go", 0, 0, -1, false, "");
    menu.AddItem("&Run", 0, 0, -1, false, "");
    menu.SetItemOwnerDraw(2, true);
    std::vector<int32_t> raised;
    int32_t given = 0;
    menu.MeasureItem = [&](int32_t index, int32_t&, int32_t& height) {
        raised.push_back(index);
        given = height;
        height += 5;
    };
    const int32_t plain = menu.ItemHeight(1);
    EXPECT_GT(plain, 0);
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(menu.ItemHeight(2), plain + 5);
    EXPECT_EQ(raised, std::vector<int32_t>{2});
    EXPECT_EQ(given, plain);

    // The caller of ItemHeight sees the failure; the open menu gets the component's own size.
    menu.MeasureItem = [](int32_t, int32_t&, int32_t&) { throw std::runtime_error("handler"); };
    EXPECT_THROW(menu.ItemHeight(2), std::runtime_error);
    LONG shown = 0;
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([&] {
                                  const RECT rect = ItemRect(MenuOf(MenuWindows()[0]), 1);
                                  shown = rect.bottom - rect.top;
                                  PostChar('r');
                              })}),
              2);
    EXPECT_EQ(shown, plain);
}

TEST(PopupMenu, ChoosesByKeyboardThroughTheOwnerDrawnItemsButNeverTheTitleLine) {
    TrayMenu tray;
    auto press = [&](std::vector<Step> steps) {
        steps.insert(steps.begin(), WaitForMenus(1));
        return ShowWith(tray.menu, std::move(steps));
    };
    EXPECT_EQ(press({Do([] { PostChar('f'); })}), 3);
    EXPECT_EQ(press({Do([] { PostChar('X'); })}), 8) << "either case";
    EXPECT_EQ(press({Do([] { PostChar('b'); }), WaitForMenus(2), Do([] { PostChar('\r'); })}), 6)
        << "an item of the submenu";
    EXPECT_EQ(press({Do([] {
                  PostKey(VK_DOWN);
                  PostChar('\r');
              })}),
              2)
        << "the title line is passed over";
    EXPECT_EQ(press({Do([] {
                  PostChar('i');
                  PostKey(VK_ESCAPE);
              })}),
              0);
    EXPECT_TRUE(MenuWindows().empty());
}

TEST(PopupMenu, ShowsNothingWithoutOwnerOrItemsOrWhileOpen) {
    PopupMenu menu;
    menu.AddItem("&On", 0, 0, -1, false, "On");
    EXPECT_EQ(menu.ShowPopupMenu(100, 100), 0);
    Owner owner;
    PopupMenu empty;
    empty.SetOwnerWindow(owner.window.get());
    EXPECT_EQ(empty.ShowPopupMenu(100, 100), 0);
    menu.SetOwnerWindow(owner.window.get());
    int32_t nested = -1;
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([&] {
                                  nested = menu.ShowPopupMenu(100, 100);
                                  PostChar('o');
                              })}),
              1)
        << "the open menu still answers";
    EXPECT_EQ(nested, 0);
}

TEST(PopupMenu, OpensUpwardFromTheLowerHalfOfTheMonitor) {
    TrayMenu tray;
    auto windowRect = [&](POINT at) {
        RECT rect{};
        ShowWith(tray.menu, {WaitForMenus(1), Do([&] {
                                 ::GetWindowRect(MenuWindows()[0], &rect);
                                 PostKey(VK_ESCAPE);
                             })},
                 at);
        return rect;
    };
    const RECT low = windowRect({300, 600});
    EXPECT_LE(low.bottom, 600);
    EXPECT_GT(low.bottom, 550);
    EXPECT_EQ(windowRect({300, 100}).top, 100);
}

TEST(PopupMenu, ItemHeightsAddUpToTheOpenMenuAndTheBarSlicesJoinWithoutGaps) {
    TrayMenu tray;
    const int32_t sum = tray.BarHeight();
    ASSERT_LT(sum, 256);
    // A bar whose row y has green y, copied slice by slice as the program's tray menu does it.
    controls::PictureBox bar(controls::TwipsPerPixel{15, 15});
    bar.SetWidthTwips(kBarWidth * 15);
    bar.SetHeightTwips(sum * 15);
    for (int y = 0; y < sum; ++y) {
        win32::Brush brush(::CreateSolidBrush(RGB(0, y, 200)));
        RECT row{0, y, kBarWidth, y + 1};
        ::FillRect(bar.hDC(), &row, brush.get());
    }
    std::map<int32_t, RECT> slices;  // the last drawn of each item
    tray.menu.DrawItem = [&](HDC dc, int32_t index, int32_t& left, int32_t& top, int32_t& right,
                             int32_t& bottom, bool, bool, bool, bool&) {
        slices[index] = RECT{left, top, right, bottom};
        ::BitBlt(dc, left, top, kBarWidth, bottom - top, bar.hDC(), 0, top, SRCCOPY);
        left += kBarWidth + 1;
    };
    std::vector<RECT> items;  // relative to the menu's first item
    std::vector<COLORREF> column;
    ShowWith(tray.menu,
             {[&] { return slices.size() == 7; }, Do([&] {
                  const HWND window = MenuWindows()[0];
                  const HMENU menu = MenuOf(window);
                  const RECT first = ItemRect(menu, 0, window);
                  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
                      items.push_back(ItemRect(menu, static_cast<UINT>(i), window));
                      ::OffsetRect(&items.back(), -first.left, -first.top);
                  }
                  win32::WindowDc dc(window);
                  for (int y = 0; y < sum; ++y) {
                      column.push_back(::GetPixel(dc.get(), first.left + 3, first.top + y));
                  }
                  PostKey(VK_ESCAPE);
              })});
    const int32_t topLevel[] = {1, 2, 3, 4, 5, 7, 8};
    ASSERT_EQ(items.size(), std::size(topLevel));
    for (size_t i = 0; i < items.size(); ++i) {
        const RECT& item = items[i];
        EXPECT_EQ(item.bottom - item.top, tray.menu.ItemHeight(topLevel[i])) << i;
        EXPECT_EQ(item.top, i == 0 ? 0 : items[i - 1].bottom) << i;
        const RECT& slice = slices[topLevel[i]];
        EXPECT_EQ(slice.left, 0);
        EXPECT_EQ(slice.top, item.top) << i;
        EXPECT_EQ(slice.bottom, item.bottom) << i;
    }
    EXPECT_EQ(items.back().bottom, sum);
    ASSERT_EQ(column.size(), static_cast<size_t>(sum));
    for (int y = 0; y < sum; ++y) {
        EXPECT_EQ(column[static_cast<size_t>(y)], RGB(0, y, 200)) << "row " << y;
    }
}

TEST(PopupMenu, DrawsCheckMarksIconsAndTheHighlightFrameInPlace) {
    Owner owner;
    const std::vector<DWORD> green(16 * 16, 0x0000FF00);  // bitmap pixels are 0x00RRGGBB
    win32::Bitmap image(::CreateBitmap(16, 16, 1, 32, green.data()));
    win32::ImageList images(::ImageList_Create(16, 16, ILC_COLOR24, 1, 0));
    ASSERT_GE(::ImageList_Add(images.get(), image.get(), nullptr), 0);
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.SetImageSource(images.get());
    menu.AddItem("&Checked", 0, 0, -1, true, "");
    menu.AddItem("&Plain", 0, 0, -1, false, "");
    menu.AddItem("&Icon", 0, 0, 1, false, "");
    // Marked only to learn when each item was last drawn, and whether as the highlighted one.
    std::map<int32_t, bool> lastDrawn;
    for (int32_t i = 1; i <= 3; ++i) {
        menu.SetItemOwnerDraw(i, true);
    }
    menu.DrawItem = [&](HDC, int32_t index, int32_t&, int32_t&, int32_t&, int32_t&, bool selected,
                        bool, bool, bool&) { lastDrawn[index] = selected; };
    // Colours of the 16 x 16 cell at each item's left, 3 pixels in and centred.
    std::vector<std::set<COLORREF>> cells;
    COLORREF edge = 0;
    COLORREF inside = 0;
    ShowWith(menu, {[&] { return lastDrawn.size() == 3; }, Do([&] {
                        const HWND window = MenuWindows()[0];
                        win32::WindowDc dc(window);
                        for (UINT i = 0; i < 3; ++i) {
                            const RECT rect = ItemRect(MenuOf(window), i, window);
                            const int top = rect.top + (rect.bottom - rect.top - 16) / 2;
                            std::set<COLORREF> colours;
                            for (int y = top; y < top + 16; ++y) {
                                for (int x = rect.left + 3; x < rect.left + 19; ++x) {
                                    colours.insert(::GetPixel(dc.get(), x, y));
                                }
                            }
                            cells.push_back(colours);
                        }
                        PostKey(VK_DOWN);
                    }),
                    [&] { return lastDrawn[1]; }, Do([&] {
                        const HWND window = MenuWindows()[0];
                        const RECT first = ItemRect(MenuOf(window), 0, window);
                        const int middle = (first.top + first.bottom) / 2;
                        win32::WindowDc dc(window);
                        edge = ::GetPixel(dc.get(), first.left, middle);
                        inside = ::GetPixel(dc.get(), first.right - 4, middle);
                        PostKey(VK_ESCAPE);
                    })});
    ASSERT_EQ(cells.size(), 3u);
    const COLORREF text = ::GetSysColor(COLOR_MENUTEXT);
    const COLORREF back = ::GetSysColor(COLOR_MENU);
    EXPECT_EQ(cells[0].count(text), 1u) << "the check mark is drawn in the text colour";
    EXPECT_EQ(cells[1], std::set<COLORREF>{back}) << "no mark on an unchecked item";
    EXPECT_EQ(cells[2], std::set<COLORREF>{RGB(0, 255, 0)}) << "the icon fills its cell";
    EXPECT_EQ(edge, ::GetSysColor(COLOR_HIGHLIGHT)) << "the highlighted item is framed";
    EXPECT_EQ(inside, back) << "and keeps the menu's colour inside";
}
