#pragma once
// The remover's work, apart from its entry point so that the tests run it in-process.
#include <windows.h>

namespace remover {

// Exit codes. The installer stops the removal on any but kRemoved; 1 and 2 come before
// anything has changed.
enum Result : int {
    kRemoved = 0,
    kStillRunning = 1,    // a copy had not ended when the wait ran out
    kCannotAskToEnd = 2,  // the system refused WM_CLOSE to a copy: it runs elevated
    kDeleteRefused = 3,   // some of the data could not be deleted (not just missing)
};

// Does what the command line asks (/user, /machine, /wait=MS, see tameremove.cpp).
Result Run(const char* commandLine);

// How a copy is asked to end, and how keys are opened: the calls that Windows refuses across
// integrity levels and to unelevated users, which Wine never does.
extern BOOL(WINAPI* PostClose)(HWND, UINT, WPARAM, LPARAM);
extern LSTATUS(WINAPI* OpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);

}  // namespace remover
