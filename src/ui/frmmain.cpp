#include "ui/frmmain.h"

#include <algorithm>

#include "diagnostics/RuntimeError.h"
#include "registry/WINAPI32.h"
#include "resources/resource.h"
#include "startup/Module1.h"

namespace ui {

namespace {
constexpr char kClassName[] = "IETamewin.Main";
constexpr int16_t kImageOn = 3;
constexpr int16_t kRightButton = 2;
constexpr UINT kMenuDelayMs = 10;
constexpr char kInstancesKey[] = "Software\\Corvanta\\VIVurazoru\\Instances";
constexpr char kFrameClass[] = "IEFrame";

bool OpenAtStart(int32_t threadId) {
    const auto& frames = Module1::colFrames;
    return std::find(frames.begin(), frames.end(), threadId) != frames.end();
}
}  // namespace

frmmain::frmmain()
    : ImageList1({IDI_PROGRAM, IDI_PROGRAM, IDI_TRAY_ON, IDI_TRAY_OFF}),
      ZTray1(ImageList1, kImageOn),
      Timer1(kMenuDelayMs) {
    WinHook1.WindowActivated = [this](HWND activated) { WinHook1_WindowActivated(activated); };
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

void frmmain::WinHook1_WindowActivated(HWND activated) {
    using diagnostics::TryStep;
    // The program's own windows never cause a scan.
    if (activated == hwnd() || (m_cMenu && activated == m_cMenu->OwnerWindow())) {
        return;
    }
    // Nothing is kept from one activation to the next: a fresh register and snapshot.
    TryStep([&] { Module1::colWindows.clear(); });
    TryStep([&] { Module1::colInstances = WINAPI32::EnumKeyValues(kInstancesKey); });
    TryStep([&] { ::EnumWindows(&Module1::EnumWinProc, 0); });
    for (const Module1::WindowRecord& record : Module1::colWindows) {
        // The frames open at start are never closed, whatever the registry holds now.
        if (record.ClassName != kFrameClass || OpenAtStart(record.ThreadId)) {
            continue;
        }
        if (CheckThreadId(record.ThreadId) == 0) {
            ClosePopupWindow(record.Handle);
        }
    }
}

int32_t frmmain::CheckThreadId(int32_t threadId) const {
    if (!Module1::colInstances) {
        return 0;
    }
    int32_t found = 0;
    for (const std::string& name : *Module1::colInstances) {
        // A name that is not a number names no thread; it does not stop the comparison.
        diagnostics::TryStep([&] {
            if (diagnostics::CLng(name) == threadId) {
                found = 1;
            }
        });
    }
    return found;
}

void frmmain::ClosePopupWindow(HWND hwnd) const { ::PostMessageA(hwnd, WM_CLOSE, 1, 1); }

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
