// The image list and the notification-area icon, against the taskbar of the test prefix's
// virtual desktop: the shell's answers, the pixels it draws and the clicks it passes on.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "controls/ImageList.h"
#include "controls/ZTray.h"
#include "resources/resource.h"
#include "win32/Handles.h"

using controls::CopyToField;
using controls::ImageList;
using controls::ZTray;

namespace {

constexpr WORD kMissing = 9999;

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) {
        return 0;
    }
    win32::Bitmap mask(info.hbmMask);
    win32::Bitmap colour(info.hbmColor);
    BITMAP bits{};
    ::GetObjectA(colour.get(), sizeof(bits), &bits);
    return bits.bmWidth;
}

// Does the shell hold the icon of this window and id? Modify fails for an unknown icon.
bool ShellHasIcon(HWND hwnd) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = ZTray::kIconId;
    return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void RemoveBehindTheControlsBack(HWND hwnd) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = ZTray::kIconId;
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &data));
}

// Handles every message already waiting for this thread.
void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Pumps messages until `done` holds or about five seconds have passed; returns `done`.
template <class Condition>
bool PumpUntil(Condition done) {
    for (int i = 0; i < 250 && !done(); ++i) {
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return done();
}

// Wine's taskbar (the virtual desktop's "Shell_TrayWnd" along the bottom of the screen) draws
// the icons itself, in slots of the small icon size plus a 2-pixel border, from its right end
// leftwards in the order the icons were added.
constexpr int kSlotBorder = 2;

RECT SlotOnScreen(int slot) {
    RECT tray{};
    ::GetWindowRect(::FindWindowA("Shell_TrayWnd", nullptr), &tray);
    const int icon = ::GetSystemMetrics(SM_CXSMICON);
    const int width = icon + 2 * kSlotBorder;
    const int left = tray.right - width * (slot + 1) + kSlotBorder;
    const int top = tray.top + kSlotBorder;
    return {left, top, left + icon, top + icon};
}

struct Colours {
    int green = 0;  // the shield of image 3
    int red = 0;    // the slash of image 4
};

Colours ColoursOnScreen(const RECT& area) {
    Colours found;
    const win32::WindowDc screen(nullptr);
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const COLORREF c = ::GetPixel(screen.get(), x, y);
            const int r = GetRValue(c);
            const int g = GetGValue(c);
            const int b = GetBValue(c);
            found.green += (c != CLR_INVALID && g > r + 40 && g > b + 40) ? 1 : 0;
            found.red += (c != CLR_INVALID && r > g + 80 && r > b + 80) ? 1 : 0;
        }
    }
    return found;
}

// Posts a click at the middle of a slot to the taskbar, in its client coordinates.
void ClickSlot(int slot, UINT down, UINT up) {
    HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
    const RECT area = SlotOnScreen(slot);
    POINT middle{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    ::ScreenToClient(tray, &middle);
    ::PostMessageA(tray, down, 0, MAKELPARAM(middle.x, middle.y));
    ::PostMessageA(tray, up, 0, MAKELPARAM(middle.x, middle.y));
}

// A tray image list like the main form's (3 blocking on, 4 blocking off), with image 2 missing.
std::vector<WORD> TrayImages() {
    return {IDI_PROGRAM, kMissing, IDI_TRAY_ON, IDI_TRAY_OFF};
}

class ZTrayTest : public ::testing::Test {
  protected:
    ZTrayTest() : images_(TrayImages()), tray_(images_, 3) {
        tray_.MouseEvent = [this](int16_t button) { events_.push_back(button); };
    }

    void PostIconMessage(UINT mouseMessage, UINT id = ZTray::kIconId) {
        ASSERT_TRUE(
            ::PostMessageA(tray_.CallbackWindow(), ZTray::kCallbackMessage, id, mouseMessage));
        Pump();
    }

    ImageList images_;
    ZTray tray_;
    std::vector<int16_t> events_;
};

}  // namespace

TEST(ImageList, LoadsEveryImageAtTheSizeAskedFor) {
    const ImageList list(TrayImages());
    ASSERT_EQ(list.Count(), 4);
    for (int size : {16, 20, 24, 32, 48}) {
        for (int number : {1, 3, 4}) {
            HICON icon = list.Icon(number, size);
            ASSERT_NE(icon, nullptr) << number << " at " << size;
            EXPECT_EQ(IconWidth(icon), size) << number << " at " << size;
            EXPECT_EQ(list.Icon(number, size), icon) << "loaded once";
        }
        EXPECT_NE(list.Icon(3, size), list.Icon(4, size));
    }
}

TEST(ImageList, NumbersOutsideTheListOrMissingResourcesGiveNull) {
    const ImageList list(TrayImages());
    EXPECT_EQ(list.Icon(0, 16), nullptr);
    EXPECT_EQ(list.Icon(-1, 16), nullptr);
    EXPECT_EQ(list.Icon(5, 16), nullptr);
    EXPECT_EQ(list.Icon(2, 16), nullptr);
    EXPECT_EQ(list.Icon(2, 16), nullptr);
    EXPECT_EQ(list.Icon(3, 0), nullptr);
    EXPECT_EQ(ImageList({}).Icon(1, 16), nullptr);
}

TEST(ImageList, LoadsFromTheModuleItIsGiven) {
    // The system library has none of the program's icon ids.
    const ImageList foreign({IDI_TRAY_ON}, ::GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(foreign.Icon(1, 16), nullptr);
    EXPECT_NE(ImageList({IDI_TRAY_ON}).Icon(1, 16), nullptr);
}

TEST(ImageList, HandleKeepsEveryImageInItsPlace) {
    const ImageList list(TrayImages());
    HIMAGELIST small = list.Handle(16);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(list.Handle(16), small) << "built once per size";
    EXPECT_EQ(::ImageList_GetImageCount(small), 4) << "the missing image keeps its place";
    int cx = 0;
    int cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(small, &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);

    HIMAGELIST large = list.Handle(24);
    ASSERT_NE(large, nullptr);
    EXPECT_NE(large, small);
    ASSERT_TRUE(::ImageList_GetIconSize(large, &cx, &cy));
    EXPECT_EQ(cx, 24);
    EXPECT_EQ(::ImageList_GetImageCount(large), 4);

    EXPECT_EQ(list.Handle(0), nullptr);
    HIMAGELIST empty = ImageList({}).Handle(16);
    EXPECT_NE(empty, nullptr);
}

TEST(CopyToField, FillsAtMostTheFieldLessItsTerminator) {
    char field[128 + 4];
    std::memset(field, '#', sizeof(field));
    CopyToField(std::string(300, 'x'), field, 128);
    EXPECT_EQ(std::string(field), std::string(127, 'x'));
    EXPECT_EQ(std::string(field + 128, 4), "####") << "nothing written past the field";

    CopyToField(std::string(127, 'y'), field, 128);
    EXPECT_EQ(std::string(field), std::string(127, 'y'));
    CopyToField("", field, 128);
    EXPECT_EQ(std::string(field), "");
    CopyToField("abc", field, 1);
    EXPECT_EQ(field[0], '\0');
    field[0] = '#';
    CopyToField("abc", field, 0);
    EXPECT_EQ(field[0], '#') << "a field without room is left alone";
}

TEST(CopyToField, NeverSplitsADoubleByteCharacter) {
    // Shift-JIS: 0x82 0xA0 is one character. At the end of a 128-byte field only its first
    // byte would fit, so it is left out whole.
    const std::string text = std::string(126, 'a') + "\x82\xa0" + "b";
    char field[128];
    CopyToField(text, field, sizeof(field), 932);
    EXPECT_EQ(std::string(field), std::string(126, 'a'));
    // In a single-byte code page the same bytes are two characters and the first one fits.
    CopyToField(text, field, sizeof(field), 1252);
    EXPECT_EQ(std::string(field), std::string(126, 'a') + "\x82");
    // A lead byte with nothing after it is copied as it is.
    CopyToField("ab\x82", field, sizeof(field), 932);
    EXPECT_EQ(std::string(field), "ab\x82");
}

TEST_F(ZTrayTest, ShowsTheIconOnlyWhileItIsWanted) {
    HWND window = tray_.CallbackWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(::GetAncestor(window, GA_PARENT), ::GetDesktopWindow()) << "a top-level window";
    EXPECT_TRUE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

    EXPECT_FALSE(tray_.IconVisible());
    EXPECT_FALSE(ShellHasIcon(window));
    tray_.SetToolTipText("IE Tamewin Enabled");
    EXPECT_FALSE(ShellHasIcon(window)) << "setting a property does not show the icon";

    tray_.SetIconVisible(true);
    EXPECT_TRUE(tray_.IconVisible());
    EXPECT_TRUE(ShellHasIcon(window));
    tray_.SetIconVisible(true);
    EXPECT_TRUE(ShellHasIcon(window));

    tray_.SetIconVisible(false);
    EXPECT_FALSE(tray_.IconVisible());
    EXPECT_FALSE(ShellHasIcon(window));
}

TEST_F(ZTrayTest, PropertiesKeepTheirValues) {
    EXPECT_EQ(tray_.ImageNumber(), 3);
    EXPECT_EQ(tray_.ToolTipText(), "");
    tray_.SetIconVisible(true);
    tray_.SetImageNumber(4);
    tray_.SetToolTipText("Ie Tamewin Disabled");
    EXPECT_EQ(tray_.ImageNumber(), 4);
    EXPECT_EQ(tray_.ToolTipText(), "Ie Tamewin Disabled");
    // An image the list does not have leaves the icon in place, blank.
    tray_.SetImageNumber(9);
    EXPECT_EQ(tray_.ImageNumber(), 9);
    EXPECT_TRUE(ShellHasIcon(tray_.CallbackWindow()));
}

TEST_F(ZTrayTest, LongToolTipsAreKeptWholeAndCutForTheShell) {
    tray_.SetIconVisible(true);
    const std::string longTip(300, 't');
    tray_.SetToolTipText(longTip);
    EXPECT_EQ(tray_.ToolTipText(), longTip);
    EXPECT_TRUE(ShellHasIcon(tray_.CallbackWindow()));
    tray_.SetToolTipText(std::string(127, 'u'));
    EXPECT_TRUE(ShellHasIcon(tray_.CallbackWindow()));
}

TEST_F(ZTrayTest, ButtonReleasesRaiseMouseEvent) {
    tray_.SetIconVisible(true);
    PostIconMessage(WM_RBUTTONUP);
    EXPECT_EQ(events_, std::vector<int16_t>{2});
    PostIconMessage(WM_LBUTTONUP);
    EXPECT_EQ(events_, (std::vector<int16_t>{2, 1}));
}

TEST_F(ZTrayTest, MovesPressesAndDoubleClicksRaiseNothing) {
    tray_.SetIconVisible(true);
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK,
                         WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_CONTEXTMENU}) {
        PostIconMessage(message);
    }
    PostIconMessage(WM_RBUTTONUP, ZTray::kIconId + 1);  // another icon's id
    EXPECT_TRUE(events_.empty());
}

TEST_F(ZTrayTest, TheShellShowsTheImageAndPassesClicksOn) {
    HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_TRUE(tray != nullptr && ::IsWindowVisible(tray))
        << "the test prefix's virtual desktop has no taskbar";
    tray_.SetIconVisible(true);

    // Image 3 (blocking on) is the green shield; find the slot that shows it.
    int slot = -1;
    ASSERT_TRUE(PumpUntil([&] {
        for (int candidate = 0; candidate < 8 && slot < 0; ++candidate) {
            slot = ColoursOnScreen(SlotOnScreen(candidate)).green > 10 ? candidate : -1;
        }
        return slot >= 0;
    })) << "no slot of the taskbar shows image 3";
    EXPECT_EQ(ColoursOnScreen(SlotOnScreen(slot)).red, 0);

    ClickSlot(slot, WM_RBUTTONDOWN, WM_RBUTTONUP);
    EXPECT_TRUE(PumpUntil([&] { return !events_.empty(); }));
    EXPECT_EQ(events_, std::vector<int16_t>{2});
    ClickSlot(slot, WM_LBUTTONDOWN, WM_LBUTTONUP);
    EXPECT_TRUE(PumpUntil([&] { return events_.size() == 2; }));
    EXPECT_EQ(events_, (std::vector<int16_t>{2, 1}));

    // Image 4 (blocking off): grey with a red slash, no green left.
    tray_.SetImageNumber(4);
    EXPECT_TRUE(PumpUntil([&] {
        const Colours now = ColoursOnScreen(SlotOnScreen(slot));
        return now.red > 5 && now.green == 0;
    })) << "image 4 is not shown";
}

TEST_F(ZTrayTest, TaskbarCreatedBringsAWantedIconBack) {
    const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    HWND window = tray_.CallbackWindow();
    tray_.SetToolTipText("IE Tamewin Enabled");
    tray_.SetIconVisible(true);
    ASSERT_TRUE(ShellHasIcon(window));

    // A new taskbar starts without the icon; the broadcast reaches the hidden window.
    RemoveBehindTheControlsBack(window);
    ASSERT_FALSE(ShellHasIcon(window));
    ASSERT_TRUE(::PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return ShellHasIcon(window); }));

    // On a DPI change the icon is still there and stays.
    ASSERT_TRUE(::PostMessageA(window, taskbarCreated, 0, 0));
    Pump();
    EXPECT_TRUE(ShellHasIcon(window));
}

TEST_F(ZTrayTest, TaskbarCreatedLeavesAnUnwantedIconAway) {
    const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    HWND window = tray_.CallbackWindow();
    tray_.SetIconVisible(true);
    tray_.SetIconVisible(false);
    ASSERT_TRUE(::PostMessageA(window, taskbarCreated, 0, 0));
    Pump();
    EXPECT_FALSE(ShellHasIcon(window));
}

TEST(ZTray, DestructionRemovesTheIcon) {
    const ImageList images(TrayImages());
    HWND window = nullptr;
    {
        ZTray tray(images, 3);
        tray.SetIconVisible(true);
        window = tray.CallbackWindow();
        ASSERT_TRUE(ShellHasIcon(window));
    }
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_FALSE(ShellHasIcon(window));
}
