#include "controls/DesktopHook.h"

#include "controls/hook/HookChannel.h"

namespace controls {

namespace {

// How long switching on waits for the companion to install its hook.
constexpr DWORD kCompanionStartMs = 5000;

tamehook::Channel* ChannelOf(const win32::MappedView& view) {
    return static_cast<tamehook::Channel*>(view.get());
}

// The program's folder, with its final backslash; empty if the system cannot say.
std::string ProgramFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find_last_of("\\/") + 1);  // npos + 1 == 0: no folder at all
    return path;
}

// The other bitness's rundll32 and library name; false on a system with one bitness only.
bool CompanionHost(std::string& host, const char*& library) {
    char folder[MAX_PATH];
#ifdef _WIN64
    const UINT length = ::GetSystemWow64DirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    host.assign(folder, length).append("\\rundll32.exe");
    library = "tamehook32.dll";
#else
    BOOL wow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) {
        return false;
    }
    const UINT length = ::GetSystemWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    // Sysnative: the native system folder, which a 32-bit program's view hides.
    host.assign(folder, length).append("\\Sysnative\\rundll32.exe");
    library = "tamehook64.dll";
#endif
    return true;
}

}  // namespace

UINT DesktopHook::ActivatedMessage() {
    static const UINT message = ::RegisterWindowMessageA(tamehook::kActivatedMessageName);
    return message;
}

std::unique_ptr<DesktopHook> DesktopHook::Install(HWND receiver, LONG generation) noexcept {
    try {
        return TryInstall(receiver, generation);
    } catch (...) {
        return nullptr;  // out of memory: whatever was done is undone by the owners
    }
}

std::unique_ptr<DesktopHook> DesktopHook::TryInstall(HWND receiver, LONG generation) {
    const UINT message = ActivatedMessage();
    char name[tamehook::kChannelNameSize];
    if (message == 0 || receiver == nullptr || !tamehook::ChannelName(name)) {
        return nullptr;
    }
    std::unique_ptr<DesktopHook> hook(new DesktopHook);
    const std::string folder = ProgramFolder();
    hook->library_.reset(::LoadLibraryA((folder + "tamehook.dll").c_str()));
    if (!hook->library_) {
        return nullptr;
    }
    // Through the generic function type, which every compiler accepts as a go-between.
    auto* procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hook->library_.get(), "CbtProc")));
    if (procedure == nullptr) {
        return nullptr;
    }
    hook->mapping_.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              sizeof(tamehook::Channel), name));
    if (!hook->mapping_) {
        return nullptr;
    }
    hook->view_.reset(::MapViewOfFile(hook->mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0,
                                      sizeof(tamehook::Channel)));
    if (!hook->view_ || !hook->Claim(receiver, generation)) {
        return nullptr;
    }
    // The posts come from other programs, some at a lower integrity level (a browser in
    // protected mode): let the message through the receiving window's filter.
    ::ChangeWindowMessageFilterEx(receiver, message, MSGFLT_ALLOW, nullptr);
    hook->hook_.reset(::SetWindowsHookExA(WH_CBT, procedure, hook->library_.get(), 0));
    if (!hook->hook_) {
        return nullptr;
    }
    hook->StartCompanion(folder);
    return hook;
}

void DesktopHook::StartCompanion(const std::string& folder) {
    std::string host;
    const char* library = nullptr;
    if (!CompanionHost(host, library)) {
        return;
    }
    // rundll32 reports a missing library in a message box: look first.
    const std::string libraryPath = folder + library;
    if (::GetFileAttributesA(libraryPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    char readyName[tamehook::kCompanionReadyNameSize];
    tamehook::CompanionReadyName(readyName, ::GetCurrentProcessId());
    const win32::Handle ready(::CreateEventA(nullptr, TRUE, FALSE, readyName));
    std::string commandLine = "\"" + host + "\" \"" + libraryPath + "\",HostCompanion " +
                              std::to_string(::GetCurrentProcessId());
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(host.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return;
    }
    const win32::Handle thread(process.hThread);
    companion_.reset(process.hProcess);
    // Switched on means watching: wait until the companion's hook is in place, or it ended.
    if (ready) {
        const HANDLE waitFor[] = {ready.get(), companion_.get()};
        ::WaitForMultipleObjects(2, waitFor, FALSE, kCompanionStartMs);
    }
}

bool DesktopHook::Claim(HWND receiver, LONG generation) {
    tamehook::Channel* channel = ChannelOf(view_);
    const LONG mine = tamehook::HandleBits(receiver);
    const LONG current = channel->receiver;
    // A block whose listener is gone (it ended without giving the block back) is free again.
    if (current != 0 && current != mine && ::IsWindow(tamehook::HandleFromBits(current))) {
        return false;
    }
    // Every program of the session registers the same message, so writing it is harmless
    // even when the claim is lost below.
    ::InterlockedExchange(&channel->message, static_cast<LONG>(ActivatedMessage()));
    if (::InterlockedCompareExchange(&channel->receiver, mine, current) != current) {
        return false;
    }
    claimed_ = mine;
    ::InterlockedExchange(&channel->generation, generation);
    return true;
}

DesktopHook::~DesktopHook() {
    if (companion_) {
        // Its hooks go with it.
        ::TerminateProcess(companion_.get(), 0);
    }
    hook_.reset();
    if (claimed_ != 0) {
        // From now on the library finds nobody to post to; posts still on their way carry a
        // generation the receiver no longer accepts.
        ::InterlockedCompareExchange(&ChannelOf(view_)->receiver, 0, claimed_);
    }
}

}  // namespace controls
