// The program's own code, called in this process: its activation handler, its snapshot pass
// and its register listing, each timed. The one place that uses the program's state.
#pragma once

#include <string>

#include "ui/frmmain.h"

namespace bench {

class ProgramCode {
  public:
    ProgramCode();
    ProgramCode(const ProgramCode&) = delete;
    ProgramCode& operator=(const ProgramCode&) = delete;

    double HandlerMs();
    double EnumWinProcMs();
    double EnumKeyValuesMs();

  private:
    const HWND desktop_ = ::GetDesktopWindow();  // the window the handler is told of
    state::ProgramState state_;
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
