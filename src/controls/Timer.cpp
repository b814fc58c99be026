#include "controls/Timer.h"

namespace controls {

namespace {
constexpr UINT_PTR kTimerId = 1;
}

Timer::Timer(UINT intervalMs) : interval_(intervalMs) {
    Create("IETamewin.Timer", 0, 0, "", HWND_MESSAGE, 0, 0, 0, 0);
}

Timer::~Timer() {
    SetEnabled(false);
}

void Timer::SetEnabled(bool enabled) noexcept {
    enabled_ = enabled;
    Apply();
}

void Timer::SetInterval(UINT intervalMs) noexcept {
    interval_ = intervalMs;
    Apply();
}

void Timer::Apply() noexcept {
    if (hwnd() == nullptr) {
        return;
    }
    if (enabled_ && interval_ > 0) {
        ::SetTimer(hwnd(), kTimerId, interval_, nullptr);  // restarts the interval
    } else {
        ::KillTimer(hwnd(), kTimerId);
    }
}

LRESULT Timer::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == kTimerId) {
        if (enabled_ && Tick) {
            Tick();
        }
        return 0;
    }
    return WindowBase::HandleMessage(msg, wParam, lParam);
}

}  // namespace controls
