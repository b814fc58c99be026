// Opens files and addresses through the desktop's own shell, so that what opens runs with the
// desktop user's rights rather than this program's: from an elevated copy, a browser started
// directly would browse the web as administrator.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

namespace DesktopShell {

// Asks the shell that runs the desktop (Explorer) to carry out `verb` on `file`, as
// ShellExecute would. The calling thread must be in an apartment. S_OK once the shell took
// the request; a failure when there is no such shell, or it refused.
HRESULT Execute(const std::string& file, const std::string& parameters,
                const std::string& directory, const std::string& verb, int showCommand);

// The call that reaches the shell's list of windows; ::CoCreateInstance unless replaced.
using CreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
extern CreateInstanceFn CreateInstance;

}  // namespace DesktopShell
