// Start-up module: the entry, the program-wide lists, and the snapshot of top-level windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win32/Handles.h"

class clstamewin;

namespace Module1 {

// One top-level window as the snapshot saw it.
struct WindowRecord {
    HWND Handle = nullptr;
    std::string ClassName;  // at most 254 characters
    int32_t ThreadId = 0;   // the creating thread; 0 when the window had gone
    std::string Title;      // at most 254 characters
};

// The register of the frames open at start, by the thread that created each. Both builds keep
// it in the 64-bit view, so that a start of either clears what a run of the other left.
inline constexpr char kInstancesKey[] = "Software\\Corvanta\\VIVurazoru\\Instances";
inline constexpr REGSAM kInstancesView = KEY_WOW64_64KEY;
// Where this run keeps the register: HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER when the
// machine's key refuses this user (clstamewin chooses at start).
extern std::string InstancesRoot;

// The thread of a frame open at start. Its handle is held while the id is recorded, so the
// system cannot give the id to a new thread meanwhile (a pop-up there would never be closed).
struct FrameThread {
    explicit FrameThread(int32_t threadId);
    int32_t ThreadId = 0;
    win32::Handle Thread;  // null where the system would not open the thread
    bool Ended() const;    // false when that cannot be told
};

extern std::vector<WindowRecord> colWindows;                  // the latest snapshot
extern std::vector<FrameThread> colFrames;                    // threads of the frames open at start
extern std::optional<std::vector<std::string>> colInstances;  // value names under Instances
extern std::unique_ptr<clstamewin> objApp;
extern int32_t MenuX;  // screen position of the last right-button press
extern int32_t MenuY;

// Forgets the recorded frame threads that have ended: out of colFrames and the register.
void ForgetEndedFrames();
// Records a frame thread as the start does, in colFrames and the register, once.
void KeepFrameThread(int32_t threadId);

// The program's entry: refuses to run beside another copy on this desktop, then builds the
// application object. Returns true when the program is to keep running.
bool Main();
// Every way out of the message loop ends here: the orderly teardown, once.
void EndProgram();

// The call that makes or opens the single-copy mutex; tests put a refusing one in its place.
using CreateMutexFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR);
extern CreateMutexFn CreateInstanceMutex;

// EnumWindows callback: appends one record per top-level window to colWindows.
BOOL CALLBACK EnumWinProc(HWND hwnd, LPARAM extra);

// Cuts `text` at its first NUL, in place, and returns the result.
std::string StripNulls(std::string& text);

}  // namespace Module1
