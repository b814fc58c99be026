// The procedure trace against viewer windows on another thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "TestViewer.h"
#include "diagnostics/modTrace.h"

namespace {

constexpr char kViewer[] = "Tamewin Trace";

void Traced(
    const char* module, const char* procedure, void (*body)() = [] {}) {
    modTrace::TracedSub(module, procedure, [&](modTrace::Lines& line) { line(10, body); });
}

void Sample() {
    Traced("Module1", "Function Sample");
}

class Trace : public ::testing::Test {
  protected:
    void SetUp() override { modTrace::TraceState = {}; }
    void TearDown() override { modTrace::TraceState = {}; }
    std::vector<std::string> Lines() const { return log_.From(kViewer); }
    testviewer::Log log_;
};

TEST_F(Trace, LinesAreNumberedAndIndentedByDepthWithAFullStopEvenWhereCommasAreUsual) {
    testviewer::Viewer viewer(kViewer, log_);
    // The user's decimal separator and the C library's become commas; no ASSERT until restored.
    char separator[8] = ".";
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator);
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, ",");
    EXPECT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr);

    modTrace::TraceExit("Module1", "Function StripNulls", "");  // without entry: depth stays 0
    Traced("Module1", "Sub Main", [] {
        Traced("WINAPI32", "Function RegCreateString",
               [] { Traced("WINAPI32", "Function regstring"); });
        Traced("WINAPI32", "Function regstring");
    });
    modTrace::TraceState.Sequence = 9998;
    Sample();
    modTrace::TraceState.Sequence = 99999;
    Sample();
    modTrace::TraceState.Sequence = INT32_MAX - 1;  // where it stops
    Sample();
    EXPECT_EQ(modTrace::FormatElapsed(7), "00000.007");
    EXPECT_EQ(modTrace::FormatElapsed(1234567), "01234.567");
    EXPECT_EQ(modTrace::FormatElapsed(0xFFFFFFFF), "4294967.295");
    std::setlocale(LC_ALL, cLocale.c_str());
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator);

    char today[16] = {};
    ::GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "MM'-'dd'-'yyyy", today, sizeof today);
    const std::pair<std::string, std::string> expected[] = {
        {"00001", "<-Module1 : Function StripNulls"},
        {"00002", "->Module1 : Sub Main"},
        {"00003", "->\tWINAPI32 : Function RegCreateString"},
        {"00004", "->\t\tWINAPI32 : Function regstring"},
        {"00005", "<-\t\tWINAPI32 : Function regstring"},
        {"00006", "<-\tWINAPI32 : Function RegCreateString"},
        {"00007", "->\tWINAPI32 : Function regstring"},
        {"00008", "<-\tWINAPI32 : Function regstring"},
        {"00009", "<-Module1 : Sub Main"},
        {"09999", "->Module1 : Function Sample"},
        {"10000", "<-Module1 : Function Sample"},
        {"100000", "->Module1 : Function Sample"},
        {"100001", "<-Module1 : Function Sample"},
        {"2147483647", "->Module1 : Function Sample"},
        {"2147483647", "<-Module1 : Function Sample"},
    };
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), std::size(expected) + 1);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex(std::string("tamewin_tests START TRACE 1\\.0 ") +
                                              today + R"(,\d\d:\d\d:\d\d\r\n)")))
        << lines[0];
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(testviewer::IsLine(lines[i + 1], expected[i].first, expected[i].second))
            << lines[i + 1];
    }
}

TEST_F(Trace, ViewerIsFoundByItsTitleAtTheFirstCallOnly) {
    const std::pair<std::string, bool> titles[] = {
        {"Tamewin Trace", true},   {"Tamewin Trace -xyz", true},
        {"Tamewin Trace -", true}, {"Tamewin Trace -" + std::string(300, 'x'), true},
        {"Tamewin Tracex", false}, {"Tamewin Trace-xyz", false},
        {"Tamewin Trace ", false}, {"tamewin trace", false},
        {" Tamewin Trace", false}, {"", false},
    };
    for (const auto& [title, taken] : titles) {
        SCOPED_TRACE("title \"" + title + "\"");
        modTrace::TraceState = {};
        testviewer::Viewer viewer(title, log_);
        ASSERT_NE(viewer.hwnd(), nullptr);
        Sample();
        EXPECT_EQ(modTrace::TraceState.ViewerWindow, taken ? viewer.hwnd() : nullptr);
    }
    // Looked for once: a viewer that comes later is not taken.
    testviewer::Viewer late(kViewer, log_);
    Sample();
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, nullptr);
    // Of two, the one in front.
    modTrace::TraceState = {};
    testviewer::Viewer a("Tamewin Trace -a", log_);
    testviewer::Viewer b("Tamewin Trace -b", log_);
    ::SetWindowPos(a.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Sample();
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, a.hwnd());
}

TEST_F(Trace, AHungViewerIsWaitedForBrieflyThenSkippedForASecondAGoneOneNotAtAll) {
    {
        testviewer::Viewer viewer(kViewer, log_);
        Sample();
        viewer.Pause();
        DWORD began = ::GetTickCount();
        for (int i = 0; i < 25; ++i) {
            Sample();
        }
        // 50 lines: the first waited for (200 ms), the others dropped at once.
        EXPECT_LT(::GetTickCount() - began, 450u);
        viewer.Resume();

        modTrace::TraceState.StalledSince = ::GetTickCount();  // still within the second
        Sample();
        EXPECT_EQ(Lines().size(), 3u);
        modTrace::TraceState.StalledSince -= 1000;  // the second has passed
        Sample();
        ASSERT_EQ(Lines().size(), 5u);
        EXPECT_TRUE(testviewer::IsLine(Lines()[3], "00055", "->Module1 : Function Sample"))
            << Lines()[3];
    }
    Sample();
    EXPECT_FALSE(modTrace::TraceState.ViewerStalled);
}

}  // namespace
