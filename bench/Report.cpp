#include "Report.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace bench {

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
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

namespace {

// One figure of every level, joined with ", ".
template <class Figure>
std::string EveryLevel(const std::vector<LevelFigures>& levels, Figure figure) {
    std::string s;
    for (const LevelFigures& f : levels) {
        s += (s.empty() ? "" : ", ") + figure(f);
    }
    return s;
}

void PrintHoldings(const char* who, const Holdings& before, const Holdings& after) {
    static const struct {
        const char* name;
        double Holdings::*figure;
        const char* unit;
    } kRows[] = {
        {"handles (GetProcessHandleCount)", &Holdings::handles, ""},
        {"handles (NtQuerySystemInformation)", &Holdings::handlesListed, ""},
        {"GDI objects (GetGuiResources)", &Holdings::gdi, ""},
        {"USER objects (GetGuiResources)", &Holdings::user, ""},
        {"windows (top-level, child, message-only)", &Holdings::windows, ""},
        {"PrivateUsage (GetProcessMemoryInfo)", &Holdings::privateKb, "KB"},
        {"PagefileUsage (GetProcessMemoryInfo)", &Holdings::pagefileKb, "KB"},
        {"WorkingSetSize (GetProcessMemoryInfo)", &Holdings::workingSetKb, "KB"},
        {"Linux VmRSS", &Holdings::rssKb, "KB"},
        {"Linux RssAnon", &Holdings::rssAnonKb, "KB"},
    };
    Say("  %s\n", who);
    for (const auto& row : kRows) {
        const double b = before.*row.figure;
        const double a = after.*row.figure;
        if (b < 0 || a < 0) {
            Say("    %-44s %10s %10s %10s\n", row.name, "-", "-", "-");
        } else {
            Say("    %-44s %10.0f %10.0f %+10.0f %s\n", row.name, b, a, a - b, row.unit);
        }
    }
}

}  // namespace

void PrintLevels(int popups, const std::vector<LevelFigures>& levels) {
    Say("\nPop-up latency: activation of a new \"IEFrame\" window (ShowWindow SW_SHOW + "
        "SetForegroundWindow) to the arrival of WM_CLOSE, %d pop-ups per row; times in ms\n",
        popups);
    Say("  %7s %11s %7s %8s %8s %8s %6s %9s %9s %9s %8s %8s %7s\n", "windows", "procs/thrds",
        "closed", "median", "p95", "floor", "ratio", "calls", "handler", "walk", "EnumKey", "trip",
        "scans");
    for (const LevelFigures& f : levels) {
        Say("  %7d %5d/%-5d %3d/%-3d %8.2f %8.2f %8.2f %6.2f %9.2f %9.2f %9.2f %8.3f %8.3f %7.2f"
            "%s\n",
            f.windows, f.processes, f.threads, f.closed, f.closed + f.missed, f.latencyMedian,
            f.latencyP95, f.pairedFloor, f.pairedFloor > 0 ? f.latencyMedian / f.pairedFloor : 0,
            f.callsMedian, f.handler, f.walk, f.enumKeyValues, f.roundTrip, f.scansPerPopup,
            f.paramsOne ? "" : "  (a WM_CLOSE had parameters other than 1, 1)");
    }
    const std::string waiting = EveryLevel(levels, [](const LevelFigures& f) {
        return std::to_string(f.waitingAfterCalls) + "/" + std::to_string(f.closed + f.missed);
    });
    const std::string floors = EveryLevel(levels, [](const LevelFigures& f) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f", f.floor);
        return std::string(buf);
    });
    Say("  floor: one scan through the program's own code (its walk of the desktop for \"IEFrame\" "
        "windows, then its listing of\n"
        "    the register), done here just before each pop-up (median); ratio = median / floor.\n"
        "  calls: time inside ShowWindow + SetForegroundWindow (WM_CLOSE cannot arrive "
        "sooner); WM_CLOSE was already queued when they\n"
        "    returned for %s pop-ups.\n"
        "  handler, walk, EnumKey: the program's own code called here (its activation "
        "handler; its walk alone; its EnumKeyValues),\n"
        "    medians of passes taken each beside a floor pass, whose median was %s ms.\n"
        "  trip: SendMessageTimeout(WM_NULL) round trip to the program's idle main window. "
        "scans: the program's scans per pop-up.\n",
        waiting.c_str(), floors.c_str());
}

void PrintQuiet(bool showEvents, int popups, const std::vector<LevelFigures>& levels) {
    if (!showEvents) {
        Say("\nFrames shown without activation: not measured; the system told a listener of no "
            "window shown that way.\n");
        return;
    }
    Say("\nFrames shown without activation: a new \"IEFrame\" window (ShowWindow "
        "SW_SHOWNOACTIVATE) to the arrival of WM_CLOSE,\n"
        "against a bare listener's callback; %d of each per row, alternated; times in ms\n",
        popups);
    Say("  %7s %7s %8s %8s %8s %8s  %7s %8s %8s %8s %6s %7s\n", "windows", "closed", "median",
        "p95", "show", "after", "called", "bare", "p95", "show", "ratio", "scans");
    for (const LevelFigures& f : levels) {
        const QuietSeries& q = f.quiet;
        const QuietSeries& b = f.bare;
        Say("  %7d %3d/%-3d %8.2f %8.2f %8.2f %8.2f  %3d/%-3d %8.2f %8.2f %8.2f %6.2f %7.2f\n",
            f.windows, q.arrived, q.shown, q.median, q.p95, q.showMs, q.afterShowMs, b.arrived,
            b.shown, b.median, b.p95, b.showMs, b.median > 0 ? q.median / b.median : 0,
            f.quietScans);
    }
    const std::string queued = EveryLevel(levels, [](const LevelFigures& f) {
        return std::to_string(f.quiet.beforeReturn) + "/" + std::to_string(f.quiet.shown);
    });
    const std::string called = EveryLevel(levels, [](const LevelFigures& f) {
        return std::to_string(f.bare.beforeReturn) + "/" + std::to_string(f.bare.shown);
    });
    Say("  bare: an out-of-context EVENT_OBJECT_SHOW listener (SetWinEventHook, "
        "WINEVENT_OUTOFCONTEXT) of this process, on a thread\n"
        "    with a message loop: the show call to its callback, for a window of the same kind "
        "(a fresh thread, the same styles) of\n"
        "    a class the program lets pass; ratio = median / bare median.\n"
        "  show: time inside ShowWindow (the frame's thread sees no WM_CLOSE sooner); after: from "
        "its return to WM_CLOSE (median).\n"
        "    WM_CLOSE was already queued as it returned for %s frames, the listener's callback had "
        "run for %s.\n"
        "  scans: the program's scans per frame of its own shown this way.\n",
        queued.c_str(), called.c_str());
}

void PrintChurn(const ChurnFigures& churn) {
    if (churn.activations == 0) {
        return;
    }
    Say("\nThe program's holdings around %d activations of two tool windows of the "
        "benchmark, with %d top-level windows\n"
        "(%d scans by the program, %d per switch, %d waited for over 2 s; %.1f s); "
        "-: not reported by the system\n",
        churn.activations, churn.windows, churn.scans, churn.scansPerSwitch, churn.late,
        churn.seconds);
    Say("    %-44s %10s %10s %10s\n", "", "before", "after", "change");
    PrintHoldings("tamewin.exe", churn.before, churn.after);
    const char* companion =
        "its companion (tamehookhost, hosting the hook library of the other bitness)";
    if (churn.companion) {
        PrintHoldings(companion, churn.companionBefore, churn.companionAfter);
    } else if (churn.companionEnded) {
        Say("  %s:\n    ran as the benchmark began, and had ended by the counts (the program ends "
            "it with its hooks once a\n    foreground event has come)\n",
            companion);
    }
}

}  // namespace bench
