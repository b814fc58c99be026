#include <gtest/gtest.h>

#include <string>

#include "diagnostics/RuntimeError.h"
#include "ui/mShellExecute.h"

using mShellExecute::ShellOpen;
using mShellExecute::ShellOpenError;

namespace {

INT g_show = -1;
intptr_t g_result = 42;

HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT show) {
    g_show = show;
    return reinterpret_cast<HINSTANCE>(g_result);
}

// Puts the fake shell in place for one test.
class FakeShell {
  public:
    FakeShell() { mShellExecute::ShellExecuteImpl = &FakeShellExecute; }
    ~FakeShell() { mShellExecute::ShellExecuteImpl = &::ShellExecuteA; }
};

}  // namespace

TEST(ShellOpen, FailuresGiveTheirOwnNumberAndMessage) {
    ShellOpenError error;
    EXPECT_FALSE(ShellOpen("C:\\tamewin-missing-document.txt", SW_SHOWDEFAULT, "", "", "open",
                           nullptr, &error));
    EXPECT_EQ(error.Number, 53);
    EXPECT_EQ(error.Description, "File not found");
    EXPECT_EQ(error.Source, diagnostics::ProgramName() + ".GShell");

    FakeShell shell;
    g_result = SE_ERR_NOASSOC;  // what opening a page gives without a browser
    EXPECT_FALSE(
        ShellOpen("https://example.com/", SW_SHOWDEFAULT, "", "", "open", nullptr, &error));
    EXPECT_EQ(error.Number, -2147220425);  // 0x80040418 + 31
    EXPECT_EQ(error.Description, "No application is associated with this file type.");
}

TEST(ShellOpen, ProgramsWithArgumentsStartHiddenAndSuccessIsAbove32OrNegative) {
    FakeShell shell;
    g_result = 42;
    ShellOpen("C:\\Temp\\SETUP.Exe", SW_SHOWMAXIMIZED, "/q", "", "open", nullptr);
    EXPECT_EQ(g_show, SW_HIDE);
    ShellOpen("readme.txt", SW_SHOWMAXIMIZED, "", "C:\\", "open", nullptr);
    EXPECT_EQ(g_show, SW_SHOWMAXIMIZED);
    // With nothing to pass, the window is normal whatever the caller asked, for programs too.
    ShellOpen("C:\\Temp\\setup.exe", SW_HIDE, "", "", "open", nullptr);
    EXPECT_EQ(g_show, SW_SHOWNORMAL);

    for (intptr_t result : {intptr_t{33}, intptr_t{-1}, intptr_t{32}}) {
        g_result = result;
        ShellOpenError error{5, "stale", "left from an earlier call"};
        const bool success = result != 32;
        EXPECT_EQ(ShellOpen("a.txt", SW_SHOWNORMAL, "", "", "open", nullptr, &error), success)
            << result;
        EXPECT_EQ(error.Number == 0 && error.Description.empty(), success) << result;
    }
}
