#include <gtest/gtest.h>

#include <windows.h>

#include <string>

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

TEST_F(TrayCommands, TheMenuIsBuiltWithBlockingOn) {
    ASSERT_NE(form.m_cMenu, nullptr);
    EXPECT_EQ(form.m_cMenu->ItemCount(), 8);
    EXPECT_EQ(form.m_cMenu->ItemKey(2), "On");
    EXPECT_EQ(form.m_cMenu->ItemKey(6), "https://corvanta.example.com/");
    EXPECT_EQ(form.m_cMenu->ItemData(6), -32768);
    EXPECT_TRUE(form.m_cMenu->ItemChecked(2));
    EXPECT_FALSE(form.m_cMenu->ItemChecked(3));
    // The side bar runs the height of the top-level items and is painted.
    int32_t height = 0;
    for (int32_t i = 1; i <= form.m_cMenu->ItemCount(); ++i) {
        if (form.m_cMenu->ItemLevel(i) == form.m_cMenu->ItemLevel(1)) {
            height += form.m_cMenu->ItemHeight(i);
        }
    }
    EXPECT_EQ(form.picSideBar.HeightPixels(), height);
    COLORREF bottom = ::GetPixel(form.picSideBar.hDC(), 0, height - 1);
    EXPECT_EQ(bottom, RGB(153, 51, 0));
}

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

TEST_F(TrayCommands, TheAboutLinkShowsOffWithItsOwnToolTip) {
    form.lbllink_Click();
    EXPECT_EQ(g_opened, "https://corvanta.example.com/");
    EXPECT_FALSE(form.WinHook1.HookActive());
    ExpectShown(false, "IE Tamewin Disabled");
}

namespace {

ui::frmmain* g_form = nullptr;
bool g_clickLink = false;

// Runs inside the About window's modal loop: optionally clicks the link, then presses OK.
void CALLBACK WhileAboutIsOpen(HWND, UINT, UINT_PTR id, DWORD) {
    HWND about = ::FindWindowA(nullptr, "About IE Tamewin...");
    if (about == nullptr) {
        return;  // not shown yet
    }
    ::KillTimer(nullptr, id);
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
