// Notification-area icon control. Shows image `imagenumber` of its image list with a tool tip,
// raises MouseEvent with the button code (1 left, 2 right) when a button is released over the
// icon, puts the icon back when the taskbar is re-created (the "TaskbarCreated" message) and
// removes it when the control is destroyed.
//
// IconVisible is what the program wants; whether the shell shows the icon follows it whenever
// the shell is there to ask. It may not be, for a while, at log-on or after Explorer stopped, or
// it may be too busy to answer: while the icon is wanted and not shown, it is offered again
// every few seconds.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "controls/ImageList.h"

namespace controls {

class ZTray {
  public:
    // The icon's identity towards the shell: the callback window and this id.
    static constexpr UINT kIconId = 1;
    // The message the shell sends to the callback window; lParam is the mouse message.
    static constexpr UINT kCallbackMessage = WM_APP + 1;

    // Design settings: image list ImageList1, imagenumber 3. The list must outlive the control.
    ZTray(const ImageList& images, int16_t imagenumber);
    ~ZTray();
    ZTray(const ZTray&) = delete;
    ZTray& operator=(const ZTray&) = delete;

    // The setters never fail: what the shell refuses is offered again, as above.
    void SetIconVisible(bool visible) noexcept;
    bool IconVisible() const;
    // Kept as far as the shell's field holds it, as CopyToField cuts it.
    void SetToolTipText(std::string_view text) noexcept;
    std::string_view ToolTipText() const;
    // The icon is loaded at the notification area's icon size for the current DPI.
    void SetImageNumber(int16_t number) noexcept;
    int16_t ImageNumber() const;

    std::function<void(int16_t button)> MouseEvent;

    // The hidden top-level window that receives the icon's callback messages and the
    // taskbar's broadcasts.
    HWND CallbackWindow() const;
    // The icon's place on the screen, where the shell tells it.
    std::optional<RECT> IconRect() const;
    // Gives the keyboard focus back to the notification area, as after a menu of the icon
    // was cancelled from the keyboard.
    void ReturnFocus() const;

    // How long the icon waits before it is offered again to a shell that refused it.
    static constexpr UINT kRetryMs = 2000;
    // The shell call every request goes through; ::Shell_NotifyIconA unless replaced.
    using ShellNotifyIconFn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
    static ShellNotifyIconFn ShellNotifyIcon;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Copies `text` into the fixed ANSI field `field` of `fieldSize` bytes, always NUL-terminated,
// and cut before the first character that does not fit whole: a double-byte character of
// `codePage` is never split.
void CopyToField(std::string_view text, char* field, std::size_t fieldSize,
                 UINT codePage = CP_ACP) noexcept;

}  // namespace controls
