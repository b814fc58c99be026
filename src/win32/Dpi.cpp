#include "win32/Dpi.h"

#include <algorithm>
#include <string>

#include "win32/Handles.h"
#include "win32/SystemProc.h"

namespace win32 {

namespace {

using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;

// shcore.dll is not loaded by the program otherwise; it is taken from the system folder only.
GetDpiForMonitorFn LoadGetDpiForMonitor() {
    static const Module shcore = [] {
        wchar_t folder[MAX_PATH];
        const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return Module();
        }
        const std::wstring path = std::wstring(folder, length) + L"\\shcore.dll";
        return Module(::LoadLibraryW(path.c_str()));
    }();
    if (!shcore) {
        return nullptr;
    }
    return reinterpret_cast<GetDpiForMonitorFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(shcore.get(), "GetDpiForMonitor")));
}

DpiCalls::ForWindowFn FindGetDpiForWindow() {
    static const auto proc = SystemProc<DpiCalls::ForWindowFn>("user32.dll", "GetDpiForWindow");
    return proc;
}

}  // namespace

DpiCalls::ForWindowFn (*DpiCalls::FindForWindow)() = &FindGetDpiForWindow;
UINT (*DpiCalls::ForMonitor)(HMONITOR) = &MonitorDpi;

UINT ScreenDpi() {
    WindowDc screen(nullptr);
    return static_cast<UINT>(std::max(1, ::GetDeviceCaps(screen.get(), LOGPIXELSY)));
}

UINT WindowDpi(HWND window) {
    if (window == nullptr) {
        return ScreenDpi();
    }
    const DpiCalls::ForWindowFn dpiForWindow = DpiCalls::FindForWindow();
    const UINT dpi = dpiForWindow != nullptr ? dpiForWindow(window) : 0;
    return dpi != 0 ? dpi
                    : DpiCalls::ForMonitor(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

UINT MonitorDpi(HMONITOR monitor) {
    static const GetDpiForMonitorFn dpiForMonitor = LoadGetDpiForMonitor();
    UINT x = 0;
    UINT y = 0;
    if (dpiForMonitor != nullptr && SUCCEEDED(dpiForMonitor(monitor, kEffectiveDpi, &x, &y)) &&
        y > 0) {
        return y;
    }
    return ScreenDpi();
}

int FromScreenDpi(int size, UINT dpi) {
    return ::MulDiv(size, static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

}  // namespace win32
