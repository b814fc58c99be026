// The window snapshot, the pop-up rule, and the activation handler on real windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestWindows.h"
#include "controls/CtrlKey.h"
#include "registry/WINAPI32.h"
#include "state/ProgramState.h"
#include "ui/PopupRule.h"
#include "ui/frmmain.h"

using testing_windows::PumpUntil;
using testing_windows::ThreadWindow;

namespace {

constexpr auto W = &testing_windows::FakeWindow;

TEST(Snapshot, RecordsUntitledFramesAndCutsAt254) {
    const std::string longTitle(400, 't');
    ThreadWindow window("IEFrame", longTitle);
    ThreadWindow untitled("IEFrame", "");  // activated before it has its title
    std::vector<state::WindowRecord> windows;
    state::ClassWindows("IEFrame").Append(windows);
    EXPECT_EQ(std::ranges::count(windows, untitled.hwnd(), &state::WindowRecord::Handle), 1);
    auto it = std::ranges::find(windows, window.hwnd(), &state::WindowRecord::Handle);
    ASSERT_NE(it, windows.end());
    EXPECT_EQ(it->Title, longTitle.substr(0, 254));
    EXPECT_EQ(it->ThreadId, static_cast<int32_t>(window.threadId()));
    EXPECT_FALSE(it->Visible);
}

TEST(PopupRule, ClosesUnrecordedFrames) {
    using Names = std::optional<std::vector<std::string>>;
    const std::vector<state::WindowRecord> snapshot = {
        {W(1), "IEFrame", 100, "frame of the start"},
        {W(2), "IEFrame", 200, "recorded by name only"},
        {W(3), "IEFrame", 300, "pop-up"},
        {W(4), "IEFrame", 300, "second pop-up of the same thread"},
        {W(5), "#32770", 300, "a dialog of the pop-up's thread"},
        {W(6), "ieframe", 400, "another class in all but case"},
        {W(7), "IEFrame", 7, "named with leading zeros"},
        {W(8), "IEFrame", 0, "gone before its thread was read"},
        {W(9), "IEFrame", 500, "hidden", false},
    };
    const struct {
        const char* what;
        Names names;
        std::vector<HWND> closed;
    } cases[] = {
        // 4294967596 is 2^32 + 300: a number too big for a thread id, not thread 300's.
        {"register read",
         std::vector<std::string>{"abc", "200", "007", "4294967596"},
         {W(3), W(4), W(8)}},
        {"no register", std::nullopt, {W(2), W(3), W(4), W(7), W(8)}},
    };
    std::vector<state::FrameThread> start;
    start.emplace_back(100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ui::PopupsToClose(snapshot, start, c.names), c.closed);
    }
}

const std::string kInstances = state::kInstancesKey;

int g_registryOpens = 0;
LONG WINAPI CountingOpen(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
    ++g_registryOpens;
    return ::RegOpenKeyExW(root, path, options, access, key);
}

class Activation : public ::testing::Test {
  protected:
    void SetUp() override {
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kInstances.c_str(), state::kInstancesView, 0);
        form.Load();
    }
    void TearDown() override {
        form.Unload();
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kInstances.c_str(), state::kInstancesView, 0);
    }
    state::ProgramState state;
    ui::frmmain form{state};
};

}  // namespace

TEST_F(Activation, ScansOncePerActivation) {
    ThreadWindow startFrame("IEFrame", "start");
    ThreadWindow popup("IEFrame", "popup", true);
    // A start frame that closes leaves the register before its id can go to a pop-up's thread.
    auto closed = std::make_unique<ThreadWindow>("IEFrame", "closed after the start");
    for (const ThreadWindow* frame : {&startFrame, closed.get()}) {
        const auto id = static_cast<int32_t>(frame->threadId());
        state.colFrames.emplace_back(id);
        WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kInstances, std::to_string(id), "0",
                                  state::kInstancesView);
    }
    closed.reset();  // its thread ends
    form.WinHook1_WindowActivated(popup.hwnd());
    ASSERT_EQ(state.colFrames.size(), 1u);
    EXPECT_EQ(state.colFrames[0].ThreadId, static_cast<int32_t>(startFrame.threadId()));
    EXPECT_EQ(WINAPI32::EnumKeyValues(WINAPI32::kLocalMachine, kInstances, KEY_WOW64_64KEY),
              std::vector<std::string>{std::to_string(startFrame.threadId())});
    ASSERT_TRUE(PumpUntil([&] { return popup.closes() == 1; }));
    const testing_windows::Seam counting(WINAPI32::Api.OpenKeyEx, &CountingOpen);
    g_registryOpens = 0;
    form.WinHook1_WindowActivated(form.hwnd());  // the program's own window: no scan
    EXPECT_EQ(g_registryOpens, 0);
    // An activation told before the last scan's marker came through is covered by that scan.
    form.WinHook1_WindowActivated(popup.hwnd());
    form.WinHook1_WindowActivated(startFrame.hwnd());
    EXPECT_EQ(g_registryOpens, 1);
    ASSERT_TRUE(PumpUntil([&] { return popup.closes() == 2; }));
    // Later ones read the register afresh, and the pop-up is asked again.
    form.WinHook1_WindowActivated(startFrame.hwnd());
    EXPECT_EQ(g_registryOpens, 2);
    ASSERT_TRUE(PumpUntil([&] { return popup.closes() == 3; }));
    EXPECT_TRUE(popup.closeParamsWereOne());
    EXPECT_EQ(startFrame.closes(), 0);
}

namespace {
std::vector<int> g_held;  // the keys a keyboard holds, for the program's reading of Ctrl
SHORT WINAPI HeldKeys(int key) {
    return std::ranges::find(g_held, key) != g_held.end() ? SHORT(-32768) : SHORT(0);
}
HDESK WINAPI NoInputDesktop(DWORD, BOOL, ACCESS_MASK) {
    return nullptr;  // the keyboard is another desktop's
}
void Shown(HWND hwnd, LONG object = OBJID_WINDOW) {
    ::NotifyWinEvent(EVENT_OBJECT_SHOW, hwnd, object, CHILDID_SELF);
}
}  // namespace

TEST_F(Activation, FrameShownKeptOnlyForCtrlWithoutAltGr) {
    const testing_windows::Seam keys(controls::Keyboard.GetAsyncKeyState, &HeldKeys);
    ThreadWindow typing("IEFrame", "shown while AltGr types @", true);
    ThreadWindow wanted("IEFrame", "shown with Right Ctrl held", true);
    ThreadWindow last("IEFrame", "shown while the keys are another desktop's", true);
    form.MenuCommand("On");
    // The key is read as each show arrives, that is while the test pumps.
    g_held = {VK_LCONTROL, VK_RMENU};  // AltGr
    Shown(typing.hwnd());
    ASSERT_TRUE(PumpUntil([&] { return typing.closes() == 1; }));
    g_held = {VK_RCONTROL};
    Shown(wanted.hwnd());
    ASSERT_TRUE(PumpUntil([&] { return state.colFrames.size() == 1; }));
    g_held = {};
    const testing_windows::Seam desktop(controls::Keyboard.OpenInputDesktop, &NoInputDesktop);
    Shown(typing.hwnd(), OBJID_CARET);  // its caret: no frame shown
    Shown(last.hwnd());
    // Each show is handled in turn: once the last is closed, all are done.
    ASSERT_TRUE(PumpUntil([&] { return last.closes() == 1; }));
    EXPECT_EQ(typing.closes(), 1);
    EXPECT_EQ(wanted.closes(), 0);
    const auto kept = std::to_string(wanted.threadId());
    EXPECT_EQ(WINAPI32::EnumKeyValues(WINAPI32::kLocalMachine, kInstances, KEY_WOW64_64KEY),
              std::vector<std::string>{kept});
}
