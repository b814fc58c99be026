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

void Popup::Measure(HWND window, const FrameState& state) {
    const double start = NowMs();
    ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
    result_.callsMs = NowMs() - start;
    MSG msg;
    result_.waitingAfterCalls =
        ::PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != FALSE;
    while (state.closes == 0 && NowMs() - start < kPopupTimeoutMs) {
        Pump(1);
    }
    result_.closed = state.closes > 0;
    result_.paramsOne = state.paramsOne;
    result_.latencyMs = state.firstCloseMs - start;
}

}  // namespace bench
