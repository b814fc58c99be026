// Run-time errors, the procedure trace and the error handler, against viewer windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <deque>
#include <functional>
#include <new>
#include <regex>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "TestWindows.h"
#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "win32/ModulePath.h"

using diagnostics::RuntimeError;

namespace {

constexpr char kViewer[] = "Tamewin Trace";

using Viewer = testing_windows::ThreadWindow;

// Whether `line` is the line `body` ("->\tModule1 : Sub Main") of that sequence, time 12345.678.
bool IsLine(const std::string& line, const std::string& sequence, const std::string& body) {
    return std::regex_match(line, std::regex(R"(\[tamewin_tests\] \[)" + sequence +
                                             R"(\] \[\d{5,}\.\d{3}\] )" + body + " : \r\n"));
}

void Traced(
    const char* module, const char* procedure, void (*body)() = [] {}) {
    modTrace::TracedSub(module, procedure, [&](modTrace::Lines& line) { line(10, body); });
}

void Sample() {
    Traced("Module1", "Function Sample");
}

// Lines 10 to 40, noted in `ran`; line 20 raises its first `fails` times. 1 at its end, else -1.
int32_t Failing(
    std::vector<int32_t>& ran, int fails,
    const std::function<void()>& raise = [] { throw RuntimeError(13, "Type mismatch"); }) {
    return modTrace::Traced("Module1", "Function Sample", int32_t{-1}, [&](modTrace::Lines& line) {
        for (int32_t n = 10; n <= 40; n += 10) {
            line(n, [&] {
                ran.push_back(n);
                if (n == 20 && fails-- > 0) {
                    raise();
                }
            });
        }
        return int32_t{1};
    });
}

class Trace : public ::testing::Test {
  protected:
    void SetUp() override {
        modTrace::TraceState = {};
        current_ = this;
    }
    void TearDown() override { modTrace::TraceState = {}; }
    // Notes the box and the viewer's lines by then; gives the next answer, else Abort.
    static int WINAPI Box(HWND, LPCSTR text, LPCSTR title, UINT style) {
        current_->boxes_.push_back(text);
        current_->linesAtBox_ = current_->viewer_ ? current_->viewer_->texts().size() : 0;
        EXPECT_STREQ(title, "Unexpected Error");
        // A tray program has no window in front of the user's: the box must bring itself there.
        EXPECT_EQ(style, UINT{MB_ABORTRETRYIGNORE | MB_ICONSTOP | MB_SETFOREGROUND | MB_TOPMOST});
        std::deque<int>& answers = current_->answers_;
        const int answer = answers.empty() ? IDABORT : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return answer;
    }
    const testing_windows::Seam<modTrace::MessageBoxFn> box_{modTrace::ShowMessageBox, &Trace::Box};
    std::deque<int> answers_;
    std::vector<std::string> boxes_;
    const Viewer* viewer_ = nullptr;
    size_t linesAtBox_ = 0;
    static inline Trace* current_ = nullptr;
};

TEST_F(Trace, LinesNumberedAndIndentedWithAFullStop) {
    Viewer viewer("TamewinTestViewer", kViewer);
    // The user's decimal separator and the C library's become commas; no ASSERT until restored.
    char separator[8] = ".";
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, sizeof separator);
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, ",");
    EXPECT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr);
    modTrace::TraceExit("Module1", "Function StripNulls", "");  // without entry: depth stays 0
    Traced("Module1", "Sub Main", [] { Traced("WINAPI32", "Function regstring"); });
    modTrace::TraceState.Sequence = INT32_MAX - 1;  // where it stops
    Sample();
    EXPECT_EQ(modTrace::FormatElapsed(0xFFFFFFFF), "4294967.295");
    std::setlocale(LC_ALL, cLocale.c_str());
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator);
    char today[16] = {};
    ::GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "MM'-'dd'-'yyyy", today, sizeof today);
    const std::pair<std::string, std::string> expected[] = {
        {"00001", "<-Module1 : Function StripNulls"},
        {"00002", "->Module1 : Sub Main"},
        {"00003", "->\tWINAPI32 : Function regstring"},
        {"00004", "<-\tWINAPI32 : Function regstring"},
        {"00005", "<-Module1 : Sub Main"},
        {"2147483647", "->Module1 : Function Sample"},
        {"2147483647", "<-Module1 : Function Sample"},
    };
    const std::vector<std::string> lines = viewer.texts();
    ASSERT_EQ(lines.size(), std::size(expected) + 1);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex(std::string("tamewin_tests START TRACE 1\\.0 ") +
                                              today + R"(,\d\d:\d\d:\d\d\r\n)")))
        << lines[0];
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(IsLine(lines[i + 1], expected[i].first, expected[i].second)) << lines[i + 1];
    }
}

TEST_F(Trace, ViewerFoundByTitleOnce) {
    const std::pair<std::string, bool> titles[] = {
        {"Tamewin Trace", true},   {"Tamewin Trace -xyz", true}, {"Tamewin Trace-xyz", false},
        {"Tamewin Tracex", false}, {"Tamewin Trace ", false},    {" Tamewin Trace", false}};
    for (const auto& [title, taken] : titles) {
        SCOPED_TRACE("title \"" + title + "\"");
        modTrace::TraceState = {};
        Viewer viewer("TamewinTestViewer", title);
        Sample();
        EXPECT_EQ(modTrace::TraceState.ViewerWindow, taken ? viewer.hwnd() : nullptr);
    }
    // Looked for once: a viewer that comes later is not taken.
    Viewer late("TamewinTestViewer", kViewer);
    Sample();
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, nullptr);
}

TEST_F(Trace, HungViewerSkippedForASecond) {
    {
        Viewer viewer("TamewinTestViewer", kViewer);
        Sample();
        viewer.Hold();
        Sample();
        const DWORD stalled = modTrace::TraceState.StalledSince;
        for (int i = 0; i < 24; ++i) {
            Sample();
        }
        // 50 lines: the first waited for and lost, the others dropped unsent, the stall kept.
        EXPECT_TRUE(modTrace::TraceState.ViewerStalled);
        EXPECT_EQ(modTrace::TraceState.StalledSince, stalled);
        viewer.Release();
        modTrace::TraceState.StalledSince = ::GetTickCount();  // still within the second
        Sample();
        EXPECT_EQ(viewer.texts().size(), 3u);
        modTrace::TraceState.StalledSince -= 1000;  // the second has passed
        Sample();
        ASSERT_EQ(viewer.texts().size(), 5u);
        EXPECT_TRUE(IsLine(viewer.texts()[3], "00055", "->Module1 : Function Sample"))
            << viewer.texts()[3];
    }
    Sample();
    EXPECT_FALSE(modTrace::TraceState.ViewerStalled);
}

TEST_F(Trace, ErrorBoxAnswers) {
    const std::string exe = win32::ModulePath(nullptr).value_or("");
    const auto box = [&](const std::string& error, const std::string& closing) {
        return "Tamewin Trace reports " + exe + " program error " + error +
               " occurred in module Module1, Function Sample, line 20" + closing;
    };
    const auto from = [](std::string source) -> std::function<void()> {
        return [source] { throw RuntimeError(5, "Invalid procedure call", source); };
    };
    const std::string call = "#5 (Invalid procedure call)", e51 = "#51 (Bad thing)";
    const auto bad = [] { throw std::runtime_error("Bad thing"); };
    const std::string remote =
        ". This error was generated remotely by C:\\comp\\x.dll, a component of " + exe + ".";
    // The answers, the times line 20 fails and what it raises; the lines run, the result, the box.
    const std::tuple<std::deque<int>, int, std::function<void()>, std::vector<int32_t>, int32_t,
                     std::string>
        cases[] = {
            // Raised without a source: the program's own.
            {{IDRETRY}, 1, from(""), {10, 20, 20, 30, 40}, 1, box(call, ".")},
            {{IDIGNORE}, 1, from("1C:\\comp\\x.dll!more"), {10, 20, 30, 40}, 1, box(call, remote)},
            {{IDABORT}, 1, from("000!x"), {10, 20}, -1, box(call, ".")},
            // A box that could not be shown.
            {{0}, 1, [] { throw std::bad_alloc(); }, {10, 20}, -1, box("#7 (Out of memory)", ".")},
            // A line that always fails can be left.
            {{IDRETRY, IDRETRY, IDIGNORE}, 1000, bad, {10, 20, 20, 20, 30, 40}, 1, box(e51, ".")}};
    for (const auto& [answers, fails, raise, lines, result, text] : cases) {
        SCOPED_TRACE(::testing::PrintToString(answers));
        answers_ = answers;
        boxes_.clear();
        std::vector<int32_t> ran;
        EXPECT_EQ(Failing(ran, fails, raise), result);
        EXPECT_EQ(ran, lines);
        EXPECT_EQ(boxes_, std::vector<std::string>(answers.size(), text));  // one for each answer
        EXPECT_EQ(modTrace::ErrorRecord.Number, 0);                         // cleared once reported
    }
}

TEST_F(Trace, ErrorLineBeforeTheBox) {
    Viewer viewer("TamewinTestViewer", kViewer);
    viewer_ = &viewer;
    std::vector<int32_t> inner;
    const auto body = [&](modTrace::Lines& line) {
        line(10, [&] { Failing(inner, 1); });  // answered with Abort
        return int32_t{1};
    };
    EXPECT_EQ(modTrace::Traced("Module1", "Function EnumWinProc", int32_t{-1}, body), 1);
    const std::vector<std::string> lines = viewer.texts();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3],
              "[tamewin_tests] ERROR 13 \"Type mismatch\" at Module1 : Function Sample : 20\r\n");
    EXPECT_EQ(linesAtBox_, 4u) << "the error line comes before the box";
    // The error line takes no sequence number.
    EXPECT_TRUE(IsLine(lines[4], "00003", "<-\tModule1 : Function Sample")) << lines[4];
    EXPECT_TRUE(IsLine(lines[5], "00004", "<-Module1 : Function EnumWinProc")) << lines[5];
}

}  // namespace
