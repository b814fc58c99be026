#include <gtest/gtest.h>

#include <utility>

#include "diagnostics/RuntimeError.h"
#include "ui/mShellExecute.h"

using mShellExecute::ShellOpen;

namespace {

intptr_t g_result = 0;
HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) {
    return reinterpret_cast<HINSTANCE>(g_result);
}

}  // namespace

TEST(ShellOpen, FailuresGiveTheirOwnNumberAndMessageAndSuccessClearsThem) {
    mShellExecute::ShellOpenError error;
    EXPECT_FALSE(ShellOpen("C:\\tamewin-missing.txt", SW_SHOWDEFAULT, "", "", "open", {}, &error));
    EXPECT_EQ(error.Number, 53);
    EXPECT_EQ(error.Description, "File not found");
    EXPECT_EQ(error.Source, diagnostics::ProgramName() + ".GShell");
    mShellExecute::ShellExecuteImpl = &FakeShellExecute;
    // What opening a page gives without a browser, then the edges of success.
    const std::pair<intptr_t, int32_t> results[] = {
        {SE_ERR_NOASSOC, -2147220425}, {32, 48}, {33, 0}, {-1, 0}};
    for (const auto& [result, number] : results) {
        g_result = result;
        EXPECT_EQ(ShellOpen("https://example.com/", 1, "", "", "open", {}, &error), number == 0);
        EXPECT_EQ(error.Number, number) << result;
    }
    mShellExecute::ShellExecuteImpl = &::ShellExecuteA;
}
