#include "ui/mShellExecute.h"

#include <algorithm>
#include <cstdio>

#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "ui/DesktopShell.h"
#include "win32/Com.h"
#include "win32/Handles.h"

namespace mShellExecute {

namespace {

bool TokenIsElevated() {
    win32::Handle token;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation),
                                 &size) &&
           elevation.TokenIsElevated != 0;
}

}  // namespace

ShellExecuteFn ShellExecuteImpl = &::ShellExecuteA;
RunsElevatedFn RunsElevated = &TokenIsElevated;

namespace {

// Shell results 0 to 32 that are failures become 0x80040418 + r unless the table says otherwise.
constexpr int32_t kShellErrorBase = -2147220456;  // 0x80040418
constexpr int32_t kOpened = 33;                   // the shell's first result that means success

struct ErrorRow {
    int32_t result;
    int32_t number;  // 0: kShellErrorBase + result
    const char* message;
};

constexpr ErrorRow kErrorRows[] = {
    {0, 7, "Out of memory"},
    {2, 53, "File not found"},
    {3, 76, "Path not found"},
    {5, 75, "Path/file access error"},
    {8, 7, "Out of memory"},
    {11, 0, "The executable file is invalid or corrupt"},
    {26, 75, "A sharing violation occurred."},
    {27, 0, "This file type does not have a valid file association."},
    {28, 286, "The file could not be opened due to time out.  Please try again in a moment."},
    {29, 285,
     "The file could not be opened because the DDE transaction failed.  Please try again in a "
     "moment."},
    {30, 285,
     "The file could not be opened because the target application is busy.  Please try again "
     "in a moment."},
    {31, 0, "No application is associated with this file type."},
    {32, 48, "The specified dynamic-link library was not found."},
};

constexpr const char* kOtherFailure =
    "An error occurred occurred whilst trying to open or print the selected file.";

// The plain substring test on the upper-cased name: "my.exes\readme.txt" matches too.
bool NameContainsExe(const std::string& file) {
    static constexpr char kExe[] = ".EXE";
    auto upperEquals = [](char c, char wanted) {
        return (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == wanted;
    };
    return std::search(file.begin(), file.end(), kExe, kExe + 4, upperEquals) != file.end();
}

void RecordFailure(int32_t result, ShellOpenError& error) noexcept {
    error.Number = kShellErrorBase + result;
    const char* message = kOtherFailure;
    for (const ErrorRow& row : kErrorRows) {
        if (row.result == result) {
            if (row.number != 0) {
                error.Number = row.number;
            }
            message = row.message;
        }
    }
    diagnostics::TryStep("ShellOpen: the error's source",
                         [&] { error.Source = diagnostics::ProgramName() + ".GShell"; });
    diagnostics::TryStep("ShellOpen: the error's description",
                         [&] { error.Description = message; });
}

}  // namespace

bool ShellOpen(const std::string& file, int32_t showCommand, const std::string& parameters,
               const std::string& directory, const std::string& verb, HWND owner,
               ShellOpenError* error) noexcept {
    if (NameContainsExe(file)) {
        showCommand = SW_HIDE;
    }
    // Nothing to pass: the caller's show command is not used, the ".EXE" rule neither.
    if (parameters.empty() && directory.empty()) {
        showCommand = SW_SHOWNORMAL;
    }
    // The handler of an address may be a COM object, which needs an apartment on this thread.
    const win32::ComApartment apartment;
    int32_t result = 0;
    if (RunsElevated()) {
        const HRESULT hr = DesktopShell::Execute(file, parameters, directory, verb, showCommand);
        result = SUCCEEDED(hr) ? kOpened : SE_ERR_ACCESSDENIED;
        if (FAILED(hr)) {
            char note[160];
            std::snprintf(note, sizeof note,
                          "not opened: this copy runs elevated, and the desktop's shell did not "
                          "take the request (&H%08lX)",
                          static_cast<unsigned long>(hr));
            modTrace::TraceNote("mShellExecute", "Function ShellOpen", note);
        }
    } else {
        HINSTANCE code = ShellExecuteImpl(owner, verb.c_str(), file.c_str(), parameters.c_str(),
                                          directory.c_str(), showCommand);
        // The shell's result is a number in a handle's clothing; only its low 32 bits count.
        result = static_cast<int32_t>(reinterpret_cast<intptr_t>(code));
    }
    if (result > 32 || result < 0) {
        if (error != nullptr) {
            *error = ShellOpenError{};
        }
        return true;
    }
    if (error != nullptr) {
        RecordFailure(result, *error);
    }
    return false;
}

}  // namespace mShellExecute
