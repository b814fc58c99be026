// The trace viewer program, tametrace.exe (built in the folder above the tests' own), run as
// another process, for what only a unit test checks cheaply; how it takes and logs a traced
// program's lines is shown end to end by tests/e2e/test_trace.py.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "win32/Handles.h"

namespace {

constexpr char kTitle[] = "Tamewin Trace";
constexpr DWORD kWaitMs = 10000;  // for the viewer to start, answer or end

// One run of the viewer program, closed (or, failing that, ended) when the object goes.
struct Tracer {
    explicit Tracer(const std::string& options) {
        char path[MAX_PATH] = {};
        std::string self(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
        std::string command =
            '"' + self.substr(0, self.find_last_of('\\')) + "\\..\\tametrace.exe\" " + options;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi)) {
            return;
        }
        process.reset(pi.hProcess);
        win32::Handle thread(pi.hThread);
        for (DWORD waited = 0; view == nullptr && waited < kWaitMs; waited += 50) {
            // By its class: the tests' own viewer windows have the same title.
            window = ::FindWindowA("TamewinTraceViewer", kTitle);
            view = ::FindWindowExA(window, nullptr, "Edit", nullptr);
            ::Sleep(view == nullptr ? 50 : 0);
        }
    }
    ~Tracer() {
        ::PostMessageA(window, WM_CLOSE, 0, 0);
        if (process && ::WaitForSingleObject(process.get(), kWaitMs) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.get(), 1);
        }
    }

    // Sends one line as a traced program does; true when the viewer answered.
    bool Send(const std::string& line) const {
        return ::SendMessageTimeoutA(window, WM_SETTEXT, line.size(),
                                     reinterpret_cast<LPARAM>(line.c_str()), SMTO_BLOCK, kWaitMs,
                                     nullptr) != 0;
    }
    // The text of the view once it ends with `ending` (it catches up a moment after the lines
    // were taken), or as it is after kWaitMs.
    std::string View(const std::string& ending) const {
        std::string text;
        for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
            DWORD_PTR length = 0;
            text.assign(size_t{2} << 20, '\0');
            ::SendMessageTimeoutA(view, WM_GETTEXT, text.size(),
                                  reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, kWaitMs,
                                  &length);
            text.resize(length);
            if (text.ends_with(ending)) {
                break;
            }
            ::Sleep(50);
        }
        return text;
    }

    win32::Handle process;
    HWND window = nullptr;
    HWND view = nullptr;
};

TEST(TameTrace, ReportsEachProblemOnceWhileLinesStillArrive) {
    // In a folder that does not exist: the log cannot be opened, and nothing is left behind.
    Tracer tracer("/bogus /log tametrace-none\\trace.log /save");
    ASSERT_NE(tracer.view, nullptr);
    EXPECT_TRUE(tracer.Send("first\r\n"));
    EXPECT_TRUE(tracer.Send("second"));  // the line end is added where it is missing

    const std::string view = tracer.View("first\r\nsecond\r\n");
    const std::string reports[] = {"Unknown option \"/bogus\"",
                                   "The option /save needs a file name.",
                                   "Cannot open the log file \""};
    for (const std::string& report : reports) {
        size_t at = view.find(report);
        EXPECT_NE(at, std::string::npos) << report << " in\n" << view;
        EXPECT_EQ(view.find(report, at + 1), std::string::npos) << report << " in\n" << view;
    }
}

TEST(TameTrace, KeepsTheNewestWholeLinesWhenTheViewIsFull) {
    Tracer tracer("");
    ASSERT_NE(tracer.view, nullptr);
    auto line = [](int n) { return "line " + std::to_string(n) + std::string(1000, '.') + "\r\n"; };
    const int count = 1400;  // more than the view keeps
    for (int n = 1; n <= count; ++n) {
        ASSERT_TRUE(tracer.Send(line(n))) << n;
    }
    const std::string view = tracer.View(line(count));
    EXPECT_LE(view.size(), size_t{1} << 20);
    EXPECT_GE(view.size(), size_t{1} << 19);
    EXPECT_EQ(view.find(line(1)), std::string::npos);
    EXPECT_EQ(view.substr(0, 5), "line ");
}

}  // namespace
