// The error handler: a failing numbered line is reported in a message box (through its seam),
// with a viewer first as an error line, and the button chosen decides how the procedure goes on.
#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "TestViewer.h"
#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"

using diagnostics::RuntimeError;

namespace {

// A traced function with four numbered lines that records in `ran` the lines it runs; line 20
// raises the first `fails` times it runs. Returns 1 at its end, -1 (its neutral result) when left.
int32_t Sample(
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

class HandleErrorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        modTrace::TraceState = {};
        current_ = this;
        modTrace::ShowMessageBox = &HandleErrorTest::Box;
    }
    void TearDown() override {
        modTrace::ShowMessageBox = &::MessageBoxA;
        modTrace::TraceState = {};
    }

    // The message box: records the call and gives the next scripted answer; without one, Abort.
    static int WINAPI Box(HWND, LPCSTR text, LPCSTR title, UINT style) {
        current_->log_.Add("box", text);
        EXPECT_STREQ(title, "Unexpected Error");
        // A tray program has no window in front of the user's: the box must bring itself there.
        EXPECT_EQ(style, UINT{MB_ABORTRETRYIGNORE | MB_ICONSTOP | MB_SETFOREGROUND | MB_TOPMOST});
        std::deque<int>& answers = current_->answers_;
        int answer = answers.empty() ? IDABORT : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return answer;
    }

    std::deque<int> answers_;
    testviewer::Log log_;
    static inline HandleErrorTest* current_ = nullptr;
};

TEST_F(HandleErrorTest, BoxInFrontNamesTheErrorItsPlaceAndWhereItCameFrom) {
    char path[MAX_PATH] = {};
    const std::string exe(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    auto remote = [&](const std::string& component) {
        return ". This error was generated remotely by " + component + ", a component of " + exe +
               ".";
    };
    auto from = [](std::string source) {
        return [source] { throw RuntimeError(5, "Invalid procedure call", source); };
    };
    const std::string call = "#5 (Invalid procedure call)";
    const std::tuple<std::function<void()>, std::string, std::string> cases[] = {
        {from(diagnostics::ProgramName()), call, "."},
        {from(""), call, "."},  // raised without a source: the program's own
        {from("1C:\\comp\\x.dll!more"), call, remote("C:\\comp\\x.dll")},
        {from("12x!a!b"), call, remote("2x")},
        {from("0.5x!y"), call, remote(".5x")},
        {from("000!x"), call, "."},
        {from("abc1!x"), call, "."},
        {from("5abc"), call, "."},  // a component but no "!" to end it
        {[] { throw std::bad_alloc(); }, "#7 (Out of memory)", "."},
        {[] { throw std::runtime_error("Bad thing"); }, "#51 (Bad thing)", "."},
    };
    std::vector<std::string> expected;
    for (const auto& [raise, error, closing] : cases) {
        answers_ = {IDIGNORE};
        std::vector<int32_t> ran;
        EXPECT_EQ(Sample(ran, 1, raise), 1);
        expected.push_back("Tamewin Trace reports " + exe + " program error " + error +
                           " occurred in module Module1, Function Sample, line 20" + closing);
    }
    EXPECT_EQ(log_.From("box"), expected);
}

TEST_F(HandleErrorTest, RetryRunsTheLineAgainIgnoreGoesOnAbortLeaves) {
    struct Case {
        std::deque<int> answers;
        int fails;
        std::vector<int32_t> ran;
        int32_t result;
    };
    const Case cases[] = {
        {{IDRETRY}, 1, {10, 20, 20, 30, 40}, 1},
        {{IDIGNORE}, 1, {10, 20, 30, 40}, 1},
        {{IDABORT}, 1, {10, 20}, -1},
        {{0}, 1, {10, 20}, -1},  // a box that could not be shown
        // A line that always fails can be left.
        {{IDRETRY, IDRETRY, IDIGNORE}, 1000, {10, 20, 20, 20, 30, 40}, 1},
        {{IDRETRY, IDABORT}, 1000, {10, 20, 20}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.answers));
        answers_ = c.answers;
        std::vector<int32_t> ran;
        EXPECT_EQ(Sample(ran, c.fails), c.result);
        EXPECT_EQ(ran, c.ran);
        EXPECT_TRUE(answers_.empty());               // a box for each
        EXPECT_EQ(modTrace::ErrorRecord.Number, 0);  // cleared once reported
        EXPECT_EQ(modTrace::ErrorRecord.Line, 0);
    }
}

TEST_F(HandleErrorTest, ErrorLineReachesTheViewerFirstAndAbortLeavesOnlyTheInnermost) {
    testviewer::Viewer viewer("Tamewin Trace", log_);
    std::vector<int32_t> inner;
    int32_t innerResult = 0;
    auto body = [&](modTrace::Lines& line) {
        line(10, [&] { innerResult = Sample(inner, 1); });  // answered with Abort
        return int32_t{1};
    };
    EXPECT_EQ(modTrace::Traced("Module1", "Function EnumWinProc", int32_t{-1}, body), 1);
    EXPECT_EQ(innerResult, -1);
    EXPECT_EQ(inner, (std::vector<int32_t>{10, 20}));

    auto e = log_.Events();
    ASSERT_EQ(e.size(), 7u);
    using testviewer::IsLine;
    EXPECT_TRUE(IsLine(e[2].second, "00002", "->\tModule1 : Function Sample")) << e[2].second;
    EXPECT_EQ(e[3].second,
              "[tamewin_tests] ERROR 13 \"Type mismatch\" at Module1 : Function Sample : 20\r\n");
    EXPECT_EQ(e[4].first, "box");
    // The error line takes no sequence number.
    EXPECT_TRUE(IsLine(e[5].second, "00003", "<-\tModule1 : Function Sample")) << e[5].second;
    EXPECT_TRUE(IsLine(e[6].second, "00004", "<-Module1 : Function EnumWinProc")) << e[6].second;
}

}  // namespace
