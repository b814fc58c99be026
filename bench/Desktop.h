// Windows of this process, and the desktop they live on.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

inline constexpr char kPlainClass[] = "TamewinBench.Plain";

void RegisterClassOnce(const char* name, WNDPROC proc);
HWND MakeWindow(const char* cls, const char* title, DWORD exStyle, DWORD style, int x, int y,
                void* param = nullptr);
LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// A window of kPlainClass; the class is registered first if need be.
HWND MakePlainWindow(const char* title, DWORD exStyle, DWORD style, int x, int y);
int TopLevelCount();
// Waits up to a minute for the shell's taskbar.
bool WaitForDesktop();
std::string ThisProgram();

// Hides the shell's taskbar for its lifetime. Wine 8's taskbar keeps a button for every
// top-level window, hidden ones too, and lays out the whole row again whenever a window comes
// or goes, unless it is itself hidden: with thousands of windows that alone keeps the shell
// busy for minutes.
class TaskbarHidden {
  public:
    TaskbarHidden();
    ~TaskbarHidden();
    TaskbarHidden(const TaskbarHidden&) = delete;
    TaskbarHidden& operator=(const TaskbarHidden&) = delete;

  private:
    HWND tray_;
};

}  // namespace bench
