#include "controls/DesktopHook.h"

#include "controls/hook/HookChannel.h"
#include "win32/ModulePath.h"
#include "win32/Text.h"
#include "win32/Wait.h"

namespace controls {

namespace {

// How long switching on waits for the companion to install its hook.
constexpr DWORD kCompanionStartMs = 5000;

// The desktop's block, made once per process and kept for the life of the process: the
// library copies in other programs open it by name at each activation.
struct Block {
    win32::Handle mapping;
    win32::MappedView view;
    tamehook::Channel* channel() const { return static_cast<tamehook::Channel*>(view.get()); }
};

// Security that lets every program read an object and none change it or its security, the
// user's other programs included (the owner-rights entry takes the owner's implicit right to
// change the security away). The handle of the process that makes the object has full access
// all the same.
class ReadOnlySecurity {
  public:
    ReadOnlySecurity() {
        constexpr DWORD kRead = SECTION_QUERY | SECTION_MAP_READ | READ_CONTROL;
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
        valid_ =
            ::InitializeSid(&everyone_, &world, 1) && ::InitializeSid(&ownerRights_, &creator, 1);
        if (valid_) {
            *::GetSidSubAuthority(&everyone_, 0) = SECURITY_WORLD_RID;
            *::GetSidSubAuthority(&ownerRights_, 0) = kOwnerRightsRid;
            valid_ = ::InitializeAcl(&acl_.header, sizeof(acl_), ACL_REVISION) &&
                     ::AddAccessAllowedAce(&acl_.header, ACL_REVISION, kRead, &everyone_) &&
                     ::AddAccessAllowedAce(&acl_.header, ACL_REVISION, kRead, &ownerRights_) &&
                     ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                     ::SetSecurityDescriptorDacl(&descriptor_, TRUE, &acl_.header, FALSE);
        }
    }
    ReadOnlySecurity(const ReadOnlySecurity&) = delete;
    ReadOnlySecurity& operator=(const ReadOnlySecurity&) = delete;

    // Null when the system would not build it.
    SECURITY_DESCRIPTOR* descriptor() { return valid_ ? &descriptor_ : nullptr; }

  private:
    static constexpr DWORD kOwnerRightsRid = 4;  // S-1-3-4, the owner rights
    SID everyone_{};
    SID ownerRights_{};
    struct {
        ACL header;
        BYTE aces[2 * (sizeof(ACCESS_ALLOWED_ACE) + sizeof(SID))];
    } acl_{};
    SECURITY_DESCRIPTOR descriptor_{};
    bool valid_ = false;
};

// Makes the block, readable by every program and writable through this process's handle
// alone. Null when a block of that name exists already: made by another program, it is never
// used, whatever it holds.
Block MakeBlock() {
    Block block;
    char name[tamehook::kChannelNameSize];
    if (!tamehook::ChannelName(name)) {
        return block;
    }
    ReadOnlySecurity security;
    if (security.descriptor() == nullptr) {
        return block;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), security.descriptor(), FALSE};
    win32::Handle mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0,
                                               sizeof(tamehook::Channel), name));
    if (!mapping || ::GetLastError() == ERROR_ALREADY_EXISTS) {
        return block;
    }
    block.view.reset(::MapViewOfFile(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0,
                                     sizeof(tamehook::Channel)));
    if (block.view) {
        block.mapping = std::move(mapping);
        ::InterlockedExchange(&block.channel()->owner, static_cast<LONG>(::GetCurrentProcessId()));
    }
    return block;
}

const Block& ProcessBlock() {
    static const Block block = MakeBlock();
    return block;
}

// The program's folder, with its final backslash; empty if the system cannot say.
std::string ProgramFolder() {
    std::string path = win32::ModulePath(nullptr).value_or("");
    path.resize(path.find_last_of("\\/") + 1);  // npos + 1 == 0: no folder at all
    return path;
}

// The companion's program and library, of the other bitness, beside the program; false on a
// system that runs one bitness only.
bool CompanionHost(const std::string& folder, std::string& host, std::string& library) {
#ifdef _WIN64
    char wow64Folder[MAX_PATH];
    const UINT length = ::GetSystemWow64DirectoryA(wow64Folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    host = folder + "tamehookhost32.exe";
    library = folder + "tamehook32.dll";
#else
    BOOL wow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) {
        return false;
    }
    host = folder + "tamehookhost64.exe";
    library = folder + "tamehook64.dll";
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
    if (message == 0 || receiver == nullptr) {
        return nullptr;
    }
    tamehook::Channel* channel = ProcessBlock().channel();
    if (channel == nullptr) {
        return nullptr;
    }
    std::unique_ptr<DesktopHook> hook(new DesktopHook);
    hook->channel_ = channel;
    const std::string folder = ProgramFolder();
    hook->library_.reset(::LoadLibraryW(win32::Wide(folder + "tamehook.dll").c_str()));
    if (!hook->library_) {
        return nullptr;
    }
    // Through the generic function type, which every compiler accepts as a go-between.
    auto* procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hook->library_.get(), "CbtProc")));
    if (procedure == nullptr) {
        return nullptr;
    }
    if (!hook->Claim(receiver, generation)) {
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
    std::string library;
    if (!CompanionHost(folder, host, library)) {
        return;
    }
    const std::wstring hostPath = win32::Wide(host);
    if (::GetFileAttributesW(hostPath.c_str()) == INVALID_FILE_ATTRIBUTES ||
        ::GetFileAttributesW(win32::Wide(library).c_str()) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    char readyName[tamehook::kCompanionReadyNameSize];
    tamehook::CompanionReadyName(readyName, ::GetCurrentProcessId());
    const win32::Handle ready(::CreateEventA(nullptr, TRUE, FALSE, readyName));
    std::wstring commandLine = L"\"" + hostPath + L"\" " + std::to_wstring(::GetCurrentProcessId());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(hostPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        return;
    }
    const win32::Handle thread(process.hThread);
    companion_.reset(process.hProcess);
    // Switched on means watching: wait until the companion's hook is in place, or it ended.
    if (ready) {
        const HANDLE waitFor[] = {ready.get(), companion_.get()};
        win32::WaitHandlingSentMessages(2, waitFor, kCompanionStartMs);
    }
}

bool DesktopHook::Claim(HWND receiver, LONG generation) {
    const LONG mine = tamehook::HandleBits(receiver);
    const LONG current = channel_->receiver;
    // One listener per desktop: another control of this process that still listens keeps it.
    if (current != 0 && current != mine && ::IsWindow(tamehook::HandleFromBits(current))) {
        return false;
    }
    tamehook::Publish(*channel_, mine, generation);
    claimed_ = mine;
    return true;
}

DesktopHook::~DesktopHook() {
    if (companion_) {
        // Its hooks go with it.
        ::TerminateProcess(companion_.get(), 0);
    }
    hook_.reset();
    if (claimed_ != 0 && channel_->receiver == claimed_) {
        // From now on the library finds nobody to post to; posts still on their way carry a
        // generation the receiver no longer accepts.
        tamehook::Publish(*channel_, 0, channel_->generation);
    }
}

}  // namespace controls
