// The notification-area icon, against the test prefix's taskbar.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "TestWindows.h"
#include "controls/ImageList.h"
#include "controls/ZTray.h"
#include "resources/resource.h"
#include "win32/Dpi.h"

using controls::ZTray;
using testing_windows::PumpUntil;

namespace {

// The tray's images: 3 blocking on, 4 blocking off.
const controls::ImageList kImages({IDI_PROGRAM, IDI_PROGRAM, IDI_TRAY_ON, IDI_TRAY_OFF});

// Does the shell hold the icon of this window? Modify fails for an unknown icon.
bool ShellHasIcon(HWND hwnd, DWORD message = NIM_MODIFY) {
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = ZTray::kIconId;
    return ::Shell_NotifyIconA(message, &data) != FALSE;
}

}  // namespace

TEST(CopyToField, KeepsDoubleByteCharactersWhole) {
    // Shift-JIS: 0x82 0xA0 is one character, of which only the first byte would fit.
    const std::string text = std::string(126, 'a') + "\x82\xa0" + "b";
    std::string field(129, '#');
    controls::CopyToField(text, field.data(), 128, 932);
    EXPECT_EQ(std::string(field.c_str()), std::string(126, 'a'));
    // In a single-byte code page the same bytes are two characters and the first one fits.
    controls::CopyToField(text, field.data(), 128, 1252);
    EXPECT_EQ(std::string(field.c_str()), std::string(126, 'a') + "\x82");
    EXPECT_EQ(field[128], '#') << "nothing written past the field";
}

TEST(ZTray, ButtonReleasesAndTaskbarRestart) {
    std::optional<ZTray> tray(std::in_place, kImages, 3);
    ZTray unwanted(kImages, 4);
    const HWND wanted = tray->CallbackWindow();
    std::vector<int16_t> events;
    tray->MouseEvent = [&](int16_t button) { events.push_back(button); };
    tray->SetIconVisible(true);
    unwanted.SetIconVisible(true);
    unwanted.SetIconVisible(false);
    for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK,
                         WM_MBUTTONUP, WM_CONTEXTMENU, WM_RBUTTONUP, WM_LBUTTONUP}) {
        ::PostMessageA(wanted, ZTray::kCallbackMessage, ZTray::kIconId, message);
    }
    PumpUntil([&] { return events.size() >= 2; });
    EXPECT_EQ(events, (std::vector<int16_t>{2, 1}));
    // A new taskbar starts without icons; its broadcast reaches the hidden windows.
    ASSERT_TRUE(ShellHasIcon(wanted, NIM_DELETE));
    ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return ShellHasIcon(wanted); }));
    EXPECT_FALSE(ShellHasIcon(unwanted.CallbackWindow()));
    tray.reset();
    EXPECT_FALSE(ShellHasIcon(wanted));
}

namespace {
int g_refusals = 0;  // offers the shell still refuses
int g_offers = 0;
// Offers after the shell said it took one (one it took without saying so is offered again).
int g_offersAfterTaken = 0;
bool g_taken = false;
HICON g_icon = nullptr;  // the last one offered
BOOL WINAPI BusyShell(DWORD message, PNOTIFYICONDATAA data) {
    if (message != NIM_ADD && message != NIM_MODIFY) {
        return ::Shell_NotifyIconA(message, data);
    }
    g_icon = (data->uFlags & NIF_ICON) != 0 ? data->hIcon : g_icon;
    ++g_offers;
    g_offersAfterTaken += g_taken ? 1 : 0;
    if (g_refusals > 0) {
        --g_refusals;
        return FALSE;
    }
    g_taken = ::Shell_NotifyIconA(message, data) != FALSE;
    return g_taken;
}
}  // namespace

TEST(ZTray, RefusedIconOfferedAgainDrawnAgainAtANewDpi) {
    const testing_windows::Seam busy(ZTray::ShellNotifyIcon, &BusyShell);
    ZTray tray(kImages, 3);
    const HWND icon = tray.CallbackWindow();
    g_refusals = 4;  // modify and add, twice: a shell busy at log-on
    tray.SetIconVisible(true);
    EXPECT_FALSE(ShellHasIcon(icon));
    EXPECT_TRUE(PumpUntil([&] { return g_taken; }));
    testing_windows::Pump(ZTray::kRetryMs * 3 / 2);
    EXPECT_EQ(g_offersAfterTaken, 0) << "offered again once shown";
    EXPECT_TRUE(ShellHasIcon(icon));
    // Drawn again at the size of a new DPI, which the system tells in any of three messages.
    EXPECT_EQ(g_icon, kImages.Icon(3, 16));
    const testing_windows::Seam dpi(win32::DpiCalls::FindForWindow, [] {
        return win32::DpiCalls::ForWindowFn{&testing_windows::WindowAt144};
    });
    ::SendMessageA(icon, WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ(g_icon, kImages.Icon(3, 24));
    // Refused, then switched off before the shell took it.
    g_refusals = 1000;
    tray.SetToolTipText("tip");
    tray.SetIconVisible(false);
    const int offers = g_offers;
    testing_windows::Pump(ZTray::kRetryMs * 3 / 2);
    EXPECT_EQ(g_offers, offers) << "offered again once no longer wanted";
    g_refusals = 0;
}
