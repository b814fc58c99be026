// One-shot or repeating timer control: raises Tick every Interval milliseconds while enabled,
// on the thread that created it.
#pragma once

#include <windows.h>

#include <functional>

#include "win32/WindowBase.h"

namespace controls {

class Timer : private win32::WindowBase {
  public:
    explicit Timer(UINT intervalMs);
    ~Timer() override;

    void SetEnabled(bool enabled) noexcept;
    bool Enabled() const { return enabled_; }
    void SetInterval(UINT intervalMs) noexcept;
    UINT Interval() const { return interval_; }

    std::function<void()> Tick;

  private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void Apply() noexcept;

    UINT interval_;
    bool enabled_ = false;
};

}  // namespace controls
