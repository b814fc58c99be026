#include "ui/frmmain.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "registry/WINAPI32.h"
#include "resources/resource.h"
#include "ui/Maker.h"
#include "ui/PopupRule.h"
#include "ui/frmAbout.h"
#include "ui/mShellExecute.h"
#include "win32/Dpi.h"

namespace ui {

namespace {
constexpr int32_t kWebLinkData = -32768;  // item data of a menu item whose key is a web address
constexpr int32_t kWebIcon = 38;
constexpr int kMenuIconCount = 43;
constexpr int32_t kShowDefault = 10;            // SW_SHOWDEFAULT
constexpr uint32_t kSideBarStartColor = 13209;  // 0x003399: red 0x99, green 0x33, blue 0
constexpr uint32_t kSideBarEndColor = 0;
constexpr double kSideBarFontPoints = 9.75;

std::vector<WORD> MenuIconIds() {
    std::vector<WORD> ids(kMenuIconCount, IDI_PROGRAM);
    ids[kWebIcon - 1] = IDI_WEB;
    return ids;
}
constexpr int16_t kRightButton = 2;

// Where the notification area is, for a shell that keeps the icon's own place to itself: its
// window, or else the taskbar's end away from the Start button (the right end of a horizontal
// taskbar, the bottom of a vertical one), a square as deep as the taskbar.
std::optional<RECT> NotificationArea() {
    const HWND taskbar = ::FindWindowA("Shell_TrayWnd", nullptr);
    RECT rect{};
    if (taskbar == nullptr || !::GetWindowRect(taskbar, &rect)) {
        return std::nullopt;
    }
    const HWND area = ::FindWindowExA(taskbar, nullptr, "TrayNotifyWnd", nullptr);
    if (area != nullptr && ::GetWindowRect(area, &rect)) {
        return rect;
    }
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    if (width >= height) {
        rect.left = rect.right - height;
    } else {
        rect.top = rect.bottom - width;
    }
    return rect;
}
constexpr UINT kMenuDelayMs = 10;
constexpr UINT kScanMarker = WM_APP + 1;  // posted as a scan begins, see WinHook1_WindowActivated

}  // namespace

frmmain::frmmain(state::ProgramState& state)
    : ImageList1({IDI_PROGRAM, IDI_PROGRAM, IDI_TRAY_ON, IDI_TRAY_OFF}),
      ZTray1(ImageList1, kImageOn),
      Timer1(kMenuDelayMs),
      ilsIcons16(MenuIconIds()),
      state_(state),
      frames_(kFrameClass) {
    WinHook1.WindowActivated = [this](HWND activated) { WinHook1_WindowActivated(activated); };
    WinHook1.WindowShown = [this](HWND frame, controls::CtrlKey ctrl) {
        WinHook1_WindowShown(frame, ctrl);
    };
    WinHook1.SetShownClass(kFrameClass);
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
    BuildTrayMenu();
}

void frmmain::BuildTrayMenu() {
    m_cMenu = std::make_unique<controls::PopupMenu>();
    m_cMenu->SetOwnerWindow(hwnd());
    m_cMenu->MeasureItem = [this](int32_t index, int32_t& width, int32_t& height) {
        m_cMenu_MeasureItem(index, width, height);
    };
    m_cMenu->DrawItem = [this](HDC dc, int32_t index, int32_t& left, int32_t& top, int32_t& right,
                               int32_t& bottom, bool, bool, bool, bool& doDefault) {
        m_cMenu_DrawItem(dc, index, left, top, right, bottom, doDefault);
    };

    auto topLevel = [&](const char* caption, int32_t icon, const char* key) {
        int32_t index = m_cMenu->AddItem(caption, 0, 0, icon, false, key);
        m_cMenu->SetItemOwnerDraw(index, true);
        return index;
    };
    topLevel("-Ie Tamewin", -1, "");
    topLevel("&On", -1, "On");
    topLevel("O&ff", -1, "Off");
    topLevel("&About", -1, "About");
    int32_t web = topLevel("On the We&b", kWebIcon, "Web");
    m_cMenu->AddItem(kMakerName, kWebLinkData, web, kWebIcon, false, kMakerWebAddress);
    topLevel("-", -1, "");
    topLevel("E&xit", -1, "Exit");

    PaintSideBar();

    m_cMenu->SetItemChecked(kItemOn, true);
    m_cMenu->SetItemChecked(kItemOff, false);
}

void frmmain::PaintSideBar() {
    // Painted for the DPI the menu's items are measured at; the DPI first, so that measuring
    // the items from here does not paint again.
    sideBarDpi_ = m_cMenu->Dpi();
    // The icons too, loaded at the size for that DPI: the system's own size would be stretched.
    m_cMenu->SetImageSource(ilsIcons16.Handle(controls::ImageList::SmallIconSizeAt(sideBarDpi_)));
    picSideBar.SetTwipsPerPixel(controls::TwipsPerPixelAt(sideBarDpi_));
    picSideBar.SetWidthTwips(kSideBarWidthTwips);
    // The side bar runs the height of the top-level items.
    int32_t height = 0;
    for (int32_t i = 1; i <= m_cMenu->ItemCount(); ++i) {
        if (m_cMenu->ItemLevel(i) == m_cMenu->ItemLevel(1)) {
            height += m_cMenu->ItemHeight(i);
        }
    }
    picSideBar.SetHeightTwips(static_cast<double>(height) * picSideBar.TwipsPerPixelY());
    const double points = kSideBarFontPoints * sideBarDpi_ / win32::ScreenDpi();
    picSideBar.SetFont(controls::PictureFont{"Arial", points, true, false, false, false});
    picSideBar.SetForeColor(RGB(255, 255, 255));

    m_cLogo = std::make_unique<clogo>();
    m_cLogo->SetDrawingObject(&picSideBar);
    m_cLogo->SetStartColor(kSideBarStartColor);
    m_cLogo->SetEndColor(kSideBarEndColor);
    m_cLogo->SetCaption(kMakerName);
    m_cLogo->Draw();
}

void frmmain::EnsureSideBar() {
    if (m_cMenu->Dpi() != sideBarDpi_) {
        PaintSideBar();
    }
}

int32_t frmmain::SideBarWidth() const {
    return static_cast<int32_t>(picSideBar.WidthTwips()) / picSideBar.TwipsPerPixelX();
}

void frmmain::m_cMenu_MeasureItem(int32_t lMenuIndex, int32_t& lWidth, int32_t&) {
    EnsureSideBar();  // the menu may open on a monitor of another DPI
    if (m_cMenu->ItemLevel(1) == m_cMenu->ItemLevel(lMenuIndex)) {
        lWidth += SideBarWidth() + 1;
    }
}

void frmmain::m_cMenu_DrawItem(HDC hDC, int32_t, int32_t& lLeft, int32_t& lTop, int32_t&,
                               int32_t& lBottom, bool& bDoDefault) {
    // The bar's slice at the item's own height, so the slices join down the menu.
    int32_t w = SideBarWidth();
    ::BitBlt(hDC, lLeft, lTop, w, lBottom - lTop, picSideBar.hDC(), 0, lTop, SRCCOPY);
    lLeft += w + 1;
    bDoDefault = true;
}

void frmmain::SetBlocking(Blocking blocking, std::string_view toolTip) noexcept {
    WinHook1.SetHookActive(blocking == Blocking::On);
    if (blocking != Blocking::PageOpen) {
        WinHook2.SetHookActive(WinHook1.HookActive());
    }
    if (blocking == Blocking::Held) {
        return;
    }
    const bool on = WinHook1.HookActive();
    if (blocking == Blocking::On && !on) {
        toolTip = kToolTipNotBlocking;  // the system refused the hook: say so rather than show on
    }
    using diagnostics::TryStep;
    // The menu is missing when the load failed; the icon still tells the state.
    if (m_cMenu) {
        TryStep("SetBlocking: check On", [&] { m_cMenu->SetItemChecked(kItemOn, on); });
        TryStep("SetBlocking: check Off", [&] { m_cMenu->SetItemChecked(kItemOff, !on); });
    }
    ZTray1.SetImageNumber(on ? kImageOn : kImageOff);
    ZTray1.SetToolTipText(toolTip);
}

bool frmmain::TrayShowsBlockingOn() const {
    return ZTray1.ImageNumber() == kImageOn;
}

void frmmain::Unload() noexcept {
    SetBlocking(Blocking::Held);
    ZTray1.SetIconVisible(false);
    Timer1.SetEnabled(false);
    Destroy();
}

LRESULT frmmain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            // What taskkill (without /f) sends: leave as the Exit command does.
            ExitCommand();
            return 0;
        case kScanMarker:
            scanCovers_ = false;
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
    // Activations told before the last scan began are covered by it, since it took its
    // snapshot after them: the marker posted then is still queued behind them.
    if (scanCovers_) {
        return;
    }
    scanCovers_ = hwnd() != nullptr && ::PostMessageA(hwnd(), kScanMarker, 0, 0);
    // A frame thread of the start that has ended gives its id back before the system can
    // hand it to a new thread.
    TryStep("WindowActivated: ForgetEndedFrames", [&] { state_.ForgetEndedFrames(); });
    // Nothing is kept from one activation to the next: a fresh snapshot of the frames, and of
    // the register where it is needed.
    state_.colWindows.clear();
    TryStep("WindowActivated: snapshot the frames", [&] { frames_.Append(state_.colWindows); });
    const std::vector<HWND> popups = PopupsOfSnapshot();
    CloseOrKeep(popups, popups.empty() ? controls::CtrlKey::Up : controls::ReadCtrlKey());
}

void frmmain::WinHook1_WindowShown(HWND frame, controls::CtrlKey ctrl) {
    diagnostics::TryStep("WindowShown: ForgetEndedFrames", [&] { state_.ForgetEndedFrames(); });
    state_.colWindows.clear();
    state::EnumWinProc(frame, reinterpret_cast<LPARAM>(&state_.colWindows));
    CloseOrKeep(PopupsOfSnapshot(), ctrl);
}

std::vector<HWND> frmmain::PopupsOfSnapshot() {
    using diagnostics::TryStep;
    std::vector<HWND> popups;
    if (std::ranges::none_of(state_.colWindows, [&](const state::WindowRecord& record) {
            return FrameBeyondTheStart(record, state_.colFrames);
        })) {
        return popups;
    }
    TryStep("PopupsOfSnapshot: read the register", [&] {
        state_.colInstances = WINAPI32::EnumKeyValues(state_.InstancesRoot, state::kInstancesKey,
                                                      state::kInstancesView);
    });
    TryStep("PopupsOfSnapshot: PopupsToClose", [&] {
        popups = PopupsToClose(state_.colWindows, state_.colFrames, state_.colInstances);
    });
    return popups;
}

void frmmain::CloseOrKeep(const std::vector<HWND>& popups, controls::CtrlKey ctrl) {
    if (popups.empty()) {
        return;
    }
    // A frame opened with Ctrl held is one the user asked for.
    if (ctrl == controls::CtrlKey::Held) {
        for (HWND popup : popups) {
            KeepFrame(popup);
        }
        return;
    }
    if (ctrl == controls::CtrlKey::Unreadable) {
        modTrace::TraceNote("frmmain", "Sub CloseOrKeep",
                            "pop-ups closed with Ctrl unknown: the keys are another desktop's");
    }
    for (HWND popup : popups) {
        ClosePopupWindow(popup);
    }
}

void frmmain::KeepFrame(HWND frame) const {
    auto record = std::ranges::find(state_.colWindows, frame, &state::WindowRecord::Handle);
    if (record == state_.colWindows.end() || record->ThreadId == 0) {
        return;  // gone before its thread was read: nothing to keep
    }
    diagnostics::TryStep("KeepFrame: KeepFrameThread",
                         [&] { state_.KeepFrameThread(record->ThreadId); });
    char note[80];
    std::snprintf(note, sizeof note, "window &H%lX kept: Ctrl held", HandleToULong(frame));
    modTrace::TraceNote("frmmain", "Sub KeepFrame", note);
}

frmmain::PostMessageFn frmmain::PostClose = &::PostMessageA;

void frmmain::ClosePopupWindow(HWND hwnd) const {
    if (!PostClose(hwnd, WM_CLOSE, kCloseWParam, kCloseLParam)) {
        const DWORD error = ::GetLastError();
        char note[80];
        std::snprintf(note, sizeof note, "WM_CLOSE refused for window &H%lX: error %lu",
                      HandleToULong(hwnd), static_cast<unsigned long>(error));
        modTrace::TraceNote("frmmain", "Sub ClosePopupWindow", note);
    }
}

void frmmain::WinHook2_MouseEvent(int32_t x, int32_t y) {
    MenuX = x;
    MenuY = y;
    pressUnused_ = true;
}

void frmmain::ZTray1_MouseEvent(int16_t button) {
    if (button == kRightButton) {
        Timer1.SetEnabled(true);
        Timer1.SetInterval(kMenuDelayMs);
    }
}

void frmmain::Timer1_Timer() {
    Timer1.SetEnabled(false);  // one tick per right click
    if (!m_cMenu) {
        return;  // the load failed: there is no menu to show
    }
    const POINT at = MenuPosition();
    int32_t chosen = m_cMenu->ShowPopupMenu(at.x, at.y);
    if (chosen <= 0) {
        ReturnFocusIfInFront();
        return;
    }
    if (m_cMenu->ItemData(chosen) == kWebLinkData) {
        OpenWebLink(m_cMenu->ItemKey(chosen));
        return;
    }
    std::string key;
    diagnostics::TryStep("Timer1: the chosen key", [&] { key = m_cMenu->ItemKey(chosen); });
    MenuCommand(key);
    if (key == "On" || key == "Off") {
        ReturnFocusIfInFront();
    }
}

void frmmain::ReturnFocusIfInFront() {
    // A menu cancelled from the keyboard, or On or Off, leaves this program's hidden window in
    // front: the shell asks for the focus back when the icon's work is done. A click into
    // another window has put the focus there, and it stays; About and the page take it.
    const HWND front = ::GetForegroundWindow();
    if (front != nullptr && ::GetWindowThreadProcessId(front, nullptr) == ::GetCurrentThreadId()) {
        ZTray1.ReturnFocus();
    }
}

POINT frmmain::MenuPosition() {
    const POINT press{MenuX, MenuY};
    const bool fresh = std::exchange(pressUnused_, false);
    std::optional<RECT> area = ZTray1.IconRect();
    if (!area) {
        area = NotificationArea();
    }
    if (!area) {
        POINT pointer{};
        return fresh || !::GetCursorPos(&pointer) ? press : pointer;
    }
    if (fresh && ::PtInRect(&*area, press)) {
        return press;
    }
    return {(area->left + area->right) / 2, (area->top + area->bottom) / 2};
}

void frmmain::MenuCommand(const std::string& key) {
    if (key == "On") {
        SetBlocking(Blocking::On, kToolTipOn);
    } else if (key == "Off") {
        SetBlocking(Blocking::Off, kToolTipOff);
    } else if (key == "About") {
        SetBlocking(Blocking::Held);
        diagnostics::TryStep("About: the window", [&] { ShowAbout(); });
        // Blocking then follows what the tray shows: a click on the About window's link
        // has switched it to off.
        if (TrayShowsBlockingOn()) {
            SetBlocking(Blocking::On, ZTray1.ToolTipText());
        }
    } else if (key == "Exit") {
        ExitCommand();
    }
}

void frmmain::OpenWebLink(const std::string& address, std::string_view toolTip) {
    // Opening a page in the browser would close its new window: blocking goes off first.
    SetBlocking(Blocking::PageOpen, toolTip);
    mShellExecute::ShellOpen(address, kShowDefault, "", "", "open", nullptr);
}

void frmmain::ShowAbout() {
    frmAbout about;
    about.LinkClicked = [this] { lbllink_Click(); };
    about.ShowModal(hwnd());
}

void frmmain::lbllink_Click() {
    OpenWebLink(kMakerWebAddress, kToolTipNotBlocking);
}

void frmmain::ExitCommand() {
    SetBlocking(Blocking::Held);
    if (ExitForm) {
        ExitForm();
    }
}

}  // namespace ui
