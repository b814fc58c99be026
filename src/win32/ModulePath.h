// The full path of a module at any length, in UTF-8, as GetModuleFileNameW gives it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "win32/Text.h"

namespace win32 {

using ModuleFileNameFn = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);

// None when the system will not give the path whole. `get` is the system's call unless a
// caller has reason to put another in its place.
inline std::optional<std::string> ModulePath(HMODULE module,
                                             ModuleFileNameFn get = &::GetModuleFileNameW) {
    constexpr size_t kLongestPath = 32768;  // the system's limit, with the NUL
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = get(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return std::nullopt;
        }
        if (n < path.size()) {  // a cut path fills the buffer
            path.resize(n);
            return Utf8(path);
        }
        if (path.size() >= kLongestPath) {
            return std::nullopt;
        }
        path.resize(path.size() * 2 < kLongestPath ? path.size() * 2 : kLongestPath);
    }
}

}  // namespace win32
