#include <windows.h>
#include <commctrl.h>

#include "startup/Module1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    if (!Module1::Main()) {
        return 0;
    }
    // The loaded main form keeps the program alive; its Exit ends the process. A quit
    // request (or a failing GetMessage) ends the loop instead: the same teardown then runs
    // here, while everything it uses still exists.
    MSG msg{};
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    Module1::EndProgram();
    return static_cast<int>(msg.wParam);
}
