// Helpers for tests that need real top-level windows on threads of their own.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "win32/Handles.h"

namespace testing_windows {

// Pumps messages until done() or `ms` ms (only to keep a failing test from hanging); done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 60000) {
    for (const DWORD start = ::GetTickCount();;) {
        for (MSG msg; ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
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
inline void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// A stand-in in one of the program's seams for the scope, also when an assertion fails.
template <class T>
class Seam {
  public:
    Seam(T& seam, std::type_identity_t<T> standIn)
        : seam_(seam), kept_(std::exchange(seam, std::move(standIn))) {}
    ~Seam() { seam_ = std::move(kept_); }
    Seam(const Seam&) = delete;
    Seam& operator=(const Seam&) = delete;

  private:
    T& seam_;
    T kept_;
};

// Distinct window handles that no window has, for code that only passes them on.
inline HWND FakeWindow(int n) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x10000 + 2 * n));
}

// A window's own DPI as GetDpiForWindow gives it, where the display here has 96.
inline UINT WINAPI WindowAt144(HWND) {
    return 144;
}

// A post refused as a window of higher integrity refuses it (UIPI): access denied.
inline BOOL WINAPI RefusedPost(HWND, UINT, WPARAM, LPARAM) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A top-level window on a thread of its own. Counts (and ignores) WM_CLOSE, registered
// messages, WM_NULL and right presses; like a trace viewer it keeps the texts it is sent.
class ThreadWindow {
  public:
    // Shown, it is one a user can see, without activation.
    ThreadWindow(const std::string& className, const std::string& title, bool shown = false)
        : thread_(&ThreadWindow::Run, this, className, title, shown) {
        while (threadId_ == 0) {
            ::Sleep(1);
        }
    }
    ~ThreadWindow() {
        Release();
        ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    ThreadWindow(const ThreadWindow&) = delete;
    ThreadWindow& operator=(const ThreadWindow&) = delete;
    HWND hwnd() const { return hwnd_; }
    DWORD threadId() const { return threadId_; }
    int closes() const { return closes_; }
    bool closeParamsWereOne() const { return paramsOne_; }
    int registered() const { return registered_; }  // registered messages it was sent or posted
    int nulls() const { return nulls_; }            // WM_NULL, a marker of the test's
    int rightPresses() const { return rightPresses_; }
    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> lock(textsMutex_);
        return texts_;
    }
    // Shows the window at a place of the screen, without activating it.
    void Place(int x, int y, int width, int height) const {
        ::SetWindowPos(hwnd_, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    }
    // From the next message on, the window's thread hangs until Release.
    void Hold() const { ::SendNotifyMessageA(hwnd_, kHold, 0, 0); }
    void Release() const { ::SetEvent(release_.get()); }

  private:
    static constexpr UINT kHold = WM_APP + 10;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ThreadWindow*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
            ::SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        if (self == nullptr) {  // the messages of creation, before the window knows its object
            return ::DefWindowProcA(hwnd, msg, wParam, lParam);
        }
        if (msg == WM_CLOSE) {
            ++self->closes_;
            self->paramsOne_ = self->paramsOne_ && wParam == 1 && lParam == 1;
            return 0;
        } else if (msg >= 0xC000 && msg <= 0xFFFF) {
            ++self->registered_;
        } else if (msg == WM_NULL) {
            ++self->nulls_;
        } else if (msg == WM_RBUTTONDOWN) {
            ++self->rightPresses_;
        } else if (msg == WM_SETTEXT) {
            const char* text = reinterpret_cast<const char*>(lParam);
            std::lock_guard<std::mutex> lock(self->textsMutex_);
            self->texts_.emplace_back(text, ::strnlen(text, wParam));  // as long as its sender says
            return TRUE;
        } else if (msg == kHold) {
            ::WaitForSingleObject(self->release_.get(), INFINITE);
            return 0;
        }
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    void Run(std::string className, std::string title, bool shown) {
        const HINSTANCE instance = ::GetModuleHandleA(nullptr);
        const WNDCLASSA wc{0, &Proc, 0, 0, instance, {}, {}, {}, {}, className.c_str()};
        ::RegisterClassA(&wc);  // fails harmlessly where the class is registered already
        HWND hwnd = ::CreateWindowExA(0, className.c_str(), title.c_str(), WS_POPUP, 0, 0, 10, 10,
                                      nullptr, nullptr, instance, this);
        ::ShowWindow(hwnd, shown ? SW_SHOWNOACTIVATE : SW_HIDE);
        hwnd_ = hwnd;
        threadId_ = ::GetCurrentThreadId();
        for (MSG msg; ::GetMessageA(&msg, nullptr, 0, 0) > 0;) {
            ::DispatchMessageA(&msg);
        }
        ::DestroyWindow(hwnd);
    }
    win32::Handle release_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    mutable std::mutex textsMutex_;
    std::vector<std::string> texts_;
    std::atomic<HWND> hwnd_{nullptr};
    std::atomic<DWORD> threadId_{0};
    std::atomic<int> closes_{0};
    std::atomic<bool> paramsOne_{true};
    std::atomic<int> registered_{0};
    std::atomic<int> nulls_{0};
    std::atomic<int> rightPresses_{0};
    std::thread thread_;  // last: started once the members it uses are made
};

}  // namespace testing_windows
