#include "remover/Remover.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "state/ProgramState.h"
#include "startup/clstamewin.h"
#include "ui/frmmain.h"
#include "win32/Handles.h"

namespace remover {

BOOL(WINAPI* PostClose)(HWND, UINT, WPARAM, LPARAM) = &::PostMessageA;
LSTATUS(WINAPI* OpenKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = &::RegOpenKeyExA;

namespace {

constexpr DWORD kDefaultWaitMs = 30000;
constexpr char kMakerKey[] = "Software\\Corvanta";
constexpr char kRunName[] = "IE Tamewin";
// Where Windows records that the user turned the logon start off (Task Manager, Settings);
// Run32 holds it for a Run entry in the 32-bit view.
constexpr char kStartupApproved[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

bool Gone(LSTATUS rc) {
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// Says why on the standard error, where there is one (a console, a redirect).
void Say(const char* text) {
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err != nullptr && err != INVALID_HANDLE_VALUE) {
        ::WriteFile(err, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    }
}

// Asks every copy on this desktop to end, as its Exit command does, and waits until each has.
Result EndRunningCopies(DWORD waitMs) {
    std::vector<win32::Handle> processes;
    std::vector<HWND> unopened;  // windows whose process this user may not wait on
    for (HWND w = nullptr;
         (w = ::FindWindowExA(nullptr, w, ui::frmmain::kClassName, nullptr)) != nullptr;) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        win32::Handle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        if (!PostClose(w, WM_CLOSE, 0, 0) && ::IsWindow(w)) {
            // A copy of a higher integrity level: the system drops messages to it (UIPI), and
            // waiting would only delay the same answer.
            Say("tameremove: IE Tamewin runs as administrator and cannot be asked to end from "
                "here; end it from its menu (Exit), then remove it again.\n");
            return kCannotAskToEnd;
        }
        if (process) {
            processes.push_back(std::move(process));
        } else {
            unopened.push_back(w);
        }
    }
    const ULONGLONG deadline = ::GetTickCount64() + waitMs;
    for (;;) {
        bool running = false;
        for (const win32::Handle& p : processes) {
            running = running || ::WaitForSingleObject(p.get(), 0) == WAIT_TIMEOUT;
        }
        for (HWND w : unopened) {
            running = running || ::IsWindow(w);
        }
        if (!running) {
            return kRemoved;
        }
        if (::GetTickCount64() >= deadline) {
            Say("tameremove: IE Tamewin did not end in time; nothing was removed.\n");
            return kStillRunning;
        }
        ::Sleep(50);
    }
}

bool HasSubkeysOrValues(HKEY root, const char* path, REGSAM view) {
    win32::Key key;
    if (OpenKey(root, path, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    return ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
           subkeys != 0 || values != 0;
}

// Deletes the key with everything under it. False when anything that is there stays.
bool DeleteTree(HKEY root, const char* path, REGSAM view) {
    win32::Key key;
    const LSTATUS opened = OpenKey(
        root, path, 0, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view,
        key.put());
    if (opened != ERROR_SUCCESS) {
        return opened == ERROR_FILE_NOT_FOUND;
    }
    const bool emptied = Gone(::RegDeleteTreeA(key.get(), nullptr));
    key.reset();
    return Gone(::RegDeleteKeyExA(root, path, view, 0)) && emptied;
}

// The program's own key, and its maker's when nothing else is left there.
bool RemoveProgramKey(HKEY root, REGSAM view) {
    const std::string instances = state::kInstancesKey;
    const std::string program = instances.substr(0, instances.rfind('\\'));
    const bool removed = DeleteTree(root, program.c_str(), view);
    return (HasSubkeysOrValues(root, kMakerKey, view) ||
            Gone(::RegDeleteKeyExA(root, kMakerKey, view, 0))) &&
           removed;
}

bool RemoveStartupApproved(HKEY root) {
    bool removed = true;
    for (const char* list : {"Run", "Run32"}) {
        const std::string path = std::string(kStartupApproved) + list;
        win32::Key key;
        const LSTATUS opened =
            OpenKey(root, path.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, key.put());
        removed = removed && (opened == ERROR_SUCCESS ? Gone(::RegDeleteValueA(key.get(), kRunName))
                                                      : opened == ERROR_FILE_NOT_FOUND);
    }
    return removed;
}

}  // namespace

Result Run(const char* commandLine) {
    const bool user = std::strstr(commandLine, "/machine") == nullptr;
    const bool machine = std::strstr(commandLine, "/user") == nullptr;
    const char* wait = std::strstr(commandLine, "/wait=");
    bool removed = true;
    if (user) {
        const Result ended = EndRunningCopies(
            wait ? static_cast<DWORD>(std::strtoul(wait + 6, nullptr, 10)) : kDefaultWaitMs);
        if (ended != kRemoved) {
            return ended;
        }
        removed = RemoveProgramKey(HKEY_CURRENT_USER, 0) && removed;
        removed = RemoveStartupApproved(HKEY_CURRENT_USER) && removed;
    }
    if (machine) {
        for (REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
            removed = RemoveProgramKey(HKEY_LOCAL_MACHINE, view) && removed;
            removed = DeleteTree(HKEY_LOCAL_MACHINE, clstamewin::kToolbarKey, view) && removed;
        }
        removed = RemoveStartupApproved(HKEY_LOCAL_MACHINE) && removed;
    }
    if (!removed) {
        Say("tameremove: some of IE Tamewin's registry data could not be deleted "
            "(an administrator's part, from an unelevated remover?).\n");
    }
    return removed ? kRemoved : kDeleteRefused;
}

}  // namespace remover
