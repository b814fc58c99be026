#include "win32/WindowBase.h"

namespace win32 {

WindowBase::~WindowBase() {
    Destroy();
}

void WindowBase::Destroy() noexcept {
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);  // WM_NCDESTROY clears hwnd_
    }
}

bool WindowBase::Create(const char* className, DWORD exStyle, DWORD style, const char* title,
                        HWND parent, int x, int y, int width, int height, UINT classStyle,
                        HBRUSH background) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    if (!::GetClassInfoExA(instance, className, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof(wc);
        wc.style = classStyle;
        wc.lpfnWndProc = &WindowBase::StaticProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.hbrBackground = background;
        wc.lpszClassName = className;
        if (::RegisterClassExA(&wc) == 0) {
            return false;
        }
    }
    return ::CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, nullptr,
                             instance, this) != nullptr;
}

LRESULT WindowBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK WindowBase::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowBase* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        self = static_cast<WindowBase*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<WindowBase*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wParam, lParam);
    } catch (...) {
        // A handler's failure must not unwind through the system's frames.
        result = ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

}  // namespace win32
