// The hook library. The program installs CbtProc as a desktop-wide CBT hook, so the system
// loads this library into every program with windows on the desktop and calls CbtProc in
// their threads, synchronously. It therefore does the least it can: on an activation it posts
// the activated window to the listening program's receiving window, read from the desktop's
// shared block, and goes on down the hook chain. It uses nothing beyond kernel32 and user32.
//
// The system loads a hook library only into programs of its own bitness, so the library is
// also built for the other one and hosted by the companion, tamehookhost32.exe or
// tamehookhost64.exe (HostCompanion). It watches the remaining programs through CallWndProc,
// on another hook chain: Wine ends a chain at a hook whose library the calling program cannot
// load, so two CBT hooks of different bitness hide each other (a CBT companion, installed
// last, hid every activation in programs of the program's own bitness).
#include <windows.h>

#include "controls/hook/HookChannel.h"
#include "win32/Handles.h"

namespace {

HINSTANCE g_instance = nullptr;
volatile LONG g_message = 0;  // the registered message, once known

UINT ActivatedMessage() {
    if (const LONG known = g_message) {
        return static_cast<UINT>(known);
    }
    const UINT message = ::RegisterWindowMessageA(tamehook::kActivatedMessageName);
    ::InterlockedExchange(&g_message, static_cast<LONG>(message));
    return message;
}

// Posts the activated window to the listener the desktop's block names, if there is one and
// its window belongs to the process that made the block. The block is opened afresh for each
// activation and held no longer: its name then lives only as long as the program keeps it.
void PostActivated(WPARAM activated) {
    if (activated == 0) {
        return;  // the foreground passing between programs: no window was activated
    }
    char name[tamehook::kChannelNameSize];
    const UINT message = ActivatedMessage();
    if (message == 0 || !tamehook::ChannelName(name)) {
        return;
    }
    const win32::Handle mapping(::OpenFileMappingA(FILE_MAP_READ, FALSE, name));
    if (!mapping) {
        return;  // nobody listens
    }
    const win32::MappedView view(
        ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, sizeof(tamehook::Channel)));
    if (!view) {
        return;
    }
    const auto& channel = *static_cast<const tamehook::Channel*>(view.get());
    LONG receiver = 0;
    LONG generation = 0;
    if (!tamehook::Read(channel, receiver, generation) || receiver == 0) {
        return;
    }
    // Only a receiving window of the process that made the block: whatever another program
    // may have written there, nothing goes to a window of anyone else.
    const HWND window = tamehook::HandleFromBits(receiver);
    DWORD process = 0;
    char className[sizeof(tamehook::kReceiverClass) + 1] = {};
    if (::GetWindowThreadProcessId(window, &process) == 0 ||
        process != static_cast<DWORD>(channel.owner) ||
        ::GetClassNameA(window, className, sizeof(className)) == 0 ||
        ::lstrcmpA(className, tamehook::kReceiverClass) != 0) {
        return;
    }
    ::PostMessageA(window, message, activated, static_cast<LPARAM>(generation));
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

// Entry of the companion (tamehookhost.cpp), in the form rundll32 would call too. The command line
// holds the program's process id: the hook stays installed until that process ends (or this one is
// ended), while the thread keeps pumping, since the system may also call the hook here for programs
// it cannot load the library into. The program's ready event is set once the hook is in place.
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

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
