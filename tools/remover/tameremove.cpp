// The remover: what the installer runs to take the program away, and what a user of the
// portable copy runs before deleting its folder.
//   /user     ends the copies of the program running on this desktop, as their Exit command
//             does, and removes this user's data. Exit code 1 when a copy is still running
//             after the wait: the installer then stops before it removes anything.
//   /machine  removes the data kept for all users, in both registry views.
// With neither, it does both.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "startup/Module1.h"
#include "startup/clstamewin.h"
#include "ui/frmmain.h"
#include "win32/Handles.h"

namespace {

constexpr ULONGLONG kWaitMs = 30000;
constexpr char kMakerKey[] = "Software\\Corvanta";

// Posts WM_CLOSE to every copy's main window and waits until each has ended.
bool EndRunningCopies() {
    std::vector<win32::Handle> processes;
    std::vector<HWND> unopened;  // windows whose process this user may not wait on
    for (HWND w = nullptr;
         (w = ::FindWindowExA(nullptr, w, ui::frmmain::kClassName, nullptr)) != nullptr;) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        win32::Handle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        if (process) {
            processes.push_back(std::move(process));
        } else {
            unopened.push_back(w);
        }
        ::PostMessageA(w, WM_CLOSE, 0, 0);
    }
    const ULONGLONG deadline = ::GetTickCount64() + kWaitMs;
    for (;;) {
        bool running = false;
        for (const win32::Handle& p : processes) {
            running = running || ::WaitForSingleObject(p.get(), 0) == WAIT_TIMEOUT;
        }
        for (HWND w : unopened) {
            running = running || ::IsWindow(w);
        }
        if (!running) {
            return true;
        }
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(50);
    }
}

bool HasSubkeysOrValues(HKEY root, const char* path, REGSAM view) {
    win32::Key key;
    if (::RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    return ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
           subkeys != 0 || values != 0;
}

// Deletes the key with everything under it; a missing key is no error.
void DeleteTree(HKEY root, const char* path, REGSAM view) {
    {
        win32::Key key;
        if (::RegOpenKeyExA(
                root, path, 0,
                DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view,
                key.put()) != ERROR_SUCCESS) {
            return;
        }
        ::RegDeleteTreeA(key.get(), nullptr);
    }
    ::RegDeleteKeyExA(root, path, view, 0);
}

// The program's own key, and its maker's when nothing else is left there.
void RemoveProgramKey(HKEY root, REGSAM view) {
    const std::string instances = Module1::kInstancesKey;
    const std::string program = instances.substr(0, instances.rfind('\\'));
    DeleteTree(root, program.c_str(), view);
    if (!HasSubkeysOrValues(root, kMakerKey, view)) {
        ::RegDeleteKeyExA(root, kMakerKey, view, 0);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const bool user = std::strstr(commandLine, "/machine") == nullptr;
    const bool machine = std::strstr(commandLine, "/user") == nullptr;
    if (user) {
        if (!EndRunningCopies()) {
            return 1;
        }
        RemoveProgramKey(HKEY_CURRENT_USER, 0);
    }
    if (machine) {
        for (REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
            RemoveProgramKey(HKEY_LOCAL_MACHINE, view);
            DeleteTree(HKEY_LOCAL_MACHINE, clstamewin::kToolbarKey, view);
        }
    }
    return 0;
}
