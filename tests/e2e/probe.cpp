// Test probe for the end-to-end tests: a console program run under Wine beside the program
// under test, to look at windows, tray icons and the registry the way the program sees them
// (same architecture, same registry view) and to post messages.
#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/Handles.h"
#include "win32/Text.h"

namespace {

HWND ParseHwnd(const char* text) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(text, nullptr, 0)));
}

void PrintWindow(HWND hwnd) {
    char cls[256] = {}, title[256] = {};
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

// Wine 8 draws the notification icons straight onto the taskbar, in 20-pixel slots from its
// right end leftwards (the image 16 pixels square, 2 pixels in). Prints each occupied slot:
// index, centre x and y, pixels unlike the taskbar, and of those the green and the red ones.
void PrintTraySlots() {
    HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
    RECT r{};
    if (tray == nullptr || !::GetWindowRect(tray, &r)) {
        return;
    }
    const win32::WindowDc screen(nullptr);
    const COLORREF background = ::GetPixel(screen.get(), r.right - 1, r.top + 1);
    for (int k = 0; k < 12; ++k) {
        int left = r.right - 20 * (k + 1) + 2;
        int top = r.top + (r.bottom - r.top - 16) / 2;
        int differing = 0, green = 0, red = 0;
        for (int y = top; y < top + 16; ++y) {
            for (int x = left; x < left + 16; ++x) {
                COLORREF c = ::GetPixel(screen.get(), x, y);
                if (c == background || c == CLR_INVALID) {
                    continue;
                }
                ++differing;
                int cr = GetRValue(c), cg = GetGValue(c), cb = GetBValue(c);
                green += (cg > 120 && cr < 110 && cb < 110) ? 1 : 0;
                red += (cr > 150 && cg < 90 && cb < 90) ? 1 : 0;
            }
        }
        if (differing > 20) {
            std::printf("%d\t%d\t%d\t%d\t%d\t%d\n", k, left + 8, top + 8, differing, green, red);
        }
    }
}

// A key as the tests name it, "[32:|64:][HKCU\]PATH": under HKEY_LOCAL_MACHINE in the probe's
// own view unless it says otherwise.
struct KeyName {
    explicit KeyName(const char* text) : path(text) {
        view = Skip("64:") ? KEY_WOW64_64KEY : Skip("32:") ? KEY_WOW64_32KEY : 0;
        root = Skip("HKCU\\") ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    }
    bool Skip(const char* prefix) {
        const size_t n = std::strlen(prefix);
        return std::strncmp(path, prefix, n) == 0 && (path += n, true);
    }
    const char* path;
    REGSAM view = 0;
    HKEY root = HKEY_LOCAL_MACHINE;
};

// Gives the key an access list in SDDL: the probe makes the key if it is missing.
void SetAccess(const KeyName& name, const char* sddl) {
    win32::Key key;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::RegCreateKeyExA(name.root, name.path, 0, nullptr, 0, READ_CONTROL | WRITE_DAC | name.view,
                          nullptr, key.put(), nullptr) == 0 &&
        ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                               nullptr)) {
        ::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
        ::LocalFree(descriptor);
    }
}

int Registry(int argc, char** argv) {
    const std::string cmd = argv[1];
    const KeyName name(argv[2]);
    win32::Key key;
    if (cmd == "regvalues") {  // in UTF-8, as the program's paths may need
        if (::RegOpenKeyExA(name.root, name.path, 0, KEY_READ | name.view, key.put()) != 0) {
            std::printf("NOKEY\n");
            return 0;
        }
        wchar_t value[16384];
        wchar_t data[4096];
        DWORD nameLen = 16384, dataLen = sizeof data - 2, type = 0;
        for (DWORD i = 0; ::RegEnumValueW(key.get(), i, value, &nameLen, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataLen) == 0;
             ++i, nameLen = 16384, dataLen = sizeof data - 2) {
            data[dataLen / 2] = 0;
            std::printf("%s\t%lu\t%s\n", win32::Utf8(value).c_str(),
                        static_cast<unsigned long>(type), win32::Utf8(data).c_str());
        }
        return 0;
    }
    if (cmd == "regset" && argc >= 5) {
        return ::RegCreateKeyExA(name.root, name.path, 0, nullptr, 0, KEY_ALL_ACCESS | name.view,
                                 nullptr, key.put(), nullptr) != 0 ||
               ::RegSetValueExA(key.get(), argv[3], 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(argv[4]),
                                static_cast<DWORD>(std::strlen(argv[4]) + 1)) != 0;
    }
    for (int i = 2; i < argc; ++i) {
        const KeyName each(argv[i]);
        if (cmd == "regdeny") {
            // What a standard user meets: no values, subkeys or deletion; everything else.
            SetAccess(each, "D:(D;;0x10006;;;WD)(A;;KA;;;WD)");
        } else if (cmd == "regdeletetree") {
            SetAccess(each, "D:(A;;KA;;;WD)");  // a key an earlier test denied, too
            ::RegOpenKeyExA(each.root, each.path, 0, KEY_ALL_ACCESS | each.view, key.put());
            ::RegDeleteTreeA(key.get(), nullptr);
            ::RegDeleteKeyExA(each.root, each.path, each.view, 0);
        }
    }
    return 0;
}

// Whether a global hook library of the program is loaded into a program that has just shown
// and activated a window of its own: this one.
int HookLoaded() {
    const HWND hwnd = ::CreateWindowExA(0, "STATIC", "hook probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        50, 50, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(hwnd);
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < 500) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
        ::Sleep(10);
    }
    std::printf("%d\n", ::GetModuleHandleA("tamehook.dll") != nullptr ? 1 : 0);
    ::DestroyWindow(hwnd);
    return 0;
}

// A browser frame of this program's own, on a thread of which the program knows nothing. A
// quiet one is shown without activation, as Windows shows a window of a program in the
// background, and waits up to 20 s for WM_CLOSE: it prints "closed" or "open", and 1 if the
// foreground window stayed the same meanwhile. Another is shown as usual and stays until it is
// closed. (Wine's Internet Explorer ends when its frame is hidden: it cannot be shown again.)
int Frame(bool quiet) {
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = &::DefWindowProcA;
    frameClass.lpszClassName = "IEFrame";
    ::RegisterClassA(&frameClass);
    const win32::Window frame(::CreateWindowExA(0, "IEFrame", "frame", WS_OVERLAPPEDWINDOW, 300,
                                                200, 300, 200, nullptr, nullptr, nullptr, nullptr));
    const HWND foreground = ::GetForegroundWindow();
    ::ShowWindow(frame.get(), quiet ? SW_SHOWNOACTIVATE : SW_SHOW);
    if (quiet) {
        ::SetTimer(nullptr, 0, 20000, nullptr);
    }
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_CLOSE &&
           msg.message != WM_TIMER) {
        ::DispatchMessageA(&msg);
    }
    std::printf("%s\t%d\n", msg.message == WM_CLOSE ? "closed" : "open",
                ::GetForegroundWindow() == foreground ? 1 : 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Screen pixels, as xdotool and the screen itself have them: a program unaware of the DPI
    // sees coordinates scaled to 96 DPI where Wine (10) scales for it, as Windows does.
    ::SetProcessDPIAware();
    const std::string cmd = argc >= 2 ? argv[1] : "";
    if (cmd == "windows") {
        ::EnumWindows(&PrintTopLevel, 0);
    } else if (cmd == "trayslots") {
        PrintTraySlots();
    } else if (cmd == "post" && argc >= 4) {
        return !::PostMessageA(ParseHwnd(argv[2]),
                               static_cast<UINT>(std::strtoul(argv[3], nullptr, 0)),
                               argc >= 5 ? std::strtoul(argv[4], nullptr, 0) : 0,
                               argc >= 6 ? std::strtol(argv[5], nullptr, 0) : 0);
    } else if (cmd == "pixel" && argc >= 4) {
        const win32::WindowDc screen(nullptr);
        const COLORREF c = ::GetPixel(screen.get(), std::atoi(argv[2]), std::atoi(argv[3]));
        std::printf("%d\t%d\t%d\n", GetRValue(c), GetGValue(c), GetBValue(c));
    } else if (cmd == "processes") {
        const win32::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
             more = ::Process32Next(snapshot.get(), &entry)) {
            std::printf("%lu\t%s\n", entry.th32ProcessID, entry.szExeFile);
        }
    } else if (cmd == "hold") {
        // Keeps the desktop in use: Wine closes it, and ends its server, about a second after
        // its last program, and a program started meanwhile can fail to start.
        ::GetDesktopWindow();
        ::Sleep(INFINITE);
    } else if (cmd == "foreground") {
        // The foreground window, and its thread's active and focus windows (keys go to that).
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        const HWND fg = ::GetForegroundWindow();
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(fg, nullptr), &info);
        std::printf("%ld\t%ld\t%ld\n", HandleToLong(fg), HandleToLong(info.hwndActive),
                    HandleToLong(info.hwndFocus));
    } else if (cmd == "hookloaded") {
        return HookLoaded();
    } else if (cmd == "frame" || cmd == "quietframe") {
        return Frame(cmd == "quietframe");
    } else if (cmd == "show" && argc >= 4) {
        ::ShowWindow(ParseHwnd(argv[2]), std::atoi(argv[3]));
    } else if (cmd == "activate" && argc >= 3) {
        HWND hwnd = ParseHwnd(argv[2]);
        ::ShowWindow(hwnd, SW_SHOW);
        return ::SetForegroundWindow(hwnd) ? 0 : 1;
    } else if (cmd.rfind("reg", 0) == 0 && argc >= 3) {
        return Registry(argc, argv);
    } else {
        std::fprintf(stderr, "usage: tameprobe COMMAND [ARGUMENTS]: the commands are in main\n");
        return 2;
    }
    return 0;
}
