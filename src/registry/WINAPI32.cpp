#include "registry/WINAPI32.h"

#include "diagnostics/modTrace.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace WINAPI32 {

RegistryApi Api;

namespace {

constexpr char kModule[] = "WINAPI32";
constexpr size_t kLongestValueName = 16383;  // the registry's own limit, in characters

HKEY RootKey(const std::string& text) {
    // The text holds the handle value as a signed 32-bit number; predefined keys are
    // sign-extended on 64-bit Windows.
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(diagnostics::CLng(text)));
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Reads a REG_SZ or REG_EXPAND_SZ value whole, however long, with or without a stored
// terminating NUL. Returns the system's code; `text` is set only on success.
LONG ReadString(HKEY key, const std::string& valueName, std::string& text) {
    const std::wstring name = win32::Wide(valueName);
    std::wstring buffer(64, L'\0');
    for (;;) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(buffer.size()) * DWORD{sizeof(wchar_t)};
        LONG rc = Api.QueryValueEx(key, name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (rc == ERROR_MORE_DATA) {
            // The value may grow meanwhile; an odd size is a byte short of a character.
            buffer.assign(size / sizeof(wchar_t) + 2, L'\0');
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            return rc;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            return ERROR_INVALID_DATA;
        }
        buffer.resize(size / sizeof(wchar_t));
        text = win32::Utf8(buffer.substr(0, buffer.find(L'\0')));
        return ERROR_SUCCESS;
    }
}

}  // namespace

int32_t RegCreateString(const std::string& rootKey, const std::string& keyPath,
                        const std::string& valueName, const std::string& data, REGSAM view) {
    return modTrace::Traced(
        kModule, "Function RegCreateString", int32_t{ERROR_INVALID_FUNCTION},
        [&](modTrace::Lines& line) {
            win32::Key key;
            int32_t result = ERROR_INVALID_HANDLE;
            line(10, [&] {
                DWORD disposition = 0;
                Api.CreateKeyEx(RootKey(rootKey), win32::Wide(keyPath).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr, key.put(),
                                &disposition);
            });
            line(20, [&] {
                // The terminating NUL is stored with the text, as REG_SZ requires.
                const std::wstring text = win32::Wide(data);
                result =
                    Api.SetValueEx(key.get(), win32::Wide(valueName).c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1) * DWORD{sizeof(wchar_t)});
            });
            return result;
        });
}

void DeleteRegString(std::string rootKey, std::string keyPath, std::string valueName, REGSAM view) {
    modTrace::TracedSub(kModule, "Function DeleteRegString", [&](modTrace::Lines& line) {
        win32::Key key;
        LONG opened = ERROR_FILE_NOT_FOUND;
        line(10, [&] {
            opened = Api.OpenKeyEx(RootKey(rootKey), win32::Wide(keyPath).c_str(), 0,
                                   KEY_SET_VALUE | view, key.put());
        });
        line(20, [&] {
            if (opened == ERROR_SUCCESS) {
                Api.DeleteValue(key.get(), win32::Wide(valueName).c_str());
            }
        });
    });
}

std::string regstring(std::string rootKey, const std::string& keyPath, std::string valueName,
                      const std::string& defaultText, REGSAM view) {
    return modTrace::Traced(kModule, "Function regstring", defaultText, [&](modTrace::Lines& line) {
        win32::Key key;
        LONG opened = ERROR_SUCCESS;
        LONG read = ERROR_SUCCESS;
        std::string result = defaultText;
        line(10, [&] {
            opened = Api.OpenKeyEx(RootKey(rootKey), win32::Wide(keyPath).c_str(), 0,
                                   KEY_QUERY_VALUE | view, key.put());
        });
        line(20, [&] {
            if (opened == ERROR_SUCCESS) {
                read = ReadString(key.get(), valueName, result);
            }
        });
        line(30, [&] {
            key.reset();
            // Only a missing key or value is created; a value that exists but cannot be
            // read is left as it is.
            if (opened == ERROR_FILE_NOT_FOUND ||
                (opened == ERROR_SUCCESS && read == ERROR_FILE_NOT_FOUND)) {
                RegCreateString(rootKey, keyPath, valueName, Trimmed(defaultText), view);
            }
        });
        return result;
    });
}

std::optional<std::vector<std::string>> EnumKeyValues(const std::string& rootKey,
                                                      std::string keyPath, REGSAM view) {
    // No list unless the listing runs to its end.
    std::optional<std::vector<std::string>> result;
    modTrace::TracedSub(kModule, "Function EnumKeyValues", [&](modTrace::Lines& line) {
        std::optional<std::vector<std::string>> names;
        win32::Key key;
        LONG opened = ERROR_FILE_NOT_FOUND;
        line(10, [&] {
            opened = Api.OpenKeyEx(RootKey(rootKey), win32::Wide(keyPath).c_str(), 0,
                                   KEY_READ | view, key.put());
        });
        line(20, [&] {
            if (opened != ERROR_SUCCESS) {
                return;
            }
            names.emplace();
            DWORD longest = 0;
            Api.QueryInfoKey(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, &longest, nullptr, nullptr, nullptr);
            std::wstring name(static_cast<size_t>(longest) + 1, L'\0');
            for (DWORD index = 0;;) {
                DWORD length = static_cast<DWORD>(name.size());
                LONG rc = Api.EnumValue(key.get(), index, name.data(), &length, nullptr, nullptr,
                                        nullptr, nullptr);
                if (rc == ERROR_MORE_DATA && name.size() <= kLongestValueName) {
                    // A longer name was added since the key was measured.
                    name.assign(name.size() * 2, L'\0');
                    continue;
                }
                if (rc != ERROR_SUCCESS) {
                    // A list cut short would pass for the whole register.
                    if (rc != ERROR_NO_MORE_ITEMS) {
                        names.reset();
                    }
                    break;
                }
                names->push_back(win32::Utf8(std::wstring_view(name.data(), length)));
                ++index;
            }
        });
        result = std::move(names);
    });
    return result;
}

bool RegWritable(const std::string& rootKey, const std::string& keyPath, REGSAM view) {
    return modTrace::Traced(kModule, "Function RegWritable", false, [&](modTrace::Lines& line) {
        LONG created = ERROR_INVALID_FUNCTION;
        line(10, [&] {
            win32::Key key;
            created = Api.CreateKeyEx(RootKey(rootKey), win32::Wide(keyPath).c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | view, nullptr,
                                      key.put(), nullptr);
        });
        return created == ERROR_SUCCESS;
    });
}

}  // namespace WINAPI32
