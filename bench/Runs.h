// The measured runs: pop-ups at each level of the desktop's crowd, the churn of activations
// with the program's holdings around it, and the costs to this program.
#pragma once

#include <windows.h>

#include <vector>

#include "Program.h"

namespace bench {

struct Options {
    std::vector<int> levels{100, 1000, 5000};
    int popups = 50;
    int churn = 10000;
    DWORD unixPid = 0;
    DWORD companionUnixPid = 0;
    DWORD shellUnixPid = 0;
};

// Frames shown without activation: to the program's WM_CLOSE, or to the bare listener's callback.
struct QuietSeries {
    int shown = 0;
    int arrived = 0;
    double median = 0;
    double p95 = 0;
    double showMs = 0;       // median time inside ShowWindow
    double afterShowMs = 0;  // median time from its return to the arrival
    int beforeReturn = 0;    // WM_CLOSE queued, or the callback run, before ShowWindow returned
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
    double walk = 0;
    double enumKeyValues = 0;
    double pairedFloor = 0;
    double roundTrip = 0;
    double scansPerPopup = 0;
    QuietSeries quiet;
    QuietSeries bare;
    double quietScans = 0;  // the program's scans per frame of its own shown without activation
};

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
    bool companion = false;       // it ran at both counts
    bool companionEnded = false;  // it ran as the run began, and had ended by a count
};

struct RunFigures {
    bool showEvents = false;  // the system tells of a window shown without activation
    std::vector<LevelFigures> levels;
    ChurnFigures churn;
};

// The churn, then each level of windows in turn; progress lines as it goes.
RunFigures MeasureRun(const Options& options, const Program& program);

// Costs to this program of what runs beside it.
double CreateDestroyMs();
double SwitchMs();
double ShowMs();
double QuietShowMs();

}  // namespace bench
