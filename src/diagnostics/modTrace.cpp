#include "diagnostics/modTrace.h"

#include <mmsystem.h>

#include <cstdio>
#include <limits>

namespace modTrace {

TraceStateRecord TraceState;
ErrorRecordFields ErrorRecord;
MessageBoxFn ShowMessageBox = &::MessageBoxA;

std::string FormatElapsed(DWORD elapsedMs) {
    // Formatted by hand, not through the C library's locale, so the field always has a full
    // stop whatever the user's decimal separator.
    std::string whole = std::to_string(elapsedMs / 1000);
    if (whole.size() < 5) {
        whole.insert(0, 5 - whole.size(), '0');
    }
    char frac[8];
    std::snprintf(frac, sizeof frac, "%03lu", static_cast<unsigned long>(elapsedMs % 1000));
    return whole + "." + frac;
}

namespace {

constexpr char kViewerTitle[] = "Tamewin Trace";
constexpr char kViewerPrefix[] = "Tamewin Trace -";
constexpr char kCrLf[] = "\r\n";

// A viewer that does not take a line within this time loses it, and the lines of the next
// kStallMs are dropped without waiting: a hung viewer slows the program, never freezes it.
constexpr UINT kSendTimeoutMs = 200;
constexpr DWORD kStallMs = 1000;

int32_t SaturatingIncrement(int32_t value) {
    return value == std::numeric_limits<int32_t>::max() ? value : value + 1;
}

std::string TwoDigits(int value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return buf;
}

// Whether the text begins with a number (optional sign, digits, optional fraction) whose value
// is not zero; a text that does not begin with a number counts as zero.
bool BeginsWithNonZeroNumber(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !point) {
            point = true;
        } else if (c < '0' || c > '9') {
            return false;
        } else if (c != '0') {
            return true;
        }
    }
    return false;
}

bool IsViewerTitle(std::string_view title) {
    return title == kViewerTitle || title.substr(0, sizeof kViewerPrefix - 1) == kViewerPrefix;
}

std::string EntryLine(std::string_view arrow, int32_t sequence, DWORD elapsedMs, int32_t depth,
                      std::string_view module, std::string_view procedure, std::string_view note) {
    std::string seq = std::to_string(sequence);
    if (seq.size() < 5) {
        seq.insert(0, 5 - seq.size(), '0');
    }
    std::string line = "[" + diagnostics::ProgramName() + "] [" + seq + "] [" +
                       FormatElapsed(elapsedMs) + "] " + std::string(arrow);
    if (depth > 1) {
        line.append(static_cast<size_t>(depth - 1), '\t');
    }
    line.append(module).append(" : ").append(procedure).append(" : ").append(note);
    return line + kCrLf;
}

}  // namespace

void SendTraceLine(const std::string& line) {
    HWND viewer = TraceState.ViewerWindow;
    if (viewer == nullptr) {
        return;
    }
    if (TraceState.ViewerStalled) {
        if (::GetTickCount() - TraceState.StalledSince < kStallMs) {
            return;
        }
        TraceState.ViewerStalled = false;
    }
    DWORD_PTR answer = 0;
    LRESULT sent = ::SendMessageTimeoutA(viewer, WM_SETTEXT, line.size(),
                                         reinterpret_cast<LPARAM>(line.c_str()),
                                         SMTO_BLOCK | SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer);
    if (sent == 0 && ::IsWindow(viewer)) {
        TraceState.ViewerStalled = true;
        TraceState.StalledSince = ::GetTickCount();
    }
}

void TraceStart() noexcept {
    HWND found = nullptr;
    for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w != nullptr;
         w = ::GetWindow(w, GW_HWNDNEXT)) {
        char title[255] = {};
        int n = ::GetWindowTextA(w, title, sizeof title);
        if (n > 0 && IsViewerTitle(std::string_view(title, static_cast<size_t>(n)))) {
            found = w;
            break;
        }
    }
    TraceState.ViewerWindow = found;
    if (found == nullptr) {
        TraceState.Initialised = true;
        return;
    }
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ::timeBeginPeriod(1);  // millisecond steps in the time field for the rest of the run
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::string start;
    try {
        start = diagnostics::ProgramName() + " START TRACE 1.0 " + TwoDigits(now.wMonth) + "-" +
                TwoDigits(now.wDay) + "-" + std::to_string(now.wYear) + "," + TwoDigits(now.wHour) +
                ":" + TwoDigits(now.wMinute) + ":" + TwoDigits(now.wSecond) + kCrLf;
    } catch (...) {
        // Traced procedures call this from code that must not throw: a start line that cannot
        // be made is lost, the trace runs on. The trace has no other place to say so.
    }
    TraceState.StartTick = ::timeGetTime();
    if (!start.empty()) {
        SendTraceLine(start);
    }
    TraceState.Initialised = true;
}

namespace {

// Starts the trace at its first call; true when there is a viewer to send lines to.
bool Viewing() noexcept {
    if (!TraceState.Initialised) {
        TraceStart();
    }
    return TraceState.ViewerWindow != nullptr;
}

void SendEntryLine(std::string_view arrow, int32_t depth, std::string_view module,
                   std::string_view procedure, std::string_view note) noexcept {
    TraceState.Sequence = SaturatingIncrement(TraceState.Sequence);
    try {
        SendTraceLine(EntryLine(arrow, TraceState.Sequence, ::timeGetTime() - TraceState.StartTick,
                                depth, module, procedure, note));
    } catch (...) {
        // A line that cannot be made (memory ran out) is lost, as one the viewer did not take.
    }
}

}  // namespace

void TraceEnter(std::string_view module, std::string_view procedure,
                std::string_view note) noexcept {
    if (Viewing()) {
        TraceState.Depth = SaturatingIncrement(TraceState.Depth);
        SendEntryLine("->", TraceState.Depth, module, procedure, note);
    }
}

void TraceExit(std::string_view module, std::string_view procedure,
               std::string_view note) noexcept {
    if (Viewing()) {
        SendEntryLine("<-", TraceState.Depth, module, procedure, note);
        TraceState.Depth = TraceState.Depth > 0 ? TraceState.Depth - 1 : 0;
    }
}

void TraceNote(std::string_view module, std::string_view procedure,
               std::string_view note) noexcept {
    if (Viewing()) {
        SendEntryLine("--", SaturatingIncrement(TraceState.Depth), module, procedure, note);
    }
}

namespace {

std::string ErrorMessageText(const std::string& exePath, const ErrorRecordFields& error,
                             const std::string& module, const std::string& procedure) {
    // A source that starts with a non-zero number was passed on by another component:
    // "<number><component path>!<more>" ("1C:\comp\x.dll!..."). Without a "!" the closing
    // sentence stays ".".
    std::string closing = ".";
    const std::string& source = error.Source;
    size_t bang = source.find('!');
    if (BeginsWithNonZeroNumber(source) && bang != std::string::npos) {
        closing = ". This error was generated remotely by " + source.substr(1, bang - 1) +
                  ", a component of " + exePath + ".";
    }
    return "Tamewin Trace reports " + exePath + " program error #" + std::to_string(error.Number) +
           " (" + error.Description + ") occurred in module " + module + ", " + procedure +
           ", line " + std::to_string(error.Line) + closing;
}

}  // namespace

int16_t HandleError(const std::string& module, const std::string& procedure) {
    if (!TraceState.Initialised) {
        TraceStart();
    }
    char path[256] = {};
    DWORD n = ::GetModuleFileNameA(::GetModuleHandleA(nullptr), path, 256);
    std::string exePath(path, n > 255 ? 255 : n);
    ErrorRecordFields error = ErrorRecord;

    int16_t choice = kAbort;
    diagnostics::TryStep("HandleError: the ERROR line", [&] {
        if (TraceState.ViewerWindow != nullptr) {
            SendTraceLine("[" + diagnostics::ProgramName() + "] ERROR " +
                          std::to_string(error.Number) + " \"" + error.Description + "\" at " +
                          module + " : " + procedure + " : " + std::to_string(error.Line) + kCrLf);
        }
    });
    diagnostics::TryStep("HandleError: the message box", [&] {
        std::string message = ErrorMessageText(exePath, error, module, procedure);
        // A tray program owns no window in front: the box brings itself there, as every scan
        // waits for the answer.
        switch (ShowMessageBox(nullptr, message.c_str(), "Unexpected Error",
                               MB_ABORTRETRYIGNORE | MB_ICONSTOP | MB_SETFOREGROUND | MB_TOPMOST)) {
            case IDRETRY:
                choice = kRetry;
                break;
            case IDIGNORE:
                choice = kIgnore;
                break;
            default:  // Abort, or a box that could not be shown: leave the procedure
                choice = kAbort;
                break;
        }
    });
    ErrorRecord = ErrorRecordFields{};
    return choice;
}

int16_t Lines::Report(int32_t line, int32_t number, const std::string& description,
                      const std::string& source) noexcept {
    try {
        ErrorRecord.Number = number;
        ErrorRecord.Description = description;
        ErrorRecord.Source = source;
        ErrorRecord.HelpFile.clear();
        ErrorRecord.HelpContext = 0;
        ErrorRecord.Line = line;
        return HandleError(module_, procedure_);
    } catch (...) {
        return kAbort;
    }
}

}  // namespace modTrace
