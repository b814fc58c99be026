// The application object: builds everything at start, tears it down at exit.
#pragma once

#include <windows.h>

#include <memory>

#include "state/ProgramState.h"
#include "win32/ModulePath.h"

namespace ui {
class frmmain;
}

class clstamewin {
  public:
    clstamewin();  // the whole start-up
    ~clstamewin();
    clstamewin(const clstamewin&) = delete;
    clstamewin& operator=(const clstamewin&) = delete;

    // Frame register: the browser frames open at start, kept in the state's colFrames and in
    // the Instances registry key, under the root ChooseInstancesRoot picks.
    void ChooseInstancesRoot();
    void ClearInstances();
    void RegisterOpenFrames();

    // The key of the browser's toolbar button, under HKEY_LOCAL_MACHINE.
    static constexpr char kToolbarKey[] =
        "Software\\Microsoft\\Internet "
        "Explorer\\Extensions\\{CFF32220-C089-11d3-9A6C-00104BD4D490}";

    // The browser's toolbar button and Tools-menu entry that start the program. A button of
    // a program file that no longer exists is given this program's path; the paths are left
    // out when the program's own cannot be read whole. In both views of the machine's key; a
    // view that refuses this user is left as it is.
    void RegisterToolbarButton();
    void RegisterToolbarButton(REGSAM view);

    // The orderly way out, run once however the program ends: unloads the form (blocking off,
    // the icon removed, the window gone) and releases it, then deletes the start's register
    // values. The process's mutex outlives it.
    void Shutdown();
    // The main form's ExitForm event: shuts down and ends the process.
    void NewMain_ExitForm();

    // The call that reads the program's path; tests put one in its place to give the program
    // a path the test system could not start it from.
    static win32::ModuleFileNameFn ModuleFileName;

    // The program's lists and register root; declared before the form, which holds it.
    state::ProgramState State;
    std::unique_ptr<ui::frmmain> NewMain;
};
