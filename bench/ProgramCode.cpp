#include "ProgramCode.h"

#include "Timing.h"
#include "registry/WINAPI32.h"
#include "startup/Module1.h"

namespace bench {

ProgramCode::ProgramCode() {
    // The first call: the trace looks for its viewer.
    form_.WinHook1_WindowActivated(desktop_);
}

ProgramCode::~ProgramCode() {
    Module1::colWindows.clear();
    Module1::colInstances.reset();
}

double ProgramCode::HandlerMs() {
    return TimeOf([&] { form_.WinHook1_WindowActivated(desktop_); });
}

double ProgramCode::EnumWinProcMs() {
    return TimeOf([] {
        Module1::colWindows.clear();
        ::EnumWindows(&Module1::EnumWinProc, 0);
    });
}

double ProgramCode::EnumKeyValuesMs() {
    return TimeOf([] {
        WINAPI32::EnumKeyValues(WINAPI32::kLocalMachine, Module1::kInstancesKey,
                                Module1::kInstancesView);
    });
}

OwnRegisterValue::OwnRegisterValue() : name_(std::to_string(::GetCurrentThreadId())) {
    WINAPI32::RegCreateString(WINAPI32::kLocalMachine, Module1::kInstancesKey, name_, "0",
                              Module1::kInstancesView);
}

OwnRegisterValue::~OwnRegisterValue() {
    WINAPI32::DeleteRegString(WINAPI32::kLocalMachine, Module1::kInstancesKey, name_,
                              Module1::kInstancesView);
}

}  // namespace bench
