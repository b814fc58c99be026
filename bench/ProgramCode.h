// The program's own code, called in this process: its activation handler, its walk of the
// desktop for frames and its register listing, each timed, and one scan made of those two as
// the handler makes it. The one place that uses the program's state.
#pragma once

#include <string>

#include "state/ProgramState.h"
#include "ui/PopupRule.h"
#include "ui/frmmain.h"

namespace bench {

class ProgramCode {
  public:
    ProgramCode();
    ProgramCode(const ProgramCode&) = delete;
    ProgramCode& operator=(const ProgramCode&) = delete;

    double HandlerMs();
    double WalkMs();
    double EnumKeyValuesMs();
    // The walk, then the listing: the register is read since a frame beyond the program's
    // start (this process's sentinel) is always there.
    double ScanMs();

  private:
    const HWND desktop_ = ::GetDesktopWindow();  // the window the handler is told of
    state::ProgramState state_;
    state::ClassWindows frames_{ui::kFrameClass};  // the walk's own memory, as the handler keeps
    ui::frmmain form_{state_};  // not loaded: only its activation handler is used
};

// One value under the program's register, for the object's lifetime, so that the listing
// lists something: the id of a thread of this program that never has a frame, so it changes
// no decision.
class OwnRegisterValue {
  public:
    OwnRegisterValue();
    ~OwnRegisterValue();
    OwnRegisterValue(const OwnRegisterValue&) = delete;
    OwnRegisterValue& operator=(const OwnRegisterValue&) = delete;

  private:
    std::string name_;
};

}  // namespace bench
