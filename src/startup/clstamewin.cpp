#include "startup/clstamewin.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "diagnostics/RuntimeError.h"
#include "diagnostics/modTrace.h"
#include "registry/WINAPI32.h"
#include "ui/frmmain.h"
#include "win32/ModulePath.h"
#include "win32/Text.h"

using diagnostics::TryStep;

namespace {

constexpr char kModule[] = "clstamewin";
// The program's path with the extension written ".EXE", as the browser's button runs it.
std::optional<std::string> ProgramExePath() {
    std::optional<std::string> full = win32::ModulePath(nullptr, clstamewin::ModuleFileName);
    if (!full) {
        return std::nullopt;
    }
    size_t slash = full->find_last_of('\\');
    size_t dot = full->find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        full->resize(dot);
    }
    return *full + ".EXE";
}

bool FileExists(const std::string& path) {
    // Past MAX_PATH an absolute path is only found with the \\?\ prefix.
    const bool absolute = path.size() > 2 && path[1] == ':' && path[2] == '\\';
    const std::string name = path.size() >= MAX_PATH && absolute ? "\\\\?\\" + path : path;
    const DWORD attributes = ::GetFileAttributesW(win32::Wide(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

win32::ModuleFileNameFn clstamewin::ModuleFileName = &::GetModuleFileNameW;

clstamewin::clstamewin() {
    // Each step is contained: one that fails leaves the next ones to run, so the program never
    // ends up with the icon showing blocking on while the hooks are off.
    NewMain = std::make_unique<ui::frmmain>(State);
    NewMain->ExitForm = [this] { NewMain_ExitForm(); };
    TryStep("start: load the form", [&] { NewMain->Load(); });
    NewMain->ZTray1.SetIconVisible(true);
    TryStep("start: RegisterToolbarButton", [&] { RegisterToolbarButton(); });
    TryStep("start: ChooseInstancesRoot", [&] { ChooseInstancesRoot(); });
    TryStep("start: ClearInstances", [&] { ClearInstances(); });
    TryStep("start: RegisterOpenFrames", [&] { RegisterOpenFrames(); });
    NewMain->SetBlocking(ui::frmmain::Blocking::On, ui::frmmain::kToolTipStart);
}

clstamewin::~clstamewin() = default;

void clstamewin::ChooseInstancesRoot() {
    State.InstancesRoot = WINAPI32::kLocalMachine;
    if (!WINAPI32::RegWritable(State.InstancesRoot, state::kInstancesKey, state::kInstancesView)) {
        State.InstancesRoot = WINAPI32::kCurrentUser;
        modTrace::TraceNote(kModule, "Sub ChooseInstancesRoot",
                            "HKEY_LOCAL_MACHINE refused: the register is under HKEY_CURRENT_USER");
    }
}

void clstamewin::ClearInstances() {
    TryStep("ClearInstances: read the register", [&] {
        State.colInstances = WINAPI32::EnumKeyValues(State.InstancesRoot, state::kInstancesKey,
                                                     state::kInstancesView);
    });
    if (State.colInstances) {
        for (const std::string& name : *State.colInstances) {
            // Only names that read as numbers are thread ids of an earlier run.
            if (const std::optional<int32_t> threadId = diagnostics::NumberOf(name)) {
                TryStep("ClearInstances: remove a value", [&] { State.RemoveInstance(*threadId); });
            }
        }
    }
    State.colInstances.reset();
}

void clstamewin::RegisterOpenFrames() {
    ::EnumWindows(&state::EnumWinProc, reinterpret_cast<LPARAM>(&State.colWindows));
    for (const state::WindowRecord& record : State.colWindows) {
        if (record.ClassName == "IEFrame") {
            State.colFrames.emplace_back(record.ThreadId);
            State.AddInstance(record.ThreadId);
        }
    }
}

void clstamewin::RegisterToolbarButton() {
    // Each bitness of the browser reads the button from its own view of the machine's key.
    for (const auto& [view, name] : {std::pair{REGSAM{KEY_WOW64_64KEY}, "64-bit"},
                                     std::pair{REGSAM{KEY_WOW64_32KEY}, "32-bit"}}) {
        if (WINAPI32::RegWritable(WINAPI32::kLocalMachine, kToolbarKey, view)) {
            RegisterToolbarButton(view);
        } else {
            modTrace::TraceNote(kModule, "Sub RegisterToolbarButton",
                                std::string("HKEY_LOCAL_MACHINE refused the button in the ") +
                                    name + " view: it stays as it is");
        }
    }
}

void clstamewin::RegisterToolbarButton(REGSAM view) {
    const std::optional<std::string> exe = ProgramExePath();
    const std::string path = exe.value_or("");
    const struct {
        const char* name;
        std::string data;
        bool namesProgram;
    } values[] = {
        {"Default Visible", "Yes", false},
        {"ButtonText", "Ie Tamewin", false},
        {"Exec", path, true},
        {"HotIcon", path + ",104", true},
        {"Icon", path + ",103", true},
        {"ToolTip", "Ie Tamewin", false},
        {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}", false},
        {"MenuText", "Ie Tamewin", false},
    };
    bool replacePaths = false;
    for (const auto& value : values) {
        if (value.namesProgram && !exe) {
            continue;  // never a cut path
        }
        if (replacePaths && value.namesProgram) {
            WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kToolbarKey, value.name, value.data,
                                      view);
            continue;
        }
        const std::string stored =
            WINAPI32::regstring(WINAPI32::kLocalMachine, kToolbarKey, value.name, value.data, view);
        if (std::string_view(value.name) == "Exec" && stored != value.data && !FileExists(stored)) {
            // The button's program has moved or gone: the button would stay dead for good.
            // A program file that exists may be another installed copy's, and stays.
            replacePaths = true;
            WINAPI32::RegCreateString(WINAPI32::kLocalMachine, kToolbarKey, value.name, value.data,
                                      view);
        }
    }
}

void clstamewin::Shutdown() {
    // Taken from its member first: a call made while the form unloads (a message the system
    // sends meanwhile) finds nothing left to do.
    std::unique_ptr<ui::frmmain> form = std::move(NewMain);
    if (!form) {
        return;
    }
    form->Unload();
    form.reset();
    for (const state::FrameThread& frame : State.colFrames) {
        TryStep("Shutdown: remove a value", [&] { State.RemoveInstance(frame.ThreadId); });
    }
    State.colFrames.clear();
    State.colInstances.reset();
    State.colWindows.clear();
}

void clstamewin::NewMain_ExitForm() {
    Shutdown();
    // The exit comes from inside the form's own message handling: end here, without
    // returning into code of the form just released.
    ::ExitProcess(0);
}
