// Trace viewers for the tests: top-level windows on a thread of their own with its own message
// loop, as the windows of a viewer program would be. Every line a window takes is written to an
// EventLog, which the tests share with their message-box seam to see the order of events.
#pragma once

#include <windows.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "win32/Handles.h"

namespace testviewer {

struct Event {
    std::string source;  // the title of the window that took the line, or "box"
    std::string text;
    size_t length = 0;  // the length the sender gave (WPARAM of WM_SETTEXT)
};

class EventLog {
  public:
    void Add(Event event);
    std::vector<Event> Events() const;
    // The texts of the events from one source, in order.
    std::vector<std::string> TextsFrom(const std::string& source) const;

  private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

class ViewerThread {
  public:
    // Creates one hidden top-level window per title on a new thread; returns once they exist.
    ViewerThread(std::vector<std::string> titles, EventLog& log);
    ViewerThread(const ViewerThread&) = delete;
    ViewerThread& operator=(const ViewerThread&) = delete;
    // Destroys the windows and ends the thread.
    ~ViewerThread();

    HWND Window(size_t index) const { return windows_.at(index); }

    // The thread stops taking messages (as a hung viewer) until Resume.
    void Pause();
    void Resume();
    // Destroys the windows now, as a viewer that is closed; the thread runs on.
    void CloseWindows();

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Run(std::vector<std::string> titles);

    EventLog& log_;
    std::vector<HWND> windows_;
    DWORD threadId_ = 0;
    win32::Handle ack_;  // set by the thread: windows made, paused, windows closed
    win32::Handle resume_;
    bool isPaused_ = false;
    std::thread thread_;
};

}  // namespace testviewer
