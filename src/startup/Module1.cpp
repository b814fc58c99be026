#include "startup/Module1.h"

#include <string>

#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "startup/clstamewin.h"
#include "win32/Handles.h"

namespace Module1 {

std::unique_ptr<clstamewin> objApp;
CreateMutexFn CreateInstanceMutex = &::CreateMutexA;

namespace {

constexpr char kModule[] = "Module1";

// Held for the life of the process: its name tells a second copy on this desktop that one runs.
win32::Handle g_instanceMutex;

std::string DesktopName() {
    char name[256] = {};
    DWORD needed = 0;
    HDESK desktop = ::GetThreadDesktop(::GetCurrentThreadId());
    if (!::GetUserObjectInformationA(desktop, UOI_NAME, name, sizeof name - 1, &needed)) {
        return "Default";
    }
    return name;
}

bool AnotherCopyRunning() {
    std::string name = "Local\\IETamewin.Instance." + DesktopName();
    win32::Handle mutex(CreateInstanceMutex(nullptr, FALSE, name.c_str()));
    const DWORD error = ::GetLastError();
    g_instanceMutex = std::move(mutex);
    // A copy running elevated owns a mutex that this one may not open: it runs all the same.
    return error == ERROR_ALREADY_EXISTS || (!g_instanceMutex && error == ERROR_ACCESS_DENIED);
}

}  // namespace

bool Main() {
    modTrace::TraceEnter(kModule, "Sub Main", "");
    bool another = false;
    diagnostics::TryStep("Main: look for another copy", [&] { another = AnotherCopyRunning(); });
    if (another) {
        return false;  // changes nothing; the running copy goes on
    }
    diagnostics::TryStep("Main: build the application",
                         [&] { objApp = std::make_unique<clstamewin>(); });
    modTrace::TraceExit(kModule, "Sub Main", "");
    return objApp != nullptr;
}

void EndProgram() {
    if (objApp) {
        objApp->Shutdown();
        objApp.reset();
    }
}

}  // namespace Module1
