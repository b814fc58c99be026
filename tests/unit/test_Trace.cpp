// The procedure trace against real viewer windows on another thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "TestViewer.h"
#include "diagnostics/modTrace.h"
#include "win32/Handles.h"

using testviewer::EventLog;
using testviewer::ViewerThread;

namespace {

constexpr char kViewer[] = "Tamewin Trace";

// A traced function with four numbered lines; returns 100.
int32_t Sample() {
    return modTrace::Traced("Module1", "Function Sample", int32_t{0}, [](modTrace::Lines& line) {
        int32_t sum = 0;
        for (int32_t n = 10; n <= 40; n += 10) {
            line(n, [&] { sum += n; });
        }
        return sum;
    });
}

void Innermost() {
    modTrace::TracedSub("WINAPI32", "Function regstring",
                        [](modTrace::Lines& line) { line(10, [] {}); });
}

void Middle() {
    modTrace::TracedSub("WINAPI32", "Function RegCreateString",
                        [](modTrace::Lines& line) { line(10, Innermost); });
}

void Outer() {
    modTrace::TracedSub("Module1", "Sub Main", [](modTrace::Lines& line) {
        line(10, Middle);
        line(20, Innermost);
    });
}

// The fields of one entry or exit line.
struct TraceLine {
    std::string program;
    std::string sequence;
    std::string time;
    std::string arrow;
    size_t tabs = 0;
    std::string module;
    std::string procedure;
    std::string note;
};

TraceLine Parse(const std::string& text) {
    static const std::regex pattern(
        R"(\[([^\]]*)\] \[(\d+)\] \[(\d{5,}\.\d{3})\] (->|<-)(\t*)(.*) : (.*) : (.*)\r\n)");
    std::smatch m;
    if (!std::regex_match(text, m, pattern)) {
        ADD_FAILURE() << "not an entry or exit line: " << text;
        return {};
    }
    return TraceLine{m[1], m[2], m[3], m[4], static_cast<size_t>(m[5].length()), m[6], m[7], m[8]};
}

double Seconds(const std::string& timeField) {
    return std::strtod(timeField.c_str(), nullptr);
}

class Trace : public ::testing::Test {
  protected:
    void SetUp() override { modTrace::TraceState = {}; }
    void TearDown() override { modTrace::TraceState = {}; }

    // The lines the viewer window titled `title` took, after checking that each came with
    // its length.
    std::vector<std::string> Lines(const std::string& title = kViewer) const {
        for (const testviewer::Event& e : log_.Events()) {
            EXPECT_EQ(e.length, e.text.size()) << e.text;
        }
        return log_.TextsFrom(title);
    }

    EventLog log_;
};

TEST_F(Trace, StartLineThenEntryAndExitLines) {
    ViewerThread viewer({kViewer}, log_);
    SYSTEMTIME before{};
    ::GetLocalTime(&before);
    EXPECT_EQ(Sample(), 100);
    SYSTEMTIME after{};
    ::GetLocalTime(&after);

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        lines[0], m,
        std::regex(R"(tamewin_tests START TRACE 1\.0 (\d\d-\d\d-\d{4}),\d\d:\d\d:\d\d\r\n)")))
        << lines[0];
    auto date = [](const SYSTEMTIME& t) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02u-%02u-%04u", t.wMonth, t.wDay, t.wYear);
        return std::string(buf);
    };
    EXPECT_TRUE(m[1] == date(before) || m[1] == date(after)) << m[1];

    TraceLine entry = Parse(lines[1]);
    EXPECT_EQ(entry.program, "tamewin_tests");
    EXPECT_EQ(entry.sequence, "00001");
    EXPECT_EQ(entry.arrow, "->");
    EXPECT_EQ(entry.tabs, 0u);
    EXPECT_EQ(entry.module, "Module1");
    EXPECT_EQ(entry.procedure, "Function Sample");
    EXPECT_EQ(entry.note, "");
    const std::string head = "[tamewin_tests] [00001] [" + entry.time + "] ->";
    EXPECT_EQ(lines[1].substr(0, head.size()), head);

    TraceLine exit = Parse(lines[2]);
    EXPECT_EQ(exit.sequence, "00002");
    EXPECT_EQ(exit.arrow, "<-");
    EXPECT_EQ(exit.tabs, 0u);
    EXPECT_EQ(exit.procedure, "Function Sample");
    EXPECT_GE(Seconds(exit.time), Seconds(entry.time));
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
}

TEST_F(Trace, NestedCallsAreIndentedByDepth) {
    ViewerThread viewer({kViewer}, log_);
    Outer();

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 9u);
    struct Expected {
        const char* arrow;
        size_t tabs;
        const char* procedure;
    };
    const Expected expected[] = {
        {"->", 0, "Sub Main"},
        {"->", 1, "Function RegCreateString"},
        {"->", 2, "Function regstring"},
        {"<-", 2, "Function regstring"},
        {"<-", 1, "Function RegCreateString"},
        {"->", 1, "Function regstring"},
        {"<-", 1, "Function regstring"},
        {"<-", 0, "Sub Main"},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(lines[i + 1]);
        TraceLine line = Parse(lines[i + 1]);
        EXPECT_EQ(line.sequence, "0000" + std::to_string(i + 1));
        EXPECT_EQ(line.arrow, expected[i].arrow);
        EXPECT_EQ(line.tabs, expected[i].tabs);
        EXPECT_EQ(line.procedure, expected[i].procedure);
    }
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
}

TEST_F(Trace, ExitWithoutEntryHasNoTabAndDepthStaysZero) {
    ViewerThread viewer({kViewer}, log_);
    modTrace::TraceExit("Module1", "Function StripNulls", "");
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
    Sample();

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    TraceLine exit = Parse(lines[1]);
    EXPECT_EQ(exit.sequence, "00001");
    EXPECT_EQ(exit.arrow, "<-");
    EXPECT_EQ(exit.tabs, 0u);
    EXPECT_EQ(exit.procedure, "Function StripNulls");
    // The next procedure is at depth 1 again, not 0.
    EXPECT_EQ(Parse(lines[2]).tabs, 0u);
    EXPECT_EQ(Parse(lines[2]).sequence, "00002");
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
}

TEST_F(Trace, SequenceGrowsPastFiveDigitsAndStopsAtTheLargestValue) {
    ViewerThread viewer({kViewer}, log_);
    modTrace::TraceStart();
    modTrace::TraceState.Sequence = 99998;
    Sample();
    modTrace::TraceState.Sequence = INT32_MAX - 1;
    Sample();

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(Parse(lines[1]).sequence, "99999");
    EXPECT_EQ(Parse(lines[2]).sequence, "100000");
    EXPECT_EQ(Parse(lines[3]).sequence, "2147483647");
    EXPECT_EQ(Parse(lines[4]).sequence, "2147483647");
    EXPECT_EQ(modTrace::TraceState.Sequence, INT32_MAX);
}

TEST(TraceTimeField, FiveIntegerDigitsAndThreeDecimals) {
    EXPECT_EQ(modTrace::FormatElapsed(0), "00000.000");
    EXPECT_EQ(modTrace::FormatElapsed(7), "00000.007");
    EXPECT_EQ(modTrace::FormatElapsed(12345), "00012.345");
    EXPECT_EQ(modTrace::FormatElapsed(99999999), "99999.999");
    EXPECT_EQ(modTrace::FormatElapsed(100000000), "100000.000");
    EXPECT_EQ(modTrace::FormatElapsed(0xFFFFFFFF), "4294967.295");
}

// Makes the comma the decimal separator for one scope: the user's setting
// (HKCU\Control Panel\International sDecimal), the thread's locale and the C library's.
class CommaDecimalSeparator {
  public:
    CommaDecimalSeparator() {
        char old[8] = {};
        if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, old, sizeof old) > 0) {
            oldSeparator_ = old;
        }
        ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, ",");
        oldThreadLocale_ = ::GetThreadLocale();
        ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT));
        oldCLocale_ = std::setlocale(LC_ALL, nullptr);
        cLocaleSet_ = std::setlocale(LC_ALL, "German_Germany.1252") != nullptr;
    }
    ~CommaDecimalSeparator() {
        std::setlocale(LC_ALL, oldCLocale_.c_str());
        ::SetThreadLocale(oldThreadLocale_);
        ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, oldSeparator_.c_str());
    }
    bool CLocaleSet() const { return cLocaleSet_; }

  private:
    std::string oldSeparator_ = ".";
    LCID oldThreadLocale_ = 0;
    std::string oldCLocale_;
    bool cLocaleSet_ = false;
};

std::string UserDecimalSeparator() {
    win32::Key key;
    char value[8] = {};
    DWORD size = sizeof value - 1;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, KEY_QUERY_VALUE,
                        key.put()) == ERROR_SUCCESS) {
        ::RegQueryValueExA(key.get(), "sDecimal", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                           &size);
    }
    return value;
}

TEST_F(Trace, TimeFieldKeepsAFullStopWhenTheUserHasADecimalComma) {
    ViewerThread viewer({kViewer}, log_);
    {
        CommaDecimalSeparator comma;
        ASSERT_EQ(UserDecimalSeparator(), ",");
        char local[8] = {};
        ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, local, sizeof local);
        ASSERT_STREQ(local, ",");
        if (comma.CLocaleSet()) {
            char printed[16];
            std::snprintf(printed, sizeof printed, "%.1f", 1.5);
            EXPECT_STREQ(printed, "1,5");
        }

        modTrace::TraceStart();
        modTrace::TraceState.StartTick -= 12345;  // as if the trace had started 12.345 s ago
        Sample();
        EXPECT_EQ(modTrace::FormatElapsed(12345), "00012.345");
    }
    EXPECT_NE(UserDecimalSeparator(), ",");

    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string time = Parse(lines[i]).time;
        EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d{5}\.\d{3})"))) << time;
        EXPECT_GE(Seconds(time), 12.345);
    }
}

TEST_F(Trace, ViewerIsFoundByItsTitle) {
    struct TitleCase {
        std::string title;
        bool taken;
    };
    const TitleCase cases[] = {
        {"Tamewin Trace", true},
        {"Tamewin Trace -xyz", true},
        {"Tamewin Trace -", true},
        {"Tamewin Trace -" + std::string(300, 'x'), true},
        {"Tamewin Tracex", false},
        {"Tamewin Trace-xyz", false},
        {"Tamewin Trace xyz", false},
        {"Tamewin Trace ", false},
        {"tamewin trace", false},
        {"TAMEWIN TRACE -xyz", false},
        {" Tamewin Trace", false},
        {"Tamewin Trac", false},
        {"", false},
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE("title \"" + c.title + "\"");
        modTrace::TraceState = {};
        EventLog log;
        ViewerThread viewer({c.title}, log);
        EXPECT_EQ(Sample(), 100);
        EXPECT_TRUE(modTrace::TraceState.Initialised);
        if (c.taken) {
            EXPECT_EQ(modTrace::TraceState.ViewerWindow, viewer.Window(0));
            EXPECT_EQ(log.Events().size(), 3u);
        } else {
            EXPECT_EQ(modTrace::TraceState.ViewerWindow, nullptr);
            EXPECT_TRUE(log.Events().empty());
        }
    }
}

TEST_F(Trace, FirstMatchingWindowInZOrderIsTaken) {
    ViewerThread viewer({"Tamewin Trace -a", "Tamewin Trace -b", "Tamewin Tracex"}, log_);
    auto raise = [](HWND w) {
        ::SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    };
    // Z-order: "Tamewin Tracex", "-b", "-a".
    raise(viewer.Window(1));
    raise(viewer.Window(2));
    Sample();
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, viewer.Window(1));
    EXPECT_EQ(Lines("Tamewin Trace -b").size(), 3u);
    EXPECT_TRUE(Lines("Tamewin Trace -a").empty());

    // Z-order: "Tamewin Tracex", "-a", "-b".
    modTrace::TraceState = {};
    raise(viewer.Window(0));
    raise(viewer.Window(2));
    Sample();
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, viewer.Window(0));
    EXPECT_EQ(Lines("Tamewin Trace -a").size(), 3u);
    EXPECT_EQ(Lines("Tamewin Trace -b").size(), 3u);
    EXPECT_TRUE(Lines("Tamewin Tracex").empty());
}

TEST_F(Trace, WithoutViewerAtTheFirstCallTheTraceStaysOff) {
    EXPECT_EQ(Sample(), 100);
    EXPECT_TRUE(modTrace::TraceState.Initialised);
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, nullptr);

    ViewerThread lateViewer({kViewer}, log_);
    EXPECT_EQ(Sample(), 100);
    modTrace::TraceExit("Module1", "Function StripNulls", "");
    EXPECT_TRUE(log_.Events().empty());
    EXPECT_EQ(modTrace::TraceState.ViewerWindow, nullptr);
    EXPECT_EQ(modTrace::TraceState.Sequence, 0);
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
}

TEST_F(Trace, HungViewerSlowsTheProgramButNeverFreezesIt) {
    ViewerThread viewer({kViewer}, log_);
    Sample();
    ASSERT_EQ(Lines().size(), 3u);

    viewer.Pause();
    DWORD began = ::GetTickCount();
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(Sample(), 100);
    }
    std::printf("[ figures  ] 50 lines to a hung viewer: %lu ms\n",
                static_cast<unsigned long>(::GetTickCount() - began));
    EXPECT_EQ(modTrace::TraceState.Sequence, 52);
    EXPECT_EQ(modTrace::TraceState.Depth, 0);
    viewer.Resume();

    // The lines sent while the viewer hung are lost; once the stall has passed, lines reach
    // the viewer again.
    bool delivered = false;
    for (int attempt = 0; attempt < 40 && !delivered; ++attempt) {
        ::Sleep(100);
        size_t before = Lines().size();
        Sample();
        delivered = Lines().size() > before;
    }
    EXPECT_TRUE(delivered);
    size_t fromHungPeriod = 0;
    for (size_t i = 3; i < Lines().size(); ++i) {
        int sequence = std::stoi(Parse(Lines()[i]).sequence);
        fromHungPeriod += sequence >= 3 && sequence <= 52 ? 1 : 0;
    }
    EXPECT_LT(fromHungPeriod, 50u);
}

TEST_F(Trace, ViewerThatHasGoneAwayIsNotWaitedFor) {
    ViewerThread viewer({kViewer}, log_);
    Sample();
    viewer.CloseWindows();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Sample(), 100);
        EXPECT_FALSE(modTrace::TraceState.ViewerStalled);
    }
    EXPECT_EQ(modTrace::TraceState.Sequence, 22);
    EXPECT_EQ(Lines().size(), 3u);
}

}  // namespace
