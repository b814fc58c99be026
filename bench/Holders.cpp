#include "Holders.h"

#include <atomic>
#include <thread>

#include "Desktop.h"

namespace bench {

namespace {
constexpr int kHolderProcesses = 4;
constexpr int kHolderThreads = 3;
}  // namespace

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
    Countdown created(threads);
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
            created.CountDown();
            MSG msg;
            while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
                ::DispatchMessageA(&msg);
            }
        });
    }
    created.Wait();
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

Holders::Holders()
    : tag_("Local\\TamewinBench." + std::to_string(::GetCurrentProcessId())),
      release_(::CreateEventA(nullptr, TRUE, FALSE, (tag_ + ".Release").c_str())) {}

Holders::~Holders() {
    ::SetEvent(release_.get());
    for (auto& p : processes_) {
        if (::WaitForSingleObject(p.get(), 60000) != WAIT_OBJECT_0) {
            ::TerminateProcess(p.get(), 1);
        }
    }
}

bool Holders::Add(int windows) {
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
        if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi)) {
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

int Holders::threads() const {
    return processes() * kHolderThreads;
}

}  // namespace bench
