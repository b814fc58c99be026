// Whether the user holds Ctrl, which keeps a browser frame that appears meanwhile. On the
// keyboard layouts that have AltGr, the system reports that key as Left Ctrl with Right Alt:
// typing @, € or { is no Ctrl, so a Ctrl key counts only while Right Alt is up.
#pragma once

#include <windows.h>

namespace controls {

enum class CtrlKey : LPARAM {
    Up = 0,
    Held = 1,
    // The input desktop is another one (a UAC prompt's, the lock screen): the system tells
    // this program of no key there, so whether Ctrl is held cannot be known.
    Unreadable = 2,
};

// The keys as the user's hand has them now, not as a message queue last saw them.
CtrlKey ReadCtrlKey();

// The calls it makes; tests hold keys and take the input desktop away through them.
struct KeyboardApi {
    decltype(&::GetAsyncKeyState) GetAsyncKeyState = &::GetAsyncKeyState;
    decltype(&::OpenInputDesktop) OpenInputDesktop = &::OpenInputDesktop;
};
extern KeyboardApi Keyboard;

}  // namespace controls
