// Activation benchmark, run beside the real program by run_activation_bench.sh. Prints:
//  - for 100, 1000 and 5000 top-level windows on the desktop (hidden windows held by child
//    copies of this program over several processes and threads): the time from activating a
//    new "IEFrame" window, on a fresh thread, to the arrival of the program's WM_CLOSE; the
//    floor, the same system work done bare in this process; and the program's own code on
//    that path timed here;
//  - the program's holdings (handles, GDI and USER objects, memory) before and after many
//    activations;
//  - with `cost`: what a running program's hooks cost this one (window creation, activation).
//
//   activation_bench run [--levels 100,1000,5000] [--popups 50] [--churn 10000]
//                        [--unix-pids PROGRAM,COMPANION,SHELL]
//   activation_bench cost      prints "cost CREATE_MS SWITCH_MS SHOW_MS"
//   activation_bench wait      waits for the desktop and the program; prints its process id
//   activation_bench idle      one window and a GetMessage loop, nothing else (a reference)
//   activation_bench hold WINDOWS THREADS READY RELEASE PARENT   (started by run)
//
// Nothing here asserts: figures are printed for a reader.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "registry/WINAPI32.h"
#include "startup/Module1.h"
#include "ui/frmmain.h"
#include "win32/Handles.h"

namespace {

using Module1::kInstancesKey;
constexpr char kProgramClass[] = "IETamewin.Main";
constexpr char kFrameClass[] = "IEFrame";
constexpr char kPlainClass[] = "TamewinBench.Plain";
constexpr int kHolderProcesses = 4;
constexpr int kHolderThreads = 3;
constexpr double kPopupTimeoutMs = 10000;

// ---- time, figures, output ------------------------------------------------------------

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

// Nearest rank: the smallest value with at least the fraction p of the values at or below it.
double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(p * static_cast<double>(values.size()) + 0.999999);
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}
double Median(const std::vector<double>& values) {
    return Percentile(values, 0.5);
}

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

// Handles this thread's messages for `ms` milliseconds (0: only what is waiting).
void Pump(double ms) {
    const double end = NowMs() + ms;
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        const double left = end - NowMs();
        if (left <= 0) {
            return;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left) + 1, QS_ALLINPUT);
    }
}

// ---- windows ------------------------------------------------------------------------------

void RegisterClassOnce(const char* name, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (::GetClassInfoExA(::GetModuleHandleA(nullptr), name, &wc)) {
        return;
    }
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    ::RegisterClassExA(&wc);
}

HWND MakeWindow(const char* cls, const char* title, DWORD exStyle, DWORD style, int x, int y,
                void* param = nullptr) {
    return ::CreateWindowExA(exStyle, cls, title, style, x, y, 160, 100, nullptr, nullptr,
                             ::GetModuleHandleA(nullptr), param);
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int TopLevelCount() {
    int count = 0;
    ::EnumWindows(&CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool WaitForDesktop() {
    for (int i = 0; i < 600; ++i) {
        HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
        if (tray != nullptr && ::IsWindowVisible(tray)) {
            return true;
        }
        ::Sleep(100);
    }
    return false;
}

std::string ThisProgram() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// ---- window holders (child processes) ---------------------------------------------------

// Hidden top-level windows of varied classes, styles and titles over a few threads, until
// the release event is set or the parent ends.
int Hold(int windows, int threads, const char* readyName, const char* releaseName, DWORD parentId) {
    static const char* const kClasses[] = {"BenchDocument", "BenchToolbar", "BenchNotifier",
                                           "BenchTracker",  "BenchHelper",  "BenchPanel"};
    for (const char* name : kClasses) {
        RegisterClassOnce(name, &PlainProc);
    }
    win32::Handle ready(::OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName));
    win32::Handle release(::OpenEventA(SYNCHRONIZE, FALSE, releaseName));
    win32::Handle parent(::OpenProcess(SYNCHRONIZE, FALSE, parentId));
    if (!ready || !release || !parent || threads < 1) {
        return 1;
    }
    std::latch created(threads);
    std::vector<std::atomic<DWORD>> ids(static_cast<size_t>(threads));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        const int count = windows / threads + (t < windows % threads ? 1 : 0);
        workers.emplace_back([&, t, count] {
            std::vector<win32::Window> held;
            for (int i = 0; i < count; ++i) {
                // Titles from empty to about 90 characters; some popups, some tool windows.
                std::string title;
                if (i % 5 != 0) {
                    title = "Window " + std::to_string(i) + " of thread " + std::to_string(t);
                    title.append(static_cast<size_t>(i % 7) * 10, i % 2 == 0 ? '.' : ' ');
                }
                const DWORD exStyle = i % 4 == 0 ? WS_EX_TOOLWINDOW : 0;
                const DWORD style = i % 3 == 0 ? WS_POPUP : WS_OVERLAPPEDWINDOW;
                held.emplace_back(MakeWindow(kClasses[(i + t) % 6], title.c_str(), exStyle, style,
                                             10 * (i % 50), 10 * (i % 40)));
            }
            ids[static_cast<size_t>(t)] = ::GetCurrentThreadId();
            created.count_down();
            MSG msg;
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
                ::DispatchMessageA(&msg);
            }
        });
    }
    created.wait();
    ::SetEvent(ready.get());
    const HANDLE waitFor[] = {release.get(), parent.get()};
    ::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
    for (auto& id : ids) {
        ::PostThreadMessageA(id, WM_QUIT, 0, 0);
    }
    for (auto& w : workers) {
        w.join();
    }
    return 0;
}

// The window holders started by this process; they all end when the object goes.
class Holders {
  public:
    Holders()
        : tag_("Local\\TamewinBench." + std::to_string(::GetCurrentProcessId())),
          release_(::CreateEventA(nullptr, TRUE, FALSE, (tag_ + ".Release").c_str())) {}
    ~Holders() {
        ::SetEvent(release_.get());
        for (auto& p : processes_) {
            if (::WaitForSingleObject(p.get(), 60000) != WAIT_OBJECT_0) {
                ::TerminateProcess(p.get(), 1);
            }
        }
    }
    Holders(const Holders&) = delete;
    Holders& operator=(const Holders&) = delete;

    // Adds `windows` hidden top-level windows in kHolderProcesses new processes; returns once
    // they all exist.
    bool Add(int windows) {
        std::vector<win32::Handle> ready;
        for (int k = 0; k < kHolderProcesses; ++k) {
            const int count = windows / kHolderProcesses + (k < windows % kHolderProcesses ? 1 : 0);
            const std::string readyName = tag_ + ".Ready." + std::to_string(processes_.size());
            ready.emplace_back(::CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
            std::string command(1, '"');
            command += ThisProgram() + "\" hold " + std::to_string(count) + " " +
                       std::to_string(kHolderThreads) + " " + readyName + " " + tag_ + ".Release " +
                       std::to_string(::GetCurrentProcessId());
            STARTUPINFOA si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &si, &pi)) {
                return false;
            }
            win32::Handle thread(pi.hThread);
            processes_.emplace_back(pi.hProcess);
        }
        for (auto& r : ready) {
            if (::WaitForSingleObject(r.get(), 300000) != WAIT_OBJECT_0) {
                return false;
            }
        }
        return true;
    }
    int processes() const { return static_cast<int>(processes_.size()); }
    int threads() const { return processes() * kHolderThreads; }

  private:
    std::string tag_;
    win32::Handle release_;
    std::vector<win32::Handle> processes_;
};

// ---- "IEFrame" windows of this process ----------------------------------------------------

struct FrameState {
    std::atomic<int> closes{0};
    std::atomic<bool> paramsOne{true};
    std::atomic<double> firstCloseMs{0};
};

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
        const double now = NowMs();  // first thing: the arrival
        if (auto* state = reinterpret_cast<FrameState*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
            if (state->closes++ == 0) {
                state->firstCloseMs = now;
            }
            if (wParam != 1 || lParam != 1) {
                state->paramsOne = false;
            }
        }
        return 0;  // the window goes when its owner here says so
    }
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

// An "IEFrame" window that ignores WM_CLOSE, on a thread of its own that pumps messages until
// the object goes. `start` runs on that thread once the window exists; the constructor
// returns when it has.
class FrameThread {
  public:
    template <class Start>
    FrameThread(const char* title, Start start) {
        std::latch started(1);
        thread_ = std::thread([this, title, &start, &started] {
            threadId_ = ::GetCurrentThreadId();
            RegisterClassOnce(kFrameClass, &FrameProc);
            win32::Window window(
                MakeWindow(kFrameClass, title, 0, WS_OVERLAPPEDWINDOW, 200, 150, &state_));
            start(window.get(), state_);
            started.count_down();
            MSG msg;
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
                ::DispatchMessageA(&msg);
            }
        });
        started.wait();
    }
    ~FrameThread() {
        ::PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    FrameThread(const FrameThread&) = delete;
    FrameThread& operator=(const FrameThread&) = delete;

    const FrameState& state() const { return state_; }

  private:
    FrameState state_;
    std::thread thread_;
    DWORD threadId_ = 0;
};

// A hidden frame, never shown. The program posts it WM_CLOSE in every scan, so its count of
// them is the program's count of scans.
class Sentinel {
  public:
    int scans() const { return frame_.state().closes; }

    // Waits until the count reaches `target`; false at the deadline.
    bool WaitFor(int target, double timeoutMs) const {
        const double end = NowMs() + timeoutMs;
        while (scans() < target) {
            if (NowMs() > end) {
                return false;
            }
            Pump(0.5);
        }
        return true;
    }

    // Waits until no scan has ended for `quietMs`: the program is idle again.
    void WaitQuiet(double quietMs, double timeoutMs = 60000) const {
        const double end = NowMs() + timeoutMs;
        int last = scans();
        double since = NowMs();
        while (NowMs() - since < quietMs && NowMs() < end) {
            Pump(1);
            if (scans() != last) {
                last = scans();
                since = NowMs();
            }
        }
    }

  private:
    FrameThread frame_{"Bench sentinel", [](HWND, FrameState&) {}};
};

struct PopupResult {
    bool closed = false;
    bool paramsOne = true;
    bool waitingAfterCalls = false;  // WM_CLOSE already queued when the calls returned
    double latencyMs = 0;            // activation to the arrival of WM_CLOSE
    double callsMs = 0;              // time inside ShowWindow and SetForegroundWindow
};

// One pop-up: a fresh thread (its id is nowhere recorded) shows and activates its frame and
// pumps until WM_CLOSE arrives; the time runs from just before the activation. The thread
// cannot see WM_CLOSE before the activation calls return.
// The window stays until the object goes: destroyed once another window is active, it
// causes no activation (the active one would hand activation on, and the program would scan
// again).
class Popup {
  public:
    const PopupResult& result() const { return result_; }

  private:
    void Measure(HWND window, const FrameState& state) {
        const double start = NowMs();
        ::ShowWindow(window, SW_SHOW);
        ::SetForegroundWindow(window);
        result_.callsMs = NowMs() - start;
        MSG msg;
        result_.waitingAfterCalls =
            ::PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != FALSE;
        while (state.closes == 0 && NowMs() - start < kPopupTimeoutMs) {
            Pump(1);
        }
        result_.closed = state.closes > 0;
        result_.paramsOne = state.paramsOne;
        result_.latencyMs = state.firstCloseMs - start;
    }

    PopupResult result_;  // before the frame: written while the frame is made
    FrameThread frame_{"Bench pop-up",
                       [this](HWND window, const FrameState& state) { Measure(window, state); }};
};

// ---- the system work the program cannot avoid, done bare -----------------------------------

BOOL CALLBACK FloorProc(HWND hwnd, LPARAM) {
    char cls[255];
    char title[255];
    DWORD pid = 0;
    ::GetClassNameA(hwnd, cls, 255);
    ::GetWindowTextA(hwnd, title, 255);
    ::GetWindowThreadProcessId(hwnd, &pid);
    return TRUE;
}

// One EnumWindows pass with the three calls per window, and the register's value names.
double FloorPass() {
    const double start = NowMs();
    ::EnumWindows(&FloorProc, 0);
    win32::Key key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstancesKey, 0, KEY_READ | Module1::kInstancesView,
                        key.put()) == ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            if (::RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
        }
    }
    return NowMs() - start;
}

template <class Work>
double TimeOf(Work&& work) {
    const double start = NowMs();
    work();
    return NowMs() - start;
}

// ---- Linux processes, seen through drive Z: ---------------------------------------------

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

// Waits until the shell is idle again after windows came or went: its taskbar notes every
// top-level window, and takes long over many. Returns the seconds waited.
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

// Hides the shell's taskbar for its lifetime. Wine 8's taskbar keeps a button for every
// top-level window, hidden ones too, and lays out the whole row again whenever a window comes
// or goes, unless it is itself hidden: with thousands of windows that alone keeps the shell
// busy for minutes.
class TaskbarHidden {
  public:
    TaskbarHidden() : tray_(::FindWindowA("Shell_TrayWnd", nullptr)) {
        if (tray_ != nullptr) {
            ::ShowWindow(tray_, SW_HIDE);
        }
    }
    ~TaskbarHidden() {
        if (tray_ != nullptr) {
            ::ShowWindow(tray_, SW_SHOWNA);
        }
    }
    TaskbarHidden(const TaskbarHidden&) = delete;
    TaskbarHidden& operator=(const TaskbarHidden&) = delete;

  private:
    HWND tray_;
};

// ---- the program ---------------------------------------------------------------------------

struct Program {
    HWND window = nullptr;
    DWORD id = 0;
    win32::Handle process;
};

bool FindProgram(Program& program, double timeoutMs) {
    const double start = NowMs();
    while ((program.window = ::FindWindowA(kProgramClass, nullptr)) == nullptr) {
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

// The program's child process (the hook host of the other bitness), or 0.
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

// What a process holds, as the system reports it (-1: not reported) and, for memory, as
// Linux reports it.
struct Holdings {
    double handles = -1;
    double handlesListed = -1;
    double gdi = -1;
    double user = -1;
    double windows = -1;
    double privateKb = -1;
    double pagefileKb = -1;
    double workingSetKb = -1;
    double rssKb = -1;
    double rssAnonKb = -1;
};

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

// ---- costs to this program -------------------------------------------------------------

// Creating and destroying 1000 hidden top-level windows; median of three rounds.
double CreateDestroyMs() {
    RegisterClassOnce(kPlainClass, &PlainProc);
    std::vector<double> rounds;
    for (int r = 0; r < 3; ++r) {
        rounds.push_back(TimeOf([] {
            std::vector<win32::Window> windows;
            for (int i = 0; i < 1000; ++i) {
                windows.emplace_back(
                    MakeWindow(kPlainClass, "Bench window", 0, WS_OVERLAPPEDWINDOW, 0, 0));
            }
        }));
        Pump(50);
    }
    return Median(rounds);
}

// Two visible windows of this thread, activated in turn. Tool windows: the taskbar has no
// buttons to update for them.
class SwitchPair {
  public:
    explicit SwitchPair(DWORD exStyle) {
        RegisterClassOnce(kPlainClass, &PlainProc);
        const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        a_.reset(MakeWindow(kPlainClass, "Bench A", exStyle, style, 40, 40));
        b_.reset(MakeWindow(kPlainClass, "Bench B", exStyle, style, 240, 40));
        Pump(50);
    }
    double Switch() {
        flip_ = !flip_;
        return TimeOf([&] { ::SetForegroundWindow(flip_ ? a_.get() : b_.get()); });
    }

  private:
    win32::Window a_;
    win32::Window b_;
    bool flip_ = false;
};

// Time inside SetForegroundWindow, summed over 300 switches between two windows.
double SwitchMs() {
    SwitchPair pair(0);
    double spent = 0;
    for (int i = 0; i < 300; ++i) {
        spent += pair.Switch();
        Pump(2);
    }
    return spent;
}

// Time inside ShowWindow(SW_SHOW) and SetForegroundWindow for a new window; median of 30.
double ShowMs() {
    RegisterClassOnce(kPlainClass, &PlainProc);
    std::vector<double> times;
    for (int i = 0; i < 30; ++i) {
        win32::Window w(MakeWindow(kPlainClass, "Bench shown", 0, WS_OVERLAPPEDWINDOW, 200, 150));
        times.push_back(TimeOf([&] {
            ::ShowWindow(w.get(), SW_SHOW);
            ::SetForegroundWindow(w.get());
        }));
        Pump(30);
    }
    return Median(times);
}

// ---- the run -----------------------------------------------------------------------------

struct Options {
    std::vector<int> levels{100, 1000, 5000};
    int popups = 50;
    int churn = 10000;
    DWORD unixPid = 0;
    DWORD companionUnixPid = 0;
    DWORD shellUnixPid = 0;
};

struct LevelFigures {
    int windows = 0;
    int processes = 0;
    int threads = 0;
    double settleSeconds = 0;
    int closed = 0;
    int missed = 0;
    int waitingAfterCalls = 0;
    bool paramsOne = true;
    double latencyMedian = 0;
    double latencyP95 = 0;
    double callsMedian = 0;
    double floor = 0;
    double handler = 0;
    double enumWinProc = 0;
    double enumKeyValues = 0;
    double pairedFloor = 0;
    double roundTrip = 0;
    double scansPerPopup = 0;
};

LevelFigures MeasureLevel(const Options& options, const Program& program,
                          const Sentinel& sentinel) {
    LevelFigures f;
    f.windows = TopLevelCount();
    const int passes = f.windows <= 1000 ? 31 : 11;

    // The program's own code on the activation path, called here, each pass beside a floor
    // pass so that both meet the same load.
    ui::frmmain form;  // not loaded: only its activation handler is used
    const HWND desktop = ::GetDesktopWindow();
    form.WinHook1_WindowActivated(desktop);  // first call: the trace looks for its viewer
    std::vector<double> handler, enumWinProc, enumKeyValues, floor;
    for (int i = 0; i < passes; ++i) {
        floor.push_back(FloorPass());
        handler.push_back(TimeOf([&] { form.WinHook1_WindowActivated(desktop); }));
        enumWinProc.push_back(TimeOf([] {
            Module1::colWindows.clear();
            ::EnumWindows(&Module1::EnumWinProc, 0);
        }));
        enumKeyValues.push_back(TimeOf([] {
            WINAPI32::EnumKeyValues(WINAPI32::kLocalMachine, kInstancesKey,
                                    Module1::kInstancesView);
        }));
    }
    Module1::colWindows.clear();
    Module1::colInstances.reset();
    f.floor = Median(floor);
    f.handler = Median(handler);
    f.enumWinProc = Median(enumWinProc);
    f.enumKeyValues = Median(enumKeyValues);

    sentinel.WaitQuiet(std::max(50.0, 3 * f.handler));
    std::vector<double> trips;
    for (int i = 0; i < 100; ++i) {
        trips.push_back(RoundTripMs(program.window));
    }
    f.roundTrip = Median(trips);

    // The pop-ups, each once the program has been quiet for longer than a scan takes, right
    // after a floor pass. Each goes once the next is active, so that its end causes no scan.
    std::vector<double> latencies, calls, pairedFloors;
    const int scansBefore = sentinel.scans();
    double quiet = std::max(30.0, 1.2 * f.handler);
    std::unique_ptr<Popup> previous;
    for (int i = 0; i < options.popups; ++i) {
        sentinel.WaitQuiet(quiet);
        pairedFloors.push_back(FloorPass());
        auto popup = std::make_unique<Popup>();
        const PopupResult& r = popup->result();
        Pump(2 * r.latencyMs + 50);
        if (r.closed) {
            latencies.push_back(r.latencyMs);
            quiet = std::max(30.0, 1.2 * r.latencyMs);
        } else {
            ++f.missed;
        }
        calls.push_back(r.callsMs);
        f.waitingAfterCalls += r.waitingAfterCalls ? 1 : 0;
        f.paramsOne = f.paramsOne && r.paramsOne;
        previous = std::move(popup);
        Pump(2 * r.latencyMs + 50);
    }
    sentinel.WaitQuiet(quiet);
    f.scansPerPopup = static_cast<double>(sentinel.scans() - scansBefore) / options.popups;
    previous.reset();  // the active one: its end hands activation on
    sentinel.WaitQuiet(quiet);
    f.closed = static_cast<int>(latencies.size());
    f.latencyMedian = Median(latencies);
    f.latencyP95 = Percentile(latencies, 0.95);
    f.callsMedian = Median(calls);
    f.pairedFloor = Median(pairedFloors);
    return f;
}

struct ChurnFigures {
    int windows = 0;
    int activations = 0;
    int scans = 0;
    int scansPerSwitch = 1;
    int late = 0;
    double seconds = 0;
    Holdings before;
    Holdings after;
    Holdings companionBefore;
    Holdings companionAfter;
    bool companion = false;
};

// Many activations of two tool windows of this program, each waited for until the program
// has scanned for it, with the program's holdings before and after.
ChurnFigures Churn(const Options& options, const Program& program, const Sentinel& sentinel) {
    ChurnFigures c;
    SwitchPair pair(WS_EX_TOOLWINDOW);
    c.windows = TopLevelCount();
    const DWORD companionId = ChildOf(program.id);
    win32::Handle companion(
        companionId != 0
            ? ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, companionId)
            : nullptr);
    c.companion = static_cast<bool>(companion);
    // Warm-up: what the program makes once is made before the first count; it also tells how
    // many scans one switch causes.
    constexpr int kWarmUp = 100;
    int scans = sentinel.scans();
    for (int i = 0; i < kWarmUp; ++i) {
        pair.Switch();
        sentinel.WaitQuiet(30);
    }
    c.scansPerSwitch = std::max(1, (sentinel.scans() - scans + kWarmUp / 2) / kWarmUp);

    c.before = HoldingsOf(program.process.get(), program.id, options.unixPid);
    if (c.companion) {
        c.companionBefore = HoldingsOf(companion.get(), companionId, options.companionUnixPid);
    }
    scans = sentinel.scans();
    const double start = NowMs();
    // At most two switches in flight: the next comes once the program has scanned for the
    // one before the last.
    for (int i = 0; i < options.churn; ++i) {
        if (!sentinel.WaitFor(scans + c.scansPerSwitch * (i - 1), 2000)) {
            ++c.late;
        }
        pair.Switch();
    }
    sentinel.WaitQuiet(200);
    c.seconds = (NowMs() - start) / 1000.0;
    c.activations = options.churn;
    c.scans = sentinel.scans() - scans;
    c.after = HoldingsOf(program.process.get(), program.id, options.unixPid);
    if (c.companion) {
        c.companionAfter = HoldingsOf(companion.get(), companionId, options.companionUnixPid);
    }
    return c;
}

void PrintHoldings(const char* who, const Holdings& b, const Holdings& a) {
    Say("  %s\n", who);
    auto row = [](const char* name, double before, double after, const char* unit) {
        if (before < 0 || after < 0) {
            Say("    %-44s %10s %10s %10s\n", name, "-", "-", "-");
        } else {
            Say("    %-44s %10.0f %10.0f %+10.0f %s\n", name, before, after, after - before, unit);
        }
    };
    row("handles (GetProcessHandleCount)", b.handles, a.handles, "");
    row("handles (NtQuerySystemInformation)", b.handlesListed, a.handlesListed, "");
    row("GDI objects (GetGuiResources)", b.gdi, a.gdi, "");
    row("USER objects (GetGuiResources)", b.user, a.user, "");
    row("windows (top-level, child, message-only)", b.windows, a.windows, "");
    row("PrivateUsage (GetProcessMemoryInfo)", b.privateKb, a.privateKb, "KB");
    row("PagefileUsage (GetProcessMemoryInfo)", b.pagefileKb, a.pagefileKb, "KB");
    row("WorkingSetSize (GetProcessMemoryInfo)", b.workingSetKb, a.workingSetKb, "KB");
    row("Linux VmRSS", b.rssKb, a.rssKb, "KB");
    row("Linux RssAnon", b.rssAnonKb, a.rssAnonKb, "KB");
}

std::string SystemName() {
    using Fn = const char*(CDECL*)();
    const auto version = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    SYSTEM_INFO si{};
    ::GetNativeSystemInfo(&si);
    return (version != nullptr ? std::string("Wine ") + version() : std::string("Windows")) + ", " +
           std::to_string(si.dwNumberOfProcessors) + " processors";
}

int Run(const Options& options) {
    Program program;
    if (!WaitForDesktop() || !FindProgram(program, 30000)) {
        Say("no desktop, or the program is not running (no window of class %s)\n", kProgramClass);
        return 1;
    }
    Say("Activation benchmark on %s; this benchmark %d-bit\n", SystemName().c_str(),
        static_cast<int>(sizeof(void*) * 8));

    // One value under the register so that the listing lists something: the id of a thread
    // of this program that never has a frame, so it changes no decision.
    const std::string ownValue = std::to_string(::GetCurrentThreadId());
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kInstancesKey, ownValue, "0",
                              Module1::kInstancesView);

    std::vector<LevelFigures> levels;
    ChurnFigures churn;
    {
        Sentinel sentinel;
        if (options.churn > 0) {
            Settle(options.shellUnixPid, 60000);
            Say("... %d activations with %d top-level windows\n", options.churn, TopLevelCount());
            churn = Churn(options, program, sentinel);
        }
        TaskbarHidden hidden;
        Holders holders;
        for (size_t k = 0; k < options.levels.size(); ++k) {
            const int need = options.levels[k] - TopLevelCount();
            const double settleStart = NowMs();
            if (need > 0 && !holders.Add(need)) {
                Say("could not start the window holders\n");
                break;
            }
            const double settled = Settle(options.shellUnixPid, 240000);
            Say("... %d top-level windows (made and settled in %.0f s)\n", TopLevelCount(),
                (NowMs() - settleStart) / 1000.0);
            levels.push_back(MeasureLevel(options, program, sentinel));
            levels.back().settleSeconds = settled;
            levels.back().processes = holders.processes();
            levels.back().threads = holders.threads();
        }
        Say("... ending the window holders\n");
    }
    WINAPI32::DeleteRegString(WINAPI32::kLocalMachine, kInstancesKey, ownValue,
                              Module1::kInstancesView);

    Say("\nPop-up latency: activation of a new \"IEFrame\" window (ShowWindow SW_SHOW + "
        "SetForegroundWindow) to the arrival of WM_CLOSE, %d pop-ups per row; times in ms\n",
        options.popups);
    Say("  %7s %11s %7s %8s %8s %8s %6s %9s %9s %9s %8s %8s %7s\n", "windows", "procs/thrds",
        "closed", "median", "p95", "floor", "ratio", "calls", "handler", "EnumWin", "EnumKey",
        "trip", "scans");
    for (const LevelFigures& f : levels) {
        Say("  %7d %5d/%-5d %3d/%-3d %8.2f %8.2f %8.2f %6.2f %9.2f %9.2f %9.2f %8.3f %8.3f %7.2f"
            "%s\n",
            f.windows, f.processes, f.threads, f.closed, f.closed + f.missed, f.latencyMedian,
            f.latencyP95, f.pairedFloor, f.pairedFloor > 0 ? f.latencyMedian / f.pairedFloor : 0,
            f.callsMedian, f.handler, f.enumWinProc, f.enumKeyValues, f.roundTrip, f.scansPerPopup,
            f.paramsOne ? "" : "  (a WM_CLOSE had parameters other than 1, 1)");
    }
    Say(
        "  floor: one EnumWindows pass with GetClassNameA, GetWindowTextA and "
        "GetWindowThreadProcessId per window plus\n"
        "    RegOpenKeyExA/RegEnumValueA over the register, done here just before each pop-up "
        "(median); ratio = median / floor.\n"
        "  calls: time inside ShowWindow + SetForegroundWindow (WM_CLOSE cannot arrive "
        "sooner); WM_CLOSE was already queued when they\n"
        "    returned for %s pop-ups.\n"
        "  handler, EnumWin, EnumKey: the program's own code called here (its activation "
        "handler; one EnumWindows pass with its\n"
        "    EnumWinProc; its EnumKeyValues), medians of passes taken each beside a floor pass, "
        "whose median was %s ms.\n"
        "  trip: SendMessageTimeout(WM_NULL) round trip to the program's idle main window. "
        "scans: the program's scans per pop-up.\n",
        [&] {
            std::string s;
            for (const LevelFigures& f : levels) {
                s += (s.empty() ? "" : ", ") + std::to_string(f.waitingAfterCalls) + "/" +
                     std::to_string(f.closed + f.missed);
            }
            return s;
        }()
            .c_str(),
        [&] {
            std::string s;
            for (const LevelFigures& f : levels) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%s%.2f", s.empty() ? "" : ", ", f.floor);
                s += buf;
            }
            return s;
        }()
            .c_str());

    if (churn.activations > 0) {
        Say("\nThe program's holdings around %d activations of two tool windows of the "
            "benchmark, with %d top-level windows\n"
            "(%d scans by the program, %d per switch, %d waited for over 2 s; %.1f s); "
            "-: not reported by the system\n",
            churn.activations, churn.windows, churn.scans, churn.scansPerSwitch, churn.late,
            churn.seconds);
        Say("    %-44s %10s %10s %10s\n", "", "before", "after", "change");
        PrintHoldings("tamewin.exe", churn.before, churn.after);
        if (churn.companion) {
            PrintHoldings(
                "its companion (tamehookhost, hosting the hook library of the other "
                "bitness)",
                churn.companionBefore, churn.companionAfter);
        }
    }
    return 0;
}

int Idle() {
    RegisterClassOnce(kPlainClass, &PlainProc);
    win32::Window window(MakeWindow(kPlainClass, "Bench idle", 0, WS_OVERLAPPEDWINDOW, 0, 0));
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    return 0;
}

constexpr char kIconEndEvent[] = "Local\\TamewinBench.IconEnd";

// A program that shows nothing but one notification-area icon: the baseline of what the
// program costs others, since under Wine any icon slows other programs' windows.
int BareIcon() {
    RegisterClassOnce(kPlainClass, &PlainProc);
    win32::Window window(MakeWindow(kPlainClass, "Bench icon", 0, WS_OVERLAPPEDWINDOW, 0, 0));
    NOTIFYICONDATAA icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window.get();
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    ::lstrcpynA(icon.szTip, "bare icon", sizeof(icon.szTip));
    if (!::Shell_NotifyIconA(NIM_ADD, &icon)) {
        return 1;
    }
    // Until "activation_bench endicon" asks it to go, taking its icon with it.
    const win32::Handle end(::CreateEventA(nullptr, TRUE, FALSE, kIconEndEvent));
    const HANDLE waitFor = end.get();
    while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
    }
    ::Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}

int EndBareIcon() {
    const win32::Handle end(::OpenEventA(EVENT_MODIFY_STATE, FALSE, kIconEndEvent));
    return end && ::SetEvent(end.get()) ? 0 : 1;
}

// Raises the foreground event for a window of this program, as Windows 10 and 11 do at every
// activation: the program then gives up its hooks.
int RaiseForegroundEvent() {
    RegisterClassOnce(kPlainClass, &PlainProc);
    win32::Window window(MakeWindow(kPlainClass, "Bench event", 0, WS_OVERLAPPEDWINDOW, 0, 0));
    ::NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, window.get(), OBJID_WINDOW, CHILDID_SELF);
    Pump(500);
    return 0;
}

std::vector<DWORD> ParseList(const char* text) {
    std::vector<DWORD> values;
    char* end = nullptr;
    for (const char* p = text;; p = end + 1) {
        const unsigned long value = std::strtoul(p, &end, 10);
        if (end == p) {
            break;
        }
        values.push_back(static_cast<DWORD>(value));
        if (*end != ',') {
            break;
        }
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hold" && argc >= 7) {
        return Hold(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], argv[5],
                    static_cast<DWORD>(std::strtoul(argv[6], nullptr, 10)));
    }
    if (mode == "idle") {
        return Idle();
    }
    if (mode == "icon") {
        return BareIcon();
    }
    if (mode == "endicon") {
        return EndBareIcon();
    }
    if (mode == "raise") {
        return RaiseForegroundEvent();
    }
    if (mode == "wait") {
        Program program;
        if (!WaitForDesktop() || !FindProgram(program, 60000)) {
            return 1;
        }
        Say("%lu\n", static_cast<unsigned long>(program.id));
        return 0;
    }
    if (mode == "cost") {
        if (!WaitForDesktop()) {
            return 1;
        }
        Pump(500);
        const double create = CreateDestroyMs();
        const double switches = SwitchMs();
        Say("cost %.1f %.1f %.2f\n", create, switches, ShowMs());
        return 0;
    }
    if (mode == "run") {
        Options options;
        for (int i = 2; i + 1 < argc; i += 2) {
            const std::string name = argv[i];
            if (name == "--levels") {
                options.levels.clear();
                for (DWORD v : ParseList(argv[i + 1])) {
                    options.levels.push_back(static_cast<int>(v));
                }
                std::sort(options.levels.begin(), options.levels.end());
            } else if (name == "--popups") {
                options.popups = std::max(1, std::atoi(argv[i + 1]));
            } else if (name == "--churn") {
                options.churn = std::max(0, std::atoi(argv[i + 1]));
            } else if (name == "--unix-pids") {
                const std::vector<DWORD> pids = ParseList(argv[i + 1]);
                options.unixPid = pids.size() > 0 ? pids[0] : 0;
                options.companionUnixPid = pids.size() > 1 ? pids[1] : 0;
                options.shellUnixPid = pids.size() > 2 ? pids[2] : 0;
            }
        }
        return Run(options);
    }
    std::fprintf(stderr,
                 "usage: activation_bench run [--levels 100,1000,5000] [--popups 50] "
                 "[--churn 10000] [--unix-pids PROGRAM,COMPANION,SHELL]\n"
                 "       activation_bench cost | wait | idle | icon | endicon | raise\n");
    return 2;
}
