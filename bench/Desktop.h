// Windows of this process, and the desktop they live on.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "win32/Handles.h"

namespace bench {

inline constexpr char kPlainClass[] = "TamewinBench.Plain";

// Waits until `count` threads have counted down: std::latch as MinGW's GCC 12 builds it can
// miss the wake-up and wait for ever.
class Countdown {
  public:
    explicit Countdown(int count) : left_(count) {}
    void CountDown() {
        if (--left_ == 0) {
            ::SetEvent(done_.get());
        }
    }
    void Wait() const { ::WaitForSingleObject(done_.get(), INFINITE); }

  private:
    std::atomic<int> left_;
    const win32::Handle done_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

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
