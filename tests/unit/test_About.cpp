#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "ui/frmAbout.h"
#include "version.h"
#include "win32/Handles.h"

namespace {

using Step = std::function<void(frmAbout&)>;

// Runs `steps` one per tick of a thread timer while ShowModal runs its loop. A timer message
// comes only when no posted message waits, so whatever a step posts has been handled before
// the next step runs. A step that calls RunAgainLater runs again on the next tick. A window
// still open after the last step is closed here and reported.
struct Script {
    frmAbout* about = nullptr;
    std::vector<Step> steps;
    size_t next = 0;
    bool leftOpen = false;
};
Script* g_script = nullptr;

void RunAgainLater() {
    --g_script->next;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    Script& script = *g_script;
    if (script.next < script.steps.size()) {
        script.steps[script.next++](*script.about);
        return;
    }
    ::KillTimer(nullptr, timer);
    if (script.about->hwnd() != nullptr) {
        script.leftOpen = true;
        script.about->Destroy();
    }
}

// Shows `about` modally and plays the steps; returns whether it had to be closed afterwards.
bool ShowAndRun(frmAbout& about, HWND owner, std::vector<Step> steps) {
    Script script{&about, std::move(steps)};
    g_script = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &Tick);
    about.ShowModal(owner);
    ::KillTimer(nullptr, timer);
    g_script = nullptr;
    return script.leftOpen;
}

// The middle of the link label, in client pixels (its place in the design is in twips).
POINT LinkPoint() {
    win32::WindowDc screen(nullptr);
    const int perX = 1440 / ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    const int perY = 1440 / ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    return POINT{(2520 + 2775 / 2) / perX, (1680 + 375 / 2) / perY};
}
constexpr POINT kOffLink{4, 4};

void PostKey(UINT key) {
    ::PostMessageA(::GetFocus(), WM_KEYDOWN, key, 1);
    ::PostMessageA(::GetFocus(), WM_KEYUP, key, 0xC0000001);
}

void PostClick(HWND hwnd, POINT down, POINT up) {
    ::PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
    ::PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
}

TEST(AboutWindow, ShowsCentredOnceAtATimeAndClosesWithTheButtonEnterEscOrQuit) {
    const std::string version = "Version " + std::to_string(TAMEWIN_VERSION_MAJOR) + "." +
                                std::to_string(TAMEWIN_VERSION_MINOR) + "." +
                                std::to_string(TAMEWIN_VERSION_REVISION);
    const auto shown = [&](frmAbout& a) {
        EXPECT_EQ(a.VersionText(), version);
        HWND first = a.hwnd();
        a.ShowModal(nullptr);  // already showing: returns at once
        EXPECT_EQ(a.hwnd(), first);
        // Centred on the work area of the monitor under the pointer.
        RECT window{};
        ::GetWindowRect(a.hwnd(), &window);
        POINT pointer{};
        ::GetCursorPos(&pointer);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        ::GetMonitorInfoA(::MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& work = monitor.rcWork;
        EXPECT_LE(std::abs(window.left + window.right - work.left - work.right), 2);
        EXPECT_LE(std::abs(window.top + window.bottom - work.top - work.bottom), 2);
    };
    const Step closers[] = {
        [](frmAbout& a) { ::SendMessageA(::GetDlgItem(a.hwnd(), IDOK), BM_CLICK, 0, 0); },
        [](frmAbout&) { PostKey(VK_RETURN); }, [](frmAbout&) { PostKey(VK_ESCAPE); },
        [](frmAbout&) { ::PostQuitMessage(7); }};
    win32::Window owner(::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                          20, 20, 200, 100, nullptr, nullptr, nullptr, nullptr));
    ::SetActiveWindow(owner.get());
    frmAbout about;  // the same object each time: it shows again after closing
    for (const Step& close : closers) {
        EXPECT_FALSE(ShowAndRun(about, owner.get(), {shown, close}));
        EXPECT_TRUE(::IsWindowEnabled(owner.get()));
        EXPECT_EQ(::GetActiveWindow(), owner.get());
    }
    MSG msg{};  // the quit is passed on to the caller's loop
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(AboutWindow, LinkClickRaisesTheEventAndLeavesTheWindowOpen) {
    frmAbout about;
    int clicks = 0;
    about.LinkClicked = [&] {
        ++clicks;
        throw std::runtime_error("the page did not open");  // dropped: the window stays
    };
    const POINT link = LinkPoint();
    EXPECT_TRUE(ShowAndRun(about, nullptr,
                           {[&](frmAbout& a) { PostClick(a.hwnd(), link, link); },
                            [&](frmAbout& a) {
                                EXPECT_EQ(clicks, 1);
                                // Not clicks: elsewhere, or pressed on the link and released off.
                                PostClick(a.hwnd(), kOffLink, kOffLink);
                                PostClick(a.hwnd(), link, kOffLink);
                                PostClick(a.hwnd(), kOffLink, link);
                            },
                            [&](frmAbout&) { EXPECT_EQ(clicks, 1); }}));
}

TEST(AboutWindow, PointerOverTheLinkIsTheLinkPointer) {
    const HCURSOR hand = ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK));
    const HCURSOR arrow = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    ASSERT_NE(hand, nullptr);
    int tries = 0;
    // Wine moves the X pointer later, and a late motion event may put it back: each tick puts
    // the pointer on the spot again and asks for the cursor, until it is the wanted one.
    const auto pointAt = [&tries](POINT spot, HCURSOR wanted) {
        return [&tries, spot, wanted](frmAbout& a) {
            POINT target = spot;
            ::ClientToScreen(a.hwnd(), &target);
            ::SetCursorPos(target.x, target.y);
            ::SendMessageA(a.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(a.hwnd()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            if (::GetCursor() != wanted && ++tries < 250) {
                RunAgainLater();
                return;
            }
            EXPECT_EQ(::GetCursor(), wanted) << "at " << spot.x << "," << spot.y;
            tries = 0;
        };
    };
    frmAbout about;
    ShowAndRun(about, nullptr, {pointAt(LinkPoint(), hand), pointAt(kOffLink, arrow)});
}

}  // namespace
