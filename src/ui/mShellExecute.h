// Opens a document, program or web address in its associated program through the shell.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace mShellExecute {

// What a failed ShellOpen reports: the error number, "<program>.GShell" and a readable message.
struct ShellOpenError {
    int32_t Number = 0;
    std::string Source;
    std::string Description;
};

// The shell call ShellOpen makes; ::ShellExecuteA unless replaced (tests record the calls).
using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
extern ShellExecuteFn ShellExecuteImpl;
// Whether this process runs with an elevated token; the token's own answer unless replaced.
using RunsElevatedFn = bool (*)();
extern RunsElevatedFn RunsElevated;

// Carries out `verb` on `file`. A file whose upper-cased name contains ".EXE" starts hidden;
// with neither parameters nor a directory the call always asks for a normal window (show
// command 1). Returns true when the shell reports success. On failure returns false and, when
// `error` is given, fills it; on success `error` is cleared. Never throws.
// An elevated copy hands the request to the desktop's shell, so that nothing it opens runs
// elevated; where the shell cannot take it, nothing is opened and the trace says why.
bool ShellOpen(const std::string& file, int32_t showCommand, const std::string& parameters,
               const std::string& directory, const std::string& verb, HWND owner,
               ShellOpenError* error = nullptr) noexcept;

}  // namespace mShellExecute
