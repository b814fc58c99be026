// Procedures of newer Windows versions, looked up at run time so that the program still starts
// on the oldest system it supports.
#pragma once

#include <windows.h>

namespace win32 {

// Procedure `name` of the already loaded module `module` as a pointer of type Fn; null when
// the module is not loaded or lacks the procedure.
template <class Fn>
Fn SystemProc(const char* module, const char* name) {
    HMODULE handle = ::GetModuleHandleA(module);
    FARPROC proc = handle != nullptr ? ::GetProcAddress(handle, name) : nullptr;
    // Through the generic function pointer type, which every compiler converts without warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace win32
