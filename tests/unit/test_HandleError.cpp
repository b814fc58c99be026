// The error handler and the calling convention of traced procedures: failing numbered lines
// are reported through a message-box seam, with and without a viewer window.
#include <gtest/gtest.h>

#include <windows.h>

#include <deque>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "TestViewer.h"
#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"

using diagnostics::RuntimeError;
using testviewer::EventLog;
using testviewer::ViewerThread;

namespace {

constexpr char kViewer[] = "Tamewin Trace";

std::string ExePath() {
    char path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

// The statements of a traced procedure: records each numbered line it runs; line `failing`
// raises `raise` the first `times` times it runs (every time when `times` is negative).
class Statements {
  public:
    Statements() = default;
    Statements(
        int32_t failing, int times,
        std::function<void()> raise = [] { throw RuntimeError(13, "Type mismatch"); })
        : failing_(failing), times_(times), raise_(std::move(raise)) {}

    void Run(int32_t line) {
        ran.push_back(line);
        if (line == failing_ && times_ != 0) {
            if (times_ > 0) {
                --times_;
            }
            raise_();
        }
    }

    std::vector<int32_t> ran;

  private:
    int32_t failing_ = 0;
    int times_ = 0;
    std::function<void()> raise_;
};

// A traced function with four numbered lines; returns 1 when it ran to its end, -1 (its
// neutral result) when it was left.
int32_t Procedure(const char* module, const char* procedure, Statements& statements) {
    return modTrace::Traced(module, procedure, int32_t{-1}, [&](modTrace::Lines& line) {
        for (int32_t n = 10; n <= 40; n += 10) {
            line(n, [&] { statements.Run(n); });
        }
        return int32_t{1};
    });
}

int32_t Sample(Statements& statements) {
    return Procedure("Module1", "Function Sample", statements);
}

struct BoxCall {
    std::string text;
    std::string title;
    UINT style = 0;
};

class HandleErrorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        modTrace::TraceState = {};
        modTrace::ErrorRecord = {};
        current_ = this;
        modTrace::ShowMessageBox = &HandleErrorTest::Box;
    }
    void TearDown() override {
        modTrace::ShowMessageBox = &::MessageBoxA;
        current_ = nullptr;
        modTrace::TraceState = {};
    }

    // The message box: records the call and gives the next scripted answer; without one, Abort.
    static int WINAPI Box(HWND, LPCSTR text, LPCSTR title, UINT style) {
        HandleErrorTest& self = *current_;
        self.boxes_.push_back(BoxCall{text, title, style});
        self.log_.Add(testviewer::Event{"box", text});
        if (self.answers_.empty()) {
            return IDABORT;
        }
        int answer = self.answers_.front();
        self.answers_.pop_front();
        return answer;
    }

    static void ExpectErrorRecordCleared() {
        const modTrace::ErrorRecordFields& e = modTrace::ErrorRecord;
        EXPECT_EQ(e.Number, 0);
        EXPECT_EQ(e.Description, "");
        EXPECT_EQ(e.Source, "");
        EXPECT_EQ(e.HelpFile, "");
        EXPECT_EQ(e.HelpContext, 0);
        EXPECT_EQ(e.Line, 0);
    }

    std::deque<int> answers_;
    std::vector<BoxCall> boxes_;
    EventLog log_;
    static HandleErrorTest* current_;
};

HandleErrorTest* HandleErrorTest::current_ = nullptr;

TEST_F(HandleErrorTest, WithoutViewerTheErrorIsReportedInTheBoxOnly) {
    answers_ = {IDIGNORE};
    Statements statements{10, 1};
    EXPECT_EQ(Procedure("Module1", "Function StripNulls", statements), 1);

    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].title, "Unexpected Error");
    // Abort, Retry, Ignore; stop icon; Abort the default; in front of every window, as the
    // program has none of its own there.
    EXPECT_EQ(boxes_[0].style, 0x12u | MB_SETFOREGROUND | MB_TOPMOST);
    EXPECT_EQ(boxes_[0].text, "Tamewin Trace reports " + ExePath() +
                                  " program error #13 (Type mismatch) occurred in module "
                                  "Module1, Function StripNulls, line 10.");
    EXPECT_EQ(log_.Events().size(), 1u);  // the box; no line went anywhere
    EXPECT_TRUE(modTrace::TraceState.Initialised);
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, nullptr);
    ExpectErrorRecordCleared();
}

TEST_F(HandleErrorTest, ClosingSentenceFollowsTheSourceOfTheError) {
    const std::string exe = ExePath();
    auto remote = [&](const std::string& component) {
        return ". This error was generated remotely by " + component + ", a component of " + exe +
               ".";
    };
    struct SourceCase {
        std::string source;
        std::string closing;
    };
    const SourceCase cases[] = {
        {diagnostics::ProgramName(), "."},
        {"", "."},  // raised without a source: the program's own name
        {"1C:\\comp\\x.dll!more", remote("C:\\comp\\x.dll")},
        {"12x!a!b", remote("2x")},
        {"7!", remote("")},
        {"-2D:\\y.dll!z", remote("2D:\\y.dll")},
        {"0.5x!y", remote(".5x")},
        {"0abc!x", "."},
        {"000!x", "."},
        {"abc1!x", "."},
        {"!1", "."},
        {"5abc", "."},  // a component name but no "!" to end it
    };
    for (const SourceCase& c : cases) {
        SCOPED_TRACE("source \"" + c.source + "\"");
        boxes_.clear();
        answers_ = {IDIGNORE};
        Statements statements{10, 1,
                              [&] { throw RuntimeError(5, "Invalid procedure call", c.source); }};
        EXPECT_EQ(Procedure("WINAPI32", "Function regstring", statements), 1);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].text, "Tamewin Trace reports " + exe +
                                      " program error #5 (Invalid procedure call) occurred in "
                                      "module WINAPI32, Function regstring, line 10" +
                                      c.closing);
    }
}

TEST_F(HandleErrorTest, ReturnsTheCodeOfTheButtonAndClearsTheError) {
    struct ButtonCase {
        int button;
        int16_t code;
    };
    const ButtonCase cases[] = {{IDRETRY, 1}, {IDIGNORE, 2}, {IDABORT, 3}, {0, 3}};
    for (const ButtonCase& c : cases) {
        SCOPED_TRACE("button " + std::to_string(c.button));
        boxes_.clear();
        answers_ = {c.button};
        modTrace::ErrorRecord = {11, "Division by zero", "tamewin", "help.hlp", 7, 30};
        EXPECT_EQ(modTrace::HandleError("WINAPI32", "Function EnumKeyValues"), c.code);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_NE(boxes_[0].text.find("#11 (Division by zero) occurred in module WINAPI32, "
                                      "Function EnumKeyValues, line 30."),
                  std::string::npos);
        ExpectErrorRecordCleared();
    }
}

TEST_F(HandleErrorTest, RetryRunsTheFailingLineAgain) {
    answers_ = {IDRETRY};
    Statements statements{20, 1};
    EXPECT_EQ(Sample(statements), 1);
    EXPECT_EQ(statements.ran, (std::vector<int32_t>{10, 20, 20, 30, 40}));
    EXPECT_EQ(boxes_.size(), 1u);
    ExpectErrorRecordCleared();
}

TEST_F(HandleErrorTest, IgnoreGoesOnWithTheNextLine) {
    answers_ = {IDIGNORE};
    Statements statements{20, 1};
    EXPECT_EQ(Sample(statements), 1);
    EXPECT_EQ(statements.ran, (std::vector<int32_t>{10, 20, 30, 40}));
    EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(HandleErrorTest, AbortLeavesTheProcedureWithItsNeutralResult) {
    answers_ = {IDABORT};
    Statements statements{20, 1};
    EXPECT_EQ(Sample(statements), -1);
    EXPECT_EQ(statements.ran, (std::vector<int32_t>{10, 20}));
    EXPECT_EQ(boxes_.size(), 1u);
    ExpectErrorRecordCleared();
}

TEST_F(HandleErrorTest, ALineThatAlwaysFailsCanBeLeft) {
    {
        answers_ = {IDRETRY, IDRETRY, IDIGNORE};
        Statements statements{30, -1};
        EXPECT_EQ(Sample(statements), 1);
        EXPECT_EQ(statements.ran, (std::vector<int32_t>{10, 20, 30, 30, 30, 40}));
        EXPECT_EQ(boxes_.size(), 3u);
    }
    {
        boxes_.clear();
        answers_ = {IDRETRY, IDABORT};
        Statements statements{30, -1};
        EXPECT_EQ(Sample(statements), -1);
        EXPECT_EQ(statements.ran, (std::vector<int32_t>{10, 20, 30, 30}));
        EXPECT_EQ(boxes_.size(), 2u);
    }
    {
        // A box that cannot be shown counts as Abort.
        boxes_.clear();
        answers_ = {0};
        Statements statements{30, -1};
        EXPECT_EQ(Sample(statements), -1);
        EXPECT_EQ(statements.ran, (std::vector<int32_t>{10, 20, 30}));
        EXPECT_EQ(boxes_.size(), 1u);
    }
    ExpectErrorRecordCleared();
}

TEST_F(HandleErrorTest, OtherFailuresOfALineAreReportedToo) {
    answers_ = {IDIGNORE, IDIGNORE};
    Statements outOfMemory{10, 1, [] { throw std::bad_alloc(); }};
    Statements failure{20, 1, [] { throw std::runtime_error("Bad thing"); }};
    EXPECT_EQ(Sample(outOfMemory), 1);
    EXPECT_EQ(Sample(failure), 1);
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_NE(boxes_[0].text.find(" program error #7 (Out of memory) occurred in module Module1, "
                                  "Function Sample, line 10."),
              std::string::npos);
    EXPECT_NE(boxes_[1].text.find(" program error #51 (Bad thing) occurred in module Module1, "
                                  "Function Sample, line 20."),
              std::string::npos);
}

TEST_F(HandleErrorTest, ErrorLineReachesTheViewerBeforeTheBoxAndSequenceGoesOn) {
    ViewerThread viewer({kViewer}, log_);
    answers_ = {IDIGNORE};
    Statements failing{40, 1};
    EXPECT_EQ(Sample(failing), 1);
    Statements clean;
    EXPECT_EQ(Sample(clean), 1);

    std::vector<testviewer::Event> events = log_.Events();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[0].source, kViewer);  // start line
    EXPECT_EQ(events[1].source, kViewer);
    EXPECT_NE(events[1].text.find("[00001]"), std::string::npos);
    EXPECT_EQ(events[2].source, kViewer);
    EXPECT_EQ(events[2].text,
              "[tamewin_tests] ERROR 13 \"Type mismatch\" at Module1 : Function Sample : 40\r\n");
    EXPECT_EQ(events[2].length, events[2].text.size());
    EXPECT_EQ(events[3].source, "box");
    EXPECT_NE(events[3].text.find(", line 40."), std::string::npos);
    for (size_t i = 4; i < events.size(); ++i) {
        EXPECT_EQ(events[i].source, kViewer);
    }
    EXPECT_NE(events[4].text.find("[00002] ["), std::string::npos);
    EXPECT_NE(events[4].text.find("] <-Module1 : Function Sample : \r\n"), std::string::npos);
    EXPECT_NE(events[5].text.find("[00003] ["), std::string::npos);
    EXPECT_NE(events[6].text.find("[00004] ["), std::string::npos);
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
}

TEST_F(HandleErrorTest, AnErrorBeforeAnyTracedEntryStartsTheTrace) {
    ViewerThread viewer({kViewer}, log_);
    modTrace::ErrorRecord = {9, "Subscript out of range", "", "", 0, 0};
    EXPECT_EQ(modTrace::HandleError("Module1", "Function EnumWinProc"), 3);

    std::vector<testviewer::Event> events = log_.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_NE(events[0].text.find(" START TRACE 1.0 "), std::string::npos);
    EXPECT_EQ(events[1].text,
              "[tamewin_tests] ERROR 9 \"Subscript out of range\" at Module1 : "
              "Function EnumWinProc : 0\r\n");
    EXPECT_EQ(events[2].source, "box");
    EXPECT_EQ(modTrace::TraceState.Sequence, 0);
}

TEST_F(HandleErrorTest, AbortLeavesOnlyTheInnermostProcedure) {
    ViewerThread viewer({kViewer}, log_);
    answers_ = {IDABORT};
    Statements inner{20, 1};
    int32_t innerResult = 0;
    Statements outer;
    int32_t result = modTrace::Traced(
        "Module1", "Function EnumWinProc", int32_t{-1}, [&](modTrace::Lines& line) {
            line(10, [&] { innerResult = Procedure("Module1", "Function StripNulls", inner); });
            line(20, [&] { outer.Run(20); });
            return int32_t{1};
        });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(innerResult, -1);
    EXPECT_EQ(inner.ran, (std::vector<int32_t>{10, 20}));
    EXPECT_EQ(outer.ran, (std::vector<int32_t>{20}));

    std::vector<std::string> lines = log_.TextsFrom(kViewer);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_NE(lines[2].find("->\tModule1 : Function StripNulls"), std::string::npos);
    EXPECT_EQ(
        lines[3],
        "[tamewin_tests] ERROR 13 \"Type mismatch\" at Module1 : Function StripNulls : 20\r\n");
    EXPECT_NE(lines[4].find("<-\tModule1 : Function StripNulls"), std::string::npos);
    EXPECT_NE(lines[5].find("<-Module1 : Function EnumWinProc"), std::string::npos);
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
}

}  // namespace
