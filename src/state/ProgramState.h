// The program's state: the latest snapshot of the top-level windows, the threads of the frames
// open at start, and the register that names them to every copy. One object, owned by the
// application and handed to the form.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "registry/WINAPI32.h"
#include "win32/Handles.h"

namespace state {

// One top-level window as the snapshot saw it.
struct WindowRecord {
    HWND Handle = nullptr;
    std::string ClassName;  // at most 254 characters
    int32_t ThreadId = 0;   // the creating thread; 0 when the window had gone
    std::string Title;      // at most 254 characters
    bool Visible = true;
};

// The register of the frames open at start, by the thread that created each. Both builds keep
// it in the 64-bit view, so that a start of either clears what a run of the other left.
inline constexpr char kInstancesKey[] = "Software\\Corvanta\\VIVurazoru\\Instances";
inline constexpr REGSAM kInstancesView = KEY_WOW64_64KEY;

// The thread of a frame open at start. Its handle is held while the id is recorded, so the
// system cannot give the id to a new thread meanwhile (a pop-up there would never be closed).
struct FrameThread {
    explicit FrameThread(int32_t threadId);
    int32_t ThreadId = 0;
    win32::Handle Thread;  // null where the system would not open the thread
    bool Ended() const;    // false when that cannot be told
};

struct ProgramState {
    std::vector<WindowRecord> colWindows;                  // the latest snapshot
    std::vector<FrameThread> colFrames;                    // threads of the frames open at start
    std::optional<std::vector<std::string>> colInstances;  // value names under Instances
    // Where this run keeps the register: HKEY_LOCAL_MACHINE, or HKEY_CURRENT_USER when the
    // machine's key refuses this user (the application chooses at start).
    std::string InstancesRoot = WINAPI32::kLocalMachine;

    // Forgets the recorded frame threads that have ended: out of colFrames and the register.
    void ForgetEndedFrames();
    // Records a frame thread as the start does, in colFrames and the register, once.
    void KeepFrameThread(int32_t threadId);
    // One thread's value, under the register's root and view.
    void AddInstance(int32_t threadId) const;
    void RemoveInstance(int32_t threadId) const;
};

// EnumWindows callback: appends one record per top-level window to the
// std::vector<WindowRecord> that `list` points to.
BOOL CALLBACK EnumWinProc(HWND hwnd, LPARAM list);

// The top-level windows of one class (exact, letter case included). A walk of the desktop
// reads each window's class, which in Wine is two server calls; but a window's class never
// changes, and the system gives a destroyed window's handle to no other for a long while, so
// the windows of other classes that the last walk met are remembered, and the next reads the
// class of the windows new since then only.
class ClassWindows {
  public:
    explicit ClassWindows(std::string className) : className_(std::move(className)) {}

    // Appends the record EnumWinProc makes of each window of the class, in the order
    // EnumWindows gives; nothing is walked where the system finds none of the class.
    void Append(std::vector<WindowRecord>& windows);

  private:
    std::string className_;
    std::vector<HWND> others_;  // sorted: the last walk's windows of other classes
};

// Cuts `text` at its first NUL, in place, and returns the result.
std::string StripNulls(std::string& text);

}  // namespace state
