#include "TestWindows.h"

#include <chrono>

namespace testing_windows {

namespace {
constexpr UINT kAddWindow = WM_APP + 1;
struct AddRequest {
    std::string className;
    std::string title;
    HWND result = nullptr;
};

void Register(const std::string& className, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExA(::GetModuleHandleA(nullptr), className.c_str(), &wc)) {
        return;
    }
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = className.c_str();
    ::RegisterClassExA(&wc);
}
}  // namespace

void Pump(DWORD ms) {
    DWORD start = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - start < ms) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

ThreadWindow::ThreadWindow(const std::string& className, const std::string& title) {
    thread_ = std::thread(&ThreadWindow::Run, this, className, title);
    while (threadId_ == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

ThreadWindow::~ThreadWindow() {
    ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

HWND ThreadWindow::AddWindow(const std::string& className, const std::string& title) {
    AddRequest request{className, title};
    ::SendMessageA(hwnd_, kAddWindow, 0, reinterpret_cast<LPARAM>(&request));
    return request.result;
}

void ThreadWindow::Place(int x, int y, int width, int height) const {
    ::SetWindowPos(hwnd_, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

LRESULT CALLBACK ThreadWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ThreadWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    } else if (self != nullptr && msg == WM_CLOSE) {
        ++self->closes_;
        if (wParam != 1 || lParam != 1) {
            self->paramsOne_ = false;
        }
        return 0;
    } else if (self != nullptr && msg >= 0xC000 && msg <= 0xFFFF) {
        ++self->registered_;
    } else if (self != nullptr && msg == WM_NULL) {
        ++self->nulls_;
    } else if (self != nullptr && msg == WM_RBUTTONDOWN) {
        ++self->rightPresses_;
    } else if (self != nullptr && msg == kAddWindow) {
        auto* request = reinterpret_cast<AddRequest*>(lParam);
        Register(request->className, &ThreadWindow::Proc);
        request->result =
            ::CreateWindowExA(0, request->className.c_str(), request->title.c_str(), WS_POPUP, 0, 0,
                              10, 10, nullptr, nullptr, ::GetModuleHandleA(nullptr), self);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void ThreadWindow::Run(std::string className, std::string title) {
    Register(className, &ThreadWindow::Proc);
    HWND hwnd = ::CreateWindowExA(0, className.c_str(), title.c_str(), WS_POPUP, 0, 0, 10, 10,
                                  nullptr, nullptr, ::GetModuleHandleA(nullptr), this);
    hwnd_ = hwnd;
    threadId_ = ::GetCurrentThreadId();
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    ::DestroyWindow(hwnd);
}

}  // namespace testing_windows
