// The procedure trace, the error handler, and the calling convention of traced procedures.
//
// The trace sends one line per entry into and exit from a traced procedure to a viewer window
// of another program, titled "Tamewin Trace" or starting with "Tamewin Trace -". The viewer is
// looked for once, at the first trace call; without one every trace call returns at once.
//
// A traced procedure reads as straight-line code with numbered lines:
//
//     return modTrace::Traced("WINAPI32", "Function regstring", std::string{},
//                             [&](modTrace::Lines& line) {
//         std::string result;
//         line(10, [&] { ... });
//         line(20, [&] { ... });
//         return result;
//     });
//
// A line that raises a run-time error is reported with HandleError (message box with Abort,
// Retry and Ignore); Retry runs the line again, Ignore goes on with the next line, Abort leaves
// the procedure with the neutral result given to Traced. No exception leaves Traced.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "diagnostics/RuntimeError.h"

namespace modTrace {

// The whole state of the trace, zeroed at start; assigning {} starts it afresh.
struct TraceStateRecord {
    bool Initialised = false;
    HWND ViewerWindow = nullptr;
    int32_t Sequence = 0;  // entry and exit lines made so far
    int32_t Depth = 0;     // nesting of traced procedures, never below 0
    DWORD StartTick = 0;   // timeGetTime() when the start line was made
    // A viewer that did not take a line in time: the lines of the next second are dropped.
    bool ViewerStalled = false;
    DWORD StalledSince = 0;  // GetTickCount() when the line was lost
};
extern TraceStateRecord TraceState;

// The current error of the (single) user-interface thread.
struct ErrorRecordFields {
    int32_t Number = 0;
    std::string Description;
    std::string Source;
    std::string HelpFile;
    int32_t HelpContext = 0;
    int32_t Line = 0;  // 10, 20, 30... within the failing procedure; 0 before any line ran
};
extern ErrorRecordFields ErrorRecord;

enum ChoiceCode : int16_t { kRetry = 1, kIgnore = 2, kAbort = 3 };

void TraceStart() noexcept;
void TraceEnter(std::string_view module, std::string_view procedure,
                std::string_view note) noexcept;
void TraceExit(std::string_view module, std::string_view procedure, std::string_view note) noexcept;
// One line ("--") inside the current procedure, for what the program met and worked around
// without troubling the user.
void TraceNote(std::string_view module, std::string_view procedure, std::string_view note) noexcept;
// Hands one line to the viewer and waits until it is taken, at most 200 ms: a line the viewer
// does not take in time is lost, and so are the lines of the next second, sent without waiting.
void SendTraceLine(const std::string& line);

// Reports ErrorRecord (ERROR line to the viewer, then the modal box), clears it and returns
// the button pressed as a ChoiceCode.
int16_t HandleError(const std::string& module, const std::string& procedure);

// The time field of a line: seconds with at least five integer digits and three decimals,
// always with a full stop ("00012.345").
std::string FormatElapsed(DWORD elapsedMs);

// Seam: the message box of HandleError; the system's by default.
using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
extern MessageBoxFn ShowMessageBox;

// Raised inside a traced procedure to leave it after the user chose Abort.
struct AbortProcedure {};

// Runs the numbered lines of one traced procedure.
class Lines {
  public:
    Lines(std::string_view module, std::string_view procedure)
        : module_(module), procedure_(procedure) {}

    template <class Statement>
    void operator()(int32_t line, Statement&& statement) {
        for (;;) {
            int16_t choice = kAbort;
            try {
                statement();
                return;
            } catch (const diagnostics::RuntimeError& e) {
                choice = Report(line, e.number(), e.description(), e.source());
            } catch (const std::bad_alloc&) {
                choice = Report(line, diagnostics::kErrOutOfMemory, "Out of memory", {});
            } catch (const std::exception& e) {
                choice = Report(line, diagnostics::kErrInternal, e.what(), {});
            }
            if (choice == kIgnore) {
                return;
            }
            if (choice != kRetry) {
                throw AbortProcedure{};
            }
        }
    }

  private:
    int16_t Report(int32_t line, int32_t number, const std::string& description,
                   const std::string& source) noexcept;
    std::string module_;
    std::string procedure_;
};

template <class Result, class Body>
Result Traced(std::string_view module, std::string_view procedure, Result neutral,
              Body&& body) noexcept {
    TraceEnter(module, procedure, "");
    std::optional<Result> result;
    try {
        Lines lines(module, procedure);
        result.emplace(body(lines));
    } catch (...) {
        // Abort, or a failure outside any numbered line: the neutral result.
    }
    TraceExit(module, procedure, "");
    return result ? std::move(*result) : std::move(neutral);
}

template <class Body>
void TracedSub(std::string_view module, std::string_view procedure, Body&& body) noexcept {
    TraceEnter(module, procedure, "");
    try {
        Lines lines(module, procedure);
        body(lines);
    } catch (...) {
    }
    TraceExit(module, procedure, "");
}

}  // namespace modTrace
