// The program under measure, seen from outside: its window, its process, what it holds; and
// the Linux side of Wine's processes, through drive Z:.
#pragma once

#include <windows.h>

#include "win32/Handles.h"

namespace bench {

struct Program {
    HWND window = nullptr;
    DWORD id = 0;
    win32::Handle process;
};

// Waits for the program's main window; false at the deadline or when its process cannot be
// opened.
bool FindProgram(Program& program, double timeoutMs);
// The program's child process (the hook host of the other bitness), or 0.
DWORD ChildOf(DWORD parent);
double RoundTripMs(HWND window);

// What a process holds, as the system reports it (-1: not reported) and, for memory, as
// Linux reports it.
struct Holdings {
    double handles = -1;
    double handlesListed = -1;
    double gdi = -1;
    double user = -1;
    double windows = -1;
    double privateKb = -1;
    double pagefileKb = -1;
    double workingSetKb = -1;
    double rssKb = -1;
    double rssAnonKb = -1;
};

Holdings HoldingsOf(HANDLE process, DWORD processId, DWORD unixPid);

// Waits until the shell is idle again after windows came or went: its taskbar notes every
// top-level window, and takes long over many. Returns the seconds waited.
double Settle(DWORD shellUnixPid, double timeoutMs);

}  // namespace bench
