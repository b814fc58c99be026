#include "Frames.h"

#include "Timing.h"
#include "ui/frmmain.h"

namespace bench {

namespace {
constexpr double kPopupTimeoutMs = 10000;
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
        const double now = NowMs();  // first thing: the arrival
        if (auto* state = reinterpret_cast<FrameState*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
            if (state->closes++ == 0) {
                state->firstCloseMs = now;
            }
            if (wParam != ui::frmmain::kCloseWParam || lParam != ui::frmmain::kCloseLParam) {
                state->paramsOne = false;
            }
        }
        return 0;  // the window goes when its owner here says so
    }
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

FrameThread::~FrameThread() {
    ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

bool Sentinel::WaitFor(int target, double timeoutMs) const {
    const double end = NowMs() + timeoutMs;
    while (scans() < target) {
        if (NowMs() > end) {
            return false;
        }
        Pump(0.5);
    }
    return true;
}

void Sentinel::WaitQuiet(double quietMs, double timeoutMs) const {
    const double end = NowMs() + timeoutMs;
    int last = scans();
    double since = NowMs();
    while (NowMs() - since < quietMs && NowMs() < end) {
        Pump(1);
        if (scans() != last) {
            last = scans();
            since = NowMs();
        }
    }
}

std::atomic<ShowListener*> ShowListener::current_{nullptr};

ShowListener::ShowListener() {
    current_ = this;
    Countdown hooked(1);
    thread_ = std::thread([this, &hooked] {
        threadId_ = ::GetCurrentThreadId();
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue, for WM_QUIT
        const win32::WinEventHook hook(::SetWinEventHook(
            EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, &OnShow, 0, 0, WINEVENT_OUTOFCONTEXT));
        hooked.CountDown();
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::DispatchMessageA(&msg);
        }
    });
    hooked.Wait();
}

ShowListener::~ShowListener() {
    ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    current_ = nullptr;
}

void ShowListener::Watch(HWND window) {
    delivered_ = 0;
    watched_ = window;
}

void CALLBACK ShowListener::OnShow(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD,
                                   DWORD) {
    const double now = NowMs();  // first thing: the delivery
    ShowListener* self = current_;
    if (self == nullptr) {
        return;
    }
    if (object == OBJID_WINDOW && child == CHILDID_SELF) {
        ++self->windows_;
        if (hwnd == self->watched_ && self->delivered_ == 0) {
            self->delivered_ = now;
        }
    } else {
        ++(object == OBJID_CARET    ? self->carets_
           : object == OBJID_CURSOR ? self->cursors_
                                    : self->others_);
    }
}

Popup::Popup(bool activate)
    : activate_(activate),
      frame_(ui::kFrameClass, "Bench pop-up",
             [this](HWND window, const FrameState& state) { Measure(window, state); }) {}

Popup::Popup(ShowListener& listener)
    : listener_(&listener),
      frame_(kBareClass, "Bench pop-up",
             [this](HWND window, const FrameState& state) { Measure(window, state); }) {}

void Popup::Measure(HWND window, const FrameState& state) {
    if (listener_ != nullptr) {
        listener_->Watch(window);
    }
    const auto arrived = [&] {
        return listener_ != nullptr ? listener_->deliveredMs() > 0 : state.closes > 0;
    };
    const double start = NowMs();
    ::ShowWindow(window, activate_ ? SW_SHOW : SW_SHOWNOACTIVATE);
    if (activate_) {
        ::SetForegroundWindow(window);
    }
    result_.callsMs = NowMs() - start;
    MSG msg;
    result_.waitingAfterCalls =
        listener_ != nullptr
            ? arrived()
            : ::PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != FALSE;
    while (!arrived() && NowMs() - start < kPopupTimeoutMs) {
        Pump(1);
    }
    result_.closed = arrived();
    result_.paramsOne = state.paramsOne;
    result_.latencyMs =
        (listener_ != nullptr ? listener_->deliveredMs() : state.firstCloseMs.load()) - start;
}

}  // namespace bench
