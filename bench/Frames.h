// Browser frames of this process: the sentinel that counts the program's scans, and the
// pop-ups whose closing is timed.
#pragma once

#include <windows.h>

#include <atomic>
#include <thread>

#include "Desktop.h"
#include "ui/PopupRule.h"
#include "win32/Handles.h"

namespace bench {

struct FrameState {
    std::atomic<int> closes{0};
    std::atomic<bool> paramsOne{true};
    std::atomic<double> firstCloseMs{0};
};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A frame window that ignores WM_CLOSE, on a thread of its own that pumps messages until the
// object goes. `start` runs on that thread once the window exists; the constructor returns
// when it has.
class FrameThread {
  public:
    template <class Start>
    FrameThread(const char* title, Start start) {
        Countdown started(1);
        thread_ = std::thread([this, title, &start, &started] {
            threadId_ = ::GetCurrentThreadId();
            RegisterClassOnce(ui::kFrameClass, &FrameProc);
            win32::Window window(
                MakeWindow(ui::kFrameClass, title, 0, WS_OVERLAPPEDWINDOW, 200, 150, &state_));
            start(window.get(), state_);
            started.CountDown();
            MSG msg;
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
                ::DispatchMessageA(&msg);
            }
        });
        started.Wait();
    }
    ~FrameThread();
    FrameThread(const FrameThread&) = delete;
    FrameThread& operator=(const FrameThread&) = delete;

    const FrameState& state() const { return state_; }

  private:
    FrameState state_;
    std::thread thread_;
    DWORD threadId_ = 0;
};

// A hidden frame, never shown. The program posts it WM_CLOSE in every scan, so its count of
// them is the program's count of scans.
class Sentinel {
  public:
    int scans() const { return frame_.state().closes; }
    // Waits until the count reaches `target`; false at the deadline.
    bool WaitFor(int target, double timeoutMs) const;
    // Waits until no scan has ended for `quietMs`: the program is idle again.
    void WaitQuiet(double quietMs, double timeoutMs = 60000) const;

  private:
    FrameThread frame_{"Bench sentinel", [](HWND, FrameState&) {}};
};

struct PopupResult {
    bool closed = false;
    bool paramsOne = true;
    bool waitingAfterCalls = false;  // WM_CLOSE already queued when the calls returned
    double latencyMs = 0;            // activation to the arrival of WM_CLOSE
    double callsMs = 0;              // time inside ShowWindow and SetForegroundWindow
};

// One pop-up: a fresh thread (its id is nowhere recorded) shows and activates its frame and
// pumps until WM_CLOSE arrives; the time runs from just before the activation. The thread
// cannot see WM_CLOSE before the activation calls return.
// The window stays until the object goes: destroyed once another window is active, it
// causes no activation (the active one would hand activation on, and the program would scan
// again).
class Popup {
  public:
    const PopupResult& result() const { return result_; }

  private:
    void Measure(HWND window, const FrameState& state);

    PopupResult result_;  // before the frame: written while the frame is made
    FrameThread frame_{"Bench pop-up",
                       [this](HWND window, const FrameState& state) { Measure(window, state); }};
};

}  // namespace bench
