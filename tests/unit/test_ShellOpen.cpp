#include <gtest/gtest.h>

#include <string>

#include "diagnostics/RuntimeError.h"
#include "ui/Maker.h"
#include "ui/mShellExecute.h"

using mShellExecute::ShellOpen;
using mShellExecute::ShellOpenError;

namespace {

struct ShellCall {
    int count = 0;
    HWND owner = nullptr;
    std::string verb, file, parameters, directory;
    INT show = -1;
};

ShellCall g_call;
intptr_t g_result = 42;

HINSTANCE WINAPI RecordShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                    LPCSTR directory, INT show) {
    ++g_call.count;
    g_call.owner = owner;
    g_call.verb = verb;
    g_call.file = file;
    g_call.parameters = parameters;
    g_call.directory = directory;
    g_call.show = show;
    return reinterpret_cast<HINSTANCE>(g_result);
}

class ShellOpenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_call = ShellCall{};
        g_result = 42;
        mShellExecute::ShellExecuteImpl = &RecordShellExecute;
    }
    void TearDown() override { mShellExecute::ShellExecuteImpl = &::ShellExecuteA; }

    // Opens the maker's page as the program's callers do, with the shell answering `result`.
    static bool OpenAnswering(intptr_t result, ShellOpenError& error) {
        g_result = result;
        return ShellOpen(kMakerWebAddress, SW_SHOWDEFAULT, "", "", "open", nullptr, &error);
    }
};

TEST_F(ShellOpenTest, ProgramsStartHiddenWhenArgumentsAreGiven) {
    EXPECT_TRUE(ShellOpen("C:\\Temp\\setup.exe", SW_SHOWDEFAULT, "", "C:\\Temp", "open", nullptr));
    EXPECT_EQ(g_call.show, SW_HIDE);

    // A plain substring test on the upper-cased name, not an extension test.
    EXPECT_TRUE(ShellOpen("my.exes\\readme.txt", SW_SHOWMAXIMIZED, "/q", "", "print", nullptr));
    EXPECT_EQ(g_call.show, SW_HIDE);
    EXPECT_TRUE(ShellOpen("SETUP.Exe", SW_SHOWMAXIMIZED, "/q", "", "open", nullptr));
    EXPECT_EQ(g_call.show, SW_HIDE);

    // No ".EXE": the caller's show command goes through.
    EXPECT_TRUE(ShellOpen("readme.ex", SW_SHOWMAXIMIZED, "/q", "", "open", nullptr));
    EXPECT_EQ(g_call.show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(g_call.count, 4);
}

TEST_F(ShellOpenTest, WithoutArgumentsTheWindowIsAlwaysNormal) {
    EXPECT_TRUE(ShellOpen("C:\\Temp\\setup.exe", SW_SHOWDEFAULT, "", "", "open", nullptr));
    EXPECT_EQ(g_call.show, SW_SHOWNORMAL);

    EXPECT_TRUE(ShellOpen(kMakerWebAddress, SW_SHOWDEFAULT, "", "", "open", nullptr));
    EXPECT_EQ(g_call.show, SW_SHOWNORMAL);
    EXPECT_TRUE(ShellOpen(kMakerWebAddress, SW_HIDE, "", "", "open", nullptr));
    EXPECT_EQ(g_call.show, SW_SHOWNORMAL);
    EXPECT_EQ(g_call.parameters, "");
    EXPECT_EQ(g_call.directory, "");
}

TEST_F(ShellOpenTest, PassesItsArgumentsThrough) {
    HWND owner = ::GetDesktopWindow();
    EXPECT_TRUE(
        ShellOpen("C:\\docs\\a b.txt", SW_SHOWMINIMIZED, "-x \"y z\"", "C:\\docs", "edit", owner));
    EXPECT_EQ(g_call.count, 1);
    EXPECT_EQ(g_call.owner, owner);
    EXPECT_EQ(g_call.verb, "edit");
    EXPECT_EQ(g_call.file, "C:\\docs\\a b.txt");
    EXPECT_EQ(g_call.parameters, "-x \"y z\"");
    EXPECT_EQ(g_call.directory, "C:\\docs");
    EXPECT_EQ(g_call.show, SW_SHOWMINIMIZED);

    // A directory alone is enough to pass the caller's show command.
    EXPECT_TRUE(ShellOpen(kMakerWebAddress, SW_SHOWMAXIMIZED, "", "C:\\", "open", nullptr));
    EXPECT_EQ(g_call.file, kMakerWebAddress);
    EXPECT_EQ(g_call.parameters, "");
    EXPECT_EQ(g_call.directory, "C:\\");
    EXPECT_EQ(g_call.show, SW_SHOWMAXIMIZED);
}

TEST_F(ShellOpenTest, ResultsAbove32OrNegativeAreSuccess) {
    for (intptr_t result : {intptr_t{33}, intptr_t{42}, intptr_t{-1}, intptr_t{INT32_MIN}}) {
        ShellOpenError error{5, "stale", "left from an earlier call"};
        EXPECT_TRUE(OpenAnswering(result, error)) << result;
        EXPECT_EQ(error.Number, 0) << result;
        EXPECT_EQ(error.Source, "") << result;
        EXPECT_EQ(error.Description, "") << result;
    }
}

TEST_F(ShellOpenTest, EachShellFailureHasItsNumberAndMessage) {
    constexpr int32_t base = -2147220456;  // 0x80040418
    const char* const other =
        "An error occurred occurred whilst trying to open or print the selected file.";
    const struct {
        intptr_t result;
        int32_t number;
        const char* message;
    } rows[] = {
        {0, 7, "Out of memory"},
        {1, base + 1, other},
        {2, 53, "File not found"},
        {3, 76, "Path not found"},
        {4, base + 4, other},
        {5, 75, "Path/file access error"},
        {8, 7, "Out of memory"},
        {10, base + 10, other},
        {11, base + 11, "The executable file is invalid or corrupt"},
        {26, 75, "A sharing violation occurred."},
        {27, base + 27, "This file type does not have a valid file association."},
        {28, 286, "The file could not be opened due to time out.  Please try again in a moment."},
        {29, 285,
         "The file could not be opened because the DDE transaction failed.  Please try again in "
         "a moment."},
        {30, 285,
         "The file could not be opened because the target application is busy.  Please try "
         "again in a moment."},
        {31, -2147220425, "No application is associated with this file type."},
        {32, 48, "The specified dynamic-link library was not found."},
    };
    for (const auto& row : rows) {
        ShellOpenError error;
        EXPECT_FALSE(OpenAnswering(row.result, error)) << row.result;
        EXPECT_EQ(error.Number, row.number) << row.result;
        EXPECT_EQ(error.Description, row.message) << row.result;
    }
}

TEST_F(ShellOpenTest, FailureSourceIsTheProgramName) {
    ShellOpenError error;
    EXPECT_FALSE(OpenAnswering(31, error));
    EXPECT_EQ(error.Source, "tamewin_tests.GShell");
    EXPECT_EQ(error.Source, diagnostics::ProgramName() + ".GShell");

    // Without a record the failure shows in the result alone.
    g_result = 2;
    EXPECT_FALSE(ShellOpen(kMakerWebAddress, SW_SHOWDEFAULT, "", "", "open", nullptr));
}

}  // namespace

TEST(ShellOpenReal, MissingDocumentIsFileNotFound) {
    ShellOpenError error;
    EXPECT_FALSE(ShellOpen("C:\\tamewin-missing-document.txt", SW_SHOWDEFAULT, "", "", "open",
                           nullptr, &error));
    EXPECT_EQ(error.Number, 53);
    EXPECT_EQ(error.Description, "File not found");
}
