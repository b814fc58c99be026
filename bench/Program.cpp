#include "Program.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Timing.h"
#include "ui/frmmain.h"

namespace bench {

bool FindProgram(Program& program, double timeoutMs) {
    const double start = NowMs();
    while ((program.window = ::FindWindowA(ui::frmmain::kClassName, nullptr)) == nullptr) {
        if (NowMs() - start > timeoutMs) {
            return false;
        }
        ::Sleep(50);
    }
    ::GetWindowThreadProcessId(program.window, &program.id);
    program.process.reset(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.id));
    return static_cast<bool>(program.process);
}

DWORD ChildOf(DWORD parent) {
    win32::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
         more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parent) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

double RoundTripMs(HWND window) {
    return TimeOf([&] {
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &answer);
    });
}

namespace {

// The handle count from the system's process list, which some systems fill where the
// per-process query does not.
double ListedHandleCount(DWORD processId) {
    using QueryFn = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return -1;
    }
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    while (query(5 /* SystemProcessInformation */, buffer.data(), static_cast<ULONG>(buffer.size()),
                 &needed) != 0) {
        if (buffer.size() >= (64u << 20)) {
            return -1;
        }
        buffer.resize(buffer.size() * 2);
    }
    for (size_t at = 0;;) {
        const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&buffer[at]);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(info->UniqueProcessId)) == processId) {
            return info->HandleCount;
        }
        if (info->NextEntryOffset == 0) {
            return -1;
        }
        at += info->NextEntryOffset;
    }
}

struct WindowCount {
    DWORD processId;
    int count;
};

BOOL CALLBACK CountChild(HWND hwnd, LPARAM p) {
    auto* c = reinterpret_cast<WindowCount*>(p);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    c->count += pid == c->processId ? 1 : 0;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM p) {
    CountChild(hwnd, p);
    ::EnumChildWindows(hwnd, &CountChild, p);
    return TRUE;
}

// The process's windows: top-level, their children, and message-only windows.
int WindowsOf(DWORD processId) {
    WindowCount c{processId, 0};
    ::EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&c));
    for (HWND w = nullptr; (w = ::FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr)) != nullptr;) {
        CountTopLevel(w, reinterpret_cast<LPARAM>(&c));
    }
    return c.count;
}

using LinuxFile = std::unique_ptr<FILE, int (*)(FILE*)>;

LinuxFile OpenProc(DWORD unixPid, const char* name) {
    const std::string path = "Z:\\proc\\" + std::to_string(unixPid) + "\\" + name;
    return LinuxFile(unixPid != 0 ? std::fopen(path.c_str(), "r") : nullptr, &std::fclose);
}

// A "Name:  value kB" line of /proc/PID/status; -1 when there is none.
double LinuxStatusKb(DWORD unixPid, const char* field) {
    LinuxFile f = OpenProc(unixPid, "status");
    char line[256];
    const size_t n = std::strlen(field);
    while (f && std::fgets(line, sizeof line, f.get())) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            return std::strtod(line + n + 1, nullptr);
        }
    }
    return -1;
}

// User and system time of a process so far, in clock ticks; -1 when unknown.
long LinuxCpuTicks(DWORD unixPid) {
    LinuxFile f = OpenProc(unixPid, "stat");
    char line[1024];
    if (!f || !std::fgets(line, sizeof line, f.get())) {
        return -1;
    }
    // After the name in parentheses: state and ten more fields, then utime and stime.
    const char* p = std::strrchr(line, ')');
    long utime = 0, stime = 0;
    if (p == nullptr || std::sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld",
                                    &utime, &stime) != 2) {
        return -1;
    }
    return utime + stime;
}

}  // namespace

Holdings HoldingsOf(HANDLE process, DWORD processId, DWORD unixPid) {
    Holdings h;
    // A live process always holds handles and private memory: 0 means the system does not
    // count them (Wine), and is shown as not reported.
    DWORD handles = 0;
    if (::GetProcessHandleCount(process, &handles) && handles != 0) {
        h.handles = handles;
    }
    h.handlesListed = ListedHandleCount(processId);
    ::SetLastError(0);
    DWORD gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
    if (gdi != 0 || ::GetLastError() == 0) {
        h.gdi = gdi;
    }
    ::SetLastError(0);
    DWORD user = ::GetGuiResources(process, GR_USEROBJECTS);
    if (user != 0 || ::GetLastError() == 0) {
        h.user = user;
    }
    h.windows = WindowsOf(processId);
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                               sizeof pmc)) {
        if (pmc.PrivateUsage != 0) {
            h.privateKb = static_cast<double>(pmc.PrivateUsage) / 1024.0;
        }
        h.pagefileKb = static_cast<double>(pmc.PagefileUsage) / 1024.0;
        h.workingSetKb = static_cast<double>(pmc.WorkingSetSize) / 1024.0;
    }
    h.rssKb = LinuxStatusKb(unixPid, "VmRSS");
    h.rssAnonKb = LinuxStatusKb(unixPid, "RssAnon");
    return h;
}

double Settle(DWORD shellUnixPid, double timeoutMs) {
    const double start = NowMs();
    if (LinuxCpuTicks(shellUnixPid) < 0) {
        Pump(2000);
    }
    for (long last = LinuxCpuTicks(shellUnixPid); last >= 0 && NowMs() - start < timeoutMs;) {
        Pump(1000);
        const long now = LinuxCpuTicks(shellUnixPid);
        if (now - last <= 2) {  // at most 2 % of a processor over that second
            break;
        }
        last = now;
    }
    return (NowMs() - start) / 1000.0;
}

}  // namespace bench
