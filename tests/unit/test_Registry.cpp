// The registry functions, and the start's registry writes beside a denied mutex or a long path.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "TestWindows.h"
#include "registry/WINAPI32.h"
#include "startup/Module1.h"
#include "startup/clstamewin.h"
#include "win32/Handles.h"

using WINAPI32::kLocalMachine;
using WINAPI32::regstring;

namespace {

const std::string kKey = "Software\\IETamewinTests\\Registry";

// The bytes as stored, read past the functions under test; empty when the value is missing.
std::string Raw(const std::string& name, const std::string& path = kKey) {
    win32::Key key;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put());
    std::string bytes(8192, '\0');
    DWORD size = static_cast<DWORD>(bytes.size());
    const LONG rc = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(bytes.data()), &size);
    return bytes.substr(0, rc == ERROR_SUCCESS ? size : 0);
}

void Put(const std::string& name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey.c_str(), name.c_str(), type, data, size),
              ERROR_SUCCESS);
}

// The key denied as to a standard user; the listing's index 1 answers g_atIndex1 once.
LONG WINAPI DeniedOpen(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_ACCESS_DENIED;
}
LONG g_atIndex1 = ERROR_SUCCESS;
LONG WINAPI InjectedEnumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
                              LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    const LONG injected = index == 1 ? std::exchange(g_atIndex1, ERROR_SUCCESS) : ERROR_SUCCESS;
    return injected != ERROR_SUCCESS
               ? injected
               : ::RegEnumValueW(key, index, name, length, reserved, type, data, dataSize);
}

struct Registry : ::testing::Test {
    void SetUp() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str()); }
    void TearDown() override { WINAPI32::Api = {}, SetUp(); }
};

constexpr const char* kToolbar = clstamewin::kToolbarKey;

// What a standard user meets beside an elevated copy.
HANDLE WINAPI DeniedMutex(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

// As the system: a path too long is cut, NUL-terminated, and the size returned; empty fails.
std::string g_programPath;
DWORD WINAPI SeamModuleFileName(HMODULE, LPWSTR buffer, DWORD size) {
    const DWORD n = std::min<DWORD>(static_cast<DWORD>(g_programPath.size()), size - 1);
    std::copy_n(g_programPath.data(), n, buffer);
    buffer[n] = '\0';
    return g_programPath.size() >= size ? size : n;
}

std::string ToolbarValue(const char* name) {  // empty when missing
    return Raw(name, kToolbar).c_str();
}

struct StartUp : ::testing::Test {
    void SetUp() override { TearDown(); }
    void TearDown() override {
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, state::kInstancesKey, KEY_WOW64_64KEY, 0);
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kToolbar, KEY_WOW64_64KEY, 0);
        ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kToolbar, KEY_WOW64_32KEY, 0);
    }
};

}  // namespace

TEST_F(Registry, WritesDefaultReadsWhole) {
    // The system adds a NUL its caller left out, except after an empty text.
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Name", "  Yes "), "  Yes ");
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Blank", "  "), "  ");
    EXPECT_EQ(Raw("Name") + Raw("Blank"), std::string("Yes\0\0", 5));
    // Existing values, however long or stored, are read whole and never changed.
    const std::string longText = std::string(4999, 'x') + "z";
    const DWORD number = 7;
    Put("Long", REG_SZ, longText.c_str(), 5001);
    Put("NoNul", REG_SZ, "07", 1);  // stored without its terminator
    Put("Number", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Long", "d"), longText);
    EXPECT_EQ(regstring(kLocalMachine, kKey, "NoNul", "9"), "0");
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Number", "C:\\X.EXE"), "C:\\X.EXE");
    EXPECT_EQ(Raw("Number"), std::string(reinterpret_cast<const char*>(&number), 4));
}

TEST_F(Registry, DeniedKeyGivesDefault) {
    Put("7", REG_SZ, "1", 2);
    WINAPI32::Api.OpenKeyEx = &DeniedOpen;
    EXPECT_EQ(regstring(kLocalMachine, kKey, "7", "0"), "0");
    EXPECT_EQ(Raw("7"), std::string("1\0", 2));  // the key exists for all the program knows
    EXPECT_FALSE(WINAPI32::EnumKeyValues(kLocalMachine, kKey).has_value());
}

TEST_F(Registry, ListsAllOrNone) {
    const std::string longName(3000, 'n');
    for (const std::string& name : {std::string("7"), std::string("abc"), longName}) {
        Put(name, REG_SZ, "0", 2);
    }
    WINAPI32::DeleteRegString(kLocalMachine, kKey, "7");
    const std::vector<std::string> rest{"abc", longName};
    EXPECT_EQ(WINAPI32::EnumKeyValues(kLocalMachine, kKey), rest);
    WINAPI32::Api.EnumValue = &InjectedEnumValue;
    g_atIndex1 = ERROR_MORE_DATA;
    EXPECT_EQ(WINAPI32::EnumKeyValues(kLocalMachine, kKey), rest);
    // Half a register would leave the frames named in the other half unprotected.
    g_atIndex1 = ERROR_NOT_ENOUGH_MEMORY;
    EXPECT_FALSE(WINAPI32::EnumKeyValues(kLocalMachine, kKey).has_value());
}

TEST_F(StartUp, DeniedMutexEndsTheCopy) {
    testing_windows::ThreadWindow frame("IEFrame", "open at start");
    // A copy started beside an elevated one may not open its mutex: it ends as beside any copy.
    const testing_windows::Seam denied(Module1::CreateInstanceMutex, &DeniedMutex);
    EXPECT_FALSE(Module1::Main());
    EXPECT_FALSE(WINAPI32::EnumKeyValues(kLocalMachine, state::kInstancesKey, KEY_WOW64_64KEY));
}

TEST_F(StartUp, ToolbarPathNeverCut) {
    const std::string exe =
        "C:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b') + "\\tamewin.EXE";
    g_programPath = exe.substr(0, exe.size() - 3) + "exe";
    const testing_windows::Seam path(clstamewin::ModuleFileName, &SeamModuleFileName);
    clstamewin app;
    EXPECT_EQ(ToolbarValue("Exec"), exe);
    EXPECT_EQ(ToolbarValue("Icon") + ToolbarValue("HotIcon"), exe + ",103" + exe + ",104");
    g_programPath.clear();  // the system gives no path: none rather than a cut one
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbar);
    app.RegisterToolbarButton();
    EXPECT_EQ(ToolbarValue("ButtonText"), "Ie Tamewin");
    EXPECT_EQ(ToolbarValue("Exec") + ToolbarValue("Icon") + ToolbarValue("HotIcon"), "");
}
