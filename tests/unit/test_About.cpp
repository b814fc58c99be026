#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "ui/frmAbout.h"
#include "win32/Handles.h"

namespace {

// A module without the About window's pictures and pointer.
const HMODULE kNoPictures = ::GetModuleHandleA("ntdll.dll");

using Step = std::function<void(frmAbout&)>;

// Runs `steps` one per tick of a thread timer while ShowModal runs its loop. A timer message
// comes only when no posted message waits, so whatever a step posts (keys, clicks) has been
// handled before the next step runs. A step that calls RunAgainLater runs again on the next
// tick instead. A window still open after the last step is closed here and reported.
struct Script {
    frmAbout* about = nullptr;
    std::vector<Step> steps;
    size_t next = 0;
    bool again = false;
    bool leftOpen = false;
};
Script* g_script = nullptr;

void RunAgainLater() {
    g_script->again = true;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    Script& script = *g_script;
    if (script.next < script.steps.size()) {
        script.again = false;
        script.steps[script.next](*script.about);
        if (!script.again) {
            ++script.next;
        }
        return;
    }
    ::KillTimer(nullptr, timer);
    if (script.about->hwnd() != nullptr) {
        script.leftOpen = true;
        script.about->Destroy();
    }
}

// Shows `about` modally and plays the steps; returns how many of them ran.
size_t ShowAndRun(frmAbout& about, HWND owner, std::vector<Step> steps, bool* leftOpen = nullptr) {
    Script script{&about, std::move(steps)};
    g_script = &script;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &Tick);
    about.ShowModal(owner);
    ::KillTimer(nullptr, timer);
    g_script = nullptr;
    if (leftOpen != nullptr) {
        *leftOpen = script.leftOpen;
    }
    return script.next;
}

int TwipsPerPixelX() {
    win32::WindowDc screen(nullptr);
    return 1440 / ::GetDeviceCaps(screen.get(), LOGPIXELSX);
}

int TwipsPerPixelY() {
    win32::WindowDc screen(nullptr);
    return 1440 / ::GetDeviceCaps(screen.get(), LOGPIXELSY);
}

// A design rectangle (left, top, width, height in twips) in client pixels.
RECT Pixels(int left, int top, int width, int height) {
    const int x = left / TwipsPerPixelX();
    const int y = top / TwipsPerPixelY();
    return RECT{x, y, x + width / TwipsPerPixelX(), y + height / TwipsPerPixelY()};
}

LPARAM ClientPoint(const RECT& r) {
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

const RECT kLinkRect = Pixels(2520, 1680, 2775, 375);
const RECT kLabel1Rect = Pixels(2355, 120, 2745, 330);

HWND OkButton(const frmAbout& about) {
    return ::GetDlgItem(about.hwnd(), IDOK);
}

void PostKey(UINT key) {
    ::PostMessageA(::GetFocus(), WM_KEYDOWN, key, 1);
    ::PostMessageA(::GetFocus(), WM_KEYUP, key, 0xC0000001);
}

void PostClick(HWND hwnd, LPARAM down, LPARAM up) {
    ::PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, down);
    ::PostMessageA(hwnd, WM_LBUTTONUP, 0, up);
}

// A visible top-level window to own the About window.
class OwnerWindow {
  public:
    OwnerWindow()
        : window_(::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                                    200, 100, nullptr, nullptr, nullptr, nullptr)) {
        ::SetActiveWindow(window_.get());
    }
    HWND get() const { return window_.get(); }

  private:
    win32::Window window_;
};

// The client area as WM_PRINTCLIENT draws it, as 0x00RRGGBB pixels.
class ClientPicture {
  public:
    explicit ClientPicture(HWND hwnd) {
        RECT client{};
        ::GetClientRect(hwnd, &client);
        width_ = client.right;
        height_ = client.bottom;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        win32::Bitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        win32::MemoryDc dc(::CreateCompatibleDC(nullptr));
        {
            win32::SelectGuard select(dc.get(), dib.get());
            ::SendMessageA(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
            ::GdiFlush();
        }
        const auto* first = static_cast<const uint32_t*>(bits);
        pixels_.assign(first, first + static_cast<size_t>(width_) * height_);
    }

    uint32_t At(int x, int y) const {
        return pixels_[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF;
    }

    // The columns that hold anything but the red background in the rows of `r` (text may
    // spill past its box): [first, last], or {-1,-1}.
    std::pair<int, int> Ink(const RECT& r) const {
        std::pair<int, int> ink{-1, -1};
        for (int x = 0; x < width_; ++x) {
            for (int y = r.top; y < r.bottom; ++y) {
                if (At(x, y) != kRed) {
                    if (ink.first < 0) {
                        ink.first = x;
                    }
                    ink.second = x;
                    break;
                }
            }
        }
        return ink;
    }

    static constexpr uint32_t kRed = 0xFF0000;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

// The width the text takes in Arial at the given size, as the label would be drawn.
int TextWidth(const char* text, int hundredthsOfPoint, bool bold) {
    win32::WindowDc screen(nullptr);
    LOGFONTA font{};
    font.lfHeight = -::MulDiv(hundredthsOfPoint, ::GetDeviceCaps(screen.get(), LOGPIXELSY), 7200);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    win32::Font handle(::CreateFontIndirectA(&font));
    win32::SelectGuard select(screen.get(), handle.get());
    SIZE size{};
    ::GetTextExtentPoint32A(screen.get(), text, lstrlenA(text), &size);
    return size.cx;
}

TEST(AboutWindow, LooksAsDesignedAndClosesWithTheButton) {
    OwnerWindow owner;
    frmAbout about;
    EXPECT_EQ(
        ShowAndRun(about, owner.get(),
                   {[&](frmAbout& a) {
                        HWND w = a.hwnd();
                        char caption[64] = {};
                        ::GetWindowTextA(w, caption, sizeof(caption));
                        EXPECT_STREQ(caption, "About IE Tamewin...");
                        RECT client{};
                        ::GetClientRect(w, &client);
                        EXPECT_EQ(client.right, 5700 / TwipsPerPixelX());
                        EXPECT_EQ(client.bottom, 3225 / TwipsPerPixelY());
                        const LONG_PTR style = ::GetWindowLongPtrA(w, GWL_STYLE);
                        EXPECT_TRUE(style & WS_CAPTION);
                        EXPECT_TRUE(style & WS_SYSMENU);
                        EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
                        EXPECT_TRUE(::GetWindowLongPtrA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
                        EXPECT_TRUE(::IsWindowVisible(w));
                        EXPECT_EQ(::GetWindow(w, GW_OWNER), owner.get());
                        EXPECT_FALSE(::IsWindowEnabled(owner.get()));
                        EXPECT_EQ(a.VersionText(), "Version 1.1.4");

                        HWND ok = OkButton(a);
                        ASSERT_NE(ok, nullptr);
                        EXPECT_EQ(::GetFocus(), ok);
                        char text[16] = {};
                        ::GetWindowTextA(ok, text, sizeof(text));
                        EXPECT_STREQ(text, "&OK");
                        EXPECT_EQ(::GetWindowLongPtrA(ok, GWL_STYLE) & BS_TYPEMASK,
                                  BS_DEFPUSHBUTTON);
                        RECT button{};
                        ::GetWindowRect(ok, &button);
                        ::MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&button), 2);
                        const RECT design = Pixels(4080, 2400, 1260, 465);
                        EXPECT_EQ(button.left, design.left);
                        EXPECT_EQ(button.top, design.top);
                        EXPECT_EQ(button.right, design.right);
                        EXPECT_EQ(button.bottom, design.bottom);
                    },
                    [](frmAbout& a) { ::SendMessageA(OkButton(a), BM_CLICK, 0, 0); }}),
        2u);
    EXPECT_EQ(about.hwnd(), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(owner.get()));
    EXPECT_EQ(::GetActiveWindow(), owner.get());
}

TEST(AboutWindow, IsCentredInTheWorkAreaUnderThePointer) {
    frmAbout about;
    ShowAndRun(about, nullptr, {[](frmAbout& a) {
                   RECT window{};
                   ::GetWindowRect(a.hwnd(), &window);
                   POINT pointer{};
                   ::GetCursorPos(&pointer);
                   MONITORINFO monitor{};
                   monitor.cbSize = sizeof(monitor);
                   ::GetMonitorInfoA(::MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST),
                                     &monitor);
                   const RECT& work = monitor.rcWork;
                   EXPECT_GE(window.left, work.left);
                   EXPECT_GE(window.top, work.top);
                   EXPECT_LE(window.right, work.right);
                   EXPECT_LE(window.bottom, work.bottom);
                   EXPECT_LE(std::abs((window.left - work.left) - (work.right - window.right)), 1);
                   EXPECT_LE(std::abs((window.top - work.top) - (work.bottom - window.bottom)), 1);
               }});
}

TEST(AboutWindow, DrawsTheLabelsAndTheRuleOnRed) {
    frmAbout about(kNoPictures);
    ShowAndRun(about, nullptr, {[](frmAbout& a) {
                   const ClientPicture picture(a.hwnd());
                   // Without the pictures the background shows.
                   EXPECT_EQ(picture.At(2, 2), ClientPicture::kRed);
                   EXPECT_EQ(picture.At(60, 60), ClientPicture::kRed);

                   // Line1: grey on the upper row of a two-pixel white line, up to 5400 twips.
                   const int y = 2280 / TwipsPerPixelY();
                   const int end = 5400 / TwipsPerPixelX();
                   EXPECT_EQ(picture.At(0, y), 0x808080u);
                   EXPECT_EQ(picture.At(end - 1, y), 0x808080u);
                   EXPECT_EQ(picture.At(end / 2, y + 1), 0xFFFFFFu);
                   EXPECT_EQ(picture.At(end / 2, y - 1), ClientPicture::kRed);
                   EXPECT_EQ(picture.At(end / 2, y + 2), ClientPicture::kRed);
                   EXPECT_EQ(picture.At(end, y), ClientPicture::kRed);

                   // Centred labels: ink as wide as the text, with equal margins.
                   const struct {
                       RECT place;
                       const char* text;
                       int size;
                       bool bold;
                   } centred[] = {{kLabel1Rect, "Corvanta", 1425, false},
                                  {Pixels(3165, 720, 1155, 240), "IE Tamewin", 975, true}};
                   for (const auto& label : centred) {
                       const auto ink = picture.Ink(label.place);
                       ASSERT_GE(ink.first, 0) << label.text;
                       const int width = ink.second - ink.first + 1;
                       const int expected = TextWidth(label.text, label.size, label.bold);
                       EXPECT_LE(width, expected) << label.text;
                       EXPECT_GE(width, expected - 4) << label.text;
                       const int centre2 = ink.first + ink.second + 1;
                       EXPECT_LE(std::abs(centre2 - (label.place.left + label.place.right)), 4)
                           << label.text;
                   }

                   // The version: left-aligned in its box.
                   const RECT version = Pixels(2160, 1320, 3570, 195);
                   const auto ink = picture.Ink(version);
                   ASSERT_GE(ink.first, 0);
                   EXPECT_LE(ink.first - version.left, 2);
                   const int expected = TextWidth("Version 1.1.4", 825, true);
                   EXPECT_LE(ink.second - ink.first + 1, expected);
                   EXPECT_GE(ink.second - ink.first + 1, expected - 4);
               }});
}

TEST(AboutWindow, EnterAndEscCloseIt) {
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        OwnerWindow owner;
        frmAbout about;
        bool leftOpen = true;
        EXPECT_EQ(ShowAndRun(about, owner.get(), {[key](frmAbout&) { PostKey(key); }}, &leftOpen),
                  1u);
        EXPECT_FALSE(leftOpen) << key;
        EXPECT_TRUE(::IsWindowEnabled(owner.get())) << key;
    }
}

TEST(AboutWindow, TabKeepsTheFocusOnTheOnlyButton) {
    frmAbout about;
    bool leftOpen = false;
    ShowAndRun(about, nullptr,
               {[](frmAbout&) { PostKey(VK_TAB); },
                [](frmAbout& a) {
                    EXPECT_NE(a.hwnd(), nullptr);
                    EXPECT_EQ(::GetFocus(), OkButton(a));
                }},
               &leftOpen);
    EXPECT_TRUE(leftOpen);
}

TEST(AboutWindow, LinkClickRaisesTheEventAndLeavesTheWindowOpen) {
    frmAbout about;
    int clicks = 0;
    about.LinkClicked = [&] { ++clicks; };
    const LPARAM link = ClientPoint(kLinkRect);
    const LPARAM label1 = ClientPoint(kLabel1Rect);
    ShowAndRun(about, nullptr,
               {[&](frmAbout& a) { PostClick(a.hwnd(), link, link); },
                [&](frmAbout& a) {
                    EXPECT_EQ(clicks, 1);
                    EXPECT_NE(a.hwnd(), nullptr);
                    // Not clicks on the link: elsewhere, or pressed on it and released off it.
                    PostClick(a.hwnd(), label1, label1);
                    PostClick(a.hwnd(), link, label1);
                    PostClick(a.hwnd(), label1, link);
                },
                [&](frmAbout& a) {
                    EXPECT_EQ(clicks, 1);
                    PostClick(a.hwnd(), MAKELPARAM(kLinkRect.left, kLinkRect.top),
                              MAKELPARAM(kLinkRect.right - 1, kLinkRect.bottom - 1));
                },
                [&](frmAbout& a) {
                    EXPECT_EQ(clicks, 2);
                    ::SendMessageA(OkButton(a), BM_CLICK, 0, 0);
                }});
    EXPECT_EQ(about.hwnd(), nullptr);
}

TEST(AboutWindow, AFailingLinkHandlerDoesNotCloseTheWindow) {
    frmAbout about;
    int clicks = 0;
    about.LinkClicked = [&] {
        ++clicks;
        throw std::runtime_error("the page did not open");
    };
    const LPARAM link = ClientPoint(kLinkRect);
    bool leftOpen = false;
    ShowAndRun(about, nullptr,
               {[&](frmAbout& a) { PostClick(a.hwnd(), link, link); },
                [&](frmAbout& a) { PostClick(a.hwnd(), link, link); }},
               &leftOpen);
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(leftOpen);
}

TEST(AboutWindow, PointerOverTheLinkIsTheLinkPointer) {
    frmAbout about;
    POINT target{};
    int waits = 0;
    int steady = 0;
    const auto moveTo = [&](frmAbout& a, const RECT& r) {
        target = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ::ClientToScreen(a.hwnd(), &target);
        ::SetCursorPos(target.x, target.y);
        waits = 0;
        steady = 0;
    };
    // Wine moves the X pointer a little later, and a late motion event from an earlier move can
    // put the system's pointer back: wait until it has stayed at the new place for a while.
    const auto arrived = [&](frmAbout&) {
        POINT now{};
        ::GetCursorPos(&now);
        if (now.x != target.x || now.y != target.y) {
            ::SetCursorPos(target.x, target.y);
            steady = 0;
        }
        if (++steady < 5 && ++waits < 1000) {
            ::Sleep(10);
            RunAgainLater();
        }
    };
    const auto setCursor = [](frmAbout& a) {
        return ::SendMessageA(a.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(a.hwnd()),
                              MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    ShowAndRun(
        about, nullptr,
        {[&](frmAbout& a) { moveTo(a, kLinkRect); }, arrived,
         [&](frmAbout& a) {
             // Cursor 101 of the program's resources.
             EXPECT_TRUE(setCursor(a));
             EXPECT_EQ(::GetCursor(),
                       ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK)));
             moveTo(a, kLabel1Rect);
         },
         arrived,
         [&](frmAbout& a) {
             setCursor(a);
             EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
         }});
}

TEST(AboutWindow, QuitClosesItAndIsPassedOn) {
    OwnerWindow owner;
    frmAbout about;
    bool leftOpen = true;
    ShowAndRun(about, owner.get(), {[](frmAbout&) { ::PostQuitMessage(7); }}, &leftOpen);
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(about.hwnd(), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(owner.get()));
    MSG msg{};
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(AboutWindow, DestroyedFromOutsideStillGivesTheOwnerBack) {
    OwnerWindow owner;
    frmAbout about;
    bool leftOpen = true;
    ShowAndRun(about, owner.get(), {[](frmAbout& a) { ::DestroyWindow(a.hwnd()); }}, &leftOpen);
    EXPECT_FALSE(leftOpen);
    EXPECT_TRUE(::IsWindowEnabled(owner.get()));
}

TEST(AboutWindow, ShowsOnceAtATimeAndAgainAfterClosing) {
    frmAbout about;
    ShowAndRun(about, nullptr, {[&](frmAbout& a) {
                   HWND first = a.hwnd();
                   a.ShowModal(nullptr);  // already showing: returns at once
                   EXPECT_EQ(a.hwnd(), first);
                   ::SendMessageA(OkButton(a), BM_CLICK, 0, 0);
               }});
    EXPECT_EQ(about.hwnd(), nullptr);

    bool leftOpen = true;
    EXPECT_EQ(ShowAndRun(about, nullptr, {[](frmAbout&) { PostKey(VK_ESCAPE); }}, &leftOpen), 1u);
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(about.VersionText(), "Version 1.1.4");
}

}  // namespace
