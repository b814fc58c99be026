// Activation benchmark, run beside the real program by run_activation_bench.sh. Prints:
//  - for 100, 1000 and 5000 top-level windows on the desktop (hidden windows held by child
//    copies of this program over several processes and threads): the time from activating a
//    new "IEFrame" window, on a fresh thread, to the arrival of the program's WM_CLOSE, against
//    the floor, one scan through the program's own code here, and that code's parts timed;
//    the time from showing one without activation to its WM_CLOSE, against a bare listener's
//    callback for a window shown so;
//  - the program's holdings (handles, GDI and USER objects, memory) before and after many
//    activations;
//  - with `cost`: what a running program's hooks cost this one (window creation, activation,
//    windows shown without activation);
//  - with `listen`: the program's scans and the desktop's show events by kind meanwhile.
//
//   activation_bench run [--levels 100,1000,5000] [--popups 50] [--churn 10000]
//                        [--unix-pids PROGRAM,COMPANION,SHELL]
//   activation_bench cost      prints "cost CREATE_MS SWITCH_MS SHOW_MS QUIET_MS"
//   activation_bench listen    until "end listen"; prints "listening X Y", then
//                              "listen SCANS WINDOWS CARETS CURSORS OTHERS TYPED"
//   activation_bench icon      a bare notification-area icon, until "end icon"
//   activation_bench wait      waits for the desktop and the program; prints its process id
//   activation_bench idle      one window and a GetMessage loop, nothing else (a reference)
//   activation_bench hold WINDOWS THREADS READY RELEASE PARENT   (started by run)
//
// Nothing here asserts: figures are printed for a reader.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Desktop.h"
#include "Frames.h"
#include "Holders.h"
#include "Program.h"
#include "Report.h"
#include "Runs.h"
#include "Timing.h"
#include "ui/frmmain.h"
#include "win32/Handles.h"

namespace bench {
namespace {

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

Options ParseOptions(int argc, char** argv) {
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
    return options;
}

int Run(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    Program program;
    if (!WaitForDesktop() || !FindProgram(program, 30000)) {
        Say("no desktop, or the program is not running (no window of class %s)\n",
            ui::frmmain::kClassName);
        return 1;
    }
    Say("Activation benchmark on %s; this benchmark %d-bit\n", SystemName().c_str(),
        static_cast<int>(sizeof(void*) * 8));
    const RunFigures figures = MeasureRun(options, program);
    PrintLevels(options.popups, figures.levels);
    PrintQuiet(figures.showEvents, options.popups, figures.levels);
    PrintChurn(figures.churn);
    return 0;
}

int Cost(int, char**) {
    if (!WaitForDesktop()) {
        return 1;
    }
    Pump(500);
    const double create = CreateDestroyMs();
    const double switches = SwitchMs();
    const double show = ShowMs();
    Say("cost %.1f %.1f %.2f %.1f\n", create, switches, show, QuietShowMs());
    return 0;
}

int Wait(int, char**) {
    Program program;
    if (!WaitForDesktop() || !FindProgram(program, 60000)) {
        return 1;
    }
    Say("%lu\n", static_cast<unsigned long>(program.id));
    return 0;
}

int Idle(int, char**) {
    win32::Window window(MakePlainWindow("Bench idle", 0, WS_OVERLAPPEDWINDOW, 0, 0));
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    return 0;
}

// The event that "activation_bench end NAME" sets.
win32::Handle EndEvent(const std::string& name, DWORD access = 0) {
    const std::string full = "Local\\TamewinBench.End." + name;
    return win32::Handle(access == 0 ? ::CreateEventA(nullptr, TRUE, FALSE, full.c_str())
                                     : ::OpenEventA(access, FALSE, full.c_str()));
}

// Handles this thread's messages until the event is set.
void PumpUntil(const win32::Handle& event) {
    const HANDLE waitFor = event.get();
    while (::MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        Pump(0);
    }
}

// A program that shows nothing but one notification-area icon: the baseline of what the
// program costs others, since under Wine any icon slows other programs' windows.
int BareIcon(int, char**) {
    win32::Window window(MakePlainWindow("Bench icon", 0, WS_OVERLAPPEDWINDOW, 0, 0));
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
    PumpUntil(EndEvent("icon"));  // taking its icon with it
    ::Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}

// Notepad's edit control, or null.
HWND NotepadEdit() {
    const HWND notepad = ::FindWindowA("Notepad", nullptr);
    return notepad != nullptr ? ::FindWindowExA(notepad, nullptr, "Edit", nullptr) : nullptr;
}

// While a user works in another program: counts the program's scans and the show events of
// the desktop by kind. Tells where notepad's edit control is (its centre, or the screen's),
// and at the end how long its text has grown (-1: no notepad).
int Listen(int, char**) {
    if (!WaitForDesktop()) {
        return 1;
    }
    const Sentinel sentinel;
    const ShowListener listener;
    const win32::Handle end = EndEvent("listen");
    RECT r{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (const HWND edit = NotepadEdit()) {
        ::GetWindowRect(edit, &r);
    }
    Say("listening %ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PumpUntil(end);
    // Asked, not GetWindowTextLength, which for another process's window answers from its
    // caption.
    DWORD_PTR typed = static_cast<DWORD_PTR>(-1);
    if (const HWND edit = NotepadEdit()) {
        ::SendMessageTimeoutA(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 5000, &typed);
    }
    Say("listen %d %d %d %d %d %d\n", sentinel.scans(), listener.windows(), listener.carets(),
        listener.cursors(), listener.others(), static_cast<int>(typed));
    return 0;
}

int End(int, char** argv) {
    const win32::Handle end = EndEvent(argv[2], EVENT_MODIFY_STATE);
    return end && ::SetEvent(end.get()) ? 0 : 1;
}

// Raises the foreground event for a window of this program, as Windows 10 and 11 do at every
// activation: the program then gives up its hooks.
int RaiseForegroundEvent(int, char**) {
    win32::Window window(MakePlainWindow("Bench event", 0, WS_OVERLAPPEDWINDOW, 0, 0));
    ::NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, window.get(), OBJID_WINDOW, CHILDID_SELF);
    Pump(500);
    return 0;
}

int HoldWindows(int, char** argv) {
    return Hold(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], argv[5],
                static_cast<DWORD>(std::strtoul(argv[6], nullptr, 10)));
}

struct Mode {
    const char* name;
    int argc;  // at least
    int (*run)(int argc, char** argv);
};

constexpr Mode kModes[] = {
    {"hold", 7, &HoldWindows}, {"idle", 2, &Idle}, {"icon", 2, &BareIcon},
    {"listen", 2, &Listen},    {"end", 3, &End},   {"raise", 2, &RaiseForegroundEvent},
    {"wait", 2, &Wait},        {"cost", 2, &Cost}, {"run", 2, &Run},
};

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "";
    for (const bench::Mode& mode : bench::kModes) {
        if (name == mode.name && argc >= mode.argc) {
            return mode.run(argc, argv);
        }
    }
    std::fprintf(
        stderr,
        "usage: activation_bench run [--levels 100,1000,5000] [--popups 50] "
        "[--churn 10000] [--unix-pids PROGRAM,COMPANION,SHELL]\n"
        "       activation_bench cost | wait | idle | icon | listen | raise | end icon|listen\n");
    return 2;
}
