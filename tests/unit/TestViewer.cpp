#include "TestViewer.h"

#include <utility>

namespace testviewer {

namespace {

constexpr char kClassName[] = "TamewinTestViewer";
// Thread messages to the viewer thread; it acknowledges each through ack_.
constexpr UINT kPause = WM_APP + 1;
constexpr UINT kClose = WM_APP + 2;

}  // namespace

void EventLog::Add(Event event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
}

std::vector<Event> EventLog::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<std::string> EventLog::TextsFrom(const std::string& source) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const Event& e : events_) {
        if (e.source == source) {
            texts.push_back(e.text);
        }
    }
    return texts;
}

ViewerThread::ViewerThread(std::vector<std::string> titles, EventLog& log)
    : log_(log),
      ack_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      resume_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    thread_ = std::thread([this, titles = std::move(titles)]() mutable { Run(std::move(titles)); });
    ::WaitForSingleObject(ack_.get(), INFINITE);
}

ViewerThread::~ViewerThread() {
    if (isPaused_) {
        Resume();
    }
    ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

void ViewerThread::Pause() {
    ::PostThreadMessageA(threadId_, kPause, 0, 0);
    ::WaitForSingleObject(ack_.get(), INFINITE);
    isPaused_ = true;
}

void ViewerThread::Resume() {
    ::SetEvent(resume_.get());
    isPaused_ = false;
}

void ViewerThread::CloseWindows() {
    ::PostThreadMessageA(threadId_, kClose, 0, 0);
    ::WaitForSingleObject(ack_.get(), INFINITE);
}

void ViewerThread::Run(std::vector<std::string> titles) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    if (!::GetClassInfoA(instance, kClassName, &wc)) {
        wc.lpfnWndProc = &ViewerThread::Proc;
        wc.hInstance = instance;
        wc.lpszClassName = kClassName;
        ::RegisterClassA(&wc);
    }
    threadId_ = ::GetCurrentThreadId();
    for (const std::string& title : titles) {
        windows_.push_back(::CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0,
                                             0, 200, 100, nullptr, nullptr, instance, this));
    }
    ::SetEvent(ack_.get());

    bool destroyed = false;
    auto destroyWindows = [&] {
        if (!destroyed) {
            for (HWND w : windows_) {
                ::DestroyWindow(w);
            }
            destroyed = true;
        }
    };
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kPause) {
            ::SetEvent(ack_.get());
            ::WaitForSingleObject(resume_.get(), INFINITE);
        } else if (msg.hwnd == nullptr && msg.message == kClose) {
            destroyWindows();
            ::SetEvent(ack_.get());
        } else {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    destroyWindows();
}

LRESULT CALLBACK ViewerThread::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<ViewerThread*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_SETTEXT && self != nullptr) {
        // A viewer keeps its title: the text is a trace line.
        char title[256] = {};
        ::GetWindowTextA(hwnd, title, sizeof title);
        const char* text = reinterpret_cast<const char*>(lParam);
        try {
            self->log_.Add(Event{title, text != nullptr ? text : "", static_cast<size_t>(wParam)});
        } catch (...) {
            // Nothing may unwind through the system's frames; the test then misses the line.
        }
        return TRUE;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace testviewer
