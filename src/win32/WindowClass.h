// Whether a window is of a class, compared exactly (letter case included), as the program
// tells its browser frames from every other window.
#pragma once

#include <windows.h>

#include <cstring>
#include <string_view>

namespace win32 {

inline bool HasClassName(HWND hwnd, std::string_view className) {
    char name[256];  // the longest class name and its NUL
    const int length = ::GetClassNameA(hwnd, name, sizeof name);
    return length > 0 && static_cast<size_t>(length) == className.size() &&
           std::memcmp(name, className.data(), className.size()) == 0;
}

}  // namespace win32
