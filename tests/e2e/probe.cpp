// Test probe for the end-to-end tests: a console program run under Wine beside the program
// under test, to look at windows, tray icons and the registry the way the program sees them
// (same architecture, same registry view) and to post messages.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/Handles.h"

namespace {

HWND ParseHwnd(const char* text) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(text, nullptr, 0)));
}

void PrintWindow(HWND hwnd) {
    char cls[256] = {};
    char title[256] = {};
    DWORD pid = 0;
    ::GetClassNameA(hwnd, cls, sizeof cls);
    ::GetWindowTextA(hwnd, title, sizeof title);
    DWORD tid = ::GetWindowThreadProcessId(hwnd, &pid);
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    LONG_PTR ex = ::GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
    std::printf("%lld\t%lu\t%lu\t%d\t%d\t%ld\t%ld\t%ld\t%ld\t%s\t%s\n",
                static_cast<long long>(reinterpret_cast<INT_PTR>(hwnd)),
                static_cast<unsigned long>(tid), static_cast<unsigned long>(pid),
                ::IsWindowVisible(hwnd) ? 1 : 0, (ex & WS_EX_TOPMOST) ? 1 : 0, r.left, r.top,
                r.right, r.bottom, cls, title);
}

BOOL CALLBACK PrintTopLevel(HWND hwnd, LPARAM) {
    PrintWindow(hwnd);
    return TRUE;
}

BOOL CALLBACK PrintTrayIcon(HWND hwnd, LPARAM) {
    char cls[64] = {};
    ::GetClassNameA(hwnd, cls, sizeof cls);
    if (std::string(cls) == "__wine_tray_icon" && ::IsWindowVisible(hwnd)) {
        PrintWindow(hwnd);
    }
    return TRUE;
}

int Registry(int argc, char** argv) {
    // regvalues PATH | regset PATH NAME DATA | regdelete PATH NAME
    std::string cmd = argv[1];
    win32::Key key;
    if (cmd == "regvalues") {
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, KEY_READ, key.put()) != 0) {
            std::printf("NOKEY\n");
            return 0;
        }
        for (DWORD i = 0;; ++i) {
            char name[16384];
            BYTE data[4096];
            DWORD nameLen = sizeof name;
            DWORD dataLen = sizeof data - 1;
            DWORD type = 0;
            if (::RegEnumValueA(key.get(), i, name, &nameLen, nullptr, &type, data, &dataLen) !=
                0) {
                break;
            }
            data[dataLen] = 0;
            std::printf("%s\t%lu\t%lu\t%s\n", name, static_cast<unsigned long>(type),
                        static_cast<unsigned long>(dataLen), reinterpret_cast<char*>(data));
        }
        return 0;
    }
    if (cmd == "regset" && argc >= 5) {
        if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.put(), nullptr) != 0) {
            return 1;
        }
        return ::RegSetValueExA(key.get(), argv[3], 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(argv[4]),
                                static_cast<DWORD>(std::strlen(argv[4]) + 1)) == 0
                   ? 0
                   : 1;
    }
    if (cmd == "regdelete" && argc >= 4) {
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, KEY_ALL_ACCESS, key.put()) != 0) {
            return 0;
        }
        ::RegDeleteValueA(key.get(), argv[3]);
        return 0;
    }
    if (cmd == "regdeletetree") {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, argv[2]);
        return 0;
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: tameprobe windows | trayicons | post HWND MSG WPARAM LPARAM |\n"
                     "       taskbarcreated | activate HWND | regvalues PATH |\n"
                     "       regset PATH NAME DATA | regdelete PATH NAME | regdeletetree PATH\n");
        return 2;
    }
    std::string cmd = argv[1];
    if (cmd == "windows") {
        ::EnumWindows(&PrintTopLevel, 0);
    } else if (cmd == "trayicons") {
        ::EnumWindows(&PrintTrayIcon, 0);
        if (HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr)) {
            ::EnumChildWindows(tray, &PrintTrayIcon, 0);
        }
    } else if (cmd == "post" && argc >= 6) {
        return ::PostMessageA(ParseHwnd(argv[2]), static_cast<UINT>(std::strtoul(argv[3], nullptr, 0)),
                              static_cast<WPARAM>(std::strtoull(argv[4], nullptr, 0)),
                              static_cast<LPARAM>(std::strtoll(argv[5], nullptr, 0)))
                   ? 0
                   : 1;
    } else if (cmd == "taskbarcreated") {
        return ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0)
                   ? 0
                   : 1;
    } else if (cmd == "activate" && argc >= 3) {
        HWND hwnd = ParseHwnd(argv[2]);
        ::ShowWindow(hwnd, SW_SHOW);
        return ::SetForegroundWindow(hwnd) ? 0 : 1;
    } else if (cmd.rfind("reg", 0) == 0 && argc >= 3) {
        return Registry(argc, argv);
    } else {
        return 2;
    }
    std::fflush(stdout);
    return 0;
}
