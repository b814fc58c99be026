// What the program and its hook library share: the name and layout of the small named block
// of memory through which the library, running inside other programs, finds the window to
// post to. There is one block per desktop; the library only reads it.
#pragma once

#include <windows.h>

namespace tamehook {

// Window handles have 32 significant bits, so the receiving window fits a LONG in 32-bit and
// 64-bit processes alike.
struct Channel {
    volatile LONG receiver;    // window the activations are posted to; 0 while nobody listens
    volatile LONG message;     // registered message posted: wParam the activated window,
                               // lParam the generation below
    volatile LONG generation;  // the listener's current switch-on; posts of an older one are
                               // dropped by the listener
};

// Registered-message name of the activation post.
inline constexpr char kActivatedMessageName[] = "Tamewin.HookActivated";

inline constexpr char kChannelPrefix[] = "Local\\Tamewin.HookChannel.";
inline constexpr DWORD kChannelNameSize = 320;

// Builds the name of the calling thread's desktop's block: the prefix and the desktop's name.
// Returns false when the name cannot be read or does not fit.
inline bool ChannelName(char (&name)[kChannelNameSize]) {
    constexpr DWORD prefixLength = sizeof(kChannelPrefix) - 1;
    ::lstrcpynA(name, kChannelPrefix, kChannelNameSize);
    DWORD needed = 0;
    return ::GetUserObjectInformationA(::GetThreadDesktop(::GetCurrentThreadId()), UOI_NAME,
                                       name + prefixLength, kChannelNameSize - prefixLength,
                                       &needed) != FALSE;
}

// Name of the event the companion (see tamehook.cpp) sets once its hook is installed: the
// prefix and the program's process id in decimal.
inline constexpr char kCompanionReadyPrefix[] = "Local\\Tamewin.HookCompanionReady.";
inline constexpr DWORD kCompanionReadyNameSize = sizeof(kCompanionReadyPrefix) + 10;

inline void CompanionReadyName(char (&name)[kCompanionReadyNameSize], DWORD programId) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + programId % 10);
        programId /= 10;
    } while (programId != 0);
    DWORD at = sizeof(kCompanionReadyPrefix) - 1;
    ::lstrcpynA(name, kCompanionReadyPrefix, kCompanionReadyNameSize);
    while (count > 0) {
        name[at++] = digits[--count];
    }
    name[at] = '\0';
}

// The conversions of a window handle to and from its 32 significant bits (sign-extended, as
// the system widens handles for 64-bit processes).
inline LONG HandleBits(HWND hwnd) {
    return static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd));
}
inline HWND HandleFromBits(LONG bits) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(bits));
}

}  // namespace tamehook
