// What the program and its hook library share: the name and layout of the small named block
// of memory through which the library, running inside other programs, finds the window to
// post to. There is one block per desktop. The program makes it, with security that lets every
// other program only read it, and refuses a block that another program made first; the library
// posts nothing but its own registered message, and only to a window of the process that the
// block names as its maker.
#pragma once

#include <windows.h>

namespace tamehook {

// Window handles have 32 significant bits, so the receiving window fits a LONG in 32-bit and
// 64-bit processes alike.
struct Channel {
    volatile LONG sequence;    // odd while the listener writes the two fields below
    volatile LONG owner;       // process id of the program that made the block
    volatile LONG receiver;    // window the activations are posted to; 0 while nobody listens
    volatile LONG generation;  // the listener's current switch-on, posted as lParam; posts of
                               // an older one are dropped by the listener
};

// Publishes receiver and generation together: a reader sees both old or both new. One writer
// at a time (the listening program's user-interface thread).
inline void Publish(Channel& channel, LONG receiver, LONG generation) {
    ::InterlockedIncrement(&channel.sequence);  // odd: being written (a full barrier)
    channel.receiver = receiver;
    channel.generation = generation;
    ::InterlockedIncrement(&channel.sequence);  // even again
}

// Reads receiver and generation as one publication; false when none could be read whole in a
// few tries (the writer is in the middle of one).
inline bool Read(const Channel& channel, LONG& receiver, LONG& generation) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const LONG before = channel.sequence;
        MemoryBarrier();
        receiver = channel.receiver;
        generation = channel.generation;
        MemoryBarrier();
        if ((before & 1) == 0 && channel.sequence == before) {
            return true;
        }
        YieldProcessor();  // a macro in some headers
    }
    return false;
}

// Window class of the listener's receiving window: the library posts to no other.
inline constexpr char kReceiverClass[] = "TamewinHookReceiver";

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
