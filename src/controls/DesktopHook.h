// The desktop-wide CBT hook of the hook library (tamehook.dll, in the program's folder):
// loads the library, claims the desktop's shared block for one receiving window and installs
// the hook, whose procedure then posts every activation of a top-level window on the desktop
// to that window (message ActivatedMessage(), wParam the window, lParam the generation).
//
// The system loads the library only into programs of the program's bitness. Some systems
// call the hook on the installing thread for the others, some never do; so on a 64-bit system
// a companion process, the small host program of the other bitness (tamehookhost32.exe or
// tamehookhost64.exe) with the other build of the library (tamehook32.dll or tamehook64.dll),
// both in the program's folder, watches them too, through the library's WH_CALLWNDPROC hook
// (WM_ACTIVATE), which posts the same message.
//
// Everything is undone, in reverse order, when the object goes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "controls/hook/HookChannel.h"
#include "win32/Handles.h"

namespace controls {

class DesktopHook {
  public:
    // Null when the library is missing or lacks its procedure, the shared block cannot be
    // made, a live window of another listener already holds it, or the system refuses the
    // hook. Nothing stays installed then. Otherwise the hooks are in place on return: it waits
    // for the companion's (a few seconds at most), which comes in its own process.
    static std::unique_ptr<DesktopHook> Install(HWND receiver, LONG generation) noexcept;
    ~DesktopHook();
    DesktopHook(const DesktopHook&) = delete;
    DesktopHook& operator=(const DesktopHook&) = delete;

    // The registered message of the activation posts (0 if the system has none to give).
    static UINT ActivatedMessage();

  private:
    DesktopHook() = default;
    static std::unique_ptr<DesktopHook> TryInstall(HWND receiver, LONG generation);
    bool Claim(HWND receiver, LONG generation);
    void StartCompanion(const std::string& folder);

    win32::Module library_;
    tamehook::Channel* channel_ = nullptr;  // the process's block, kept for the process's life
    LONG claimed_ = 0;  // the receiver written into the block, 0 before the claim
    win32::Hook hook_;
    win32::Handle companion_;  // the companion process, ended with the object
};

}  // namespace controls
