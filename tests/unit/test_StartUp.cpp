#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "TestWindows.h"
#include "registry/WINAPI32.h"
#include "startup/Module1.h"
#include "startup/clstamewin.h"
#include "ui/frmmain.h"

using testing_windows::ThreadWindow;

namespace {

const std::string kInstances = Module1::kInstancesKey;

std::set<std::string> InstanceNames() {
    auto names = WINAPI32::EnumKeyValues(kInstances);
    return names ? std::set<std::string>(names->begin(), names->end()) : std::set<std::string>{};
}

void Put(const std::string& name) {
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kInstances, name, "0");
}

LONG WINAPI DeniedOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI DeniedCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                         LPDWORD) {
    return ERROR_ACCESS_DENIED;
}

class StartUp : public ::testing::Test {
  protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstances.c_str()); }
    void TearDown() override {
        WINAPI32::Api = WINAPI32::RegistryApi{};
        Module1::colFrames.clear();
        Module1::colWindows.clear();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstances.c_str());
    }
};

}  // namespace

TEST_F(StartUp, WithoutWriteAccessStartUpStillCompletes) {
    ThreadWindow frame("IEFrame", "open at start");
    Put(std::to_string(frame.threadId()));  // the key exists but will not open
    WINAPI32::Api.OpenKeyEx = &DeniedOpen;
    WINAPI32::Api.CreateKeyEx = &DeniedCreate;

    clstamewin app;
    ASSERT_EQ(Module1::colFrames.size(), 1u);
    EXPECT_EQ(Module1::colFrames[0].ThreadId, static_cast<int32_t>(frame.threadId()));
    EXPECT_TRUE(app.NewMain->WinHook1.HookActive());
    EXPECT_EQ(app.NewMain->ZTray1.ToolTipText(), "IE Tamewin Enabled");
}

namespace {

HANDLE WINAPI DeniedMutex(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

}  // namespace

TEST_F(StartUp, ACopyWhoseMutexIsDeniedEndsAsBesideARunningCopy) {
    // What a copy started without elevation meets when the running copy is elevated.
    ThreadWindow frame("IEFrame", "open at start");
    Module1::CreateInstanceMutex = &DeniedMutex;
    const bool runs = Module1::Main();
    Module1::CreateInstanceMutex = &::CreateMutexA;
    EXPECT_FALSE(runs);
    EXPECT_EQ(Module1::objApp, nullptr);
    EXPECT_EQ(::FindWindowA("IETamewin.Main", nullptr), nullptr);
    EXPECT_EQ(InstanceNames(), std::set<std::string>{});
}

namespace {

const char kToolbar[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{CFF32220-C089-11d3-9A6C-00104BD4D490}";

std::string g_programPath;  // the path the module-name seam gives

// As the system answers: a path that does not fit is cut to the buffer, NUL-terminated, and
// the buffer's size returned.
DWORD WINAPI SeamModuleFileName(HMODULE, LPSTR buffer, DWORD size) {
    if (size == 0) {
        return 0;
    }
    const DWORD n = std::min<DWORD>(static_cast<DWORD>(g_programPath.size()), size - 1);
    std::copy_n(g_programPath.data(), n, buffer);
    buffer[n] = '\0';
    if (g_programPath.size() >= size) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return n;
}
DWORD WINAPI FailingModuleFileName(HMODULE, LPSTR, DWORD) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
}

std::optional<std::string> ToolbarValue(const char* name) {
    char data[1024] = {};
    DWORD size = sizeof(data);
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kToolbar, name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(data);
}

class ToolbarButton : public StartUp {
  protected:
    void SetUp() override {
        StartUp::SetUp();
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbar);
    }
    void TearDown() override {
        clstamewin::ModuleFileName = &::GetModuleFileNameA;
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbar);
        StartUp::TearDown();
    }
    void PutValue(const char* name, const std::string& data) {
        WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kToolbar, name, data);
    }
    clstamewin app;
};

}  // namespace

TEST_F(ToolbarButton, TakesThePathWholeAtAnyLengthAndNeverCut) {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbar);
    clstamewin::ModuleFileName = &FailingModuleFileName;
    app.RegisterToolbarButton();
    EXPECT_EQ(ToolbarValue("Exec"), std::nullopt);
    EXPECT_EQ(ToolbarValue("Icon"), std::nullopt);
    EXPECT_EQ(ToolbarValue("ButtonText"), "Ie Tamewin");

    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbar);
    const std::string folder = "C:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b');
    g_programPath = folder + "\\tamewin.exe";
    clstamewin::ModuleFileName = &SeamModuleFileName;
    app.RegisterToolbarButton();
    EXPECT_EQ(ToolbarValue("Exec"), folder + "\\tamewin.EXE");
    EXPECT_EQ(ToolbarValue("Icon"), folder + "\\tamewin.EXE,103");
    EXPECT_EQ(ToolbarValue("HotIcon"), folder + "\\tamewin.EXE,104");
}

TEST_F(ToolbarButton, ADeadButtonTakesThisProgramAnotherCopysStays) {
    g_programPath = "C:\\Tools\\tamewin.exe";
    clstamewin::ModuleFileName = &SeamModuleFileName;

    // The program moved: the button's program file no longer exists.
    PutValue("Exec", "C:\\gone\\tamewin.EXE");
    PutValue("Icon", "C:\\gone\\tamewin.EXE,103");
    PutValue("HotIcon", "C:\\gone\\tamewin.EXE,104");
    app.RegisterToolbarButton();
    EXPECT_EQ(ToolbarValue("Exec"), "C:\\Tools\\tamewin.EXE");
    EXPECT_EQ(ToolbarValue("Icon"), "C:\\Tools\\tamewin.EXE,103");
    EXPECT_EQ(ToolbarValue("HotIcon"), "C:\\Tools\\tamewin.EXE,104");

    // A program file that exists may be another installed copy's.
    char windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string other = std::string(windows, length) + "\\notepad.exe";
    PutValue("Exec", other);
    PutValue("Icon", other + ",1");
    app.RegisterToolbarButton();
    EXPECT_EQ(ToolbarValue("Exec"), other);
    EXPECT_EQ(ToolbarValue("Icon"), other + ",1");
}
