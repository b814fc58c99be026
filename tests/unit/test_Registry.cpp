#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "registry/WINAPI32.h"
#include "win32/Handles.h"

using WINAPI32::kLocalMachine;
using WINAPI32::regstring;

namespace {

const std::string kKey = "Software\\IETamewinTests\\Registry";

// The bytes as stored, read past the functions under test; empty when the value is missing.
std::string Raw(const std::string& name) {
    win32::Key key;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ, key.put());
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

// Injected failures: the key will not open, as for a standard user; a longer name is added
// during the listing (index 1 reports "more data" once).
LONG WINAPI DeniedOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_ACCESS_DENIED;
}
bool g_grow = false;
LONG WINAPI GrowingEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD length, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    return index == 1 && std::exchange(g_grow, false)
               ? ERROR_MORE_DATA
               : ::RegEnumValueA(key, index, name, length, reserved, type, data, dataSize);
}

struct Registry : ::testing::Test {
    void SetUp() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str()); }
    void TearDown() override {
        WINAPI32::Api = {};
        SetUp();
    }
};

}  // namespace

TEST_F(Registry, WritesTheTrimmedDefaultWithItsNulAndReadsWholeWhatIsThere) {
    // The system adds a NUL its caller left out, except after an empty text.
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Name", "  Yes "), "  Yes ");
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Blank", "  "), "  ");
    EXPECT_EQ(Raw("Name") + Raw("Blank"), std::string("Yes\0\0", 5));

    // Existing values, however long or stored, are read whole and never changed.
    const std::string longText = std::string(4999, 'x') + "z";
    const DWORD number = 7;
    Put("Long", REG_SZ, longText.c_str(), static_cast<DWORD>(longText.size() + 1));
    Put("NoNul", REG_SZ, "07", 1);  // stored without its terminator
    Put("Number", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Long", "d"), longText);
    EXPECT_EQ(regstring(kLocalMachine, kKey, "NoNul", "9"), "0");
    EXPECT_EQ(regstring(kLocalMachine, kKey, "Number", "C:\\X.EXE"), "C:\\X.EXE");
    EXPECT_EQ(Raw("Number"), std::string(reinterpret_cast<const char*>(&number), 4));
}

TEST_F(Registry, WithoutAccessGivesTheDefaultAndNeverCreatesOverAnUnreadableKey) {
    Put("7", REG_SZ, "1", 2);
    WINAPI32::Api.OpenKeyEx = &DeniedOpen;
    EXPECT_EQ(regstring(kLocalMachine, kKey, "7", "0"), "0");
    EXPECT_EQ(Raw("7"), std::string("1\0", 2));  // the key exists for all the program knows
    EXPECT_FALSE(WINAPI32::EnumKeyValues(kKey).has_value());
}

TEST_F(Registry, ListsEveryNameHoweverLongAndDeletesOnlyTheNamedOne) {
    const std::string longName(3000, 'n');
    for (const std::string& name : {std::string("7"), std::string("abc"), longName}) {
        Put(name, REG_SZ, "0", 2);
    }
    WINAPI32::DeleteRegString(kLocalMachine, kKey, "7");
    const std::vector<std::string> rest{"abc", longName};
    EXPECT_EQ(WINAPI32::EnumKeyValues(kKey), rest);
    g_grow = true;
    WINAPI32::Api.EnumValue = &GrowingEnumValue;
    EXPECT_EQ(WINAPI32::EnumKeyValues(kKey), rest);
}
