// Waiting on the user-interface thread without stopping other programs: the messages other
// threads send meanwhile (the system's calls of this thread's hooks among them) are handled.
#pragma once

#include <windows.h>

namespace win32 {

// Waits up to timeoutMs for one of the objects; returns as WaitForMultipleObjects does. Posted
// messages stay queued.
inline DWORD WaitHandlingSentMessages(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs) {
            return WAIT_TIMEOUT;
        }
        const DWORD result =
            ::MsgWaitForMultipleObjects(count, handles, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + count) {
            return result;
        }
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace win32
