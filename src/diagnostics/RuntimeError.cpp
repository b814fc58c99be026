#include "diagnostics/RuntimeError.h"

#include <windows.h>

#include <exception>
#include <limits>
#include <new>

#include "diagnostics/modTrace.h"

namespace diagnostics {

RuntimeError::RuntimeError(int32_t number, std::string description, std::string source)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)) {
    if (source_.empty()) {
        source_ = ProgramName();
    }
}

int32_t CLng(std::string_view text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    size_t i = 0;
    size_t end = text.size();
    while (i < end && isBlank(text[i])) {
        ++i;
    }
    while (end > i && isBlank(text[end - 1])) {
        --end;
    }
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end) {
        throw RuntimeError(kErrTypeMismatch, "Type mismatch");
    }
    int64_t value = 0;
    bool overflow = false;
    for (; i < end; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') {
            throw RuntimeError(kErrTypeMismatch, "Type mismatch");
        }
        if (!overflow) {
            value = value * 10 + (c - '0');
            overflow = value > int64_t{std::numeric_limits<int32_t>::max()} + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (overflow || value > std::numeric_limits<int32_t>::max() ||
        value < std::numeric_limits<int32_t>::min()) {
        throw RuntimeError(kErrOverflow, "Overflow");
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> NumberOf(std::string_view text) noexcept {
    try {
        return CLng(text);
    } catch (...) {
        return std::nullopt;
    }
}

void StepStopped(std::string_view step) noexcept {
    try {
        std::string note = std::string(step) + " stopped";
        try {
            throw;
        } catch (const RuntimeError& e) {
            note += ": error " + std::to_string(e.number()) + " (" + e.description() + ")";
        } catch (const std::bad_alloc&) {
            note += ": error " + std::to_string(kErrOutOfMemory) + " (Out of memory)";
        } catch (const std::exception& e) {
            note += std::string(": ") + e.what();
        } catch (...) {
        }
        modTrace::TraceNote("diagnostics", "Sub TryStep", note);
    } catch (...) {
        // Not even the line could be made (memory ran out): the step is skipped all the same.
    }
}

const std::string& ProgramName() {
    static const std::string name = [] {
        char path[MAX_PATH] = {};
        DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string full(path, n < MAX_PATH ? n : MAX_PATH);
        size_t slash = full.find_last_of("\\/");
        std::string file = slash == std::string::npos ? full : full.substr(slash + 1);
        size_t dot = file.find_last_of('.');
        return dot == std::string::npos ? file : file.substr(0, dot);
    }();
    return name;
}

}  // namespace diagnostics
