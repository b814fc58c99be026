// The program's registry functions. Root keys travel as the text of the key's handle value in
// signed decimal (HKEY_LOCAL_MACHINE is "-2147483646"). Failed registry calls are not errors:
// each function says what it does when a call fails. `view` is 0 (the program's own view of
// HKEY_LOCAL_MACHINE\Software), KEY_WOW64_64KEY or KEY_WOW64_32KEY: on 64-bit Windows the two
// views are two keys; 32-bit Windows, and HKEY_CURRENT_USER\Software, ignore the flags. Texts
// are UTF-8, and go to the registry as UTF-16: a value may name a folder in any script.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace WINAPI32 {

inline const std::string kLocalMachine = "-2147483646";
inline const std::string kCurrentUser = "-2147483647";

// Creates the key (and any missing keys on its path) and writes `data` as REG_SZ with its
// terminating NUL. Returns the code of the value write (0 = written).
int32_t RegCreateString(const std::string& rootKey, const std::string& keyPath,
                        const std::string& valueName, const std::string& data, REGSAM view = 0);

// Deletes the value; a missing key or value is no error.
void DeleteRegString(std::string rootKey, std::string keyPath, std::string valueName,
                     REGSAM view = 0);

// Reads a string value whole. A missing key or value is created with the default, trimmed of
// blanks, and the untrimmed default is returned; an existing value is never changed. A value
// that cannot be read (no access, another type of data) gives the default.
std::string regstring(std::string rootKey, const std::string& keyPath, std::string valueName,
                      const std::string& defaultText, REGSAM view = 0);

// The names of every value of the key, in the system's order, or no list when the key cannot
// be opened for reading.
std::optional<std::vector<std::string>> EnumKeyValues(const std::string& rootKey,
                                                      std::string keyPath, REGSAM view = 0);

// Whether this user may write values to the key: it is opened, or made, for writing. A
// standard user, or an administrator without elevation, is refused under HKEY_LOCAL_MACHINE.
bool RegWritable(const std::string& rootKey, const std::string& keyPath, REGSAM view = 0);

// The registry calls these functions make; tests replace entries to inject failures.
struct RegistryApi {
    decltype(&::RegCreateKeyExW) CreateKeyEx = &::RegCreateKeyExW;
    decltype(&::RegOpenKeyExW) OpenKeyEx = &::RegOpenKeyExW;
    decltype(&::RegSetValueExW) SetValueEx = &::RegSetValueExW;
    decltype(&::RegQueryValueExW) QueryValueEx = &::RegQueryValueExW;
    decltype(&::RegEnumValueW) EnumValue = &::RegEnumValueW;
    decltype(&::RegDeleteValueW) DeleteValue = &::RegDeleteValueW;
    decltype(&::RegQueryInfoKeyW) QueryInfoKey = &::RegQueryInfoKeyW;
};
extern RegistryApi Api;

}  // namespace WINAPI32
