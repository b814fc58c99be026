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

// The conversions of a window handle to and from its 32 significant bits (sign-extended, as
// the system widens handles for 64-bit processes).
inline LONG HandleBits(HWND hwnd) {
    return static_cast<LONG>(reinterpret_cast<LONG_PTR>(hwnd));
}
inline HWND HandleFromBits(LONG bits) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(bits));
}

}  // namespace tamehook
