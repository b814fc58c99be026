#include "state/ProgramState.h"

#include <algorithm>
#include <new>

#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "win32/WindowClass.h"

namespace state {

namespace {

// The snapshot's trace lines name the start module, as they always have.
constexpr char kModule[] = "Module1";

// Text of a window through one of the "A" calls, cut at 254 characters like its buffer.
template <class Getter>
std::string WindowText(Getter getter, HWND hwnd) {
    std::string buffer(255, '\0');
    getter(hwnd, buffer.data(), 255);
    return StripNulls(buffer);
}

// Every top-level window, for a walk done outside the callback. False in `complete` when the
// list could not grow: the walk then stopped early.
struct Collected {
    std::vector<HWND> handles;
    bool complete = true;
};

BOOL CALLBACK CollectProc(HWND hwnd, LPARAM collected) {
    auto& [handles, complete] = *reinterpret_cast<Collected*>(collected);
    try {
        handles.push_back(hwnd);
        return TRUE;
    } catch (const std::bad_alloc&) {
        complete = false;  // no exception may cross the system's frames
        return FALSE;
    }
}

}  // namespace

FrameThread::FrameThread(int32_t threadId)
    : ThreadId(threadId), Thread(::OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(threadId))) {}

bool FrameThread::Ended() const {
    return Thread && ::WaitForSingleObject(Thread.get(), 0) == WAIT_OBJECT_0;
}

void ProgramState::ForgetEndedFrames() {
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
                             [&] { RemoveInstance(threadId); });
    }
}

void ProgramState::KeepFrameThread(int32_t threadId) {
    if (std::ranges::find(colFrames, threadId, &FrameThread::ThreadId) != colFrames.end()) {
        return;
    }
    colFrames.emplace_back(threadId);
    AddInstance(threadId);
}

void ProgramState::AddInstance(int32_t threadId) const {
    // Creates the value when it is missing; a value already there (a second frame of the
    // same thread) stays as it is.
    WINAPI32::regstring(InstancesRoot, kInstancesKey, std::to_string(threadId), "0",
                        kInstancesView);
}

void ProgramState::RemoveInstance(int32_t threadId) const {
    WINAPI32::DeleteRegString(InstancesRoot, kInstancesKey, std::to_string(threadId),
                              kInstancesView);
}

BOOL CALLBACK EnumWinProc(HWND hwnd, LPARAM list) {
    auto& windows = *reinterpret_cast<std::vector<WindowRecord>*>(list);
    modTrace::TracedSub(kModule, "Function EnumWinProc", [&](modTrace::Lines& line) {
        WindowRecord record;
        line(10, [&] { record.Handle = hwnd; });
        line(20, [&] { record.ClassName = WindowText(&::GetClassNameA, hwnd); });
        line(30, [&] { record.Title = WindowText(&::GetWindowTextA, hwnd); });
        line(40, [&] {
            record.ThreadId = static_cast<int32_t>(::GetWindowThreadProcessId(hwnd, nullptr));
        });
        line(45, [&] { record.Visible = ::IsWindowVisible(hwnd) != FALSE; });
        line(50, [&] { windows.push_back(std::move(record)); });
    });
    return TRUE;  // always on to the last window
}

void ClassWindows::Append(std::vector<WindowRecord>& windows) {
    // Most desktops hold no window of the class: one question settles that. The system is
    // never asked to go on from a window it found (FindWindowEx's hwndChildAfter): Wine's
    // server then loops for ever when that window is being destroyed meanwhile.
    if (::FindWindowExA(nullptr, nullptr, className_.c_str(), nullptr) == nullptr) {
        others_.clear();  // the next walk reads every class afresh
        return;
    }
    Collected all;
    all.handles.reserve(others_.size() + 64);
    ::EnumWindows(&CollectProc, reinterpret_cast<LPARAM>(&all));
    if (!all.complete) {
        throw std::bad_alloc();
    }
    std::vector<HWND> others;
    others.reserve(all.handles.size());
    for (HWND hwnd : all.handles) {
        if (std::ranges::binary_search(others_, hwnd) || !win32::HasClassName(hwnd, className_)) {
            others.push_back(hwnd);
        } else {
            EnumWinProc(hwnd, reinterpret_cast<LPARAM>(&windows));
        }
    }
    std::ranges::sort(others);
    others_ = std::move(others);
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

}  // namespace state
