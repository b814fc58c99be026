// Run-time errors: one exception type carrying the error's number, description and source,
// the conversions that raise the documented errors, and the helper that runs a step whose
// failure is not to stop its procedure.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace diagnostics {

inline constexpr int32_t kErrOverflow = 6;
inline constexpr int32_t kErrOutOfMemory = 7;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrInternal = 51;

class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int32_t number, std::string description, std::string source = {});
    int32_t number() const { return number_; }
    const std::string& description() const { return description_; }
    const std::string& source() const { return source_; }

  private:
    int32_t number_;
    std::string description_;
    std::string source_;
};

// Converts a text to a signed 32-bit number: optional blanks, an optional sign, decimal digits,
// optional blanks ("007" gives 7). Anything else raises "Type mismatch" (13); a number out of
// range raises "Overflow" (6).
int32_t CLng(std::string_view text);
// The number CLng reads from `text`, or nothing where CLng raises an error.
std::optional<int32_t> NumberOf(std::string_view text) noexcept;

// The program's executable name without folder and extension ("tamewin"): the source of the
// errors the program raises itself.
const std::string& ProgramName();

// Writes the trace line ("--") of a step that TryStep stopped, naming the step and, for a
// run-time error, its number and description. Called only while the step's exception is
// being handled.
void StepStopped(std::string_view step) noexcept;

// Runs one step of a procedure whose failing steps are skipped: a run-time error (or any other
// exception) raised by the step ends the step, leaves a trace line, and the caller goes on
// with its next step. The user is not troubled; a trace shows what went wrong.
template <class Body>
void TryStep(std::string_view step, Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        StepStopped(step);
    }
}

}  // namespace diagnostics
