#include "Runs.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>

#include "Desktop.h"
#include "Frames.h"
#include "Holders.h"
#include "ProgramCode.h"
#include "Report.h"
#include "Timing.h"
#include "win32/Handles.h"

namespace bench {

namespace {

// Two visible windows of this thread, activated in turn. Tool windows: the taskbar has no
// buttons to update for them.
class SwitchPair {
  public:
    explicit SwitchPair(DWORD exStyle) {
        const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        a_.reset(MakePlainWindow("Bench A", exStyle, style, 40, 40));
        b_.reset(MakePlainWindow("Bench B", exStyle, style, 240, 40));
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

// The program's own code on the activation path, called here, each pass beside a floor pass
// (one scan through that code) so that both meet the same load; a median of each.
void MeasureProgramCode(ProgramCode& code, LevelFigures& f) {
    const struct {
        double LevelFigures::*figure;
        std::function<double()> pass;
    } series[] = {
        {&LevelFigures::floor, [&] { return code.ScanMs(); }},
        {&LevelFigures::handler, [&] { return code.HandlerMs(); }},
        {&LevelFigures::walk, [&] { return code.WalkMs(); }},
        {&LevelFigures::enumKeyValues, [&] { return code.EnumKeyValuesMs(); }},
    };
    std::vector<std::vector<double>> samples(std::size(series));
    const int passes = f.windows <= 1000 ? 31 : 11;
    for (int i = 0; i < passes; ++i) {
        for (size_t s = 0; s < samples.size(); ++s) {
            samples[s].push_back(series[s].pass());
        }
    }
    for (size_t s = 0; s < samples.size(); ++s) {
        f.*series[s].figure = Median(samples[s]);
    }
}

// The program's scans since the count was `before`, read once it has handled all that came
// before. Where the system raises show events, a frame shown without activation marks the
// point: the program judges it after every event queued ahead of its show. Then a wait until
// no scan has ended for `quietMs`.
int ScansSince(const Sentinel& sentinel, int before, bool showEvents, double quietMs) {
    if (showEvents) {
        const Popup marker(false);
    }
    sentinel.WaitQuiet(quietMs);
    return sentinel.scans() - before;
}

// Whether the system tells a listener of a window shown without activation (Wine 8 does not).
bool ShowEventsRaised() {
    ShowListener listener;
    return Popup(listener).result().closed;
}

// Frames shown without activation, the bare listener's and the program's in turn, each once
// the program has been quiet for longer than a scan takes.
void MeasureQuiet(const Options& options, const Sentinel& sentinel, LevelFigures& f) {
    QuietSeries* const series[] = {&f.bare, &f.quiet};
    std::vector<double> latencies[2], calls[2], afterShow[2];
    const double quiet = std::max(30.0, 1.2 * f.handler);
    const int scansBefore = sentinel.scans();
    for (int i = 0; i < options.popups; ++i) {
        for (int s = 0; s < 2; ++s) {
            sentinel.WaitQuiet(quiet);
            PopupResult r;
            if (s == 0) {
                ShowListener listener;
                r = Popup(listener).result();
            } else {
                r = Popup(false).result();
                f.paramsOne = f.paramsOne && r.paramsOne;
            }
            QuietSeries& q = *series[s];
            ++q.shown;
            if (r.closed) {
                ++q.arrived;
                latencies[s].push_back(r.latencyMs);
                afterShow[s].push_back(r.latencyMs - r.callsMs);
            }
            calls[s].push_back(r.callsMs);
            q.beforeReturn += r.waitingAfterCalls ? 1 : 0;
        }
    }
    f.quietScans =
        static_cast<double>(ScansSince(sentinel, scansBefore, true, quiet)) / options.popups;
    for (int s = 0; s < 2; ++s) {
        series[s]->median = Median(latencies[s]);
        series[s]->p95 = Percentile(latencies[s], 0.95);
        series[s]->showMs = Median(calls[s]);
        series[s]->afterShowMs = Median(afterShow[s]);
    }
}

LevelFigures MeasureLevel(const Options& options, const Program& program, const Sentinel& sentinel,
                          bool showEvents) {
    LevelFigures f;
    f.windows = TopLevelCount();
    ProgramCode code;
    MeasureProgramCode(code, f);

    sentinel.WaitQuiet(std::max(50.0, 3 * f.handler));
    f.roundTrip = MedianOf(100, 0, [&] { return RoundTripMs(program.window); });

    // The pop-ups, each once the program has been quiet for longer than a scan takes, right
    // after a floor pass. Each goes once the next is active, so that its end causes no scan.
    std::vector<double> latencies, calls, pairedFloors;
    const int scansBefore = sentinel.scans();
    double quiet = std::max(30.0, 1.2 * f.handler);
    std::unique_ptr<Popup> previous;
    for (int i = 0; i < options.popups; ++i) {
        sentinel.WaitQuiet(quiet);
        pairedFloors.push_back(code.ScanMs());
        auto popup = std::make_unique<Popup>(true);
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
    f.scansPerPopup =
        static_cast<double>(ScansSince(sentinel, scansBefore, showEvents, quiet)) / options.popups;
    previous.reset();  // the active one: its end hands activation on
    sentinel.WaitQuiet(quiet);
    f.closed = static_cast<int>(latencies.size());
    f.latencyMedian = Median(latencies);
    f.latencyP95 = Percentile(latencies, 0.95);
    f.callsMedian = Median(calls);
    f.pairedFloor = Median(pairedFloors);
    if (showEvents) {
        MeasureQuiet(options, sentinel, f);
    }
    return f;
}

// Many activations of two tool windows of this program, each waited for until the program
// has scanned for it, with the program's holdings before and after. Its companion's too (the
// process `companionId`, opened as the run began; null: none), while it runs: the program
// ends it with the hooks once a foreground event has come.
ChurnFigures Churn(const Options& options, const Program& program, const Sentinel& sentinel,
                   DWORD companionId, HANDLE companion) {
    const auto running = [&] {
        return companion != nullptr && ::WaitForSingleObject(companion, 0) == WAIT_TIMEOUT;
    };
    ChurnFigures c;
    SwitchPair pair(WS_EX_TOOLWINDOW);
    c.windows = TopLevelCount();
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
    c.companion = running();
    if (c.companion) {
        c.companionBefore = HoldingsOf(companion, companionId, options.companionUnixPid);
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
    c.companion = c.companion && running();
    if (c.companion) {
        c.companionAfter = HoldingsOf(companion, companionId, options.companionUnixPid);
    }
    c.companionEnded = companion != nullptr && !c.companion;
    return c;
}

}  // namespace

RunFigures MeasureRun(const Options& options, const Program& program) {
    // The companion first: this process's windows, shown, raise foreground events.
    const DWORD companionId = ChildOf(program.id);
    const win32::Handle companion(
        companionId != 0 ? ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE,
                                         FALSE, companionId)
                         : nullptr);
    RunFigures figures;
    OwnRegisterValue own;
    Sentinel sentinel;
    if (options.churn > 0) {
        Settle(options.shellUnixPid, 60000);
        Say("... %d activations with %d top-level windows\n", options.churn, TopLevelCount());
        figures.churn = Churn(options, program, sentinel, companionId, companion.get());
    }
    figures.showEvents = ShowEventsRaised();
    TaskbarHidden hidden;
    Holders holders;
    for (const int level : options.levels) {
        const int need = level - TopLevelCount();
        const double settleStart = NowMs();
        if (need > 0 && !holders.Add(need)) {
            Say("could not start the window holders\n");
            break;
        }
        const double settled = Settle(options.shellUnixPid, 240000);
        Say("... %d top-level windows (made and settled in %.0f s)\n", TopLevelCount(),
            (NowMs() - settleStart) / 1000.0);
        LevelFigures& f = figures.levels.emplace_back(
            MeasureLevel(options, program, sentinel, figures.showEvents));
        f.settleSeconds = settled;
        f.processes = holders.processes();
        f.threads = holders.threads();
    }
    Say("... ending the window holders\n");
    return figures;
}

// Creating and destroying 1000 hidden top-level windows; median of three rounds.
double CreateDestroyMs() {
    RegisterClassOnce(kPlainClass, &PlainProc);
    return MedianOf(3, 50, [] {
        return TimeOf([] {
            std::vector<win32::Window> windows;
            for (int i = 0; i < 1000; ++i) {
                windows.emplace_back(
                    MakeWindow(kPlainClass, "Bench window", 0, WS_OVERLAPPEDWINDOW, 0, 0));
            }
        });
    });
}

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
// Each goes just before the next is made, as its messages have been handled.
double ShowMs() {
    win32::Window shown;
    return MedianOf(30, 30, [&] {
        shown.reset();
        shown.reset(MakePlainWindow("Bench shown", 0, WS_OVERLAPPEDWINDOW, 200, 150));
        return TimeOf([&] {
            ::ShowWindow(shown.get(), SW_SHOW);
            ::SetForegroundWindow(shown.get());
        });
    });
}

// Creating 150 top-level windows, each shown with SW_SHOWNOACTIVATE and destroyed in turn;
// median of three rounds.
double QuietShowMs() {
    RegisterClassOnce(kPlainClass, &PlainProc);
    return MedianOf(3, 50, [] {
        return TimeOf([] {
            for (int i = 0; i < 150; ++i) {
                const win32::Window window(
                    MakeWindow(kPlainClass, "Bench quiet", 0, WS_OVERLAPPEDWINDOW, 200, 150));
                ::ShowWindow(window.get(), SW_SHOWNOACTIVATE);
            }
        });
    });
}

}  // namespace bench
