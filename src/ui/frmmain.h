// The hidden main window: hosts the hook, tray and timer controls and receives their events on
// the program's one user-interface thread. It is top-most and never shown: no taskbar button,
// not in Alt+Tab.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/ImageList.h"
#include "controls/PictureBox.h"
#include "controls/PopupMenu.h"
#include "controls/Timer.h"
#include "controls/WinHook.h"
#include "controls/ZTray.h"
#include "state/ProgramState.h"
#include "ui/clogo.h"
#include "win32/WindowBase.h"

namespace ui {

class frmmain : public win32::WindowBase {
  public:
    // The window's class: one such window per running copy of the program.
    static constexpr char kClassName[] = "IETamewin.Main";

    // The form reads and records the program's lists in `state`, which outlives it.
    explicit frmmain(state::ProgramState& state);
    ~frmmain() override;

    // Creates the window and runs the load: top-most, hidden.
    void Load();
    // Ends every control's work, blocking first, removes the icon and destroys the window; the
    // object can then be released.
    void Unload() noexcept;

    controls::WinHook WinHook1{controls::HookKind::Standard};
    controls::WinHook WinHook2{controls::HookKind::Mouse};
    controls::ImageList ImageList1;
    controls::ZTray ZTray1;
    controls::Timer Timer1;
    controls::ImageList ilsIcons16;
    controls::PictureBox picSideBar;

    // Raised by the Exit command, by WM_CLOSE and by the end of the Windows session.
    std::function<void()> ExitForm;

    std::unique_ptr<controls::PopupMenu> m_cMenu;
    std::unique_ptr<clogo> m_cLogo;

    // Builds the tray menu and paints its side bar; the check marks show blocking on.
    void BuildTrayMenu();

    // The tray's tool tips, worded as they always were.
    static constexpr std::string_view kToolTipStart = "IE Tamewin Enabled";
    static constexpr std::string_view kToolTipOn = "Ie Tamewin Enabled";
    static constexpr std::string_view kToolTipOff = "Ie Tamewin Disabled";  // also the maker's item
    // Blocking off without the Off command: the system refused the hook, or the About link.
    static constexpr std::string_view kToolTipNotBlocking = "IE Tamewin Disabled";
    // The tray's images for blocking on and off, and the menu's On and Off items.
    static constexpr int16_t kImageOn = 3;
    static constexpr int16_t kImageOff = 4;
    static constexpr int32_t kItemOn = 2;
    static constexpr int32_t kItemOff = 3;
    static constexpr double kSideBarWidthTwips = 255;

    // What blocking is switched to: the activation hook that closes pop-ups, the mouse hook
    // that places the menu, and what the menu's check marks and the tray show.
    enum class Blocking {
        On,        // both hooks; where the system refuses the activation hook, neither
        Off,       // neither hook
        PageOpen,  // the program opens a page: the activation hook off, the mouse hook kept
        Held,      // neither hook, shown as before: while the About window is open, and at exit
    };
    // The one way blocking is switched and shown, with `toolTip` unless Held.
    void SetBlocking(Blocking blocking, std::string_view toolTip = {}) noexcept;
    bool TrayShowsBlockingOn() const;

    // The tray menu's commands: by key ("On", "Off", "About", "Exit"), the maker's item, and
    // the About window's link.
    void MenuCommand(const std::string& key);
    void OpenWebLink(const std::string& address, std::string_view toolTip = kToolTipOff);
    void lbllink_Click();

    // Asks a pop-up frame to close; does not wait for it. A request the system refuses (the
    // frame's program runs with higher rights) is a trace line, since that pop-up stays.
    void ClosePopupWindow(HWND hwnd) const;
    // The parameters the request carries.
    static constexpr WPARAM kCloseWParam = 1;
    static constexpr LPARAM kCloseLParam = 1;
    // The call that posts the request; ::PostMessageA unless replaced.
    using PostMessageFn = BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
    static PostMessageFn PostClose;

    // The activation of a top-level window: closes every browser frame that was not open
    // when the program started, or, while Ctrl is held, keeps them as if they had been.
    void WinHook1_WindowActivated(HWND activated);
    // A browser frame shown, with or without activation: the same rule for that frame alone,
    // with Ctrl as it was at the show.
    void WinHook1_WindowShown(HWND frame, controls::CtrlKey ctrl);
    // Records a frame of the latest snapshot with the start's frames, in the register too.
    void KeepFrame(HWND frame) const;

  private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The frames of the latest snapshot to close, the register read only when a frame of no
    // thread of the start is among them; then closes or, with Ctrl held, keeps them.
    std::vector<HWND> PopupsOfSnapshot();
    void CloseOrKeep(const std::vector<HWND>& popups, controls::CtrlKey ctrl);

    void Form_Load();
    void PaintSideBar();
    void EnsureSideBar();
    int32_t SideBarWidth() const;
    void m_cMenu_MeasureItem(int32_t lMenuIndex, int32_t& lWidth, int32_t& lHeight);
    void m_cMenu_DrawItem(HDC hDC, int32_t lMenuIndex, int32_t& lLeft, int32_t& lTop,
                          int32_t& lRight, int32_t& lBottom, bool& bDoDefault);
    void ShowAbout();
    void WinHook2_MouseEvent(int32_t x, int32_t y);
    void ZTray1_MouseEvent(int16_t button);
    void Timer1_Timer();
    // Where the menu opens: at a right-button press on the icon that has just come through
    // the mouse watch, else at the icon (a keyboard user's request, or the watch is off). Where
    // the shell does not tell the icon's place, its notification area stands for it.
    POINT MenuPosition();
    // Gives the focus back to the notification area where the menu left this program in front.
    void ReturnFocusIfInFront();
    void ExitCommand();

    state::ProgramState& state_;
    state::ClassWindows frames_;  // the browser frames' walk, with what it remembers
    int32_t MenuX = 0;            // screen position of the last right-button press
    int32_t MenuY = 0;
    UINT sideBarDpi_ = 0;       // the DPI the side bar was painted for
    bool scanCovers_ = false;   // a scan's marker is queued: activations before it are covered
    bool pressUnused_ = false;  // a right-button press came since the menu last opened
};

}  // namespace ui
