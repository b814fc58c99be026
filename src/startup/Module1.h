// Start-up module: the entry, the program-wide lists, and the snapshot of top-level windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class clstamewin;

namespace Module1 {

// One top-level window as the snapshot saw it.
struct WindowRecord {
    HWND Handle = nullptr;
    std::string ClassName;  // at most 254 characters
    int32_t ThreadId = 0;   // the creating thread; 0 when the window had gone
    std::string Title;      // at most 254 characters
};

extern std::vector<WindowRecord> colWindows;                  // the latest snapshot
extern std::vector<int32_t> colFrames;                        // threads of the frames open at start
extern std::optional<std::vector<std::string>> colInstances;  // value names under Instances
extern std::unique_ptr<clstamewin> objApp;
extern int32_t MenuX;  // screen position of the last right-button press
extern int32_t MenuY;

// The program's entry: refuses to run beside another copy on this desktop, then builds the
// application object. Returns true when the program is to keep running.
bool Main();

// EnumWindows callback: appends one record per top-level window to colWindows.
BOOL CALLBACK EnumWinProc(HWND hwnd, LPARAM extra);

// Cuts `text` at its first NUL, in place, and returns the result.
std::string StripNulls(std::string& text);

}  // namespace Module1
