// Browser frames of this process: the sentinel that counts the program's scans, the pop-ups
// whose closing is timed, and a bare listener to show events to time against.
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

// A window of class `cls` that ignores WM_CLOSE, on a thread of its own that pumps messages
// until the object goes. `start` runs on that thread once the window exists; the constructor
// returns when it has.
class FrameThread {
  public:
    template <class Start>
    FrameThread(const char* cls, const char* title, Start start) {
        Countdown started(1);
        thread_ = std::thread([this, cls, title, &start, &started] {
            threadId_ = ::GetCurrentThreadId();
            RegisterClassOnce(cls, &FrameProc);
            win32::Window window(MakeWindow(cls, title, 0, WS_OVERLAPPEDWINDOW, 200, 150, &state_));
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
    FrameThread frame_{ui::kFrameClass, "Bench sentinel", [](HWND, FrameState&) {}};
};

// An out-of-context EVENT_OBJECT_SHOW listener on a thread of its own with a message loop, as
// the program listens, that only notes what comes: the time of the show of one watched
// window, and a count of show events by kind. One at a time.
class ShowListener {
  public:
    ShowListener();  // returns once the hook is in
    ~ShowListener();
    ShowListener(const ShowListener&) = delete;
    ShowListener& operator=(const ShowListener&) = delete;

    void Watch(HWND window);
    double deliveredMs() const { return delivered_; }  // the watched window's; 0 until then
    int windows() const { return windows_; }           // OBJID_WINDOW, CHILDID_SELF
    int carets() const { return carets_; }
    int cursors() const { return cursors_; }
    int others() const { return others_; }

  private:
    static void CALLBACK OnShow(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object, LONG child,
                                DWORD thread, DWORD time);
    static std::atomic<ShowListener*> current_;

    std::atomic<HWND> watched_{nullptr};
    std::atomic<double> delivered_{0};
    std::atomic<int> windows_{0};
    std::atomic<int> carets_{0};
    std::atomic<int> cursors_{0};
    std::atomic<int> others_{0};
    std::thread thread_;
    DWORD threadId_ = 0;
};

// The class of the listener's frames, which the program lets pass.
inline constexpr char kBareClass[] = "TamewinBench.Frame";

struct PopupResult {
    bool closed = false;  // WM_CLOSE came (the listener's callback, for its frames)
    bool paramsOne = true;
    bool waitingAfterCalls = false;  // WM_CLOSE already queued (or called back) as they returned
    double latencyMs = 0;            // the show to the arrival of WM_CLOSE (or the callback)
    double callsMs = 0;              // time inside ShowWindow (and SetForegroundWindow)
};

// One pop-up: a fresh thread (its id is nowhere recorded) shows its frame and pumps until
// WM_CLOSE arrives; the time runs from just before the show. The thread cannot see WM_CLOSE
// before its calls return. The window stays until the object goes.
class Popup {
  public:
    // Shown with SW_SHOW and activated, or shown with SW_SHOWNOACTIVATE alone. An activated
    // one is destroyed once another window is active: it then causes no activation (the
    // active one would hand activation on, and the program would scan again).
    explicit Popup(bool activate);
    // Shown with SW_SHOWNOACTIVATE, of kBareClass, timed to the listener's callback for it.
    explicit Popup(ShowListener& listener);

    const PopupResult& result() const { return result_; }

  private:
    void Measure(HWND window, const FrameState& state);

    const bool activate_ = false;
    ShowListener* const listener_ = nullptr;
    PopupResult result_;  // before the frame: written while the frame is made
    FrameThread frame_;
};

}  // namespace bench
