#include "ProgramCode.h"

#include "Timing.h"
#include "registry/WINAPI32.h"

namespace bench {

ProgramCode::ProgramCode() {
    // The first call: the trace looks for its viewer.
    form_.WinHook1_WindowActivated(desktop_);
}

double ProgramCode::HandlerMs() {
    return TimeOf([&] { form_.WinHook1_WindowActivated(desktop_); });
}

double ProgramCode::WalkMs() {
    return TimeOf([&] {
        state_.colWindows.clear();
        frames_.Append(state_.colWindows);
    });
}

double ProgramCode::EnumKeyValuesMs() {
    return TimeOf([] {
        WINAPI32::EnumKeyValues(WINAPI32::kLocalMachine, state::kInstancesKey,
                                state::kInstancesView);
    });
}

double ProgramCode::ScanMs() {
    return WalkMs() + EnumKeyValuesMs();
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
