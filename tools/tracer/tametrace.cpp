// Trace viewer: a window titled "Tamewin Trace" that takes each trace line as the text of a
// WM_SETTEXT message and shows it below the earlier ones.
//
//   tametrace [/log <file>] [/save <file>]     (options may also start with "-")
//
//   /log <file>   appends every line to <file> as it arrives
//   /save <file>  where Save writes the lines shown (by default tametrace-YYYYMMDD-HHMMSS.log
//                 in the user's Documents: the current folder may be one the user cannot
//                 write, such as the program's own under Program Files)
//
// The traced program waits while a line is taken, so taking one does the least possible: one
// write to the log file and an append to the text waiting to be shown. The view is brought up
// to date at most every kShowDelayMs, because updating it (its scroll bars above all) can cost
// far more than taking a line: about 20 ms under Wine.
#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "resource.h"
#include "win32/Handles.h"
#include "win32/Text.h"
#include "win32/WindowBase.h"

namespace {

constexpr char kClassName[] = "TamewinTraceViewer";
constexpr char kTitle[] = "Tamewin Trace";
constexpr char kLineEnd[] = "\r\n";

// The view keeps the newest text up to kMaxViewChars characters. Beyond that the oldest lines
// are dropped down to kTrimmedViewChars, so that the trim, which moves the whole text, is done
// once per quarter of the limit rather than for every line.
constexpr int kMaxViewChars = 1 << 20;
constexpr int kTrimmedViewChars = kMaxViewChars / 4 * 3;

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelayMs = 100;
// Text waiting beyond this is shown at once, without waiting for the timer.
constexpr size_t kMaxPendingChars = kMaxViewChars / 4;

// The system's text for an error code, without its line end.
std::string SystemMessage(DWORD error) {
    wchar_t text[512] = {};
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               error, 0, text, 512, nullptr);
    std::string message = win32::Utf8(std::wstring_view(text, n));
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = win32::Wide(path);
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = ::GetFullPathNameW(wide.c_str(), MAX_PATH, full.data(), nullptr);
    if (n >= MAX_PATH) {
        full.resize(n);
        n = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    }
    return n > 0 && n < full.size() ? win32::Utf8(std::wstring_view(full.data(), n)) : path;
}

std::string DefaultSavePath() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char name[64];
    std::snprintf(name, sizeof name, "tametrace-%04u%02u%02u-%02u%02u%02u.log", now.wYear,
                  now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    PWSTR documents = nullptr;
    std::string folder;
    if (SUCCEEDED(
            ::SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &documents))) {
        folder = win32::Utf8(documents) + "\\";
    }
    ::CoTaskMemFree(documents);  // also when it failed, as the call asks
    return folder + name;
}

// A file of the user's choosing, in UTF-16, so that any name is opened as it is written.
HANDLE OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return ::CreateFileW(win32::Wide(path).c_str(), access, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct Options {
    std::string logPath;
    std::string savePath;
    std::vector<std::string> problems;  // options not understood, shown in the view
};

// The command line as the system holds it, in UTF-16: a file named in any script.
Options ParseOptions() {
    Options options;
    int argc = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> wide(
        ::CommandLineToArgvW(::GetCommandLineW(), &argc), &::LocalFree);
    std::vector<std::string> argv;
    for (int i = 0; wide && i < argc; ++i) {
        argv.push_back(win32::Utf8(wide.get()[i]));
    }
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        auto is = [&arg](const char* name) {
            return (arg[0] == '/' || arg[0] == '-') && ::lstrcmpiA(arg.c_str() + 1, name) == 0;
        };
        std::string* target = is("log")    ? &options.logPath
                              : is("save") ? &options.savePath
                                           : nullptr;
        if (target == nullptr) {
            options.problems.push_back("Unknown option \"" + arg +
                                       "\"; the options are /log <file> and /save <file>.");
        } else if (i + 1 == argv.size()) {
            options.problems.push_back("The option " + arg + " needs a file name.");
        } else {
            *target = argv[++i];
        }
    }
    return options;
}

class TraceViewer : public win32::WindowBase {
  public:
    explicit TraceViewer(Options options) : options_(std::move(options)) {}

    bool Create(HINSTANCE instance, int show);

  private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnCreate();
    void Layout();
    void TakeLine(const char* text);
    void Show(const std::string& text);
    void ShowPending();
    void WriteToLog(const std::string& line);
    void Report(const std::string& problem);
    void Save();
    void Clear();
    void SetStatus(const std::string& text) {
        ::SetWindowTextW(status_, win32::Wide(text).c_str());
    }

    Options options_;
    HWND view_ = nullptr;    // read-only multi-line edit with the lines
    HWND status_ = nullptr;  // one line below it: where the lines go
    int statusHeight_ = 0;
    std::string pending_;  // lines taken but not yet in the view
    bool showTimerSet_ = false;
    win32::Font font_;
    win32::Handle log_;
};

bool TraceViewer::Create(HINSTANCE instance, int show) {
    if (!WindowBase::Create(kClassName, 0, WS_OVERLAPPEDWINDOW, kTitle, nullptr, CW_USEDEFAULT,
                            CW_USEDEFAULT, 800, 500, 0,
                            reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    ::SetMenu(hwnd(), ::LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MENU)));  // goes with the window
    ::ShowWindow(hwnd(), show);
    return true;
}

LRESULT TraceViewer::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_SETTEXT:
            // A trace line (lParam, NUL-terminated). The title stays as it is: it is how the
            // traced program finds this window.
            try {
                if (lParam != 0) {
                    TakeLine(reinterpret_cast<const char*>(lParam));
                }
            } catch (...) {
                // Out of memory while taking a line: the line is lost, the sender answered.
            }
            return TRUE;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(view_);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDM_SAVE) {
                Save();
                return 0;
            }
            if (LOWORD(wParam) == IDM_CLEAR) {
                Clear();
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == kShowTimer) {
                ShowPending();
                return 0;
            }
            break;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return WindowBase::HandleMessage(msg, wParam, lParam);
}

void TraceViewer::OnCreate() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hwnd(), GWLP_HINSTANCE));
    view_ = ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                  ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                              0, 0, 0, 0, hwnd(), nullptr, instance, nullptr);
    // A Unicode window: the status names files, in any script.
    status_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 0, 0,
                                0, 0, hwnd(), nullptr, instance, nullptr);
    // No limit of its own: the view is kept below kMaxViewChars by ShowPending.
    ::SendMessageA(view_, EM_SETLIMITTEXT, 0, 0);

    win32::WindowDc dc(hwnd());
    LOGFONTA lf{};
    lf.lfHeight = -::MulDiv(9, ::GetDeviceCaps(dc.get(), LOGPIXELSY), 72);
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynA(lf.lfFaceName, "Courier New", LF_FACESIZE);
    font_.reset(::CreateFontIndirectA(&lf));
    HGDIOBJ font = font_ ? font_.get() : ::GetStockObject(SYSTEM_FIXED_FONT);
    ::SendMessageA(view_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageA(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    TEXTMETRICA tm{};
    {
        win32::SelectGuard select(dc.get(), font);
        ::GetTextMetricsA(dc.get(), &tm);
    }
    statusHeight_ = tm.tmHeight + 6;

    for (const std::string& problem : options_.problems) {
        Report(problem);
    }
    if (!options_.logPath.empty()) {
        std::string path = FullPath(options_.logPath);
        HANDLE file = OpenFile(path, FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_ALWAYS);
        if (file == INVALID_HANDLE_VALUE) {
            Report("Cannot open the log file \"" + path + "\": " + SystemMessage(::GetLastError()));
        } else {
            log_.reset(file);
            options_.logPath = path;
            SetStatus("Logging to " + path);
        }
    }
}

void TraceViewer::Layout() {
    RECT rc{};
    ::GetClientRect(hwnd(), &rc);
    int viewHeight = rc.bottom > statusHeight_ ? rc.bottom - statusHeight_ : 0;
    ::MoveWindow(view_, 0, 0, rc.right, viewHeight, TRUE);
    ::MoveWindow(status_, 4, viewHeight + 3, rc.right > 8 ? rc.right - 8 : 0, statusHeight_ - 3,
                 TRUE);
}

void TraceViewer::TakeLine(const char* text) {
    std::string line(text);
    if (line.size() < 2 || line.compare(line.size() - 2, 2, kLineEnd) != 0) {
        line += kLineEnd;
    }
    WriteToLog(line);
    Show(line);
}

void TraceViewer::Show(const std::string& text) {
    pending_ += text;
    if (!showTimerSet_) {
        showTimerSet_ = ::SetTimer(hwnd(), kShowTimer, kShowDelayMs, nullptr) != 0;
    }
    if (!showTimerSet_ || pending_.size() > kMaxPendingChars) {
        ShowPending();
    }
}

void TraceViewer::ShowPending() {
    if (showTimerSet_) {
        ::KillTimer(hwnd(), kShowTimer);
        showTimerSet_ = false;
    }
    if (pending_.empty()) {
        return;
    }
    int length = ::GetWindowTextLengthA(view_);
    int incoming = static_cast<int>(pending_.size());
    if (length + incoming > kMaxViewChars) {
        int excess = length + incoming - kTrimmedViewChars;
        LRESULT line = ::SendMessageA(view_, EM_LINEFROMCHAR, excess, 0);
        LRESULT cut = ::SendMessageA(view_, EM_LINEINDEX, line + 1, 0);
        if (cut < 0) {
            cut = length;  // the excess reaches into the last line: it all goes
        }
        ::SendMessageA(view_, EM_SETSEL, 0, cut);
        ::SendMessageA(view_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
        length = ::GetWindowTextLengthA(view_);
    }
    ::SendMessageA(view_, EM_SETSEL, length, length);
    ::SendMessageA(view_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pending_.c_str()));
    ::SendMessageA(view_, EM_SCROLLCARET, 0, 0);
    pending_.clear();
}

void TraceViewer::Clear() {
    pending_.clear();
    ShowPending();
    ::SetWindowTextA(view_, "");
    SetStatus("Cleared.");
}

void TraceViewer::WriteToLog(const std::string& line) {
    if (!log_) {
        return;
    }
    // One write per line, straight to the system: nothing is held back in this process, so
    // the file has every line taken even if the viewer ends abruptly. (No FlushFileBuffers:
    // waiting for the disk would make the traced program wait too.)
    DWORD written = 0;
    if (!::WriteFile(log_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size()) {
        DWORD error = ::GetLastError();
        log_.reset();
        Report("Cannot write the log file \"" + options_.logPath + "\": " + SystemMessage(error) +
               " Logging stopped.");
    }
}

// Shows a problem once, as a line of its own in the view, and in the status line.
void TraceViewer::Report(const std::string& problem) {
    // The view holds the traced program's lines, which come in the ANSI code page.
    Show("*** " + win32::Narrow(win32::Wide(problem), CP_ACP) + kLineEnd);
    SetStatus(problem);
}

void TraceViewer::Save() {
    std::string path = FullPath(options_.savePath.empty() ? DefaultSavePath() : options_.savePath);
    ShowPending();
    int length = ::GetWindowTextLengthA(view_);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(view_, text.data(), length + 1)));

    win32::Handle file;
    HANDLE handle = OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (handle != INVALID_HANDLE_VALUE) {
        file.reset(handle);
    }
    DWORD written = 0;
    if (!file ||
        !::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        SetStatus("Cannot save to " + path + ": " + SystemMessage(::GetLastError()));
        return;
    }
    SetStatus("Saved to " + path);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    TraceViewer viewer(ParseOptions());
    if (!viewer.Create(instance, show)) {
        return 1;
    }
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
