#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "TestWindows.h"
#include "controls/PopupMenu.h"
#include "controls/WinHook.h"
#include "startup/Module1.h"
#include "ui/frmmain.h"
#include "ui/mShellExecute.h"

namespace {

std::string g_opened;
HINSTANCE WINAPI RecordOpen(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
    g_opened = file;
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}
HINSTANCE WINAPI FailOpen(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
    g_opened = file;
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_NOASSOC));
}

// The form as the start-up leaves it: loaded, both hooks on.
class TrayCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        form.Load();
        form.WinHook1.SetHookActive(true);
        form.WinHook2.SetHookActive(true);
        mShellExecute::ShellExecuteImpl = &RecordOpen;
        g_opened.clear();
    }
    void TearDown() override {
        mShellExecute::ShellExecuteImpl = &::ShellExecuteA;
        form.Unload();
    }
    void ExpectShown(bool on, const char* toolTip) {
        EXPECT_EQ(form.m_cMenu->ItemChecked(2), on);
        EXPECT_EQ(form.m_cMenu->ItemChecked(3), !on);
        EXPECT_EQ(form.ZTray1.ImageNumber(), on ? 3 : 4);
        EXPECT_EQ(form.ZTray1.ToolTipText(), toolTip);
        EXPECT_EQ(form.TrayShowsBlockingOn(), on);
    }

    ui::frmmain form;
};

}  // namespace

TEST_F(TrayCommands, OffThenOnSwitchesHooksAndPresentation) {
    form.MenuCommand("Off");
    EXPECT_FALSE(form.WinHook1.HookActive());
    EXPECT_FALSE(form.WinHook2.HookActive());
    ExpectShown(false, "Ie Tamewin Disabled");

    form.MenuCommand("On");
    EXPECT_TRUE(form.WinHook1.HookActive());
    EXPECT_TRUE(form.WinHook2.HookActive());
    ExpectShown(true, "Ie Tamewin Enabled");

    // The title line, the submenu's parent and the separator carry keys that do nothing.
    form.MenuCommand("");
    form.MenuCommand("Web");
    EXPECT_TRUE(form.WinHook1.HookActive());
    ExpectShown(true, "Ie Tamewin Enabled");
}

TEST_F(TrayCommands, TheMakersItemOpensThePageAndShowsOff) {
    form.OpenWebLink("https://corvanta.example.com/");
    EXPECT_EQ(g_opened, "https://corvanta.example.com/");
    EXPECT_FALSE(form.WinHook1.HookActive());
    EXPECT_TRUE(form.WinHook2.HookActive());  // the menu still opens where the click was
    ExpectShown(false, "Ie Tamewin Disabled");

    // A page that cannot be opened changes nothing of that.
    form.MenuCommand("On");
    mShellExecute::ShellExecuteImpl = &FailOpen;
    form.OpenWebLink("https://corvanta.example.com/");
    EXPECT_FALSE(form.WinHook1.HookActive());
    ExpectShown(false, "Ie Tamewin Disabled");
}

namespace {

ui::frmmain* g_form = nullptr;
bool g_clickLink = false;
std::function<void()> g_whileAboutIsOpen;  // run once while the window is open

// Runs inside the About window's modal loop: optionally clicks the link, then presses OK.
void CALLBACK WhileAboutIsOpen(HWND, UINT, UINT_PTR id, DWORD) {
    HWND about = ::FindWindowA(nullptr, "About IE Tamewin...");
    if (about == nullptr) {
        return;  // not shown yet
    }
    ::KillTimer(nullptr, id);
    if (g_whileAboutIsOpen) {
        std::exchange(g_whileAboutIsOpen, nullptr)();
    }
    if (g_clickLink) {
        g_form->lbllink_Click();
    }
    ::PostMessageA(about, WM_COMMAND, IDOK, 0);
}

void ShowAboutAndClose(ui::frmmain& form, bool clickLink) {
    g_form = &form;
    g_clickLink = clickLink;
    ::SetTimer(nullptr, 0, 50, &WhileAboutIsOpen);
    form.MenuCommand("About");
}

}  // namespace

TEST_F(TrayCommands, AfterAboutBlockingFollowsWhatTheTrayShows) {
    form.MenuCommand("On");
    ShowAboutAndClose(form, false);
    EXPECT_TRUE(form.WinHook1.HookActive());
    EXPECT_TRUE(form.WinHook2.HookActive());
    ExpectShown(true, "Ie Tamewin Enabled");

    // A click on the link inside the window shows off: blocking stays off after it.
    ShowAboutAndClose(form, true);
    EXPECT_FALSE(form.WinHook1.HookActive());
    EXPECT_FALSE(form.WinHook2.HookActive());
    ExpectShown(false, "IE Tamewin Disabled");

    // Off before About: still off after it, never on behind a "Disabled" tray.
    form.MenuCommand("On");
    form.MenuCommand("Off");
    ShowAboutAndClose(form, false);
    EXPECT_FALSE(form.WinHook1.HookActive());
    ExpectShown(false, "Ie Tamewin Disabled");
}

namespace {

HWINEVENTHOOK WINAPI RefusedWinEventHook(DWORD, DWORD, HMODULE, WINEVENTPROC, DWORD, DWORD, DWORD) {
    return nullptr;
}

// Makes the system refuse the activation hook: the desktop's CBT hook is held by another
// listener, and foreground events cannot be watched.
class RefusedActivationHook {
  public:
    RefusedActivationHook() {
        holder_.SetHookActive(true);
        controls::WinHook::SetWinEventHookImpl = &RefusedWinEventHook;
    }
    ~RefusedActivationHook() { controls::WinHook::SetWinEventHookImpl = &::SetWinEventHook; }
    RefusedActivationHook(const RefusedActivationHook&) = delete;
    RefusedActivationHook& operator=(const RefusedActivationHook&) = delete;

  private:
    controls::WinHook holder_{controls::HookKind::Standard};
};

}  // namespace

TEST_F(TrayCommands, OnAndTheEndOfAboutShowOffWhenTheHookIsRefused) {
    form.MenuCommand("Off");
    {
        RefusedActivationHook refused;
        form.MenuCommand("On");
        EXPECT_FALSE(form.WinHook1.HookActive());
        EXPECT_FALSE(form.WinHook2.HookActive());
        ExpectShown(false, "IE Tamewin Disabled");
    }

    // On again, then About; the hook is refused while the window is open.
    form.MenuCommand("On");
    ExpectShown(true, "Ie Tamewin Enabled");
    std::unique_ptr<RefusedActivationHook> refused;
    g_whileAboutIsOpen = [&] { refused = std::make_unique<RefusedActivationHook>(); };
    ShowAboutAndClose(form, false);
    ASSERT_NE(refused, nullptr);
    EXPECT_FALSE(form.WinHook1.HookActive());
    EXPECT_FALSE(form.WinHook2.HookActive());
    ExpectShown(false, "IE Tamewin Disabled");
}

namespace {

// Closes the tray menu as soon as it is open; true once it has been.
bool g_menuWasOpen = false;
void CALLBACK CloseTheMenu(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = ::FindWindowA("#32768", nullptr);
    if (menu != nullptr && ::IsWindowVisible(menu)) {
        ::KillTimer(nullptr, id);
        g_menuWasOpen = true;
        ::EndMenu();
    }
}

// A right click on the icon, as the tray reports it; pumps until the menu has opened and
// closed, or for two seconds when there is no menu to open.
void RightClickTheIcon(ui::frmmain& form) {
    g_menuWasOpen = false;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &CloseTheMenu);
    form.ZTray1.MouseEvent(2);
    const DWORD start = ::GetTickCount();
    while (!g_menuWasOpen && ::GetTickCount() - start < 2000) {
        testing_windows::Pump(20);
    }
    ::KillTimer(nullptr, timer);
}

UINT g_monitorDpi = 96;
UINT TestMonitorDpi(HMONITOR) {
    return g_monitorDpi;
}

int32_t TopLevelHeight(controls::PopupMenu& menu) {
    int32_t height = 0;
    for (int32_t i = 1; i <= menu.ItemCount(); ++i) {
        if (menu.ItemLevel(i) == 0) {
            height += menu.ItemHeight(i);
        }
    }
    return height;
}

}  // namespace

TEST(TrayMenu, TheSideBarIsPaintedForTheDpiTheMenuOpensAt) {
    const auto systemDpi = controls::PopupMenu::MonitorDpi;
    controls::PopupMenu::MonitorDpi = &TestMonitorDpi;
    g_monitorDpi = 96;
    ui::frmmain form;
    form.Load();
    Module1::MenuX = 100;
    Module1::MenuY = 100;
    const COLORREF marker = RGB(1, 2, 3);

    for (UINT dpi : {144u, 144u, 96u}) {
        SCOPED_TRACE(dpi);
        const bool dpiChanges = dpi != form.m_cMenu->Dpi();
        g_monitorDpi = dpi;
        ::SetPixel(form.picSideBar.hDC(), 0, 0, marker);
        RightClickTheIcon(form);
        ASSERT_TRUE(g_menuWasOpen);
        ASSERT_EQ(form.m_cMenu->Dpi(), dpi);
        // The bar covers every item the menu copies it beside, at the menu's scale.
        EXPECT_EQ(form.picSideBar.HeightPixels(), TopLevelHeight(*form.m_cMenu));
        EXPECT_EQ(form.picSideBar.WidthPixels(), static_cast<int32_t>(255 * dpi / 1440));
        const int32_t bottom = form.picSideBar.HeightPixels() - 1;
        EXPECT_EQ(::GetPixel(form.picSideBar.hDC(), 0, bottom), RGB(153, 51, 0));
        // Painted again only for another DPI.
        EXPECT_EQ(::GetPixel(form.picSideBar.hDC(), 0, 0) == marker, !dpiChanges);
    }
    controls::PopupMenu::MonitorDpi = systemDpi;
    form.Unload();
}

TEST(TrayMenu, WithoutTheMenuOfAFailedLoadTheIconStillTellsTheState) {
    // The form's load failed: no window, no menu. Nothing that would use the menu may crash.
    ui::frmmain form;
    ASSERT_EQ(form.m_cMenu, nullptr);
    form.ZTray1.SetIconVisible(true);
    {
        RefusedActivationHook refused;
        form.SwitchBlockingOn("IE Tamewin Enabled");
    }
    EXPECT_EQ(form.ZTray1.ImageNumber(), 4);
    EXPECT_EQ(form.ZTray1.ToolTipText(), "IE Tamewin Disabled");
    RightClickTheIcon(form);
    EXPECT_FALSE(g_menuWasOpen);
    mShellExecute::ShellExecuteImpl = &RecordOpen;
    form.lbllink_Click();
    mShellExecute::ShellExecuteImpl = &::ShellExecuteA;
    form.MenuCommand("On");
    EXPECT_EQ(form.ZTray1.ImageNumber(), 3);
    form.ZTray1.SetIconVisible(false);
    form.WinHook1.SetHookActive(false);
    form.WinHook2.SetHookActive(false);
}
