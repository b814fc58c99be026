#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "TestWindows.h"
#include "registry/WINAPI32.h"
#include "startup/Module1.h"
#include "ui/frmmain.h"

using testing_windows::Pump;
using testing_windows::ThreadWindow;

namespace {

const std::string kInstances = "Software\\Corvanta\\VIVurazoru\\Instances";

int g_registryOpens = 0;
LONG WINAPI CountingOpen(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    ++g_registryOpens;
    return ::RegOpenKeyExA(root, path, options, access, key);
}
LONG WINAPI DeniedOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_ACCESS_DENIED;
}

void Record(DWORD threadId) {
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kInstances, std::to_string(threadId), "0");
}

class Activation : public ::testing::Test {
  protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstances.c_str());
        Module1::colFrames.clear();
        form.Load();
    }
    void TearDown() override {
        WINAPI32::Api = WINAPI32::RegistryApi{};
        form.Unload();
        Module1::colFrames.clear();
        Module1::colWindows.clear();
        Module1::colInstances.reset();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstances.c_str());
    }
    // One activation of some window that is not the program's own.
    void Activate(HWND activated) {
        form.WinHook1_WindowActivated(activated);
        Pump(100);  // lets the frames' threads take their posted messages
    }

    ui::frmmain form;
};

}  // namespace

TEST_F(Activation, OwnWindowsCauseNoScanAndNoRegistryRead) {
    WINAPI32::Api.OpenKeyEx = &CountingOpen;
    g_registryOpens = 0;
    Module1::colWindows.assign(1, Module1::WindowRecord{nullptr, "sentinel", 0, ""});
    form.WinHook1_WindowActivated(form.hwnd());
    EXPECT_EQ(g_registryOpens, 0);
    ASSERT_EQ(Module1::colWindows.size(), 1u);
    EXPECT_EQ(Module1::colWindows[0].ClassName, "sentinel");

    ThreadWindow other("TamewinOther", "other");
    form.WinHook1_WindowActivated(other.hwnd());
    EXPECT_EQ(g_registryOpens, 1);  // one fresh register read per activation
    EXPECT_GT(Module1::colWindows.size(), 1u);
}

TEST_F(Activation, ClosesFramesOfUnrecordedThreadsOnly) {
    ThreadWindow startFrame("IEFrame", "start");
    ThreadWindow recorded("IEFrame", "recorded by name only");
    ThreadWindow popup("IEFrame", "popup");
    ThreadWindow dialog("#32770", "a browser dialog");
    Module1::colFrames.emplace_back(static_cast<int32_t>(startFrame.threadId()));
    Record(startFrame.threadId());
    Record(recorded.threadId());

    Activate(popup.hwnd());
    EXPECT_EQ(popup.closes(), 1);
    EXPECT_TRUE(popup.closeParamsWereOne());
    EXPECT_EQ(startFrame.closes(), 0);
    EXPECT_EQ(recorded.closes(), 0);
    EXPECT_EQ(dialog.closes(), 0);

    // A frame that ignores WM_CLOSE is asked again at every activation.
    Activate(dialog.hwnd());
    EXPECT_EQ(popup.closes(), 2);
    EXPECT_EQ(startFrame.closes(), 0);
}

TEST_F(Activation, ANameThatIsNoNumberSpoilsNothing) {
    ThreadWindow startFrame("IEFrame", "start");
    ThreadWindow recorded("IEFrame", "recorded");
    ThreadWindow popup("IEFrame", "popup");
    Module1::colFrames.emplace_back(static_cast<int32_t>(startFrame.threadId()));
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kInstances, "abc", "0");
    Record(recorded.threadId());
    std::string padded = std::to_string(popup.threadId() + 1);
    padded.insert(0, "00");  // leading zeros still name the thread next to the popup's
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kInstances, padded, "0");

    Activate(popup.hwnd());
    EXPECT_EQ(popup.closes(), 1);
    EXPECT_EQ(recorded.closes(), 0);  // its name is still compared after "abc"
    EXPECT_EQ(startFrame.closes(), 0);
}

TEST_F(Activation, StartFramesStayWhenTheRegisterIsMissingOrUnreadable) {
    ThreadWindow startFrame("IEFrame", "start");
    ThreadWindow popup("IEFrame", "popup");
    Module1::colFrames.emplace_back(static_cast<int32_t>(startFrame.threadId()));

    Activate(popup.hwnd());  // no key at all
    EXPECT_EQ(popup.closes(), 1);
    EXPECT_EQ(startFrame.closes(), 0);

    Record(startFrame.threadId());
    WINAPI32::Api.OpenKeyEx = &DeniedOpen;
    Activate(popup.hwnd());
    EXPECT_EQ(popup.closes(), 2);
    EXPECT_EQ(startFrame.closes(), 0);
}

TEST(CheckThreadId, ComparesNamesAsNumbers) {
    ui::frmmain form;
    Module1::colInstances = std::vector<std::string>{"abc", "0042", "7"};
    EXPECT_EQ(form.CheckThreadId(42), 1);
    EXPECT_EQ(form.CheckThreadId(7), 1);
    EXPECT_EQ(form.CheckThreadId(8), 0);
    Module1::colInstances.reset();
    EXPECT_EQ(form.CheckThreadId(7), 0);
}

TEST_F(Activation, AnEndedFrameThreadOfTheStartGivesItsIdBack) {
    // Two frames open at start; the first one's browser closes. Its id must leave the
    // register before the system can give it to a new thread, whose pop-up would then be
    // exempt for good.
    auto closed = std::make_unique<ThreadWindow>("IEFrame", "closed after the start");
    ThreadWindow open("IEFrame", "still open");
    const auto closedId = static_cast<int32_t>(closed->threadId());
    const auto openId = static_cast<int32_t>(open.threadId());
    for (int32_t id : {closedId, openId}) {
        Module1::colFrames.emplace_back(id);
        Record(static_cast<DWORD>(id));
    }
    closed.reset();  // its thread ends

    ThreadWindow other("TamewinOther", "activated");
    Activate(other.hwnd());
    ASSERT_EQ(Module1::colFrames.size(), 1u);
    EXPECT_EQ(Module1::colFrames[0].ThreadId, openId);
    const auto names = WINAPI32::EnumKeyValues(kInstances);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, std::vector<std::string>{std::to_string(openId)});
    EXPECT_EQ(open.closes(), 0);
}
