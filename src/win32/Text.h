// The program keeps its texts in UTF-8. The system's calls that take a path, or a text that
// comes from outside, take UTF-16: a folder named in any script is then found, whatever the
// system's ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

inline std::wstring Wide(std::string_view text) {
    std::wstring wide;
    const int size = static_cast<int>(text.size());
    const int n = size == 0 ? 0 : ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    wide.resize(static_cast<size_t>(n));
    if (n > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), n);
    }
    return wide;
}

// The text in a code page: CP_UTF8, or CP_ACP for the ANSI calls that show it.
inline std::string Narrow(std::wstring_view text, UINT codePage) {
    std::string narrow;
    const int size = static_cast<int>(text.size());
    const int n = size == 0 ? 0
                            : ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0,
                                                    nullptr, nullptr);
    narrow.resize(static_cast<size_t>(n));
    if (n > 0) {
        ::WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), n, nullptr, nullptr);
    }
    return narrow;
}

inline std::string Utf8(std::wstring_view text) {
    return Narrow(text, CP_UTF8);
}

}  // namespace win32
