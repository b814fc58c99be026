// The window-hook control with other threads' windows, the hook library and SendInput clicks.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "controls/DesktopHook.h"
#include "controls/WinHook.h"
#include "TestWindows.h"
#include "controls/hook/HookChannel.h"
#include "win32/Handles.h"

using controls::DesktopHook;
using controls::HookKind;
using controls::WinHook;
using testing_windows::FakeWindow;
using testing_windows::Pump;
using testing_windows::PumpUntil;
using testing_windows::ThreadWindow;

namespace {

// The desktop's shared block, opened by name as any program would.
win32::MappedView OpenBlock(DWORD access) {
    char name[tamehook::kChannelNameSize];
    const win32::Handle mapping(
        tamehook::ChannelName(name) ? ::OpenFileMappingA(access, FALSE, name) : nullptr);
    return win32::MappedView(::MapViewOfFile(mapping.get(), access, 0, 0, 0));
}

// The hook library as another program holds it, its procedures called as the system calls them.
struct HookLibrary {
    const win32::Module module{::LoadLibraryA("tamehook.dll")};  // the test program's folder
    HOOKPROC Get(const char* name) const {
        return reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module.get(), name)));
    }
    const HOOKPROC cbt = Get("CbtProc");
    const HOOKPROC callWnd = Get("CallWndProc");
    explicit operator bool() const { return cbt != nullptr && callWnd != nullptr; }
    void Cbt(int code, HWND hwnd) const { cbt(code, reinterpret_cast<WPARAM>(hwnd), 0); }
    void CallWnd(HWND hwnd, UINT message, WPARAM wParam) const {
        CWPSTRUCT call{0, wParam, message, hwnd};
        callWnd(HC_ACTION, 0, reinterpret_cast<LPARAM>(&call));
    }
};

// Mouse input at a point, the move part of the same input: no earlier position takes its place.
void MouseAt(POINT at, std::vector<DWORD> flags) {
    flags.insert(flags.begin(), MOUSEEVENTF_MOVE);
    std::vector<INPUT> input(flags.size());
    for (size_t i = 0; i < input.size(); ++i) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dx = ::MulDiv(at.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
        input[i].mi.dy = ::MulDiv(at.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
        input[i].mi.dwFlags = flags[i] | MOUSEEVENTF_ABSOLUTE;
    }
    ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

class WinHookTest : public ::testing::Test {
  protected:
    WinHookTest() {
        standard_.WindowActivated = [this](HWND hwnd) { activated_.push_back(hwnd); };
        mouse_.MouseEvent = [this](int32_t x, int32_t y) { presses_.push_back({x, y}); };
    }
    using Points = std::vector<std::pair<int32_t, int32_t>>;
    std::vector<HWND> activated_;
    Points presses_;
    WinHook standard_{HookKind::Standard};
    WinHook mouse_{HookKind::Mouse};
};

TEST_F(WinHookTest, RaisesEachActivationOnce) {
    const HookLibrary library;
    standard_.SetHookActive(true);
    mouse_.SetHookActive(true);
    const win32::MappedView view = OpenBlock(FILE_MAP_READ);
    ASSERT_TRUE(library && view && standard_.UsesCbtHook() && mouse_.HookActive());
    library.Cbt(HCBT_ACTIVATE, FakeWindow(1));
    library.Cbt(HCBT_ACTIVATE, FakeWindow(1));  // told again, nothing between: the same one
    library.Cbt(HCBT_SETFOCUS, FakeWindow(2));
    library.CallWnd(FakeWindow(3), WM_ACTIVATE, WA_ACTIVE);
    library.CallWnd(FakeWindow(4), WM_ACTIVATE, WA_INACTIVE);
    library.CallWnd(FakeWindow(5), WM_SETFOCUS, 0);
    ::PostMessageA(standard_.ReceiverWindow(), DesktopHook::ActivatedMessage(),
                   reinterpret_cast<WPARAM>(FakeWindow(6)),  // of an earlier switch-on, late
                   static_cast<const tamehook::Channel*>(view.get())->generation - 1);
    library.CallWnd(FakeWindow(1), WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, TRUE));
    Pump(0);  // the library posts to this thread's window at once
    EXPECT_EQ(activated_, (std::vector{FakeWindow(1), FakeWindow(3), FakeWindow(1)}));
    // Switching off drops what is not yet raised, but keeps the quit request.
    activated_.clear();
    library.Cbt(HCBT_ACTIVATE, FakeWindow(7));
    ::PostMessageA(standard_.ReceiverWindow(), WinHook::kForegroundMessage,
                   reinterpret_cast<WPARAM>(FakeWindow(2)), 0);
    ::PostMessageA(mouse_.ReceiverWindow(), WinHook::kMouseMessage, 10, 20);
    ::PostQuitMessage(7);
    standard_.SetHookActive(false);
    mouse_.SetHookActive(false);
    MSG msg;
    EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 7);
    standard_.SetHookActive(true);
    mouse_.SetHookActive(true);
    Pump(0);
    EXPECT_TRUE(activated_.empty() && presses_.empty());
}

TEST_F(WinHookTest, SoleListenerOfReadOnlyBlock) {
    standard_.SetHookActive(true);
    const win32::MappedView view = OpenBlock(FILE_MAP_READ);
    ASSERT_TRUE(view && standard_.UsesCbtHook());
    const auto* channel = static_cast<const tamehook::Channel*>(view.get());
    const LONG mine = tamehook::HandleBits(standard_.ReceiverWindow());
    EXPECT_EQ(channel->receiver, mine);
    EXPECT_EQ(channel->owner, static_cast<LONG>(::GetCurrentProcessId()));
    EXPECT_FALSE(OpenBlock(FILE_MAP_WRITE));
    WinHook second(HookKind::Standard);
    second.SetHookActive(true);
    EXPECT_TRUE(second.HookActive() && !second.UsesCbtHook()) << "foreground events alone";
    EXPECT_EQ(channel->receiver, mine);
    standard_.SetHookActive(false);
    EXPECT_EQ(channel->receiver, 0);
    standard_.SetHookActive(true);
    EXPECT_TRUE(standard_.UsesCbtHook());
    EXPECT_EQ(channel->receiver, mine);
}

TEST_F(WinHookTest, RightPressesNeverHeld) {
    const ThreadWindow other("TamewinOther", "another program");
    other.Place(600, 400, 200, 150);
    mouse_.SetHookActive(true);
    mouse_.SetHookActive(true);  // still one receiver
    MouseAt({650, 450}, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_MIDDLEDOWN,
                         MOUSEEVENTF_MIDDLEUP});
    Pump(0);
    // A right press from another thread while this one takes no message: the hook posts its
    // report without waiting for this thread, before the other program has the press.
    std::thread clicker([] { MouseAt({670, 470}, {MOUSEEVENTF_RIGHTDOWN}); });
    for (const DWORD start = ::GetTickCount();
         other.rightPresses() == 0 && ::GetTickCount() - start < 60000;) {
        ::Sleep(5);
    }
    const DWORD queued = HIWORD(::GetQueueStatus(QS_POSTMESSAGE));
    clicker.join();
    MouseAt({670, 470}, {MOUSEEVENTF_RIGHTUP});
    EXPECT_TRUE(other.rightPresses() == 1 && (queued & QS_POSTMESSAGE) != 0)
        << "the click waited for the busy thread";
    // Monitors left of and above the primary one have negative coordinates.
    ::PostMessageA(mouse_.ReceiverWindow(), WinHook::kMouseMessage, static_cast<WPARAM>(-1234),
                   INT32_MIN);
    Pump(0);
    EXPECT_EQ(presses_, (Points{{670, 470}, {-1234, INT32_MIN}}));
    mouse_.SetHookActive(false);
    MouseAt({690, 490}, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});
    // A hook posts before the press goes on to the window under it.
    ASSERT_TRUE(PumpUntil([&] { return other.rightPresses() == 2; }));
    Pump(0);
    EXPECT_EQ(presses_.size(), 2u) << "nothing while off";
}

// The library with no listener, then under a block another program made and filled to steer
// hooked programs (WM_CLOSE to a victim, or posts to another process): it posts nothing.
int CallTheLibraryUnderABlockOfAnother() {
    const HookLibrary library;
    const auto callAll = [&] {
        library.Cbt(HCBT_ACTIVATE, FakeWindow(1));
        library.CallWnd(FakeWindow(2), WM_ACTIVATE, WA_ACTIVE);
    };
    callAll();
    const ThreadWindow victim("TamewinVictim", "another program");
    char name[tamehook::kChannelNameSize];
    tamehook::ChannelName(name);  // a wrong name shows: the program would take its own block
    const win32::Handle mapping(
        ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name));
    const win32::MappedView view(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    WinHook hook(HookKind::Standard);
    hook.SetHookActive(true);
    if (!library || !view || !hook.HookActive() || hook.UsesCbtHook()) {
        return 2;  // not set up, or the planted block was taken
    }
    const LONG self = static_cast<LONG>(::GetCurrentProcessId());
    // Sequence, owner (the maker's process id), receiver, generation; +4: another process.
    const LONG planted[][4] = {{0, self, tamehook::HandleBits(victim.hwnd()), WM_CLOSE},
                               {0, self + 4, tamehook::HandleBits(hook.ReceiverWindow()), 1}};
    for (const auto& fields : planted) {
        std::copy(fields, fields + 4, static_cast<LONG*>(view.get()));
        callAll();
    }
    // The library posts at once to this thread's window, earlier than the marker to the victim.
    MSG msg;
    const UINT message = DesktopHook::ActivatedMessage();
    const bool posted = ::PeekMessageA(&msg, hook.ReceiverWindow(), message, message, PM_NOREMOVE);
    ::PostMessageA(victim.hwnd(), WM_NULL, 0, 0);
    PumpUntil([&] { return victim.nulls() > 0; });
    return posted || victim.closes() + victim.registered() != 0 ? 1 : 0;
}

TEST(WinHookLibraryDeathTest, PostsNothingUnderAnotherBlock) {
    // Death tests run first; a repeat of the suite finds the block this process made before.
    if (OpenBlock(FILE_MAP_READ)) {
        GTEST_SKIP() << "a listener on this desktop holds its block already";
    }
    EXPECT_EXIT(std::exit(CallTheLibraryUnderABlockOfAnother()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
