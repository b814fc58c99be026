#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <tuple>
#include <string>
#include <utility>

#include "TestWindows.h"
#include "controls/PictureBox.h"
#include "resources/resource.h"
#include "ui/frmAbout.h"
#include "win32/Handles.h"

// Runs the action once in ShowModal's loop; the next tick (no posted message waits) closes it.
static std::function<void(HWND)> g_action;
static bool g_leftOpen = false;
static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    const HWND shown = ::FindWindowA("TamewinAbout", nullptr);
    if (g_action) {
        return std::exchange(g_action, nullptr)(shown);
    }
    g_leftOpen = shown != nullptr && ::DestroyWindow(shown);
}

TEST(AboutWindow, ShowsCentredOnceAndCloses) {
    win32::Window owner(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          nullptr, nullptr));
    frmAbout about;  // the same object each time: it shows again after closing
    // A click on the link raises the event (what it throws is dropped) and the window stays.
    const controls::TwipsPerPixel scale = controls::ScreenTwipsPerPixel();
    const POINT link{(2520 + 2775 / 2) / scale.x, (1680 + 375 / 2) / scale.y}, off{4, 4};
    int clicks = 0;
    about.LinkClicked = [&] { throw std::runtime_error(std::to_string(++clicks)); };
    const std::function<void(HWND)> runs[] = {
        [&](HWND shown) {
            // The link pointer over the link only: the window moved to put a spot under it.
            POINT pointer{}, origin{};
            ::GetCursorPos(&pointer);
            for (const POINT spot : {link, off}) {
                ::MapWindowPoints(shown, nullptr, &(origin = spot), 1);
                RECT frame{};
                ::GetWindowRect(shown, &frame);
                ::SetWindowPos(shown, nullptr, frame.left + pointer.x - origin.x,
                               frame.top + pointer.y - origin.y, 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                ::SendMessageA(shown, WM_SETCURSOR, reinterpret_cast<WPARAM>(shown), HTCLIENT);
                EXPECT_EQ(::GetCursor() == ::LoadCursorA(::GetModuleHandleA(nullptr),
                                                         MAKEINTRESOURCEA(IDC_LINK)),
                          spot.x == link.x);
            }
            for (auto [down, up] : {std::pair{link, link}, {off, off}, {link, off}, {off, link}}) {
                ::PostMessageA(shown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
                ::PostMessageA(shown, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
            }
        },
        [](HWND shown) { ::SendDlgItemMessageA(shown, IDOK, BM_CLICK, 0, 0); },
        [](HWND) { ::PostMessageA(::GetFocus(), WM_KEYDOWN, VK_RETURN, 1); },
        [](HWND) { ::PostQuitMessage(7); }};  // last: the quit stays for the caller's loop
    for (const auto& run : runs) {
        g_action = [&](HWND shown) {
            about.ShowModal(nullptr);  // already showing: returns at once
            EXPECT_EQ(about.hwnd(), shown);
            RECT window{}, work{};
            ::GetWindowRect(shown, &window);
            ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
            EXPECT_LE(std::abs(window.left + window.right - work.left - work.right), 2);
            EXPECT_LE(std::abs(window.top + window.bottom - work.top - work.bottom), 2);
            run(shown);
        };
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &Tick);
        about.ShowModal(owner.get());
        ::KillTimer(nullptr, timer);
        EXPECT_EQ(std::exchange(g_leftOpen, false), &run == &runs[0]) << "only the link's run";
        EXPECT_TRUE(::IsWindowEnabled(owner.get()));
    }
    EXPECT_EQ(clicks, 1);
    MSG msg{};
    EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 7);
}

// The button and the link placed (whole twips per pixel) and lettered for `dpi`, inside.
static void ExpectLaidOutFor(HWND shown, int dpi) {
    const int t = 1440 / dpi;
    RECT client{}, place{}, inside{};
    ::GetClientRect(shown, &client);
    for (auto [control, l, top, w, h, size] :
         {std::tuple{::GetDlgItem(shown, IDOK), 4080, 2400, 1260, 465, 825},
          {::FindWindowExA(shown, nullptr, "SysLink", nullptr), 2520, 1680, 2775, 375, 975}}) {
        const RECT want{l / t, top / t, l / t + w / t, top / t + h / t};
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

TEST(AboutWindow, FollowsItsMonitorDpi) {
    const testing_windows::Seam dpi(frmAbout::WindowDpi, [](HWND) { return UINT{144}; });
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
