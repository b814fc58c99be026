// The window-hook control on real windows: Wine's Internet Explorer of both bitnesses, another
// program, the test's own windows, and input made with SendInput. Waits pump messages up to a
// generous deadline; absence is checked against a later event that is known to arrive.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
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

namespace {

constexpr DWORD kDeadlineMs = 60000;

void DispatchQueued() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Pumps the thread's messages until done() holds or the deadline passes; returns done().
template <class Done>
bool PumpUntil(Done done) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DispatchQueued();
        if (done()) {
            return true;
        }
        if (::GetTickCount() - start >= kDeadlineMs) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

// Waits until a message is waiting for the window, taking no posted message meanwhile (the
// system's calls of the thread's hooks are handled).
bool WaitUntilPending(HWND hwnd, UINT message) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (!::PeekMessageA(&msg, hwnd, message, message, PM_NOREMOVE)) {
        if (::GetTickCount() - start >= kDeadlineMs) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return true;
}

// The test scripts' word that this machine's Wine runs no 32-bit program (TAMEWIN_WINE_ARCH).
bool Runs32BitProgramsNot() {
    char mode[16] = {};
    const DWORD length = ::GetEnvironmentVariableA("TAMEWIN_WINE_ARCH", mode, sizeof(mode));
    return length < sizeof(mode) && std::string(mode, length) == "win64";
}

bool Contains(const std::vector<HWND>& windows, HWND hwnd) {
    return std::find(windows.begin(), windows.end(), hwnd) != windows.end();
}

// A program started for a test, ended with the test whatever its outcome.
class Program {
  public:
    explicit Program(std::string commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            thread_.reset(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~Program() {
        if (process_) {
            ::TerminateProcess(process_.get(), 1);
            ::WaitForSingleObject(process_.get(), 10000);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return static_cast<bool>(process_); }

    // Pumps until the program shows a top-level window of the class; null past the deadline.
    HWND WaitForWindow(const char* className) const {
        Search search{id_, className, nullptr};
        PumpUntil([&] {
            ::EnumWindows(&Program::Match, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        });
        return search.found;
    }

  private:
    struct Search {
        DWORD process;
        const char* className;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND hwnd, LPARAM param) {
        auto* search = reinterpret_cast<Search*>(param);
        char name[64] = {};
        ::GetClassNameA(hwnd, name, sizeof(name));
        DWORD process = 0;
        ::GetWindowThreadProcessId(hwnd, &process);
        if (process == search->process && std::string(name) == search->className &&
            ::IsWindowVisible(hwnd)) {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    win32::Handle process_;
    win32::Handle thread_;
    DWORD id_ = 0;
};

// A visible top-level window of the test's own program.
win32::Window MakeWindow(int x, int y) {
    return win32::Window(::CreateWindowExA(0, "STATIC", "WinHook test",
                                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 400, 300,
                                           nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr));
}

// Brings a window to the front unless it is there already (which activates nothing).
void Activate(HWND hwnd) {
    if (::GetForegroundWindow() != hwnd) {
        ::SetForegroundWindow(hwnd);
    }
}

// The desktop's shared block as the hook library sees it.
class ChannelView {
  public:
    ChannelView() {
        char name[tamehook::kChannelNameSize];
        if (tamehook::ChannelName(name)) {
            mapping_.reset(::OpenFileMappingA(FILE_MAP_READ, FALSE, name));
            if (mapping_) {
                view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0,
                                            sizeof(tamehook::Channel)));
            }
        }
    }
    const tamehook::Channel* operator->() const {
        return static_cast<const tamehook::Channel*>(view_.get());
    }
    explicit operator bool() const { return static_cast<bool>(view_); }

  private:
    win32::Handle mapping_;
    win32::MappedView view_;
};

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    folder.resize(folder.find_last_of('\\') + 1);
    return folder;
}

// A copy of the hook library as another program holds it: loaded for as long as the object
// lives, its procedures called as the system calls them.
class HookLibrary {
  public:
    HookLibrary() : module_(::LoadLibraryA((ProgramFolder() + "tamehook.dll").c_str())) {}
    explicit operator bool() const { return cbt_ != nullptr && callWnd_ != nullptr; }

    LRESULT Cbt(int code, HWND hwnd) const { return cbt_(code, reinterpret_cast<WPARAM>(hwnd), 0); }
    LRESULT CallWnd(HWND hwnd, UINT message, WPARAM wParam) const {
        CWPSTRUCT call{0, wParam, message, hwnd};
        return callWnd_(HC_ACTION, 0, reinterpret_cast<LPARAM>(&call));
    }

  private:
    HOOKPROC Procedure(const char* name) const {
        return reinterpret_cast<HOOKPROC>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module_.get(), name)));
    }
    win32::Module module_;
    HOOKPROC cbt_ = Procedure("CbtProc");
    HOOKPROC callWnd_ = Procedure("CallWndProc");
};

// Distinct window handles for what the library posts; the control does not look at them.
HWND FakeWindow(int n) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x10000 + 2 * n));
}

class WinHookStandard : public ::testing::Test {
  protected:
    WinHookStandard() {
        hook_.WindowActivated = [this](HWND hwnd) { activated_.push_back(hwnd); };
    }

    bool PumpUntilActivated(HWND hwnd) {
        return PumpUntil([&] { return Contains(activated_, hwnd); });
    }

    WinHook hook_{HookKind::Standard};
    std::vector<HWND> activated_;
};

TEST_F(WinHookStandard, ReportsInternetExplorerFramesOfBothBitnesses) {
    hook_.SetHookActive(true);
    ASSERT_TRUE(hook_.HookActive());
    for (const char* folder : {"C:\\Program Files", "C:\\Program Files (x86)"}) {
        SCOPED_TRACE(folder);
        if (std::string(folder).ends_with("(x86)") && Runs32BitProgramsNot()) {
            GTEST_SKIP() << "32-bit Internet Explorer not run: this Wine runs 64-bit programs only";
        }
        Program browser(std::string(folder) + "\\Internet Explorer\\iexplore.exe about:blank");
        ASSERT_TRUE(browser.started());
        const HWND frame = browser.WaitForWindow("IEFrame");
        ASSERT_NE(frame, nullptr);
        Activate(frame);
        EXPECT_TRUE(PumpUntilActivated(frame));
    }
}

TEST_F(WinHookStandard, ReportsEachActivationOnce) {
    hook_.SetHookActive(true);
    win32::Window first = MakeWindow(100, 100);
    win32::Window second = MakeWindow(200, 150);
    ASSERT_TRUE(first && second);
    for (HWND hwnd : {first.get(), second.get(), first.get()}) {
        activated_.clear();
        Activate(hwnd);
        EXPECT_TRUE(PumpUntilActivated(hwnd)) << "each activation is reported";
    }
    // Told again with nothing activated between, it is the same activation. (As the hook
    // library tells it: a foreground event would end the CBT hook for the whole process.)
    const ChannelView channel;
    ASSERT_TRUE(channel);
    activated_.clear();
    for (HWND told : {first.get(), first.get(), second.get()}) {
        ::PostMessageA(hook_.ReceiverWindow(), DesktopHook::ActivatedMessage(),
                       reinterpret_cast<WPARAM>(told), channel->generation);
    }
    ASSERT_TRUE(PumpUntilActivated(second.get()));
    EXPECT_EQ(activated_, (std::vector<HWND>{second.get()}));
}

TEST_F(WinHookStandard, SwitchingOffDropsActivationsNotYetRaised) {
    win32::Window mine = MakeWindow(100, 100);
    win32::Window another = MakeWindow(200, 150);
    ASSERT_TRUE(mine && another);
    hook_.SetHookActive(true);
    ASSERT_TRUE(hook_.UsesCbtHook());
    Activate(mine.get());
    ASSERT_TRUE(PumpUntilActivated(mine.get()));

    // The CBT hook runs in this thread for its own windows: the post is queued at once.
    Activate(another.get());
    ASSERT_TRUE(WaitUntilPending(hook_.ReceiverWindow(), DesktopHook::ActivatedMessage()));
    hook_.SetHookActive(false);
    hook_.SetHookActive(true);
    DispatchQueued();
    EXPECT_FALSE(Contains(activated_, another.get()));

    // Foreground events queued before the switch-off go the same way.
    ASSERT_TRUE(::PostMessageA(hook_.ReceiverWindow(), WinHook::kForegroundMessage,
                               reinterpret_cast<WPARAM>(mine.get()), 0));
    hook_.SetHookActive(false);
    DispatchQueued();
    EXPECT_EQ(std::count(activated_.begin(), activated_.end(), mine.get()), 1);
}

TEST_F(WinHookStandard, SharesItsReceiverThroughTheDesktopBlock) {
    hook_.SetHookActive(true);
    ASSERT_TRUE(hook_.UsesCbtHook());
    const ChannelView channel;
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->receiver, tamehook::HandleBits(hook_.ReceiverWindow()));
    EXPECT_EQ(channel->owner, static_cast<LONG>(::GetCurrentProcessId()));
    // Every other program may only read it.
    char name[tamehook::kChannelNameSize];
    ASSERT_TRUE(tamehook::ChannelName(name));
    EXPECT_FALSE(win32::Handle(::OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)));

    // What the library posts: the generation read from the block tells stale posts apart.
    // Hidden windows: no real activation of theirs gets in the way.
    const win32::Window staleWindow(::CreateWindowExA(0, "STATIC", "stale", WS_POPUP, 0, 0, 10, 10,
                                                      nullptr, nullptr, nullptr, nullptr));
    const win32::Window currentWindow(::CreateWindowExA(0, "STATIC", "current", WS_POPUP, 0, 0, 10,
                                                        10, nullptr, nullptr, nullptr, nullptr));
    const HWND desktop = staleWindow.get();
    const HWND shell = currentWindow.get();
    const UINT message = DesktopHook::ActivatedMessage();
    ::PostMessageA(hook_.ReceiverWindow(), message, reinterpret_cast<WPARAM>(desktop),
                   channel->generation - 1);
    ::PostMessageA(hook_.ReceiverWindow(), message, reinterpret_cast<WPARAM>(shell),
                   channel->generation);
    ASSERT_TRUE(PumpUntilActivated(shell));
    EXPECT_FALSE(Contains(activated_, desktop));

    // One listener per desktop: a second control relies on foreground events alone.
    WinHook second(HookKind::Standard);
    second.SetHookActive(true);
    EXPECT_TRUE(second.HookActive());
    EXPECT_FALSE(second.UsesCbtHook());
    EXPECT_EQ(channel->receiver, tamehook::HandleBits(hook_.ReceiverWindow()));

    hook_.SetHookActive(false);
    EXPECT_EQ(channel->receiver, 0);
    hook_.SetHookActive(true);
    EXPECT_TRUE(hook_.UsesCbtHook());
    EXPECT_EQ(channel->receiver, tamehook::HandleBits(hook_.ReceiverWindow()));
}

TEST_F(WinHookStandard, TheLibraryPostsActivationsToTheListener) {
    const HookLibrary library;
    ASSERT_TRUE(library);
    hook_.SetHookActive(true);
    ASSERT_TRUE(hook_.UsesCbtHook());
    EXPECT_EQ(library.Cbt(HCBT_ACTIVATE, FakeWindow(1)), 0);
    library.Cbt(HCBT_SETFOCUS, FakeWindow(2));
    library.CallWnd(FakeWindow(3), WM_ACTIVATE, WA_ACTIVE);
    library.CallWnd(FakeWindow(4), WM_ACTIVATE, WA_INACTIVE);
    library.CallWnd(FakeWindow(5), WM_SETFOCUS, 0);
    library.CallWnd(FakeWindow(6), WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, TRUE));
    ASSERT_TRUE(PumpUntilActivated(FakeWindow(6)));
    EXPECT_EQ(activated_, (std::vector<HWND>{FakeWindow(1), FakeWindow(3), FakeWindow(6)}));

    // Nothing reaches a listener that is off; switched on again, it hears the library again.
    hook_.SetHookActive(false);
    library.Cbt(HCBT_ACTIVATE, FakeWindow(7));
    hook_.SetHookActive(true);
    library.Cbt(HCBT_ACTIVATE, FakeWindow(8));
    ASSERT_TRUE(PumpUntilActivated(FakeWindow(8)));
    EXPECT_FALSE(Contains(activated_, FakeWindow(7)));
}

int CallTheLibraryWithNobodyListening() {
    const HookLibrary library;
    if (!library) {
        return 2;
    }
    library.Cbt(HCBT_ACTIVATE, FakeWindow(1));
    library.CallWnd(FakeWindow(2), WM_ACTIVATE, WA_ACTIVE);
    return 0;
}

TEST(WinHookLibraryDeathTest, IsHarmlessWithNobodyListening) {
    EXPECT_EXIT(std::exit(CallTheLibraryWithNobodyListening()), ::testing::ExitedWithCode(0), "");
}

// Another program makes the desktop's block first and fills it to steer every hooked program:
// WM_CLOSE to a window of its choice. The program must not take that block, and the library
// must post nothing to that window. (Here the process plays both parts: the block's maker is
// all that counts, and the program's state is made once per process.)
int RefuseABlockMadeByAnother() {
    const testing_windows::ThreadWindow victim("TamewinVictim", "another program");
    char name[tamehook::kChannelNameSize];
    if (!tamehook::ChannelName(name)) {
        return 2;
    }
    const win32::Handle mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                     0, sizeof(tamehook::Channel), name));
    const win32::MappedView view(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!view) {
        return 2;
    }
    auto* planted = static_cast<LONG*>(view.get());
    const LONG victimBits = tamehook::HandleBits(victim.hwnd());
    const LONG victimProcess = static_cast<LONG>(::GetCurrentProcessId());

    int failures = 0;
    WinHook hook(HookKind::Standard);
    hook.SetHookActive(true);
    if (!hook.HookActive() || hook.UsesCbtHook()) {
        std::fprintf(stderr, "failed: the planted block is refused, foreground events remain\n");
        ++failures;
    }
    // The other program, holding the block writable, names the victim after any claim: as
    // the receiver of its process, and with WM_CLOSE as the message to post.
    const LONG asReceiverOfItsProcess[] = {0, victimProcess, victimBits, WM_CLOSE};
    const LONG withWmClose[] = {victimBits, WM_CLOSE, 0, 0};
    const HookLibrary library;
    for (const auto& fields : {asReceiverOfItsProcess, withWmClose}) {
        std::copy(fields, fields + 4, planted);
        library.Cbt(HCBT_ACTIVATE, FakeWindow(1));
        library.CallWnd(FakeWindow(2), WM_ACTIVATE, WA_ACTIVE);
    }
    // A message posted after the library's would arrive after them.
    ::PostMessageA(victim.hwnd(), WM_NULL, 0, 0);
    PumpUntil([&] { return victim.nulls() > 0; });
    if (victim.closes() + victim.registered() != 0) {
        std::fprintf(stderr, "failed: the library posted %d messages to another program\n",
                     victim.closes() + victim.registered());
        ++failures;
    }
    return failures;
}

TEST(WinHookChannelDeathTest, ABlockMadeByAnotherProgramChangesNothing) {
    EXPECT_EXIT(std::exit(RefuseABlockMadeByAnother()), ::testing::ExitedWithCode(0), "");
}

class WinHookMouse : public ::testing::Test {
  protected:
    WinHookMouse() {
        hook_.MouseEvent = [this](int32_t x, int32_t y) { presses_.push_back({x, y}); };
        witness_.MouseEvent = [this](int32_t x, int32_t y) { witnessed_.push_back({x, y}); };
    }

    void SetUp() override {
        // Under the clicks, so that they land on a window of the test.
        ASSERT_TRUE(target_);
        ::SetForegroundWindow(target_.get());
        DispatchQueued();
    }

    // A press at a point: the move is part of the same input, so no earlier pointer position
    // can take its place.
    static void Press(POINT at, DWORD down, DWORD up) {
        const int width = ::GetSystemMetrics(SM_CXSCREEN);
        const int height = ::GetSystemMetrics(SM_CYSCREEN);
        INPUT input[3] = {};
        for (INPUT& one : input) {
            one.type = INPUT_MOUSE;
            one.mi.dx = ::MulDiv(at.x, 65535, width - 1);
            one.mi.dy = ::MulDiv(at.y, 65535, height - 1);
        }
        input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input[1].mi.dwFlags = down | MOUSEEVENTF_ABSOLUTE;
        input[2].mi.dwFlags = up | MOUSEEVENTF_ABSOLUTE;
        ::SendInput(3, input, sizeof(INPUT));
    }
    static void RightPress(POINT at) { Press(at, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }

    // Presses the right button at a point the witness control sees, then takes everything
    // queued: what the control under test was to raise has been raised by then.
    void RightPressWitnessed(POINT at) {
        witness_.SetHookActive(true);
        witnessed_.clear();
        RightPress(at);
        ASSERT_TRUE(PumpUntil([&] { return !witnessed_.empty(); }));
        DispatchQueued();
        witness_.SetHookActive(false);
    }

    // Right-clicks at a point from a thread of its own, then notes whether the window under
    // it had the press while the test's thread was still busy.
    struct Clicker {
        const testing_windows::ThreadWindow* other;
        POINT at;
        volatile LONG busy;
        volatile LONG arrivedWhileBusy;

        static DWORD WINAPI Run(void* param) {
            auto* c = static_cast<Clicker*>(param);
            RightPress(c->at);
            while (c->busy != 0 && c->other->rightPresses() == 0) {
                ::Sleep(5);
            }
            c->arrivedWhileBusy = c->busy != 0 && c->other->rightPresses() > 0;
            return 0;
        }
    };

    using Points = std::vector<std::pair<int32_t, int32_t>>;
    win32::Window target_ = MakeWindow(100, 100);
    WinHook hook_{HookKind::Mouse};
    WinHook witness_{HookKind::Mouse};
    Points presses_;
    Points witnessed_;
};

TEST_F(WinHookMouse, ReportsRightPressesOnlyAtTheirSignedScreenPosition) {
    hook_.SetHookActive(true);
    ASSERT_TRUE(hook_.HookActive());
    Press({150, 160}, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    Press({150, 160}, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP);
    RightPressWitnessed({321, 287});
    EXPECT_EQ(presses_, (Points{{321, 287}}));
    // Monitors left of and above the primary one have negative coordinates.
    const Points points{{-1234, -5678}, {INT32_MIN, INT32_MAX}};
    for (const auto& [x, y] : points) {
        ::PostMessageA(hook_.ReceiverWindow(), WinHook::kMouseMessage, static_cast<WPARAM>(x),
                       static_cast<LPARAM>(y));
    }
    ASSERT_TRUE(PumpUntil([&] { return presses_.size() == 3; }));
    EXPECT_EQ(presses_[2], points[1]);
}

TEST_F(WinHookMouse, RaisesNothingWhileOffAndOnceWhenSwitchedOnTwice) {
    RightPressWitnessed({150, 160});
    EXPECT_TRUE(presses_.empty());

    hook_.SetHookActive(true);
    hook_.SetHookActive(true);
    RightPressWitnessed({160, 170});
    EXPECT_EQ(presses_, (Points{{160, 170}}));

    hook_.SetHookActive(false);
    EXPECT_FALSE(hook_.HookActive());
    RightPressWitnessed({170, 180});
    EXPECT_EQ(presses_, (Points{{160, 170}}));
}

TEST_F(WinHookMouse, SwitchingOffDropsPressesNotYetRaisedButKeepsTheQuitRequest) {
    hook_.SetHookActive(true);
    RightPress({150, 160});
    ASSERT_TRUE(WaitUntilPending(hook_.ReceiverWindow(), WinHook::kMouseMessage));
    ::PostQuitMessage(7);
    hook_.SetHookActive(false);
    MSG msg;
    ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    hook_.SetHookActive(true);
    DispatchQueued();
    EXPECT_TRUE(presses_.empty());
}

}  // namespace

TEST_F(WinHookMouse, ABusyControlsThreadHoldsNoClickOfAnotherProgram) {
    hook_.SetHookActive(true);
    const testing_windows::ThreadWindow other("TamewinOther", "another program");
    other.Place(600, 400, 200, 150);
    const POINT at{700, 470};  // on the other program's window
    // The click comes from another thread while this one, the controls' thread, is busy.
    Clicker clicker{&other, at, 1, 0};
    const win32::Handle thread(::CreateThread(nullptr, 0, &Clicker::Run, &clicker, 0, nullptr));
    ASSERT_TRUE(thread);
    ::Sleep(1000);
    ::InterlockedExchange(&clicker.busy, 0);
    ::WaitForSingleObject(thread.get(), kDeadlineMs);
    EXPECT_TRUE(clicker.arrivedWhileBusy) << "the click waited for the busy thread";
    // The menu opens where the click was.
    ASSERT_TRUE(PumpUntil([&] { return !presses_.empty(); }));
    EXPECT_EQ(presses_[0], std::make_pair(int32_t{at.x}, int32_t{at.y}));
}
