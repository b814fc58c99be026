#include "startup/Module1.h"

#include <algorithm>

#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "registry/WINAPI32.h"
#include "startup/clstamewin.h"
#include "win32/Handles.h"

namespace Module1 {

std::vector<WindowRecord> colWindows;
std::vector<FrameThread> colFrames;
std::optional<std::vector<std::string>> colInstances;
std::string InstancesRoot = WINAPI32::kLocalMachine;
std::unique_ptr<clstamewin> objApp;
int32_t MenuX = 0;
int32_t MenuY = 0;
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

// Text of a window through one of the "A" calls, cut at 254 characters like its buffer.
template <class Getter>
std::string WindowText(Getter getter, HWND hwnd) {
    std::string buffer(255, '\0');
    getter(hwnd, buffer.data(), 255);
    return StripNulls(buffer);
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

FrameThread::FrameThread(int32_t threadId)
    : ThreadId(threadId), Thread(::OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(threadId))) {}

bool FrameThread::Ended() const {
    return Thread && ::WaitForSingleObject(Thread.get(), 0) == WAIT_OBJECT_0;
}

void ForgetEndedFrames() {
    std::vector<int32_t> ended;
    for (const FrameThread& frame : colFrames) {
        if (frame.Ended() && std::find(ended.begin(), ended.end(), frame.ThreadId) == ended.end()) {
            ended.push_back(frame.ThreadId);
        }
    }
    if (ended.empty()) {
        return;
    }
    std::erase_if(colFrames, [&](const FrameThread& frame) {
        return std::find(ended.begin(), ended.end(), frame.ThreadId) != ended.end();
    });
    for (int32_t threadId : ended) {
        diagnostics::TryStep("ForgetEndedFrames: remove an ended frame",
                             [&] { clstamewin::RemoveInstance(threadId); });
    }
}

void KeepFrameThread(int32_t threadId) {
    if (std::ranges::find(colFrames, threadId, &FrameThread::ThreadId) != colFrames.end()) {
        return;
    }
    colFrames.emplace_back(threadId);
    clstamewin::AddInstance(threadId);
}

BOOL CALLBACK EnumWinProc(HWND hwnd, LPARAM) {
    modTrace::TracedSub(kModule, "Function EnumWinProc", [&](modTrace::Lines& line) {
        WindowRecord record;
        line(10, [&] { record.Handle = hwnd; });
        line(20, [&] { record.ClassName = WindowText(&::GetClassNameA, hwnd); });
        line(30, [&] { record.Title = WindowText(&::GetWindowTextA, hwnd); });
        line(40, [&] {
            record.ThreadId = static_cast<int32_t>(::GetWindowThreadProcessId(hwnd, nullptr));
        });
        line(50, [&] { colWindows.push_back(std::move(record)); });
    });
    return TRUE;  // always on to the last window
}

std::string StripNulls(std::string& text) {
    return modTrace::Traced(kModule, "Function StripNulls", text, [&](modTrace::Lines& line) {
        line(10, [&] {
            size_t nul = text.find('\0');
            if (nul != std::string::npos) {
                text.resize(nul);
            }
        });
        return text;
    });
}

}  // namespace Module1
