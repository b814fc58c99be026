#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <functional>
#include <utility>

#include "TestWindows.h"
#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "ui/DesktopShell.h"
#include "ui/Maker.h"
#include "ui/frmmain.h"
#include "ui/mShellExecute.h"

using testing_windows::PumpUntil;
using testing_windows::Seam;

namespace {

INT_PTR g_openResult = 42;  // above 32: the shell opened it
std::string g_opened;
HRESULT g_apartmentAtOpen = E_FAIL;  // S_FALSE: the caller had joined an apartment
HINSTANCE WINAPI RecordOpen(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
    g_opened = file;
    g_apartmentAtOpen = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(g_apartmentAtOpen)) {
        ::CoUninitialize();
    }
    return reinterpret_cast<HINSTANCE>(g_openResult);
}
int g_focusReturns = 0;
BOOL WINAPI RecordShell(DWORD message, PNOTIFYICONDATAA data) {
    g_focusReturns += message == NIM_SETFOCUS ? 1 : 0;
    return ::Shell_NotifyIconA(message, data);
}
// An elevated copy's desktop shell out of reach. (The shell within reach is not asked here:
// reaching Wine's desktop shell from this program now and then ends that shell.)
HRESULT WINAPI NoShell(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID* object) {
    *object = nullptr;
    return REGDB_E_CLASSNOTREG;
}
HWINEVENTHOOK WINAPI RefusedWinEventHook(DWORD, DWORD, HMODULE, WINEVENTPROC, DWORD, DWORD, DWORD) {
    return nullptr;
}
// Ticks through each test: the test's action in an open menu, else closes it (at once the
// menu would close before it takes a key the action posted).
bool g_menuWasOpen = false;
std::function<void()> g_whileMenuIsOpen;
void CALLBACK Dismiss(HWND, UINT, UINT_PTR, DWORD) {
    if (::IsWindowVisible(::FindWindowA("#32768", nullptr))) {
        g_menuWasOpen = true;
        g_whileMenuIsOpen ? std::exchange(g_whileMenuIsOpen, nullptr)() : (void)::EndMenu();
    }
}
// A right click on the icon as the tray reports it; true when it opened a menu.
bool RightClickTheIcon(ui::frmmain& form) {
    g_menuWasOpen = false;
    form.ZTray1.MouseEvent(2);
    testing_windows::PumpUntil([&] { return !form.Timer1.Enabled(); });
    return g_menuWasOpen;
}
// Closes the About window a command shows; first follows its link, as a click does, if asked.
ui::frmmain* g_followLinkOf = nullptr;
void CALLBACK CloseAbout(HWND, UINT, UINT_PTR, DWORD) {
    if (const HWND about = ::FindWindowA("TamewinAbout", nullptr)) {
        if (ui::frmmain* form = std::exchange(g_followLinkOf, nullptr)) {
            form->lbllink_Click();
        }
        ::PostMessageA(about, WM_CLOSE, 0, 0);
    }
}
class TrayCommands : public ::testing::Test {
  protected:
    void SetUp() override { form.Load(); }
    void TearDown() override { ::KillTimer(nullptr, timer); }
    static bool Unelevated() { return false; }
    const Seam<mShellExecute::ShellExecuteFn> open_{mShellExecute::ShellExecuteImpl, &RecordOpen};
    // As most users run it; Wine runs elevated.
    const Seam<mShellExecute::RunsElevatedFn> unelevated_{mShellExecute::RunsElevated, &Unelevated};
    // The activation hook, the mouse hook, and blocking as the menu and the tray show it.
    void ExpectState(bool hook1, bool hook2, std::string_view toolTip) {
        EXPECT_EQ(form.WinHook1.HookActive(), hook1);
        EXPECT_EQ(form.WinHook2.HookActive(), hook2);
        EXPECT_EQ(form.m_cMenu->ItemChecked(ui::frmmain::kItemOn) -
                      form.m_cMenu->ItemChecked(ui::frmmain::kItemOff),
                  hook1 ? 1 : -1);
        EXPECT_EQ(form.ZTray1.ImageNumber(),
                  hook1 ? ui::frmmain::kImageOn : ui::frmmain::kImageOff);
        EXPECT_EQ(form.ZTray1.ToolTipText(), toolTip);
    }
    state::ProgramState state;
    ui::frmmain form{state};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, &Dismiss);
};

}  // namespace

TEST_F(TrayCommands, OnOffAndWebLinkPresentation) {
    // The page opens with blocking off, the mouse hook kept; one that cannot open changes nothing.
    for (INT_PTR result : {INT_PTR{SE_ERR_NOASSOC}, INT_PTR{42}}) {
        form.MenuCommand("On");
        ExpectState(true, true, ui::frmmain::kToolTipOn);
        g_openResult = result;
        form.OpenWebLink(kMakerWebAddress);
        EXPECT_EQ(g_opened, kMakerWebAddress);
        ExpectState(false, true, ui::frmmain::kToolTipOff);
    }
    form.MenuCommand("Off");
    ExpectState(false, false, ui::frmmain::kToolTipOff);
    // The desktop's CBT hook held by another listener, and no foreground events to be had.
    controls::WinHook holder{controls::HookKind::Standard};
    holder.SetHookActive(true);
    const Seam refused(controls::WinHook::SetWinEventHookImpl, &RefusedWinEventHook);
    form.MenuCommand("On");
    ExpectState(false, false, ui::frmmain::kToolTipNotBlocking);
}

TEST_F(TrayCommands, AfterAboutBlockingAsTheTrayShows) {
    using F = ui::frmmain;
    const UINT_PTR closer = ::SetTimer(nullptr, 0, 20, &CloseAbout);
    for (auto [before, link, on, tip] : {std::tuple{"On", false, true, F::kToolTipOn},
                                         {"Off", false, false, F::kToolTipOff},
                                         {"On", true, false, F::kToolTipNotBlocking}}) {
        form.MenuCommand(before);
        g_followLinkOf = link ? &form : nullptr;
        form.MenuCommand("About");
        ExpectState(on, on, tip);
    }
    ::KillTimer(nullptr, closer);
}

TEST_F(TrayCommands, SideBarFollowsMenuDpi) {
    static UINT monitorDpi = 96;
    // The menu opens at the icon, on a monitor of its own DPI; the primary one's is 96.
    const Seam dpi(controls::PopupMenu::DpiAt,
                   [](POINT at) { return at.x == 0 && at.y == 0 ? 96u : monitorDpi; });
    for (auto [dpi, repainted] : {std::pair{144u, true}, {144u, false}, {96u, true}}) {
        monitorDpi = dpi;
        ::SetPixel(form.picSideBar.hDC(), 0, 0, RGB(1, 2, 3));
        EXPECT_TRUE(RightClickTheIcon(form));
        // At the menu's scale, beside every top-level item; painted again only for another DPI.
        int32_t height = 0;
        for (int32_t i : {1, 2, 3, 4, 5, 7, 8}) {
            height += form.m_cMenu->ItemHeight(i);
        }
        EXPECT_EQ(form.picSideBar.HeightPixels(), height) << dpi;
        EXPECT_EQ(form.picSideBar.WidthPixels(),
                  static_cast<int32_t>(ui::frmmain::kSideBarWidthTwips * dpi / 1440))
            << dpi;
        EXPECT_EQ(::GetPixel(form.picSideBar.hDC(), 0, 0) == RGB(1, 2, 3), !repainted) << dpi;
        int icon = 0, unused = 0;  // icons of the menu's size, not stretched ones
        ::ImageList_GetIconSize(form.m_cMenu->ImageSource(), &icon, &unused);
        EXPECT_EQ(icon, static_cast<int>(16 * dpi / 96)) << dpi;
    }
}

TEST_F(TrayCommands, EndsWithTheSessionOnly) {
    bool ended = false;
    form.ExitForm = [&] { ended = true; };
    // Another program may yet cancel the end of the session, which Wine's never is.
    EXPECT_EQ(::SendMessageA(form.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    ::SendMessageA(form.hwnd(), WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(ended);
    ::SendMessageA(form.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(ended);
}

TEST_F(TrayCommands, FocusBackOnlyIfLeftInFront) {
    const Seam shell(controls::ZTray::ShellNotifyIcon, &RecordShell);
    testing_windows::ThreadWindow other("TamewinTestOther", "Another program");
    other.Place(300, 300, 200, 100);
    // On by its key, a cancel in place (as by Esc), Off, then a click into another program.
    for (char key : {'o', '\0', 'f', '!'}) {
        g_focusReturns = 0;
        g_whileMenuIsOpen = [&, key] {
            key == '!' ? ::SetForegroundWindow(other.hwnd())
                       : ::PostMessageA(::FindWindowA("#32768", nullptr), WM_CHAR, key, 0);
        };
        EXPECT_TRUE(RightClickTheIcon(form));
        EXPECT_EQ(g_focusReturns, key == '!' ? 0 : 1) << key;
        EXPECT_EQ(form.WinHook1.HookActive(), key == 'o' || key == '\0') << key;
    }
    // The other thread takes its activation when it gets to it: until then nothing is in front.
    EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == other.hwnd(); }));
}

TEST_F(TrayCommands, RefusalsAreTraceLines) {
    testing_windows::ThreadWindow viewer("TamewinTestViewer", "Tamewin Trace");
    modTrace::TraceState = {};
    const Seam refused(ui::frmmain::PostClose, &testing_windows::RefusedPost);
    form.ClosePopupWindow(reinterpret_cast<HWND>(0x1234));
    form.m_cMenu = std::make_unique<controls::PopupMenu>();  // a menu without its items
    form.MenuCommand("Off");
    const std::vector<std::string> lines = viewer.texts();
    EXPECT_NE(lines.at(1).find("WM_CLOSE refused for window &H1234: error 5"), std::string::npos);
    EXPECT_NE(lines.at(2).find(": check On stopped: error 9 (Subscript out of range)"),
              std::string::npos);
    modTrace::TraceState = {};
}

TEST_F(TrayCommands, ShellOpenErrorNumbers) {
    mShellExecute::ShellExecuteImpl = &::ShellExecuteA;
    mShellExecute::ShellOpenError error;
    EXPECT_FALSE(mShellExecute::ShellOpen("C:\\tamewin-missing.txt", SW_SHOWDEFAULT, "", "", "open",
                                          {}, &error));
    EXPECT_EQ(error.Number, 53);
    EXPECT_EQ(error.Description, "File not found");
    EXPECT_EQ(error.Source, diagnostics::ProgramName() + ".GShell");
    mShellExecute::ShellExecuteImpl = &RecordOpen;
    // What opening a page gives without a browser, then the edges of success.
    const std::pair<intptr_t, int32_t> results[] = {
        {SE_ERR_NOASSOC, -2147220425}, {32, 48}, {33, 0}, {-1, 0}};
    for (const auto& [result, number] : results) {
        g_openResult = result;
        EXPECT_EQ(mShellExecute::ShellOpen("https://example.com/", 1, "", "", "open", {}, &error),
                  number == 0);
        EXPECT_EQ(error.Number, number) << result;
    }
    EXPECT_EQ(g_apartmentAtOpen, S_FALSE) << "the shell is called from an apartment";
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK) << "and it is left";
    ::CoUninitialize();
    g_openResult = 42;
    // Elevated, only the desktop's shell opens: never this copy, with its rights.
    g_opened.clear();
    const Seam elevated(mShellExecute::RunsElevated, [] { return true; });
    const Seam noShell(DesktopShell::CreateInstance, &NoShell);
    EXPECT_FALSE(mShellExecute::ShellOpen("https://example.com/", 1, "", "", "open", {}));
    EXPECT_EQ(g_opened, "");
}
