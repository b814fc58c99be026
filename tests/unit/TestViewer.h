// Trace viewers for the tests: a window on a thread of its own (a ThreadWindow, with its message
// loop), as a viewer program's would be. The lines it takes go into a Log, which the tests share
// with their message-box seam to see the order of events.
#pragma once

#include <windows.h>

#include <cstring>
#include <mutex>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "TestWindows.h"
#include "win32/Handles.h"

namespace testviewer {

// What came, in order: who took it (a viewer's title, or what a test names it) and its text.
struct Log {
    void Add(std::string source, std::string text) {
        std::lock_guard<std::mutex> lock(mutex);
        events.emplace_back(std::move(source), std::move(text));
    }
    std::vector<std::pair<std::string, std::string>> Events() const {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    std::vector<std::string> From(const std::string& source) const {
        std::vector<std::string> texts;
        for (const auto& [from, text] : Events()) {
            if (from == source) {
                texts.push_back(text);
            }
        }
        return texts;
    }

    mutable std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> events;
};

// One viewer window, gone with the object.
class Viewer {
  public:
    Viewer(const std::string& title, Log& log)
        : log_(log),
          resume_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
          window_(kClass, title) {
        ::SetPropA(window_.hwnd(), kClass, this);
        threadWindowProc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
            window_.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Viewer::Proc)));
    }
    ~Viewer() { Resume(); }

    HWND hwnd() const { return window_.hwnd(); }
    // From the next line on the viewer takes nothing (it hangs) until Resume. A sent message is
    // taken before the ones sent after it.
    void Pause() { ::SendNotifyMessageA(window_.hwnd(), kPause, 0, 0); }
    void Resume() { ::SetEvent(resume_.get()); }

  private:
    static constexpr char kClass[] = "TamewinTestViewer";  // and the property for the Viewer
    static constexpr UINT kPause = WM_APP + 10;            // past the messages of a ThreadWindow
    static inline WNDPROC threadWindowProc_ = nullptr;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<Viewer*>(::GetPropA(hwnd, kClass));
        if (msg == WM_SETTEXT) {
            // A viewer keeps its title: the text is a trace line, as long as its sender says.
            char title[256] = {};
            ::GetWindowTextA(hwnd, title, sizeof title);
            const char* text = reinterpret_cast<const char*>(lParam);
            try {
                self->log_.Add(title, std::string(text, ::strnlen(text, wParam)));
            } catch (...) {
                // Nothing may unwind through the system's frames; the test then misses the line.
            }
            return TRUE;
        }
        if (msg == kPause) {
            ::WaitForSingleObject(self->resume_.get(), INFINITE);
            return 0;
        }
        return ::CallWindowProcA(threadWindowProc_, hwnd, msg, wParam, lParam);
    }

    Log& log_;
    win32::Handle resume_;
    testing_windows::ThreadWindow window_;
};

// Whether `line` is the entry or exit line `body` ("->\tModule1 : Sub Main") with that sequence
// field, a time field of five or more digits, a full stop and three decimals, and no note.
inline bool IsLine(const std::string& line, const std::string& sequence, const std::string& body) {
    return std::regex_match(line, std::regex(R"(\[tamewin_tests\] \[)" + sequence +
                                             R"(\] \[\d{5,}\.\d{3}\] )" + body + " : \r\n"));
}

}  // namespace testviewer
