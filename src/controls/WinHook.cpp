#include "controls/WinHook.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "controls/DesktopHook.h"
#include "controls/MouseWatch.h"
#include "controls/hook/HookChannel.h"
#include "win32/Handles.h"
#include "win32/WindowBase.h"
#include "win32/WindowClass.h"

namespace controls {

class WinHook::Impl : public win32::WindowBase {
  public:
    Impl(WinHook& owner, HookKind kind) : owner_(owner), kind_(kind) {}
    ~Impl() override { SetActive(false); }

    void SetActive(bool active);
    bool active() const { return active_; }
    bool usesCbtHook() const { return cbt_ != nullptr; }
    void setShownClass(std::string className) { shownClass_ = std::move(className); }

  protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void Stop();
    bool StartStandard();
    void OnForeground(HWND hwnd);
    bool WatchesShowOf(HWND hwnd) const;
    void RaiseWindowActivated(HWND hwnd);
    void DropPending();

    static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object,
                                    LONG child, DWORD thread, DWORD time);

    // What the process's controls share, all on the controls' thread.
    struct Shared {
        std::vector<Impl*> standard;  // active Standard controls (the WinEvent callback's lookup)
        MouseWatch mouse{kMouseMessage};    // serves every active Mouse control
        bool foregroundEventsSeen = false;  // the system raises foreground events
    };
    static Shared& shared();

    WinHook& owner_;
    const HookKind kind_;
    bool active_ = false;
    LONG generation_ = 0;  // counts switch-ons; the CBT posts carry the one they were made in
    win32::WinEventHook foreground_;
    win32::WinEventHook shown_;
    std::string shownClass_;
    std::unique_ptr<DesktopHook> cbt_;
    HWND lastActivated_ = nullptr;  // the window of the last activation raised
};

namespace {

using tamehook::kReceiverClass;

// Handles cross between 32-bit and 64-bit programs as their 32 significant bits.
HWND HandleFromParam(WPARAM wParam) {
    return tamehook::HandleFromBits(static_cast<LONG>(wParam));
}

template <class T>
void Erase(std::vector<T>& items, const T& item) {
    items.erase(std::remove(items.begin(), items.end(), item), items.end());
}

}  // namespace

WinHook::Impl::Shared& WinHook::Impl::shared() {
    static Shared state;
    return state;
}

void WinHook::Impl::SetActive(bool active) {
    if (active == active_) {
        return;
    }
    if (!active) {
        Stop();
        return;
    }
    if (hwnd() == nullptr && !Create(kReceiverClass, 0, 0, "", HWND_MESSAGE, 0, 0, 0, 0)) {
        return;
    }
    ++generation_;
    active_ = kind_ == HookKind::Standard ? StartStandard() : shared().mouse.Add(hwnd());
}

void WinHook::Impl::Stop() {
    active_ = false;
    lastActivated_ = nullptr;
    Shared& state = shared();
    if (kind_ == HookKind::Mouse) {
        state.mouse.Remove(hwnd());
    } else {
        cbt_.reset();
        foreground_.reset();
        shown_.reset();
        Erase(state.standard, this);
    }
    DropPending();
}

bool WinHook::Impl::StartStandard() {
    Shared& state = shared();
    state.standard.push_back(this);  // before the hook, which looks the control up here
    foreground_.reset(SetWinEventHookImpl(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                          &Impl::OnWinEvent, 0, 0, WINEVENT_OUTOFCONTEXT));
    shown_.reset(SetWinEventHookImpl(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr,
                                     &Impl::OnWinEvent, 0, 0, WINEVENT_OUTOFCONTEXT));
    if (!state.foregroundEventsSeen) {
        cbt_ = DesktopHook::Install(hwnd(), generation_);
    }
    if (!foreground_ && !shown_ && !cbt_) {
        state.standard.pop_back();
        return false;
    }
    return true;
}

LRESULT WinHook::Impl::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kForegroundMessage) {
        OnForeground(HandleFromParam(wParam));
        return 0;
    }
    if (msg == kShownMessage) {
        if (active_ && kind_ == HookKind::Standard && owner_.WindowShown) {
            owner_.WindowShown(HandleFromParam(wParam), static_cast<CtrlKey>(lParam));
        }
        return 0;
    }
    if (msg == kMouseMessage) {
        if (active_ && kind_ == HookKind::Mouse && owner_.MouseEvent) {
            owner_.MouseEvent(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
        }
        return 0;
    }
    if (msg == DesktopHook::ActivatedMessage() && msg != 0) {
        // Posts of an earlier switch-on, or made before the CBT hook was given up, are stale.
        if (cbt_ && static_cast<LONG>(lParam) == generation_) {
            RaiseWindowActivated(HandleFromParam(wParam));
        }
        return 0;
    }
    return WindowBase::HandleMessage(msg, wParam, lParam);
}

void WinHook::Impl::OnForeground(HWND hwnd) {
    if (!active_ || kind_ != HookKind::Standard) {
        return;
    }
    Shared& state = shared();
    if (!state.foregroundEventsSeen) {
        // The system raises foreground events: the CBT hook, which every program of the
        // desktop pays for, is no longer needed by anyone in this process.
        state.foregroundEventsSeen = true;
        for (Impl* control : state.standard) {
            control->cbt_.reset();
        }
    }
    RaiseWindowActivated(hwnd);
}

void WinHook::Impl::RaiseWindowActivated(HWND hwnd) {
    // One activation can be told more than once: by the foreground event and the CBT hook,
    // or twice by one of them. A window told again with no other activated in between is the
    // same activation.
    // Some systems also tell of an activation of no window, as the foreground passes between
    // programs: no window was activated.
    if (hwnd == nullptr || hwnd == lastActivated_) {
        return;
    }
    lastActivated_ = hwnd;
    if (owner_.WindowActivated) {
        owner_.WindowActivated(hwnd);
    }
}

void WinHook::Impl::DropPending() {
    const UINT activated = DesktopHook::ActivatedMessage();
    const UINT ranges[][2] = {{kForegroundMessage, kShownMessage}, {activated, activated}};
    bool quit = false;
    WPARAM exitCode = 0;
    for (const auto& range : ranges) {
        MSG msg;
        while (range[0] != 0 && ::PeekMessageA(&msg, hwnd(), range[0], range[1], PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // PeekMessage hands out the quit request whatever the filter: put it back.
                quit = true;
                exitCode = msg.wParam;
            }
        }
    }
    if (quit) {
        ::PostQuitMessage(static_cast<int>(exitCode));
    }
}

bool WinHook::Impl::WatchesShowOf(HWND hwnd) const {
    if (shownClass_.empty()) {
        return false;
    }
    return win32::HasClassName(hwnd, shownClass_) &&
           ::GetAncestor(hwnd, GA_PARENT) == ::GetDesktopWindow();
}

void CALLBACK WinHook::Impl::OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object,
                                        LONG child, DWORD, DWORD) {
    if (hwnd == nullptr) {
        return;
    }
    if (event == EVENT_SYSTEM_FOREGROUND) {
        for (const Impl* control : shared().standard) {
            if (control->foreground_.get() == hook) {
                ::PostMessageA(control->hwnd(), kForegroundMessage, reinterpret_cast<WPARAM>(hwnd),
                               0);
            }
        }
        return;
    }
    // Carets, cursors and the parts of a window are other objects.
    if (event != EVENT_OBJECT_SHOW || object != OBJID_WINDOW || child != CHILDID_SELF) {
        return;
    }
    for (const Impl* control : shared().standard) {
        if (control->shown_.get() == hook && control->WatchesShowOf(hwnd)) {
            // The key now, as the window appears, rather than when the post is handled.
            ::PostMessageA(control->hwnd(), kShownMessage, reinterpret_cast<WPARAM>(hwnd),
                           static_cast<LPARAM>(ReadCtrlKey()));
        }
    }
}

WinHook::SetWinEventHookFn WinHook::SetWinEventHookImpl = &::SetWinEventHook;

WinHook::WinHook(HookKind kind) : impl_(std::make_unique<Impl>(*this, kind)) {}

WinHook::~WinHook() = default;

void WinHook::SetHookActive(bool active) noexcept {
    try {
        impl_->SetActive(active);
    } catch (const std::bad_alloc&) {
        // Only a switch-on allocates (the control's place in a list), before anything is
        // installed: the hook stays off, as when the system refuses it.
    }
}

bool WinHook::HookActive() const {
    return impl_->active();
}

HWND WinHook::ReceiverWindow() const {
    return impl_->hwnd();
}

void WinHook::SetShownClass(std::string className) {
    impl_->setShownClass(std::move(className));
}

bool WinHook::UsesCbtHook() const {
    return impl_->usesCbtHook();
}

}  // namespace controls
