#include "ui/frmmain.h"

#include "diagnostics/RuntimeError.h"
#include "resources/resource.h"
#include "startup/Module1.h"

namespace ui {

namespace {
constexpr char kClassName[] = "IETamewin.Main";
constexpr int16_t kImageOn = 3;
constexpr int16_t kRightButton = 2;
constexpr UINT kMenuDelayMs = 10;
}  // namespace

frmmain::frmmain()
    : ImageList1({IDI_PROGRAM, IDI_PROGRAM, IDI_TRAY_ON, IDI_TRAY_OFF}),
      ZTray1(ImageList1, kImageOn),
      Timer1(kMenuDelayMs) {
    WinHook2.MouseEvent = [this](int32_t x, int32_t y) { WinHook2_MouseEvent(x, y); };
    ZTray1.MouseEvent = [this](int16_t button) { ZTray1_MouseEvent(button); };
    Timer1.Tick = [this] { Timer1_Timer(); };
}

frmmain::~frmmain() = default;

void frmmain::Load() {
    // A tool window is never given a taskbar button or an Alt+Tab entry, even if it were shown.
    if (!Create(kClassName, WS_EX_TOOLWINDOW, WS_POPUP, "IE Tamewin", nullptr, 0, 0, 0, 0)) {
        throw diagnostics::RuntimeError(diagnostics::kErrInternal, "Window not created");
    }
    Form_Load();
}

void frmmain::Form_Load() {
    ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void frmmain::Unload() {
    WinHook1.SetHookActive(false);
    WinHook2.SetHookActive(false);
    Timer1.SetEnabled(false);
    Destroy();
}

LRESULT frmmain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            // What taskkill (without /f) sends: leave as the Exit command does.
            ExitCommand();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE) {
                ExitCommand();
            }
            return 0;
        default:
            return WindowBase::HandleMessage(msg, wParam, lParam);
    }
}

void frmmain::WinHook2_MouseEvent(int32_t x, int32_t y) {
    Module1::MenuX = x;
    Module1::MenuY = y;
}

void frmmain::ZTray1_MouseEvent(int16_t button) {
    if (button == kRightButton) {
        Timer1.SetEnabled(true);
        Timer1.SetInterval(kMenuDelayMs);
    }
}

void frmmain::Timer1_Timer() { Timer1.SetEnabled(false); }

void frmmain::ExitCommand() {
    diagnostics::TryStep([&] { WinHook1.SetHookActive(false); });
    diagnostics::TryStep([&] { WinHook2.SetHookActive(false); });
    if (ExitForm) {
        ExitForm();
    }
}

}  // namespace ui
