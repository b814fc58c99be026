// Start-up module: the entry, the single-copy check and the application object.
#pragma once

#include <windows.h>

#include <memory>

class clstamewin;

namespace Module1 {

// The application object while the program runs.
extern std::unique_ptr<clstamewin> objApp;

// The program's entry: refuses to run beside another copy on this desktop, then builds the
// application object. Returns true when the program is to keep running.
bool Main();
// Every way out of the message loop ends here: the orderly teardown, once.
void EndProgram();

// The call that makes or opens the single-copy mutex; tests put a refusing one in its place.
using CreateMutexFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR);
extern CreateMutexFn CreateInstanceMutex;

}  // namespace Module1
