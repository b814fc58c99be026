#include "controls/MouseWatch.h"

#include <algorithm>

#include "win32/Wait.h"

namespace controls {

namespace {

// The one watch whose thread is running; the hook procedure has no other way to it.
MouseWatch* volatile g_running = nullptr;

// Starting or ending the thread never takes longer than this in practice; the limit only
// keeps a broken system from holding the program for good.
constexpr DWORD kThreadWaitMs = 10000;

}  // namespace

MouseWatch::~MouseWatch() {
    Stop();
}

bool MouseWatch::Add(HWND receiver) {
    {
        win32::SrwExclusive hold(lock_);
        receivers_.push_back(receiver);
    }
    if (thread_) {
        return true;
    }
    ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    hooked_ = 0;
    g_running = this;
    if (ready_) {
        thread_.reset(::CreateThread(nullptr, 0, &MouseWatch::Run, this, 0, &threadId_));
    }
    if (thread_) {
        const HANDLE waitFor[] = {ready_.get(), thread_.get()};
        win32::WaitHandlingSentMessages(2, waitFor, kThreadWaitMs);
    }
    if (hooked_ == 0) {
        Stop();
        win32::SrwExclusive hold(lock_);
        receivers_.clear();
        return false;
    }
    return true;
}

void MouseWatch::Remove(HWND receiver) {
    bool last = false;
    {
        win32::SrwExclusive hold(lock_);
        receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), receiver),
                         receivers_.end());
        last = receivers_.empty();
    }
    if (last) {
        Stop();
    }
}

void MouseWatch::Stop() {
    if (thread_) {
        ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        const HANDLE thread = thread_.get();
        win32::WaitHandlingSentMessages(1, &thread, kThreadWaitMs);
        thread_.reset();
    }
    if (g_running == this) {
        g_running = nullptr;
    }
    threadId_ = 0;
}

DWORD WINAPI MouseWatch::Run(void* self) {
    auto* watch = static_cast<MouseWatch*>(self);
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue, before anyone posts to it
    const win32::Hook hook(::SetWindowsHookExA(WH_MOUSE_LL, &MouseWatch::OnLowLevelMouse,
                                               ::GetModuleHandleA(nullptr), 0));
    ::InterlockedExchange(&watch->hooked_, hook ? 1 : 0);
    ::SetEvent(watch->ready_.get());
    if (!hook) {
        return 1;
    }
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    return 0;
}

LRESULT CALLBACK MouseWatch::OnLowLevelMouse(int code, WPARAM wParam, LPARAM lParam) {
    MouseWatch* watch = g_running;
    if (code == HC_ACTION && wParam == WM_RBUTTONDOWN && watch != nullptr) {
        const POINT pt = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->pt;
        win32::SrwShared hold(watch->lock_);
        for (HWND receiver : watch->receivers_) {
            ::PostMessageA(receiver, watch->message_, static_cast<WPARAM>(pt.x),
                           static_cast<LPARAM>(pt.y));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace controls
