// The trace viewer program, tametrace.exe (in the folder above the tests'), as another process.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestWindows.h"
#include "win32/Handles.h"
#include "win32/ModulePath.h"

namespace {

// The viewer started with a command line, ended with the test whatever its outcome.
struct Process {
    explicit Process(std::string commandLine) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        ::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &info);
        process.reset(info.hProcess);
        win32::Handle thread(info.hThread);
    }
    ~Process() {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 10000);
    }
    win32::Handle process;
};

}  // namespace

TEST(TameTrace, ReportsOnceKeepsNewestLines) {
    // The log in a folder that does not exist: it cannot be opened, and nothing is left behind.
    const std::string self = win32::ModulePath(nullptr).value_or("");
    const Process tracer('"' + self.substr(0, self.find_last_of('\\')) +
                         "\\..\\tametrace.exe\" /bogus /log tametrace-none\\trace.log /save");
    HWND window = nullptr;  // the only window of its class: no other test starts the viewer
    testing_windows::PumpUntil(
        [&] { return ::IsWindowVisible(window = ::FindWindowA("TamewinTraceViewer", nullptr)); });
    const HWND view = ::FindWindowExA(window, nullptr, "Edit", nullptr);
    ASSERT_NE(view, nullptr);
    // One line sent as a traced program sends it; true when the viewer answered.
    const auto send = [&](const std::string& line) {
        return ::SendMessageTimeoutA(window, WM_SETTEXT, line.size(),
                                     reinterpret_cast<LPARAM>(line.c_str()), SMTO_BLOCK, 60000,
                                     nullptr) != 0;
    };
    // The view once it ends with `ending`: it catches up a moment after the lines were taken.
    std::string text;
    const auto viewEndingWith = [&](const std::string& ending) {
        return testing_windows::PumpUntil([&] {
            DWORD_PTR length = 0;
            text.assign(size_t{2} << 20, '\0');
            ::SendMessageTimeoutA(view, WM_GETTEXT, text.size(),
                                  reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, 60000,
                                  &length);
            text.resize(length);
            return text.ends_with(ending);
        });
    };
    EXPECT_TRUE(send("first\r\n"));
    EXPECT_TRUE(send("second"));  // the line end is added where it is missing
    EXPECT_TRUE(viewEndingWith("first\r\nsecond\r\n")) << text;
    for (const std::string report :
         {"Unknown option \"/bogus\"", "The option /save needs a file name.",
          "Cannot open the log file \""}) {
        const size_t at = text.find(report);
        EXPECT_TRUE(at != std::string::npos && at == text.rfind(report)) << report << '\n' << text;
    }
    // More than the view keeps (1 MiB): the oldest lines go, whole.
    auto line = [](int n) { return "line " + std::to_string(n) + std::string(1000, '.') + "\r\n"; };
    for (int n = 1; n <= 1400; ++n) {
        ASSERT_TRUE(send(line(n))) << n;
    }
    EXPECT_TRUE(viewEndingWith(line(1400)));
    EXPECT_TRUE(text.size() <= size_t{1} << 20 && text.size() >= size_t{1} << 19) << text.size();
    EXPECT_EQ(text.substr(0, 5), "line ");
}
