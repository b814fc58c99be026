#include "startup/clstamewin.h"

#include "diagnostics/RuntimeError.h"
#include "registry/WINAPI32.h"
#include "startup/Module1.h"
#include "ui/frmmain.h"

using diagnostics::TryStep;
using namespace Module1;

namespace {

const std::string kInstancesKey = "Software\\Corvanta\\VIVurazoru\\Instances";
const std::string kToolbarKey =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{CFF32220-C089-11d3-9A6C-00104BD4D490}";

// The program's path with the extension written ".EXE", as the browser's button runs it.
std::string ProgramExePath() {
    char path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n < MAX_PATH ? n : 0);
    size_t slash = full.find_last_of('\\');
    size_t dot = full.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        full.resize(dot);
    }
    return full + ".EXE";
}

}  // namespace

clstamewin::clstamewin() {
    // Each step is contained: one that fails leaves the next ones to run, so the program never
    // ends up with the icon showing blocking on while the hooks are off.
    NewMain = std::make_unique<ui::frmmain>();
    NewMain->ExitForm = [this] { NewMain_ExitForm(); };
    colWindows.clear();
    colFrames.clear();
    TryStep([&] { NewMain->Load(); });
    TryStep([&] { NewMain->ZTray1.SetIconVisible(true); });
    TryStep([&] { RegisterToolbarButton(); });
    TryStep([&] { ClearInstances(); });
    TryStep([&] { RegisterOpenFrames(); });
    TryStep([&] { NewMain->WinHook1.SetHookActive(true); });
    TryStep([&] { NewMain->WinHook2.SetHookActive(true); });
    if (NewMain->WinHook1.HookActive()) {
        TryStep([&] { NewMain->ZTray1.SetToolTipText("IE Tamewin Enabled"); });
    } else {
        // The system refused the hook: say so rather than show blocking on.
        TryStep([&] { NewMain->WinHook2.SetHookActive(false); });
        NewMain->PresentBlocking(false, "IE Tamewin Disabled");
    }
}

clstamewin::~clstamewin() = default;

void clstamewin::ClearInstances() {
    TryStep([&] { colInstances = WINAPI32::EnumKeyValues(kInstancesKey); });
    if (colInstances) {
        for (const std::string& name : *colInstances) {
            // Only names that read as numbers are thread ids of an earlier run.
            TryStep([&] { RemoveInstance(diagnostics::CLng(name)); });
        }
    }
    colInstances.reset();
}

void clstamewin::RegisterOpenFrames() {
    ::EnumWindows(&EnumWinProc, 0);
    for (const WindowRecord& record : colWindows) {
        if (record.ClassName == "IEFrame") {
            colFrames.push_back(record.ThreadId);
            AddInstance(record.ThreadId);
        }
    }
}

void clstamewin::AddInstance(int32_t threadId) {
    // Creates the value when it is missing; a value already there (a second frame of the
    // same thread) stays as it is.
    WINAPI32::regstring(WINAPI32::kLocalMachine, kInstancesKey, std::to_string(threadId), "0");
}

void clstamewin::RemoveInstance(int32_t threadId) {
    WINAPI32::DeleteRegString(WINAPI32::kLocalMachine, kInstancesKey, std::to_string(threadId));
}

void clstamewin::RegisterToolbarButton() {
    const std::pair<const char*, std::string> values[] = {
        {"Default Visible", "Yes"},
        {"ButtonText", "Ie Tamewin"},
        {"Exec", ProgramExePath()},
        {"HotIcon", ProgramExePath() + ",104"},
        {"Icon", ProgramExePath() + ",103"},
        {"ToolTip", "Ie Tamewin"},
        {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
        {"MenuText", "Ie Tamewin"},
    };
    for (const auto& [name, data] : values) {
        WINAPI32::regstring(WINAPI32::kLocalMachine, kToolbarKey, name, data);
    }
}

void clstamewin::Teardown() {
    for (int32_t threadId : colFrames) {
        TryStep([&] { RemoveInstance(threadId); });
    }
    colInstances.reset();
    colWindows.clear();
    if (NewMain) {
        TryStep([&] { NewMain->WinHook1.SetHookActive(false); });
        TryStep([&] { NewMain->WinHook2.SetHookActive(false); });
        TryStep([&] { NewMain->Unload(); });
        NewMain.reset();
    }
}

void clstamewin::NewMain_ExitForm() {
    TryStep([&] { NewMain->ZTray1.SetIconVisible(false); });
    TryStep([&] { NewMain->Unload(); });
    TryStep([&] { NewMain.reset(); });
    Teardown();
    // The exit comes from inside the form's own message handling: end here, without
    // returning into code of the form just released.
    ::ExitProcess(0);
}
