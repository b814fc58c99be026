#include "Desktop.h"

namespace bench {

void RegisterClassOnce(const char* name, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExA(::GetModuleHandleA(nullptr), name, &wc)) {
        return;
    }
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    ::RegisterClassExA(&wc);
}

HWND MakeWindow(const char* cls, const char* title, DWORD exStyle, DWORD style, int x, int y,
                void* param) {
    return ::CreateWindowExA(exStyle, cls, title, style, x, y, 160, 100, nullptr, nullptr,
                             ::GetModuleHandleA(nullptr), param);
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakePlainWindow(const char* title, DWORD exStyle, DWORD style, int x, int y) {
    RegisterClassOnce(kPlainClass, &PlainProc);
    return MakeWindow(kPlainClass, title, exStyle, style, x, y);
}

namespace {
BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}
}  // namespace

int TopLevelCount() {
    int count = 0;
    ::EnumWindows(&CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

bool WaitForDesktop() {
    for (int i = 0; i < 600; ++i) {
        HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
        if (tray != nullptr && ::IsWindowVisible(tray)) {
            return true;
        }
        ::Sleep(100);
    }
    return false;
}

std::string ThisProgram() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

TaskbarHidden::TaskbarHidden() : tray_(::FindWindowA("Shell_TrayWnd", nullptr)) {
    if (tray_ != nullptr) {
        ::ShowWindow(tray_, SW_HIDE);
    }
}

TaskbarHidden::~TaskbarHidden() {
    if (tray_ != nullptr) {
        ::ShowWindow(tray_, SW_SHOWNA);
    }
}

}  // namespace bench
