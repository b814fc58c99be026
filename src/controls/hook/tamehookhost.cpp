// The companion: a small program of the other bitness that the program starts beside itself
// (tamehookhost32.exe beside a 64-bit program, tamehookhost64.exe beside a 32-bit one). It
// hosts the hook library of its own bitness, installs the library's hook for the programs of
// that bitness and keeps it until the program whose process id its command line names ends.
#include <windows.h>

#include "win32/Handles.h"

namespace {

using HostFn = void(CALLBACK*)(HWND, HINSTANCE, LPSTR, int);

// The library beside this program: tamehook32.dll or tamehook64.dll.
win32::Module LoadLibraryBeside() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return win32::Module();
    }
    wchar_t* name = path + length;
    while (name > path && name[-1] != L'\\') {
        --name;
    }
    const wchar_t* library = sizeof(void*) == 8 ? L"tamehook64.dll" : L"tamehook32.dll";
    if (static_cast<size_t>(name - path) + ::lstrlenW(library) >= MAX_PATH) {
        return win32::Module();
    }
    ::lstrcpyW(name, library);
    return win32::Module(::LoadLibraryW(path));
}

// The command line after the program's own name, which comes first, quoted or not.
LPSTR Arguments(LPSTR line) {
    const char end = *line == '"' ? '"' : ' ';
    if (end == '"') {
        ++line;
    }
    while (*line != '\0' && *line != end) {
        ++line;
    }
    return *line == '\0' ? line : line + 1;
}

UINT Host(LPSTR arguments) {
    const win32::Module library = LoadLibraryBeside();
    if (!library) {
        return 1;
    }
    const auto host = reinterpret_cast<HostFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.get(), "HostCompanion")));
    if (host == nullptr) {
        return 1;
    }
    host(nullptr, nullptr, arguments, SW_HIDE);
    return 0;
}

}  // namespace

// The system enters the program here: it needs no C runtime.
extern "C" void HostStart() {
    ::ExitProcess(Host(Arguments(::GetCommandLineA())));
}
