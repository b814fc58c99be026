// The web browser's stand-in: like a browser it opens a window in front, then appends the address
// it was given to the file TAMEWIN_BROWSER_LOG names. A GUI program: Wine gives it no console
// window to come and go on its own. It keeps to the top left corner, as Wine's virtual desktop
// draws a window just shown above a topmost one (listed below it) and gives it the clicks there.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR address, int) {
    const HWND window = ::CreateWindowExA(0, "STATIC", address, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                          0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(window);
    const char* log = std::getenv("TAMEWIN_BROWSER_LOG");
    if (FILE* f = std::fopen(log != nullptr ? log : "browser.log", "a")) {
        std::fprintf(f, "%s\n", address);
        std::fclose(f);
    }
    MSG msg;  // open until the session ends, as a browser stays
    while (window != nullptr && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    return 0;
}
