// The program's registry functions. Root keys travel as the text of the key's handle value in
// signed decimal (HKEY_LOCAL_MACHINE is "-2147483646"). Failed registry calls are not errors:
// each function says what it does when a call fails.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace WINAPI32 {

inline const std::string kLocalMachine = "-2147483646";

// Creates the key (and any missing keys on its path) and writes `data` as REG_SZ with its
// terminating NUL. Returns the code of the value write (0 = written).
int32_t RegCreateString(const std::string& rootKey, const std::string& keyPath,
                        const std::string& valueName, const std::string& data);

// Deletes the value; a missing key or value is no error.
void DeleteRegString(std::string rootKey, std::string keyPath, std::string valueName);

// Reads a string value whole. A missing key or value is created with the default, trimmed of
// blanks, and the untrimmed default is returned; an existing value is never changed. A value
// that cannot be read (no access, another type of data) gives the default.
std::string regstring(std::string rootKey, const std::string& keyPath, std::string valueName,
                      const std::string& defaultText);

// The names of every value of the key under HKEY_LOCAL_MACHINE, in the system's order, or no
// list when the key cannot be opened for reading.
std::optional<std::vector<std::string>> EnumKeyValues(std::string keyPath);

// The registry calls these functions make; tests replace entries to inject failures.
struct RegistryApi {
    decltype(&::RegCreateKeyExA) CreateKeyEx = &::RegCreateKeyExA;
    decltype(&::RegOpenKeyExA) OpenKeyEx = &::RegOpenKeyExA;
    decltype(&::RegSetValueExA) SetValueEx = &::RegSetValueExA;
    decltype(&::RegQueryValueExA) QueryValueEx = &::RegQueryValueExA;
    decltype(&::RegEnumValueA) EnumValue = &::RegEnumValueA;
    decltype(&::RegDeleteValueA) DeleteValue = &::RegDeleteValueA;
    decltype(&::RegQueryInfoKeyA) QueryInfoKey = &::RegQueryInfoKeyA;
};
extern RegistryApi Api;

}  // namespace WINAPI32
