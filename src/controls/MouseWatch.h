// The low-level mouse hook of the process, on a thread of its own that does nothing else: its
// procedure only posts each right-button press (screen x and y as wParam and lParam) to the
// receiving windows, so no wait of the user-interface thread ever holds the desktop's mouse.
// Windows removes, silently, a low-level hook whose thread keeps it waiting.
//
// Receivers are added and removed on one thread, the controls' thread.
#pragma once

#include <windows.h>

#include <vector>

#include "win32/Handles.h"

namespace controls {

class MouseWatch {
  public:
    explicit MouseWatch(UINT message) : message_(message) {}
    ~MouseWatch();
    MouseWatch(const MouseWatch&) = delete;
    MouseWatch& operator=(const MouseWatch&) = delete;

    // The first receiver starts the thread and waits, handling sent messages, until its hook
    // is in place. False, with nothing added, when the system refuses the hook.
    bool Add(HWND receiver);
    // The last receiver ends the thread and its hook.
    void Remove(HWND receiver);

  private:
    static DWORD WINAPI Run(void* self);
    static LRESULT CALLBACK OnLowLevelMouse(int code, WPARAM wParam, LPARAM lParam);
    void Stop();

    const UINT message_;
    SRWLOCK lock_ = SRWLOCK_INIT;  // guards receivers_, read by the hook's thread
    std::vector<HWND> receivers_;
    win32::Handle thread_;
    DWORD threadId_ = 0;
    win32::Handle ready_;
    volatile LONG hooked_ = 0;  // set by the thread before ready_
};

}  // namespace controls
