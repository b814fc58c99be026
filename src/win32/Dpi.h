// The DPI the system draws at: the screen's, a window's and a monitor's, and sizes scaled to it.
#pragma once

#include <windows.h>

namespace win32 {

// The DPI the design sizes are given for.
constexpr UINT kDesignDpi = 96;

// The screen's logical pixels per inch, vertically.
UINT ScreenDpi();
// The DPI a window is drawn at: per monitor from Windows 10 1607 on (GetDpiForWindow); before
// that, and where the system cannot tell (no window), the screen's.
UINT WindowDpi(HWND window);
// A monitor's effective DPI from Windows 8.1 on (GetDpiForMonitor); before that every monitor
// has the screen's.
UINT MonitorDpi(HMONITOR monitor);

// A design size at `dpi`.
inline int Scaled(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}
// A size the system gives for the screen's DPI (metrics, fonts) at `dpi`.
int FromScreenDpi(int size, UINT dpi);

}  // namespace win32
