// The hook library. The program installs CbtProc as a desktop-wide CBT hook, so the system
// loads this library into every program with windows on the desktop and calls CbtProc in
// their threads, synchronously. It therefore does the least it can: on an activation it posts
// the activated window to the listening program's receiving window, read from the desktop's
// shared block, and goes on down the hook chain. It uses nothing beyond kernel32 and user32.
//
// The system loads a hook library only into programs of its own bitness, so the library is
// also built for the other one and hosted by that bitness's rundll32 (HostCompanion): the
// program's companion. It watches the remaining programs through CallWndProc, on another
// hook chain: some systems end a chain at a hook whose library the program cannot load, so
// two CBT hooks of different bitness would hide each other.
#include <windows.h>

#include "controls/hook/HookChannel.h"
#include "win32/Handles.h"

namespace {

HINSTANCE g_instance = nullptr;

// The desktop's block, mapped at the first activation this process sees and kept until the
// library is unloaded. Threads may race to map it; the first view published wins. Its handle
// is kept too: a block's name lives only while a handle is open, and the listener, switching
// on again, must find the very block that the copies of the library hold.
void* volatile g_view = nullptr;
HANDLE volatile g_mapping = nullptr;

const tamehook::Channel* DesktopChannel() {
    if (void* view = g_view) {
        return static_cast<const tamehook::Channel*>(view);
    }
    char name[tamehook::kChannelNameSize];
    if (!tamehook::ChannelName(name)) {
        return nullptr;
    }
    // No block means nobody listens; it is looked for again at the next activation.
    win32::Handle mapping(::OpenFileMappingA(FILE_MAP_READ, FALSE, name));
    if (!mapping) {
        return nullptr;
    }
    win32::MappedView view(
        ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(tamehook::Channel)));
    if (!view) {
        return nullptr;
    }
    if (::InterlockedCompareExchangePointer(&g_view, view.get(), nullptr) == nullptr) {
        view.release();
        g_mapping = mapping.release();
    }
    return static_cast<const tamehook::Channel*>(g_view);
}

void PostActivated(WPARAM activated) {
    if (const tamehook::Channel* channel = DesktopChannel()) {
        const LONG receiver = channel->receiver;
        if (receiver != 0) {
            ::PostMessageA(tamehook::HandleFromBits(receiver), static_cast<UINT>(channel->message),
                           activated, static_cast<LPARAM>(channel->generation));
        }
    }
}

}  // namespace

extern "C" LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        PostActivated(wParam);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" LRESULT CALLBACK CallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        // WM_ACTIVATE goes to top-level windows only, to the one activated and the one left.
        if (call->message == WM_ACTIVATE && LOWORD(call->wParam) != WA_INACTIVE) {
            PostActivated(reinterpret_cast<WPARAM>(call->hwnd));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// rundll32 entry of the companion. The command line holds the program's process id: the
// hook stays installed until that process ends (or this one is ended), while the thread
// keeps pumping, since the system may also call the hook here for programs it cannot load
// the library into. The program's ready event is set once the hook is in place.
extern "C" void CALLBACK HostCompanion(HWND, HINSTANCE, LPSTR commandLine, int) {
    DWORD programId = 0;
    for (const char* c = commandLine; *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') {
            programId = programId * 10 + static_cast<DWORD>(*c - '0');
        }
    }
    win32::Handle program(::OpenProcess(SYNCHRONIZE, FALSE, programId));
    if (!program) {
        return;
    }
    win32::Hook hook(::SetWindowsHookExA(WH_CALLWNDPROC, &CallWndProc, g_instance, 0));
    if (!hook) {
        return;
    }
    char readyName[tamehook::kCompanionReadyNameSize];
    tamehook::CompanionReadyName(readyName, programId);
    win32::Handle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName));
    if (ready) {
        ::SetEvent(ready.get());
    }
    const HANDLE waitFor = program.get();
    while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                return;
            }
            ::DispatchMessageA(&msg);
        }
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on (the hook was removed): give the block back.
        win32::MappedView view(::InterlockedExchangePointer(&g_view, nullptr));
        win32::Handle mapping(::InterlockedExchangePointer(&g_mapping, nullptr));
    }
    return TRUE;
}
