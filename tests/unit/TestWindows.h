// Helpers for tests that need real top-level windows on threads of their own.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
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
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 60000);
// Pumps this thread's messages for `ms` milliseconds.
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

// A post refused as a window of higher integrity refuses it (UIPI): access denied.
BOOL WINAPI RefusedPost(HWND, UINT, WPARAM, LPARAM);

// The number of the run-time error that the step raises; 0 when it raises none.
int32_t ErrorOf(const std::function<void()>& step);

// A top-level window on a thread of its own. Counts (and ignores) WM_CLOSE, registered
// messages, WM_NULL and right presses; like a trace viewer it keeps the texts it is sent.
class ThreadWindow {
  public:
    ThreadWindow(const std::string& className, const std::string& title);
    ~ThreadWindow();
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
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    void Run(std::string className, std::string title);
    win32::Handle release_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    mutable std::mutex textsMutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
    std::atomic<HWND> hwnd_{nullptr};
    std::atomic<DWORD> threadId_{0};
    std::atomic<int> closes_{0};
    std::atomic<bool> paramsOne_{true};
    std::atomic<int> registered_{0};
    std::atomic<int> nulls_{0};
    std::atomic<int> rightPresses_{0};
};

}  // namespace testing_windows
