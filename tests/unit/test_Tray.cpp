// The image list and the notification-area icon, against the taskbar of the test prefix's
// virtual desktop.
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

// The tray's images (3 blocking on, 4 blocking off), with image 2 missing from the resources.
const std::vector<WORD> kTrayImages = {IDI_PROGRAM, 9999, IDI_TRAY_ON, IDI_TRAY_OFF};

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

NOTIFYICONDATAA IconOf(HWND hwnd) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = ZTray::kIconId;
    return data;
}

// Does the shell hold the icon of this window? Modify fails for an unknown icon.
bool ShellHasIcon(HWND hwnd) {
    NOTIFYICONDATAA data = IconOf(hwnd);
    return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// Pumps messages until `done` holds or about five seconds have passed; returns `done`.
template <class Condition>
bool PumpUntil(Condition done) {
    for (int i = 0; i < 250 && !done(); ++i) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return done();
}

}  // namespace

TEST(ImageList, LoadsEachImageAtTheAskedSizeAndNullOutsideTheList) {
    const ImageList list(kTrayImages);
    for (int size : {16, 24, 32}) {
        for (int number : {1, 3, 4}) {
            EXPECT_EQ(IconWidth(list.Icon(number, size)), size) << number << " at " << size;
        }
    }
    for (int number : {-1, 0, 2, 5}) {
        EXPECT_EQ(list.Icon(number, 16), nullptr) << number;
    }
    // The menu's list keeps the missing image's place, so the later indexes stay right.
    EXPECT_EQ(::ImageList_GetImageCount(list.Handle(16)), 4);
}

TEST(CopyToField, CutsForTheShellWithoutSplittingADoubleByteCharacter) {
    char field[128 + 4];
    std::memset(field, '#', sizeof(field));
    CopyToField(std::string(300, 'x'), field, 128);
    EXPECT_EQ(std::string(field), std::string(127, 'x'));
    EXPECT_EQ(std::string(field + 128, 4), "####") << "nothing written past the field";

    // Shift-JIS: 0x82 0xA0 is one character, of which only the first byte would fit.
    const std::string text = std::string(126, 'a') + "\x82\xa0" + "b";
    CopyToField(text, field, 128, 932);
    EXPECT_EQ(std::string(field), std::string(126, 'a'));
    // In a single-byte code page the same bytes are two characters and the first one fits.
    CopyToField(text, field, 128, 1252);
    EXPECT_EQ(std::string(field), std::string(126, 'a') + "\x82");
}

TEST(ZTray, ButtonReleasesRaiseMouseEventAndNothingElseDoes) {
    const ImageList images(kTrayImages);
    ZTray tray(images, 3);
    std::vector<int16_t> events;
    tray.MouseEvent = [&](int16_t button) { events.push_back(button); };
    tray.SetIconVisible(true);
    const auto post = [&](UINT mouseMessage, UINT id = ZTray::kIconId) {
        ::PostMessageA(tray.CallbackWindow(), ZTray::kCallbackMessage, id, mouseMessage);
    };
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK,
                         WM_RBUTTONDBLCLK, WM_MBUTTONUP, WM_CONTEXTMENU}) {
        post(message);
    }
    post(WM_RBUTTONUP, ZTray::kIconId + 1);  // another icon's
    post(WM_RBUTTONUP);
    post(WM_LBUTTONUP);
    PumpUntil([&] { return events.size() >= 2; });
    EXPECT_EQ(events, (std::vector<int16_t>{2, 1}));
}

TEST(ZTray, TaskbarCreatedBringsAWantedIconBackAndDestructionRemovesIt) {
    const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    const ImageList images(kTrayImages);
    HWND wanted = nullptr;
    {
        ZTray tray(images, 3);
        ZTray unwanted(images, 4);
        wanted = tray.CallbackWindow();
        tray.SetIconVisible(true);
        unwanted.SetIconVisible(true);
        unwanted.SetIconVisible(false);
        ASSERT_TRUE(ShellHasIcon(wanted));

        // A new taskbar starts without icons; its broadcast reaches the hidden windows.
        NOTIFYICONDATAA data = IconOf(wanted);
        ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &data));
        ASSERT_TRUE(::PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0));
        EXPECT_TRUE(PumpUntil([&] { return ShellHasIcon(wanted); }));
        EXPECT_FALSE(ShellHasIcon(unwanted.CallbackWindow()));
    }
    EXPECT_FALSE(ShellHasIcon(wanted));
}
