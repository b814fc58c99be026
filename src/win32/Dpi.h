// The DPI the system draws at: the screen's, a window's and a monitor's, and sizes scaled to it.
#pragma once

#include <windows.h>

namespace win32 {

// The DPI the design sizes are given for.
constexpr UINT kDesignDpi = 96;

// The screen's logical pixels per inch, vertically.
UINT ScreenDpi();
// The DPI a window is drawn at: its own from Windows 10 1607 on (GetDpiForWindow); on Windows
// 8.1 to 10 1511 its monitor's; before that, and for no window, the screen's.
UINT WindowDpi(HWND window);
// A monitor's effective DPI from Windows 8.1 on (GetDpiForMonitor); before that every monitor
// has the screen's.
UINT MonitorDpi(HMONITOR monitor);

// What a window's DPI is taken from: the lookup of GetDpiForWindow (null where the system lacks
// it), and the monitor's DPI where it is missing.
struct DpiCalls {
    using ForWindowFn = UINT(WINAPI*)(HWND);
    static ForWindowFn (*FindForWindow)();
    static UINT (*ForMonitor)(HMONITOR monitor);
};

// A design size at `dpi`.
inline int Scaled(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}
// A size the system gives for the screen's DPI (metrics, fonts) at `dpi`.
int FromScreenDpi(int size, UINT dpi);

}  // namespace win32
