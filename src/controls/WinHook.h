// Window-hook control. "Standard" watches the activation of top-level windows of every process
// on the desktop and raises WindowActivated with the activated window; "Mouse" watches
// right-button presses anywhere and raises MouseEvent with the screen position. While
// HookActive is false nothing is installed and no event is raised.
//
// Hook procedures only record and post to the control's hidden receiving window; the events
// are raised on the thread that owns the control, from its message loop, which must keep
// running. Controls are used from that one thread. The low-level mouse hook runs on a thread
// of its own (MouseWatch), so a busy controls' thread never holds the desktop's mouse.
//
// One activation is raised once, however many ways the system tells of it.
//
// Standard installs two watches: foreground events (SetWinEventHook, asynchronous, only this
// program pays for them) and the desktop-wide CBT hook of the hook library tamehook.dll (called
// synchronously in every program's threads; some systems never raise foreground events). Once
// a foreground event has arrived the system has shown it raises them, and the CBT hook is
// removed for the rest of the process. Without the library only the foreground events remain.
// One listener per desktop holds the CBT hook; another Standard control relies on foreground
// events alone.
//
// Standard also listens to show events, asynchronously too, and raises WindowShown for each
// top-level window of the class SetShownClass names, with the Ctrl key as it was when the
// event arrived: a window the system shows without activating it (a program in the background
// may not take the foreground) raises no activation at all. The show events of every window,
// caret and cursor of the desktop come here, and all but those are dropped in the callback,
// the window's class read before anything else is done.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/CtrlKey.h"

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

    // Installs (true) or removes (false) the hook. Never fails: a hook the system refuses,
    // or one there is no memory for, leaves HookActive false. Switching off drops the
    // notifications already posted but not yet raised.
    void SetHookActive(bool active) noexcept;
    bool HookActive() const;

    std::function<void(HWND activated)> WindowActivated;        // Standard
    std::function<void(HWND shown, CtrlKey ctrl)> WindowShown;  // Standard
    std::function<void(int32_t x, int32_t y)> MouseEvent;       // Mouse, screen pixels

    // The class (exact, letter case included) of the top-level windows whose show is raised;
    // none while empty.
    void SetShownClass(std::string className);

    // The receiving window (null until the first switch-on) and the messages it takes from
    // the program's own hook procedures, besides the hook library's registered message.
    HWND ReceiverWindow() const;
    static constexpr UINT kForegroundMessage = WM_APP + 1;  // wParam: the foreground window
    static constexpr UINT kMouseMessage = WM_APP + 2;       // wParam, lParam: signed x, y
    static constexpr UINT kShownMessage = WM_APP + 3;       // wParam: the window; lParam: CtrlKey

    // True while activations also come through the desktop-wide CBT hook.
    bool UsesCbtHook() const;

    // The system's SetWinEventHook; tests put a refusing one in its place.
    using SetWinEventHookFn = decltype(&::SetWinEventHook);
    static SetWinEventHookFn SetWinEventHookImpl;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace controls
