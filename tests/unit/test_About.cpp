#include <gtest/gtest.h>

#include <windows.h>

#include <tuple>
#include <utility>

#include "TestWindows.h"
#include "ui/frmAbout.h"
#include "win32/Dpi.h"

// Runs the action once in ShowModal's loop; the next tick closes the window.
static void (*g_action)(HWND) = nullptr;
static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const HWND shown = ::FindWindowA("TamewinAbout", nullptr);
    if (const auto action = std::exchange(g_action, nullptr)) {
        return action(shown);
    }
    ::DestroyWindow(shown);
}

// The button and the link placed (whole twips per pixel) and lettered for `dpi`, inside.
static void ExpectLaidOutFor(HWND shown, int dpi) {
    const int t = 1440 / dpi;
    RECT client{}, place{}, inside{};
    ::GetClientRect(shown, &client);
    for (auto [control, p, size] :
         {std::tuple{::GetDlgItem(shown, IDOK), frmAbout::kCmdOK, frmAbout::kButtonFontSize},
          {::FindWindowExA(shown, nullptr, "SysLink", nullptr), frmAbout::kLinkPlace,
           frmAbout::kLinkFontSize}}) {
        const RECT want{p.left / t, p.top / t, p.left / t + p.width / t, p.top / t + p.height / t};
        ::GetWindowRect(control, &place);
        ::MapWindowPoints(nullptr, shown, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_TRUE(::EqualRect(&place, &want) && ::IntersectRect(&inside, &place, &client) &&
                    ::EqualRect(&inside, &place))
            << dpi;
        LOGFONTA font{};
        ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0)),
                     sizeof(font), &font);
        EXPECT_EQ(-font.lfHeight, ::MulDiv(size, dpi, 7200)) << dpi;
    }
}

TEST(AboutWindow, FollowsItsWindowOrMonitorDpi) {
    using Calls = win32::DpiCalls;
    static UINT monitorDpi = 0;
    static Calls::ForWindowFn forWindow = nullptr;
    const testing_windows::Seam monitor(Calls::ForMonitor, [](HMONITOR) { return monitorDpi; });
    const testing_windows::Seam window(Calls::FindForWindow, [] { return forWindow; });
    // From Windows 10 1607 on, the window's own DPI, not its monitor's; on Windows 8.1 to 10
    // 1511, with no window's DPI, its monitor's, which the display here lacks.
    for (const auto& [found, dpi] :
         {std::pair{&testing_windows::WindowAt144, 96u}, {nullptr, 144u}}) {
        forWindow = found, monitorDpi = dpi;
        frmAbout about;
        g_action = [](HWND shown) {
            ExpectLaidOutFor(shown, 144);
            // Moved to a monitor of the other DPI, and back: the rectangles the system suggests.
            RECT opened{}, frame{};
            ::GetWindowRect(shown, &opened);
            for (int to : {96, 144}) {
                RECT suggested{0, 0, (opened.right - opened.left) * to / 144,
                               (opened.bottom - opened.top) * to / 144};
                ::OffsetRect(&suggested, opened.left + 7, opened.top + 5);
                ::SendMessageA(shown, WM_DPICHANGED, MAKEWPARAM(to, to),
                               reinterpret_cast<LPARAM>(&suggested));
                EXPECT_TRUE(::GetWindowRect(shown, &frame) && ::EqualRect(&frame, &suggested));
                ExpectLaidOutFor(shown, to);
            }
        };
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &Tick);
        about.ShowModal(nullptr);
        ::KillTimer(nullptr, timer);
    }
}
