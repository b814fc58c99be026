// The hidden main window: hosts the hook, tray and timer controls and receives their events on
// the program's one user-interface thread. It is top-most and never shown: no taskbar button,
// not in Alt+Tab.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "controls/ImageList.h"
#include "controls/PopupMenu.h"
#include "controls/Timer.h"
#include "controls/WinHook.h"
#include "controls/ZTray.h"
#include "win32/WindowBase.h"

namespace ui {

class frmmain : public win32::WindowBase {
public:
    frmmain();
    ~frmmain() override;

    // Creates the window and runs the load: top-most, hidden.
    void Load();
    // Hides the window and ends every control's work; the object can then be released.
    void Unload();

    controls::WinHook WinHook1{controls::HookKind::Standard};
    controls::WinHook WinHook2{controls::HookKind::Mouse};
    controls::ImageList ImageList1;
    controls::ZTray ZTray1;
    controls::Timer Timer1;

    // Raised by the Exit command, by WM_CLOSE and by the end of the Windows session.
    std::function<void()> ExitForm;

    std::unique_ptr<controls::PopupMenu> m_cMenu;

    // 1 when the thread id is one of the value names read from the Instances key, else 0.
    int32_t CheckThreadId(int32_t threadId) const;
    // Asks a pop-up frame to close; does not wait for it.
    void ClosePopupWindow(HWND hwnd) const;

    // The activation of a top-level window: closes every browser frame that was not open
    // when the program started.
    void WinHook1_WindowActivated(HWND activated);

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    void Form_Load();
    void WinHook2_MouseEvent(int32_t x, int32_t y);
    void ZTray1_MouseEvent(int16_t button);
    void Timer1_Timer();
    void ExitCommand();
};

}  // namespace ui
