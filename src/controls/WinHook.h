// Window-hook control. "Standard" watches the activation of top-level windows of every process
// on the desktop and raises WindowActivated with the activated window; "Mouse" watches
// right-button presses anywhere and raises MouseEvent with the screen position. While
// HookActive is false nothing is installed and no event is raised.
//
// Hook procedures only record and post; the events are raised on the thread that owns the
// control, from its message loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace controls {

enum class HookKind {
    Standard,  // activation of top-level windows (design message 0x0006, WM_ACTIVATE)
    Mouse,     // right button pressed (design message 0x0204, WM_RBUTTONDOWN)
};

class WinHook {
public:
    explicit WinHook(HookKind kind);
    ~WinHook();
    WinHook(const WinHook&) = delete;
    WinHook& operator=(const WinHook&) = delete;

    // Installs (true) or removes (false) the hook. Returns normally even when the system
    // refuses the hook; HookActive then reports false.
    void SetHookActive(bool active);
    bool HookActive() const;

    std::function<void(HWND activated)> WindowActivated;            // Standard
    std::function<void(int32_t x, int32_t y)> MouseEvent;           // Mouse, screen pixels

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace controls
