#include "controls/CtrlKey.h"

#include <cwchar>

#include "win32/Handles.h"

namespace controls {

namespace {

bool Down(int key) {
    return (Keyboard.GetAsyncKeyState(key) & 0x8000) != 0;
}

// False when the name cannot be read or is longer than the buffer.
bool NameOf(HDESK desktop, wchar_t (&name)[256]) {
    DWORD needed = 0;
    return ::GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name, &needed) != FALSE;
}

bool InputDesktopIsThis() {
    // The secure desktop opens to no user program at all.
    const win32::Desktop input(Keyboard.OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS));
    wchar_t inputName[256] = {};
    wchar_t ownName[256] = {};
    return input && NameOf(input.get(), inputName) &&
           NameOf(::GetThreadDesktop(::GetCurrentThreadId()), ownName) &&
           std::wcscmp(inputName, ownName) == 0;
}

}  // namespace

KeyboardApi Keyboard;

CtrlKey ReadCtrlKey() {
    if (Down(VK_LCONTROL) || Down(VK_RCONTROL)) {
        return Down(VK_RMENU) ? CtrlKey::Up : CtrlKey::Held;
    }
    // All keys read up where the system tells none: only then is the desktop worth a look.
    return InputDesktopIsThis() ? CtrlKey::Up : CtrlKey::Unreadable;
}

}  // namespace controls
