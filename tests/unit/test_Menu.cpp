#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
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

// While a menu is open, a thread timer runs the steps in turn; a step returns true when done.
// A script that stalls closes the menu, so a failing test cannot hang.
struct Script {
    std::vector<std::function<bool()>> steps;
    size_t next = 0;
    int idleTicks = 0;
    bool stalled = false;
};
Script* g_script = nullptr;

void CALLBACK RunScript(HWND, UINT, UINT_PTR, DWORD) {
    Script& script = *g_script;
    if (script.next >= script.steps.size()) {
        return;
    }
    if (script.steps[script.next]()) {
        ++script.next;
        script.idleTicks = 0;
    } else if (++script.idleTicks > 500) {
        script.stalled = true;
        script.next = script.steps.size();
        ::EndMenu();
    }
}

int32_t ShowWith(PopupMenu& menu, std::vector<std::function<bool()>> steps, POINT at = {200, 150},
                 int32_t flags = 0, bool returnIndex = true) {
    Script script{std::move(steps)};
    g_script = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &RunScript);
    const int32_t chosen = menu.ShowPopupMenu(at.x, at.y, flags, returnIndex);
    ::KillTimer(nullptr, timer);
    g_script = nullptr;
    EXPECT_FALSE(script.stalled) << "the menu script stalled at step " << script.next;
    EXPECT_EQ(script.next, script.steps.size()) << "the menu closed before its script ended";
    return chosen;
}

BOOL CALLBACK CollectMenuWindow(HWND hwnd, LPARAM list) {
    char name[16] = {};
    ::GetClassNameA(hwnd, name, sizeof(name));
    if (std::string(name) == "#32768" && ::IsWindowVisible(hwnd)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    }
    return TRUE;
}

HMENU MenuOf(HWND window) {
    return reinterpret_cast<HMENU>(::SendMessageA(window, kGetMenuHandle, 0, 0));
}

// The open menu windows of this thread: the top menu first, then its open submenu.
std::vector<HWND> MenuWindows() {
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectMenuWindow,
                        reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> ordered;
    for (HWND hwnd : windows) {
        // A submenu's handle is an item of another open menu.
        bool isSubmenu = false;
        for (HWND other : windows) {
            const HMENU parent = MenuOf(other);
            for (int i = 0; i < ::GetMenuItemCount(parent); ++i) {
                isSubmenu = isSubmenu || ::GetSubMenu(parent, i) == MenuOf(hwnd);
            }
        }
        ordered.insert(isSubmenu ? ordered.end() : ordered.begin(), hwnd);
    }
    return ordered;
}

// Waits until `count` menu windows are open.
std::function<bool()> WaitForMenus(size_t count) {
    return [count] { return MenuWindows().size() == count; };
}

std::function<bool()> Do(std::function<void()> action) {
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

RECT ItemRect(HMENU menu, UINT position) {
    RECT rect{};
    EXPECT_TRUE(::GetMenuItemRect(nullptr, menu, position, &rect));
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
    explicit TrayMenu(bool withBar) {
        menu.SetOwnerWindow(owner.window.get());
        menu.SetMenuStyle(1);
        auto top = [this](const char* caption, const char* key) {
            menu.SetItemOwnerDraw(menu.AddItem(caption, "", 0, 0, -1, false, true, key), true);
        };
        top("-Ie Tamewin", "");
        top("&On", "On");
        top("O&ff", "Off");
        top("&About", "About");
        top("On the We&b", "Web");
        menu.AddItem("Corvanta", "", -32768, 5, -1, false, true, "https://corvanta.example/");
        top("-", "");
        top("E&xit", "Exit");
        menu.SetItemChecked(2, true);
        if (withBar) {
            menu.MeasureItem = [this](int32_t index, int32_t& width, int32_t&) {
                measured.insert(index);
                if (menu.ItemLevel(1) == menu.ItemLevel(index)) {
                    width += kBarWidth + 1;
                }
            };
        }
    }
    int32_t BarHeight() const {
        int32_t sum = 0;
        for (int32_t i = 1; i <= menu.ItemCount(); ++i) {
            if (menu.ItemLevel(i) == menu.ItemLevel(1)) {
                sum += menu.ItemHeight(i);
            }
        }
        return sum;
    }

    Owner owner;
    PopupMenu menu;
    std::set<int32_t> measured;
};

// Widths of the open tray menu's first item and of its submenu's item.
std::pair<LONG, LONG> TrayWidths(TrayMenu& tray) {
    std::pair<LONG, LONG> widths{};
    ShowWith(tray.menu, {WaitForMenus(1), Do([] { PostChar('b'); }), WaitForMenus(2), Do([&] {
                             const std::vector<HWND> open = MenuWindows();
                             const RECT top = ItemRect(MenuOf(open[0]), 1);
                             const RECT sub = ItemRect(MenuOf(open[1]), 0);
                             widths = {top.right - top.left, sub.right - sub.left};
                             PostKey(VK_ESCAPE);
                             PostKey(VK_ESCAPE);
                         })});
    return widths;
}

}  // namespace

TEST(PopupMenu, NumbersItemsFromOneAndKeepsWhatTheyCarry) {
    PopupMenu menu;
    EXPECT_EQ(menu.ItemCount(), 0);
    EXPECT_EQ(menu.AddItem("&On", "switch on", 0, 0, -1, true, true, "On"), 1);
    EXPECT_EQ(menu.AddItem("On the We&b", "", 0, 0, 38, false, true, "Web"), 2);
    EXPECT_EQ(menu.AddItem("Corvanta", "", -32768, 2, 38, false, false, "https://x.example/"), 3);
    EXPECT_EQ(menu.AddItem("-", "", 7, 0, -1, false, true, ""), 4);
    EXPECT_EQ(menu.ItemCount(), 4);
    EXPECT_EQ(menu.ItemKey(1), "On");
    EXPECT_EQ(menu.ItemHelpText(1), "switch on");
    EXPECT_EQ(menu.ItemData(3), -32768);
    EXPECT_EQ(menu.ItemKey(3), "https://x.example/");
    EXPECT_EQ(menu.ItemData(4), 7);
    EXPECT_EQ(menu.ItemLevel(1), menu.ItemLevel(2));
    EXPECT_EQ(menu.ItemLevel(1), menu.ItemLevel(4));
    EXPECT_NE(menu.ItemLevel(3), menu.ItemLevel(1));
    EXPECT_TRUE(menu.ItemChecked(1));
    menu.SetItemChecked(1, false);
    menu.SetItemChecked(2, true);
    EXPECT_FALSE(menu.ItemChecked(1));
    EXPECT_TRUE(menu.ItemChecked(2));
    menu.SetMenuStyle(1);
    EXPECT_EQ(menu.MenuStyle(), 1);
}

TEST(PopupMenu, RefusesUnknownItemsAndDeeperSubmenus) {
    PopupMenu menu;
    menu.AddItem("&On", "", 0, 0, -1, false, true, "On");
    menu.AddItem("Sub", "", 0, 1, -1, false, true, "Sub");
    menu.AddItem("-", "", 0, 0, -1, false, true, "");
    menu.AddItem("-Title", "", 0, 0, -1, false, true, "");
    for (int32_t index : {0, 5, -1}) {
        EXPECT_EQ(RuntimeErrorOf([&] { menu.ItemKey(index); }), 9) << index;
        EXPECT_EQ(RuntimeErrorOf([&] { menu.SetItemChecked(index, true); }), 9) << index;
        EXPECT_EQ(RuntimeErrorOf([&] { menu.ItemHeight(index); }), 9) << index;
    }
    auto addUnder = [&](int32_t parent) {
        return RuntimeErrorOf([&] { menu.AddItem("x", "", 0, parent, -1, false, true, "x"); });
    };
    EXPECT_EQ(addUnder(2), 5) << "one submenu level only";
    EXPECT_EQ(addUnder(3), 5) << "a separator opens no submenu";
    EXPECT_EQ(addUnder(4), 5) << "a title line opens no submenu";
    EXPECT_EQ(addUnder(9), 9);
    EXPECT_EQ(menu.ItemCount(), 4);
}

TEST(PopupMenu, MeasuresOnlyMarkedItemsThroughTheEvent) {
    PopupMenu menu;
    menu.AddItem("&About", "", 0, 0, -1, false, true, "About");
    menu.AddItem("&About", "", 0, 0, -1, false, true, "About");
    menu.AddItem("-", "", 0, 0, -1, false, true, "");
    menu.AddItem("-Title", "", 0, 0, -1, false, true, "");
    menu.SetItemOwnerDraw(2, true);
    std::vector<int32_t> raised;
    int32_t ownHeight = 0;
    menu.MeasureItem = [&](int32_t index, int32_t&, int32_t& height) {
        raised.push_back(index);
        ownHeight = height;
        height += 5;
    };
    const int32_t plain = menu.ItemHeight(1);
    EXPECT_TRUE(raised.empty());
    EXPECT_EQ(menu.ItemHeight(2), plain + 5);
    EXPECT_EQ(raised, std::vector<int32_t>{2});
    EXPECT_EQ(ownHeight, plain);
    EXPECT_GT(plain, 0);
    EXPECT_LT(menu.ItemHeight(3), plain) << "a separator is a thin line";
    EXPECT_EQ(menu.ItemHeight(4), plain) << "a title line is as high as an item";
}

TEST(PopupMenu, AFailingMeasureHandlerReachesTheCallerButNotTheOpenMenu) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("&Go", "", 0, 0, -1, false, true, "Go");
    const int32_t ownHeight = menu.ItemHeight(1);
    menu.SetItemOwnerDraw(1, true);
    menu.MeasureItem = [](int32_t, int32_t&, int32_t&) { throw std::runtime_error("handler"); };
    EXPECT_THROW(menu.ItemHeight(1), std::runtime_error);
    LONG shownHeight = 0;
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([&] {
                                  const RECT rect = ItemRect(MenuOf(MenuWindows()[0]), 0);
                                  shownHeight = rect.bottom - rect.top;
                                  PostChar('g');
                              })}),
              1);
    EXPECT_EQ(shownHeight, ownHeight);
}

TEST(PopupMenu, ReturnsTheItemChosenByItsAccelerator) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("&On", "", 0, 0, -1, false, true, "On");
    menu.AddItem("O&ff", "", 0, 0, -1, false, true, "Off");
    menu.AddItem("&About", "", 0, 0, -1, false, true, "About");
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([] { PostChar('f'); })}), 2);
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([] { PostChar('A'); })}), 3);
    EXPECT_EQ(menu.OwnerWindow(), owner.window.get());
}

TEST(PopupMenu, ReturnsNothingOnEscape) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("&On", "", 0, 0, -1, false, true, "On");
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([] { PostKey(VK_ESCAPE); })}), 0);
    EXPECT_TRUE(MenuWindows().empty());
}

TEST(PopupMenu, KeyboardSkipsTitleLinesAndNeverChoosesDisabledItems) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("-Ie Tamewin", "", 0, 0, -1, false, true, "");
    menu.AddItem("&First", "", 0, 0, -1, false, true, "First");
    menu.AddItem("&Dead", "", 0, 0, -1, false, false, "Dead");
    menu.AddItem("&Last", "", 0, 0, -1, false, true, "Last");
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([] {
                                  PostKey(VK_DOWN);
                                  PostChar('\r');
                              })}),
              2);
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([] { PostChar('d'); }), WaitForMenus(1),
                              Do([] { PostKey(VK_ESCAPE); })}),
              0);
    // Enter on the disabled item either closes the menu or is ignored; Escape ends it then.
    const int32_t onDisabled = ShowWith(menu, {WaitForMenus(1), Do([] {
                                                   PostKey(VK_DOWN);
                                                   PostKey(VK_DOWN);
                                                   PostChar('\r');
                                                   PostKey(VK_ESCAPE);
                                               })});
    EXPECT_NE(onDisabled, 3);
    EXPECT_NE(onDisabled, 1);
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([] {
                                  PostKey(VK_UP);
                                  PostChar('\r');
                              })}),
              4);
}

TEST(PopupMenu, AnswersAcceleratorsShownByTheOwnerDrawnItems) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("&Alpha", "", 0, 0, -1, false, true, "");
    menu.AddItem("&Able", "", 0, 0, -1, false, true, "");
    menu.AddItem("&Bravo", "", 0, 0, -1, false, true, "");
    menu.AddItem("Fish && &Chips", "", 0, 0, -1, false, true, "");
    menu.AddItem("&Dead", "", 0, 0, -1, false, false, "");
    std::vector<LRESULT> answers;
    auto ask = [&](char key) {
        const std::vector<HWND> open = MenuWindows();
        answers.push_back(::SendMessageA(owner.window.get(), WM_MENUCHAR, MAKEWPARAM(key, MF_POPUP),
                                         reinterpret_cast<LPARAM>(MenuOf(open[0]))));
    };
    ShowWith(menu, {WaitForMenus(1), Do([&] {
                        ask('b');
                        ask('c');
                        ask('&');
                        ask('d');
                        ask('z');
                        ask('a');
                        PostKey(VK_DOWN);  // highlights "&Alpha"
                    }),
                    Do([&] {
                        ask('A');
                        PostKey(VK_ESCAPE);
                    })});
    ASSERT_EQ(answers.size(), 7u);
    EXPECT_EQ(answers[0], MAKELRESULT(2, MNC_EXECUTE));
    EXPECT_EQ(answers[1], MAKELRESULT(3, MNC_EXECUTE));
    EXPECT_EQ(HIWORD(answers[2]), MNC_IGNORE) << "&& shows an ampersand";
    EXPECT_EQ(HIWORD(answers[3]), MNC_IGNORE) << "a disabled item cannot be chosen";
    EXPECT_EQ(HIWORD(answers[4]), MNC_IGNORE);
    EXPECT_EQ(answers[5], MAKELRESULT(0, MNC_SELECT)) << "a shared letter selects the first";
    EXPECT_EQ(answers[6], MAKELRESULT(1, MNC_SELECT)) << "then moves on to the next";
}

TEST(PopupMenu, ChoosesAnItemOfTheSubmenu) {
    TrayMenu tray(true);
    std::vector<int32_t> highlighted;
    tray.menu.ItemHighlight = [&](int32_t& item, bool& enabled, bool& separator) {
        EXPECT_TRUE(enabled);
        EXPECT_FALSE(separator);
        highlighted.push_back(item);
    };
    EXPECT_EQ(ShowWith(tray.menu, {WaitForMenus(1), Do([] { PostChar('b'); }), WaitForMenus(2),
                                   Do([] { PostChar('\r'); })}),
              6);
    EXPECT_EQ(highlighted, (std::vector<int32_t>{5, 6}));
}

TEST(PopupMenu, PostsTheChoiceWhenNotAskedToReturnIt) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("&On", "", 0, 0, -1, false, true, "On");
    menu.AddItem("O&ff", "", 0, 0, -1, false, true, "Off");
    EXPECT_EQ(ShowWith(menu, {WaitForMenus(1), Do([] { PostChar('f'); })}, {200, 150}, 0, false),
              0);
    MSG msg{};
    ASSERT_TRUE(::PeekMessageA(&msg, owner.window.get(), WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(LOWORD(msg.wParam), 2);
}

TEST(PopupMenu, ShowsNothingWithoutOwnerOrItems) {
    PopupMenu menu;
    menu.AddItem("&On", "", 0, 0, -1, false, true, "On");
    EXPECT_EQ(menu.ShowPopupMenu(100, 100, 0, true), 0);
    Owner owner;
    PopupMenu empty;
    empty.SetOwnerWindow(owner.window.get());
    EXPECT_EQ(empty.ShowPopupMenu(100, 100, 0, true), 0);
}

TEST(PopupMenu, OpensUpwardFromTheLowerHalfOfTheMonitor) {
    Owner owner;
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.AddItem("&On", "", 0, 0, -1, false, true, "On");
    menu.AddItem("O&ff", "", 0, 0, -1, false, true, "Off");
    auto windowRect = [&](POINT at, int32_t flags) {
        RECT rect{};
        ShowWith(menu, {WaitForMenus(1), Do([&] {
                            ::GetWindowRect(MenuWindows()[0], &rect);
                            PostKey(VK_ESCAPE);
                        })},
                 at, flags);
        return rect;
    };
    const RECT low = windowRect({300, 600}, 0);
    EXPECT_LE(low.bottom, 600);
    EXPECT_GT(low.bottom, 550);
    const RECT high = windowRect({300, 100}, 0);
    EXPECT_EQ(high.top, 100);
    const RECT asked = windowRect({500, 300}, TPM_RIGHTALIGN | TPM_BOTTOMALIGN);
    EXPECT_EQ(asked.right, 500);
    EXPECT_EQ(asked.bottom, 300);
}

TEST(PopupMenu, TopLevelItemsOfTheTrayMenuMakeRoomForTheBar) {
    TrayMenu plain(false);
    TrayMenu barred(true);
    const auto [plainTop, plainSub] = TrayWidths(plain);
    const auto [barredTop, barredSub] = TrayWidths(barred);
    EXPECT_GT(plainTop, 0);
    EXPECT_EQ(barredTop - plainTop, kBarWidth + 1);
    EXPECT_EQ(barredSub, plainSub) << "the submenu has no bar";
    EXPECT_EQ(barred.measured.count(6), 0u) << "the unmarked item raises no MeasureItem";
    EXPECT_EQ(barred.measured.count(1), 1u);
}

TEST(PopupMenu, ItemHeightsAddUpToTheOpenMenu) {
    TrayMenu tray(true);
    const int32_t sum = tray.BarHeight();
    std::vector<RECT> rects;
    ShowWith(tray.menu, {WaitForMenus(1), Do([&] {
                             const HMENU top = MenuOf(MenuWindows()[0]);
                             for (int i = 0; i < ::GetMenuItemCount(top); ++i) {
                                 rects.push_back(ItemRect(top, static_cast<UINT>(i)));
                             }
                             PostKey(VK_ESCAPE);
                         })});
    ASSERT_EQ(rects.size(), 7u);
    const int32_t topLevel[] = {1, 2, 3, 4, 5, 7, 8};
    for (size_t i = 0; i < rects.size(); ++i) {
        EXPECT_EQ(rects[i].bottom - rects[i].top, tray.menu.ItemHeight(topLevel[i])) << i;
        if (i > 0) {
            EXPECT_EQ(rects[i].top, rects[i - 1].bottom) << i;
        }
    }
    EXPECT_EQ(rects.back().bottom - rects.front().top, sum);
}

TEST(PopupMenu, BarSlicesJoinWithoutGapsInMenuOrder) {
    TrayMenu tray(true);
    const int32_t sum = tray.BarHeight();
    ASSERT_LT(sum, 256);
    // A bar whose row y has green y, copied slice by slice as the tray menu does it.
    controls::PictureBox bar(controls::TwipsPerPixel{15, 15});
    bar.SetWidthTwips(kBarWidth * 15);
    bar.SetHeightTwips(sum * 15);
    for (int y = 0; y < sum; ++y) {
        win32::Brush brush(::CreateSolidBrush(RGB(0, y, 200)));
        RECT row{0, y, kBarWidth, y + 1};
        ::FillRect(bar.hDC(), &row, brush.get());
    }
    struct Slice {
        int32_t index, left, top, bottom;
    };
    std::vector<Slice> slices;
    tray.menu.DrawItem = [&](HDC dc, int32_t index, int32_t& left, int32_t& top, int32_t&,
                             int32_t& bottom, bool, bool, bool, bool& doDefault) {
        slices.push_back({index, left, top, bottom});
        ::BitBlt(dc, left, top, kBarWidth, bottom - top, bar.hDC(), 0, top, SRCCOPY);
        left += kBarWidth + 1;
        doDefault = true;
    };
    std::vector<COLORREF> column;
    ShowWith(tray.menu, {WaitForMenus(1), Do([&] {
                             const HWND window = MenuWindows()[0];
                             const HMENU top = MenuOf(window);
                             POINT first{ItemRect(top, 0).left + 3, ItemRect(top, 0).top};
                             ::ScreenToClient(window, &first);
                             win32::WindowDc dc(window);
                             for (int y = 0; y < sum; ++y) {
                                 column.push_back(::GetPixel(dc.get(), first.x, first.y + y));
                             }
                             PostKey(VK_ESCAPE);
                         })});
    std::set<int32_t> drawn;
    int32_t expectedTop = 0;
    for (const Slice& slice : slices) {
        drawn.insert(slice.index);
        if (slice.index == 1) {
            expectedTop = 0;
        }
        EXPECT_EQ(slice.left, 0);
        EXPECT_EQ(slice.top, expectedTop) << "item " << slice.index;
        EXPECT_EQ(slice.bottom - slice.top, tray.menu.ItemHeight(slice.index));
        expectedTop = slice.bottom;
    }
    EXPECT_EQ(drawn, (std::set<int32_t>{1, 2, 3, 4, 5, 7, 8})) << "item 6 is not marked";
    ASSERT_EQ(column.size(), static_cast<size_t>(sum));
    for (int y = 0; y < sum; ++y) {
        EXPECT_EQ(column[static_cast<size_t>(y)], RGB(0, y, 200)) << "row " << y;
    }
}

TEST(PopupMenu, DrawsCheckMarksAndIconsInTheItemsOwnColumn) {
    Owner owner;
    win32::ImageList images(::ImageList_Create(16, 16, ILC_COLOR24, 1, 0));
    {
        win32::WindowDc screen(nullptr);
        win32::Bitmap image(::CreateCompatibleBitmap(screen.get(), 16, 16));
        win32::MemoryDc dc(::CreateCompatibleDC(screen.get()));
        {
            win32::SelectGuard select(dc.get(), image.get());
            win32::Brush brush(::CreateSolidBrush(RGB(0, 255, 0)));
            RECT all{0, 0, 16, 16};
            ::FillRect(dc.get(), &all, brush.get());
        }
        ASSERT_GE(::ImageList_Add(images.get(), image.get(), nullptr), 0);
    }
    PopupMenu menu;
    menu.SetOwnerWindow(owner.window.get());
    menu.SetImageSource(images.get());
    menu.AddItem("&Checked", "", 0, 0, -1, true, true, "");
    menu.AddItem("&Plain", "", 0, 0, -1, false, true, "");
    menu.AddItem("&Icon", "", 0, 0, 1, false, true, "");
    // Colours of the 16 x 16 cell at each item's left, 3 pixels in and centred.
    std::vector<std::set<COLORREF>> cells;
    ShowWith(menu, {WaitForMenus(1), Do([&] {
                        const HWND window = MenuWindows()[0];
                        win32::WindowDc dc(window);
                        for (UINT i = 0; i < 3; ++i) {
                            RECT rect = ItemRect(MenuOf(window), i);
                            ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
                            const int top = rect.top + (rect.bottom - rect.top - 16) / 2;
                            std::set<COLORREF> colours;
                            for (int y = top; y < top + 16; ++y) {
                                for (int x = rect.left + 3; x < rect.left + 19; ++x) {
                                    colours.insert(::GetPixel(dc.get(), x, y));
                                }
                            }
                            cells.push_back(colours);
                        }
                        PostKey(VK_ESCAPE);
                    })});
    ASSERT_EQ(cells.size(), 3u);
    const COLORREF text = ::GetSysColor(COLOR_MENUTEXT);
    const COLORREF back = ::GetSysColor(COLOR_MENU);
    EXPECT_EQ(cells[0].count(text), 1u) << "the check mark is drawn in the text colour";
    EXPECT_EQ(cells[1], std::set<COLORREF>{back}) << "no mark on an unchecked item";
    EXPECT_EQ(cells[2], std::set<COLORREF>{RGB(0, 255, 0)}) << "the icon fills its cell";
}

TEST(PopupMenu, ShowsTheHighlightAsTheStyleSays) {
    for (int32_t style : {0, 1}) {
        Owner owner;
        PopupMenu menu;
        menu.SetOwnerWindow(owner.window.get());
        menu.SetMenuStyle(style);
        menu.AddItem("&One", "", 0, 0, -1, false, true, "");
        menu.AddItem("&Two", "", 0, 0, -1, false, true, "");
        COLORREF edge = 0;
        COLORREF inside = 0;
        COLORREF other = 0;
        ShowWith(menu,
                 {WaitForMenus(1), Do([] { PostKey(VK_DOWN); }), Do([&] {
                      const HWND window = MenuWindows()[0];
                      win32::WindowDc dc(window);
                      RECT first = ItemRect(MenuOf(window), 0);
                      RECT second = ItemRect(MenuOf(window), 1);
                      ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&first), 2);
                      ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&second), 2);
                      const int middle = (first.top + first.bottom) / 2;
                      edge = ::GetPixel(dc.get(), first.left, middle);
                      inside = ::GetPixel(dc.get(), first.right - 4, middle);
                      other =
                          ::GetPixel(dc.get(), second.right - 4, (second.top + second.bottom) / 2);
                      PostKey(VK_ESCAPE);
                  })});
        const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
        EXPECT_EQ(edge, highlight) << "style " << style;
        EXPECT_EQ(inside, style == 0 ? highlight : ::GetSysColor(COLOR_MENU)) << "style " << style;
        EXPECT_EQ(other, ::GetSysColor(COLOR_MENU)) << "style " << style;
    }
}
