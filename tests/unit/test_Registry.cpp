#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "registry/WINAPI32.h"
#include "win32/Handles.h"

using WINAPI32::kLocalMachine;

namespace {

const std::string kTestKey = "Software\\IETamewinTests\\Registry";

// Raw access to the test key, independent of the functions under test.
struct RawValue {
    LONG rc = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::string bytes;
};

RawValue ReadRaw(const std::string& name) {
    RawValue v;
    win32::Key key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_READ, key.put()) != 0) {
        return v;
    }
    DWORD size = 0;
    v.rc = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &v.type, nullptr, &size);
    if (v.rc == ERROR_SUCCESS) {
        v.bytes.assign(size, '\0');
        ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &v.type,
                           reinterpret_cast<BYTE*>(v.bytes.data()), &size);
    }
    return v;
}

void WriteRaw(const std::string& name, DWORD type, const void* data, DWORD size) {
    win32::Key key;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        ::RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
        ERROR_SUCCESS);
}

bool KeyExists() {
    win32::Key key;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey.c_str(), 0, KEY_READ, key.put()) == 0;
}

// Injected failures: the registry refuses what a standard user may not do.
int g_createCalls = 0;
LONG WINAPI DeniedOpen(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) {
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI CountingDeniedCreate(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                                 PHKEY, LPDWORD) {
    ++g_createCalls;
    return ERROR_ACCESS_DENIED;
}
LONG WINAPI FailingSetValue(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) {
    return ERROR_ACCESS_DENIED;
}
// Reports "more data" once per index 1, as when a longer name is added during the listing.
int g_moreDataLeft = 0;
LONG WINAPI GrowingEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD length, LPDWORD reserved,
                             LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (index == 1 && g_moreDataLeft > 0) {
        --g_moreDataLeft;
        return ERROR_MORE_DATA;
    }
    return ::RegEnumValueA(key, index, name, length, reserved, type, data, dataSize);
}

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey.c_str());
        g_createCalls = 0;
    }
    void TearDown() override {
        WINAPI32::Api = WINAPI32::RegistryApi{};
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey.c_str());
    }
};

}  // namespace

TEST_F(Registry, RegstringCreatesMissingKeyAndValueWithTrimmedDefault) {
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "Name", "  Yes "), "  Yes ");
    RawValue v = ReadRaw("Name");
    ASSERT_EQ(v.rc, ERROR_SUCCESS);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(v.bytes, std::string("Yes\0", 4));  // stored with its terminating NUL

    // A second value in the now existing key is created the same way.
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "Other", "0"), "0");
    EXPECT_EQ(ReadRaw("Other").bytes, std::string("0\0", 2));
}

TEST_F(Registry, RegstringKeepsAndReturnsExistingValuesWhole) {
    WriteRaw("WithNul", REG_SZ, "Yes", 4);
    // Source data with no NUL after the counted byte: stored without a terminator.
    const char noTerminator[] = {'0', '7'};
    WriteRaw("NoNul", REG_SZ, noTerminator, 1);
    std::string longText(5000, 'x');
    longText[4999] = 'z';
    WriteRaw("Long", REG_SZ, longText.c_str(), static_cast<DWORD>(longText.size() + 1));
    WriteRaw("Empty", REG_SZ, "", 0);

    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "WithNul", "No"), "Yes");
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "NoNul", "9"), "0");
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "Long", "d"), longText);
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "Empty", "d"), "");
    // Nothing was overwritten.
    EXPECT_EQ(ReadRaw("NoNul").bytes.substr(0, 1), "0");
    EXPECT_EQ(ReadRaw("Empty").bytes.size(), 0u);
}

TEST_F(Registry, RegstringLeavesValuesOfAnotherTypeAlone) {
    DWORD number = 7;
    WriteRaw("Exec", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "Exec", "C:\\X.EXE"), "C:\\X.EXE");
    RawValue v = ReadRaw("Exec");
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(v.bytes.size(), sizeof number);
}

TEST_F(Registry, AccessDeniedGivesTheDefaultAndWritesNothing) {
    WINAPI32::Api.OpenKeyEx = &DeniedOpen;
    WINAPI32::Api.CreateKeyEx = &CountingDeniedCreate;
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "7", "0"), "0");
    EXPECT_EQ(g_createCalls, 0);  // the key exists for all we know: never overwrite it
    EXPECT_FALSE(WINAPI32::EnumKeyValues(kTestKey).has_value());
    WINAPI32::DeleteRegString(kLocalMachine, kTestKey, "7");  // silently nothing

    // A missing key that cannot be created: the default comes back, nothing is recorded.
    WINAPI32::Api = WINAPI32::RegistryApi{};
    WINAPI32::Api.CreateKeyEx = &CountingDeniedCreate;
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "7", "0"), "0");
    EXPECT_EQ(g_createCalls, 1);
    EXPECT_FALSE(KeyExists());
}

TEST_F(Registry, RegCreateStringReportsTheWriteResult) {
    EXPECT_EQ(WINAPI32::RegCreateString(kLocalMachine, kTestKey, "A", ""), ERROR_SUCCESS);
    EXPECT_EQ(ReadRaw("A").bytes, std::string(1, '\0'));
    EXPECT_EQ(WINAPI32::regstring(kLocalMachine, kTestKey, "A", "d"), "");

    WINAPI32::Api.SetValueEx = &FailingSetValue;
    EXPECT_EQ(WINAPI32::RegCreateString(kLocalMachine, kTestKey, "B", "1"), ERROR_ACCESS_DENIED);
    WINAPI32::Api = WINAPI32::RegistryApi{};
    WINAPI32::Api.CreateKeyEx = &CountingDeniedCreate;
    EXPECT_NE(WINAPI32::RegCreateString(kLocalMachine, kTestKey, "C", "1"), ERROR_SUCCESS);
}

TEST_F(Registry, EnumKeyValuesListsEveryNameHoweverLong) {
    EXPECT_FALSE(WINAPI32::EnumKeyValues(kTestKey).has_value());  // no key: no list

    WINAPI32::RegCreateString(kLocalMachine, kTestKey, "x", "0");
    WINAPI32::DeleteRegString(kLocalMachine, kTestKey, "x");
    auto empty = WINAPI32::EnumKeyValues(kTestKey);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());

    std::string longName(3000, 'n');
    DWORD number = 1;
    WriteRaw("7", REG_SZ, "0", 2);
    WriteRaw(longName, REG_SZ, "0", 2);
    WriteRaw("abc", REG_DWORD, &number, sizeof number);
    auto names = WINAPI32::EnumKeyValues(kTestKey);
    ASSERT_TRUE(names.has_value());
    ASSERT_EQ(names->size(), 3u);
    EXPECT_EQ(std::count(names->begin(), names->end(), longName), 1);
    EXPECT_EQ(std::count(names->begin(), names->end(), "abc"), 1);

    // A name that outgrows the buffer during the listing is still listed, and so are the rest.
    g_moreDataLeft = 1;
    WINAPI32::Api.EnumValue = &GrowingEnumValue;
    EXPECT_EQ(WINAPI32::EnumKeyValues(kTestKey), names);
}

TEST_F(Registry, DeleteRegStringDeletesOnlyTheNamedValue) {
    WINAPI32::DeleteRegString(kLocalMachine, kTestKey, "1");  // missing key: no error
    WriteRaw("1", REG_SZ, "0", 2);
    WriteRaw("2", REG_SZ, "0", 2);
    WINAPI32::DeleteRegString(kLocalMachine, kTestKey, "3");  // missing value: no error
    WINAPI32::DeleteRegString(kLocalMachine, kTestKey, "1");
    EXPECT_EQ(ReadRaw("1").rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadRaw("2").rc, ERROR_SUCCESS);
}
