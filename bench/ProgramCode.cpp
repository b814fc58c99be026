#include "ProgramCode.h"

#include "Timing.h"
#include "registry/WINAPI32.h"
#include "state/ProgramState.h"

namespace bench {

ProgramCode::ProgramCode() {
    // The first call: the trace looks for its viewer.
    form_.WinHook1_WindowActivated(desktop_);
}

double ProgramCode::HandlerMs() {
    return TimeOf([&] { form_.WinHook1_WindowActivated(desktop_); });
}

double ProgramCode::EnumWinProcMs() {
    return TimeOf([&] {
        state_.colWindows.clear();
        ::EnumWindows(&state::EnumWinProc, reinterpret_cast<LPARAM>(&state_.colWindows));
    });
}

double ProgramCode::EnumKeyValuesMs() {
    return TimeOf([] {
        WINAPI32::EnumKeyValues(WINAPI32::kLocalMachine, state::kInstancesKey,
                                state::kInstancesView);
    });
}

OwnRegisterValue::OwnRegisterValue() : name_(std::to_string(::GetCurrentThreadId())) {
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, state::kInstancesKey, name_, "0",
                              state::kInstancesView);
}

OwnRegisterValue::~OwnRegisterValue() {
    WINAPI32::DeleteRegString(WINAPI32::kLocalMachine, state::kInstancesKey, name_,
                              state::kInstancesView);
}

}  // namespace bench
