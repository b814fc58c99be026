#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "TestWindows.h"
#include "registry/WINAPI32.h"
#include "startup/Module1.h"
#include "startup/clstamewin.h"
#include "ui/frmmain.h"

namespace {

const char kToolbar[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{CFF32220-C089-11d3-9A6C-00104BD4D490}";

// Injected failures: what a standard user meets beside an elevated copy.
LONG WINAPI DeniedOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI DeniedCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                         LPDWORD) {
    return ERROR_ACCESS_DENIED;
}
HANDLE WINAPI DeniedMutex(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

// The module name as the system gives it: a path that does not fit is cut to the buffer,
// NUL-terminated, and the buffer's size returned. An empty path: the call fails.
std::string g_programPath;
DWORD WINAPI SeamModuleFileName(HMODULE, LPSTR buffer, DWORD size) {
    const DWORD n = std::min<DWORD>(static_cast<DWORD>(g_programPath.size()), size - 1);
    std::copy_n(g_programPath.data(), n, buffer);
    buffer[n] = '\0';
    return g_programPath.size() >= size ? size : n;
}

std::string ToolbarValue(const char* name) {  // empty when missing
    char data[1024] = {};
    DWORD size = sizeof(data);
    ::RegGetValueA(HKEY_LOCAL_MACHINE, kToolbar, name, RRF_RT_REG_SZ, nullptr, data, &size);
    return data;
}

struct StartUp : ::testing::Test {
    void SetUp() override { TearDown(); }
    void TearDown() override {
        Module1::EndProgram();  // a copy that should not have started
        WINAPI32::Api = {};
        clstamewin::ModuleFileName = &::GetModuleFileNameA;
        Module1::CreateInstanceMutex = &::CreateMutexA;
        Module1::colFrames.clear();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, Module1::kInstancesKey);
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbar);
    }
};

}  // namespace

TEST_F(StartUp, DeniedAccessEndsOnlyACopyWhoseMutexIsDenied) {
    testing_windows::ThreadWindow frame("IEFrame", "open at start");
    // A copy started beside an elevated one may not open its mutex: it ends as beside any copy.
    Module1::CreateInstanceMutex = &DeniedMutex;
    EXPECT_FALSE(Module1::Main());
    EXPECT_FALSE(WINAPI32::EnumKeyValues(Module1::kInstancesKey).has_value());

    // Without write access to the register the start completes all the same.
    WINAPI32::Api.OpenKeyEx = &DeniedOpen;
    WINAPI32::Api.CreateKeyEx = &DeniedCreate;
    clstamewin app;
    ASSERT_EQ(Module1::colFrames.size(), 1u);
    EXPECT_EQ(Module1::colFrames[0].ThreadId, static_cast<int32_t>(frame.threadId()));
    EXPECT_TRUE(app.NewMain->WinHook1.HookActive());
    EXPECT_EQ(app.NewMain->ZTray1.ToolTipText(), "IE Tamewin Enabled");
}

TEST_F(StartUp, TheToolbarButtonTakesThePathWholeAtAnyLengthAndNeverCut) {
    const std::string exe =
        "C:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b') + "\\tamewin.EXE";
    g_programPath = exe.substr(0, exe.size() - 3) + "exe";
    clstamewin::ModuleFileName = &SeamModuleFileName;
    clstamewin app;
    EXPECT_EQ(ToolbarValue("Exec"), exe);
    EXPECT_EQ(ToolbarValue("Icon") + ToolbarValue("HotIcon"), exe + ",103" + exe + ",104");

    g_programPath.clear();  // the system gives no path: none rather than a cut one
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbar);
    app.RegisterToolbarButton();
    EXPECT_EQ(ToolbarValue("ButtonText"), "Ie Tamewin");
    EXPECT_EQ(ToolbarValue("Exec") + ToolbarValue("Icon") + ToolbarValue("HotIcon"), "");
}
