#include "TestWindows.h"

#include <chrono>
#include <cstring>

#include "diagnostics/RuntimeError.h"

namespace testing_windows {

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = ::GetTickCount();
    MSG msg;
    for (;;) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        if (::GetTickCount() - start >= ms) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

BOOL WINAPI RefusedPost(HWND, UINT, WPARAM, LPARAM) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

int32_t ErrorOf(const std::function<void()>& step) try {
    step();
    return 0;
} catch (const diagnostics::RuntimeError& e) {
    return e.number();
}

ThreadWindow::ThreadWindow(const std::string& className, const std::string& title) {
    thread_ = std::thread(&ThreadWindow::Run, this, className, title);
    while (threadId_ == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

ThreadWindow::~ThreadWindow() {
    Release();
    ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

LRESULT CALLBACK ThreadWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ThreadWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    } else if (self != nullptr && msg == WM_CLOSE) {
        ++self->closes_;
        self->paramsOne_ = self->paramsOne_ && wParam == 1 && lParam == 1;
        return 0;
    } else if (self != nullptr && msg >= 0xC000 && msg <= 0xFFFF) {
        ++self->registered_;
    } else if (self != nullptr && msg == WM_NULL) {
        ++self->nulls_;
    } else if (self != nullptr && msg == WM_RBUTTONDOWN) {
        ++self->rightPresses_;
    } else if (self != nullptr && msg == WM_SETTEXT) {
        const char* text = reinterpret_cast<const char*>(lParam);
        std::lock_guard<std::mutex> lock(self->textsMutex_);
        self->texts_.emplace_back(text, ::strnlen(text, wParam));  // as long as its sender says
        return TRUE;
    } else if (self != nullptr && msg == kHold) {
        ::WaitForSingleObject(self->release_.get(), INFINITE);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void ThreadWindow::Run(std::string className, std::string title) {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    const WNDCLASSA wc{0, &ThreadWindow::Proc, 0, 0, instance, {}, {}, {}, {}, className.c_str()};
    ::RegisterClassA(&wc);  // fails harmlessly where the class is registered already
    HWND hwnd = ::CreateWindowExA(0, className.c_str(), title.c_str(), WS_POPUP, 0, 0, 10, 10,
                                  nullptr, nullptr, instance, this);
    hwnd_ = hwnd;
    threadId_ = ::GetCurrentThreadId();
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    ::DestroyWindow(hwnd);
}

}  // namespace testing_windows
