// The trace viewer program, tametrace.exe (built in the folder above the tests' own), run as
// another process: lines go to it with WM_SETTEXT, its view and status line are read back
// with WM_GETTEXT, its log and saved files from the disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "../../tools/tracer/resource.h"
#include "diagnostics/modTrace.h"
#include "win32/Handles.h"

namespace {

constexpr char kTitle[] = "Tamewin Trace";
constexpr DWORD kWaitMs = 10000;  // for the viewer to start, answer or end

std::string TracerPath() {
    char path[MAX_PATH] = {};
    std::string self(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of('\\')) + "\\..\\tametrace.exe";
}

std::string SystemMessage(DWORD error) {
    char text[512] = {};
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               error, 0, text, sizeof text, nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) {
        message.pop_back();
    }
    return message;
}

std::string ReadFile(const std::string& path) {
    win32::Handle file;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return "<cannot open " + path + ">";
    }
    file.reset(h);
    std::string content;
    char buf[65536];
    DWORD n = 0;
    while (::ReadFile(file.get(), buf, sizeof buf, &n, nullptr) && n > 0) {
        content.append(buf, n);
    }
    return content;
}

void WriteFile(const std::string& path, const std::string& content) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    win32::Handle file(h);
    DWORD written = 0;
    ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

bool EndsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// An empty folder of its own under the temporary folder, removed with what it holds.
class TempFolder {
  public:
    TempFolder() {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        static int made = 0;
        path_ = std::string(temp) + "tametrace-test-" + std::to_string(::GetCurrentProcessId()) +
                "-" + std::to_string(++made);
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::string& name : Files("*")) {
            ::DeleteFileA((path_ + "\\" + name).c_str());
        }
        ::RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    std::vector<std::string> Files(const std::string& pattern) const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data{};
        struct Search {
            HANDLE handle;
            ~Search() {
                if (handle != INVALID_HANDLE_VALUE) {
                    ::FindClose(handle);
                }
            }
        } search{::FindFirstFileA((path_ + "\\" + pattern).c_str(), &data)};
        if (search.handle == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                names.push_back(data.cFileName);
            }
        } while (::FindNextFileA(search.handle, &data));
        return names;
    }

  private:
    std::string path_;
};

// One run of the viewer program, closed (or, failing that, ended) when the object goes.
class Tracer {
  public:
    Tracer(const std::string& options, const std::string& folder) {
        std::string command = '"' + TracerPath() + "\" " + options;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &si, &pi)) {
            ADD_FAILURE() << "cannot start " << command << ": " << SystemMessage(::GetLastError());
            return;
        }
        process_.reset(pi.hProcess);
        win32::Handle thread(pi.hThread);
        ::WaitForInputIdle(process_.get(), kWaitMs);
        for (int i = 0; i < 200 && window_ == nullptr; ++i) {
            window_ = FindOwnWindow(pi.dwProcessId);
            if (window_ == nullptr) {
                ::Sleep(50);
            }
        }
        view_ = ::FindWindowExA(window_, nullptr, "Edit", nullptr);
        status_ = ::FindWindowExA(window_, nullptr, "Static", nullptr);
    }
    Tracer(const Tracer&) = delete;
    Tracer& operator=(const Tracer&) = delete;
    ~Tracer() {
        if (process_ && !Close()) {
            ::TerminateProcess(process_.get(), 1);
        }
    }

    bool Ready() const { return view_ != nullptr && status_ != nullptr; }

    // Sends one line as a traced program does; true when the viewer took it.
    bool Send(const std::string& line) {
        DWORD_PTR answer = 0;
        return ::SendMessageTimeoutA(window_, WM_SETTEXT, line.size(),
                                     reinterpret_cast<LPARAM>(line.c_str()), SMTO_BLOCK, kWaitMs,
                                     &answer) != 0 &&
               answer == TRUE;
    }
    void Command(int id) {
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutA(window_, WM_COMMAND, id, 0, SMTO_BLOCK, kWaitMs, &answer);
    }
    // The text of the view once it ends with `ending`: the view catches up with the lines a
    // moment after they were taken. After kWaitMs, the text as it is.
    std::string View(const std::string& ending = {}) const {
        std::string text = TextOf(view_);
        for (DWORD waited = 0; !EndsWith(text, ending) && waited < kWaitMs; waited += 50) {
            ::Sleep(50);
            text = TextOf(view_);
        }
        return text;
    }
    std::string Status() const { return TextOf(status_); }
    std::string Title() const {
        char title[256] = {};
        return std::string(title, ::GetWindowTextA(window_, title, sizeof title));
    }

    // Closes the window as its user would; true when the program then ended.
    bool Close() {
        ::PostMessageA(window_, WM_CLOSE, 0, 0);
        bool ended = ::WaitForSingleObject(process_.get(), kWaitMs) == WAIT_OBJECT_0;
        if (ended) {
            process_.reset();
        }
        return ended;
    }

  private:
    static HWND FindOwnWindow(DWORD processId) {
        for (HWND w = ::FindWindowExA(nullptr, nullptr, nullptr, kTitle); w != nullptr;
             w = ::FindWindowExA(nullptr, w, nullptr, kTitle)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == processId) {
                return w;
            }
        }
        return nullptr;
    }

    static std::string TextOf(HWND child) {
        DWORD_PTR length = 0;
        ::SendMessageTimeoutA(child, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, kWaitMs, &length);
        std::string text(length + 1, '\0');
        DWORD_PTR copied = 0;
        ::SendMessageTimeoutA(child, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                              SMTO_BLOCK, kWaitMs, &copied);
        text.resize(copied);
        return text;
    }

    win32::Handle process_;
    HWND window_ = nullptr;
    HWND view_ = nullptr;
    HWND status_ = nullptr;
};

TEST(TameTrace, ShowsAndLogsEachLineAndKeepsItsTitle) {
    TempFolder folder;
    const std::string log = folder / "trace.log";
    WriteFile(log, "earlier run\r\n");
    Tracer tracer("-log \"" + log + "\"", folder.path());
    ASSERT_TRUE(tracer.Ready());

    const std::string lines[] = {
        "[tamewin] [00001] [00000.000] ->Module1 : Function StripNulls : \r\n",
        "[tamewin] [00002] [00000.001] ->\tWINAPI32 : Function regstring : \r\n",
        "a line without its end",
    };
    for (const std::string& line : lines) {
        EXPECT_TRUE(tracer.Send(line)) << line;
    }
    const std::string shown = lines[0] + lines[1] + lines[2] + "\r\n";
    EXPECT_EQ(tracer.View(shown), shown);
    EXPECT_EQ(tracer.Title(), kTitle);
    EXPECT_NE(tracer.Status().find(log), std::string::npos) << tracer.Status();
    // Each line is in the file as soon as the viewer has taken it.
    EXPECT_EQ(ReadFile(log), "earlier run\r\n" + shown);

    EXPECT_TRUE(tracer.Close());
    EXPECT_EQ(ReadFile(log), "earlier run\r\n" + shown);
}

TEST(TameTrace, TakesTheLinesOfTheProcedureTrace) {
    TempFolder folder;
    const std::string log = folder / "trace.log";
    {
        Tracer tracer("/log \"" + log + "\"", folder.path());
        ASSERT_TRUE(tracer.Ready());
        modTrace::TraceState = {};
        modTrace::TracedSub("Module1", "Sub Main", [](modTrace::Lines& line) { line(10, [] {}); });
        EXPECT_NE(modTrace::TraceState.ViewerWindow, nullptr);
        modTrace::TraceState = {};
    }
    std::string content = ReadFile(log);
    EXPECT_TRUE(std::regex_match(
        content, std::regex("tamewin_tests START TRACE 1\\.0 [^\r]*\r\n"
                            "\\[tamewin_tests\\] \\[00001\\] \\[\\d{5}\\.\\d{3}\\] ->Module1 : "
                            "Sub Main : \r\n"
                            "\\[tamewin_tests\\] \\[00002\\] \\[\\d{5}\\.\\d{3}\\] <-Module1 : "
                            "Sub Main : \r\n")))
        << content;
}

TEST(TameTrace, ALogFileThatCannotBeOpenedIsReportedOnceAndLinesStillArrive) {
    TempFolder folder;
    const std::string log = folder / "missing\\trace.log";
    Tracer tracer("/log \"" + log + "\"", folder.path());
    ASSERT_TRUE(tracer.Ready());
    EXPECT_TRUE(tracer.Send("first\r\n"));
    EXPECT_TRUE(tracer.Send("second\r\n"));

    std::string view = tracer.View("first\r\nsecond\r\n");
    EXPECT_EQ(Count(view, log), 1u) << view;
    EXPECT_NE(view.find(SystemMessage(ERROR_PATH_NOT_FOUND)), std::string::npos) << view;
    EXPECT_NE(view.find("first\r\nsecond\r\n"), std::string::npos) << view;
    EXPECT_EQ(tracer.Title(), kTitle);
}

TEST(TameTrace, ReportsOptionsItDoesNotKnow) {
    TempFolder folder;
    Tracer tracer("/bogus /log", folder.path());
    ASSERT_TRUE(tracer.Ready());
    EXPECT_TRUE(tracer.Send("line\r\n"));
    std::string view = tracer.View("line\r\n");
    EXPECT_NE(view.find("Unknown option \"/bogus\""), std::string::npos) << view;
    EXPECT_NE(view.find("The option /log needs a file name."), std::string::npos) << view;
}

TEST(TameTrace, SaveWritesTheLinesShownAndClearEmptiesTheView) {
    TempFolder folder;
    {
        Tracer tracer("", folder.path());
        ASSERT_TRUE(tracer.Ready());
        tracer.Send("one\r\n");
        tracer.Send("two\r\n");
        tracer.Command(IDM_SAVE);
        std::vector<std::string> saved = folder.Files("*.log");
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_TRUE(std::regex_match(saved[0], std::regex(R"(tametrace-\d{8}-\d{6}\.log)")))
            << saved[0];
        EXPECT_EQ(ReadFile(folder / saved[0]), "one\r\ntwo\r\n");
        EXPECT_NE(tracer.Status().find(saved[0]), std::string::npos) << tracer.Status();

        tracer.Command(IDM_CLEAR);
        EXPECT_EQ(tracer.View(), "");
        tracer.Send("three\r\n");
        EXPECT_EQ(tracer.View("three\r\n"), "three\r\n");
    }
    {
        const std::string chosen = folder / "chosen.txt";
        Tracer tracer("/save \"" + chosen + "\"", folder.path());
        ASSERT_TRUE(tracer.Ready());
        tracer.Send("four\r\n");
        tracer.Command(IDM_SAVE);
        EXPECT_EQ(ReadFile(chosen), "four\r\n");
        EXPECT_EQ(tracer.Status(), "Saved to " + chosen);
    }
    {
        const std::string unwritable = folder / "missing\\chosen.txt";
        Tracer tracer("/save \"" + unwritable + "\"", folder.path());
        ASSERT_TRUE(tracer.Ready());
        tracer.Command(IDM_SAVE);
        EXPECT_EQ(tracer.Status(),
                  "Cannot save to " + unwritable + ": " + SystemMessage(ERROR_PATH_NOT_FOUND));
    }
}

TEST(TameTrace, KeepsTheNewestLinesWhenTheViewIsFull) {
    TempFolder folder;
    Tracer tracer("", folder.path());
    ASSERT_TRUE(tracer.Ready());
    const int count = 14000;  // 96 characters each: more than the view keeps
    auto line = [](int n) {
        char text[128];
        std::snprintf(text, sizeof text, "line %05d %s\r\n", n, std::string(83, '.').c_str());
        return std::string(text);
    };
    DWORD began = ::GetTickCount();
    for (int n = 1; n <= count; ++n) {
        ASSERT_TRUE(tracer.Send(line(n))) << n;
    }
    std::printf("[ figures  ] %d lines of 96 characters to the viewer: %lu ms\n", count,
                static_cast<unsigned long>(::GetTickCount() - began));

    std::string view = tracer.View(line(count));
    EXPECT_LE(view.size(), size_t{1} << 20);
    EXPECT_GE(view.size(), size_t{1} << 19);
    EXPECT_EQ(view.find(line(1)), std::string::npos);
    EXPECT_EQ(view.substr(0, 5), "line ");  // whole lines only
    EXPECT_TRUE(EndsWith(view, line(count)));
}

}  // namespace
