#include "controls/ZTray.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>

#include "controls/ImageList.h"
#include "win32/Dpi.h"
#include "win32/WindowBase.h"

namespace controls {

namespace {

constexpr char kWindowClass[] = "TamewinTrayCallback";
constexpr UINT_PTR kRetryTimer = 1;

// The notification area's icon size: the small icon size at the DPI of the tray's window.
int SmallIconSize(HWND hwnd) {
    return ImageList::SmallIconSizeAt(win32::WindowDpi(hwnd));
}

}  // namespace

void CopyToField(std::string_view text, char* field, std::size_t fieldSize,
                 UINT codePage) noexcept {
    if (fieldSize == 0) {
        return;
    }
    std::size_t length = 0;
    while (length < text.size()) {
        const bool lead = ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[length])) &&
                          length + 1 < text.size();
        const std::size_t next = length + (lead ? 2 : 1);
        if (next > fieldSize - 1) {
            break;
        }
        length = next;
    }
    text.copy(field, length);
    field[length] = '\0';
}

class ZTray::Impl final : public win32::WindowBase {
  public:
    NOTIFYICONDATAA Identity() const {
        NOTIFYICONDATAA data{};
        data.cbSize = sizeof(data);
        data.hWnd = hwnd();
        data.uID = kIconId;
        return data;
    }

    Impl(ZTray& owner, const ImageList& images, int16_t number)
        : owner_(owner),
          images_(images),
          number_(number),
          taskbarCreated_(::RegisterWindowMessageA("TaskbarCreated")) {
        // Top-level (not message-only), so that the taskbar's broadcast reaches it; a tool
        // window that is never shown, so it has no taskbar button.
        if (Create(kWindowClass, WS_EX_TOOLWINDOW, WS_POPUP, "", nullptr, 0, 0, 0, 0) &&
            taskbarCreated_ != 0) {
            // Lets the broadcast through when the program runs with higher rights than Explorer.
            ::ChangeWindowMessageFilterEx(hwnd(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
        }
    }

    ~Impl() override {
        Remove();
        Destroy();
    }

    bool wanted() const { return wanted_; }
    std::string_view tip() const { return tip_; }
    int16_t number() const { return number_; }

    void SetWanted(bool wanted) {
        wanted_ = wanted;
        if (wanted_) {
            Sync();
        } else {
            Remove();
        }
    }
    // While the icon is wanted, the shell's copy follows at once.
    void SetTip(std::string_view tip) {
        // Cut into a field of its own first: the text may be this very tip.
        char field[sizeof tip_] = {};
        CopyToField(tip, field, sizeof field);
        std::copy(std::begin(field), std::end(field), tip_);
        Sync();
    }
    void SetNumber(int16_t number) {
        number_ = number;
        Sync();
    }

  protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_TIMER && wParam == kRetryTimer) {
            Sync();
            return 0;
        }
        if (msg == kCallbackMessage) {
            if (wParam == kIconId) {
                OnIconMouse(static_cast<UINT>(lParam));
            }
            return 0;
        }
        if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
            // A new taskbar (Explorer restarted) has lost the icon; the same broadcast also
            // comes on DPI changes, when the icon is still there. Sync handles both.
            Sync();
            return 0;
        }
        switch (msg) {
            case WM_DPICHANGED:
            case WM_SETTINGCHANGE:
            case WM_DISPLAYCHANGE:
                if (shown_ && SmallIconSize(hwnd()) != shownSize_) {
                    Sync();
                }
                break;
            default:
                break;
        }
        return WindowBase::HandleMessage(msg, wParam, lParam);
    }

  private:
    void OnIconMouse(UINT mouseMessage) {
        int16_t button = 0;
        if (mouseMessage == WM_LBUTTONUP) {
            button = 1;
        } else if (mouseMessage == WM_RBUTTONUP) {
            button = 2;
        }
        if (button != 0 && owner_.MouseEvent) {
            owner_.MouseEvent(button);
        }
    }

    // Shows the icon as it is wanted, if it is wanted. Modify is tried before add, so the icon
    // is never added twice when the shell still has it.
    void Sync() {
        if (!wanted_ || hwnd() == nullptr) {
            return;
        }
        NOTIFYICONDATAA data = Identity();
        const int size = SmallIconSize(hwnd());
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kCallbackMessage;
        data.hIcon = images_.Icon(number_, size);
        CopyToField(tip(), data.szTip, sizeof(data.szTip));
        shown_ = ShellNotifyIcon(NIM_MODIFY, &data) || ShellNotifyIcon(NIM_ADD, &data);
        shownSize_ = size;
        SetRetrying(!shown_);
    }

    // A timer runs exactly while the icon is wanted and the shell has not taken it.
    void SetRetrying(bool retry) {
        if (retry) {
            ::SetTimer(hwnd(), kRetryTimer, kRetryMs, nullptr);
        } else {
            ::KillTimer(hwnd(), kRetryTimer);
        }
    }

    // Asks for the removal whatever the shell was last known to show: an add that timed out
    // may still have placed the icon.
    void Remove() {
        if (hwnd() != nullptr) {
            NOTIFYICONDATAA data = Identity();
            ShellNotifyIcon(NIM_DELETE, &data);
            SetRetrying(false);
        }
        shown_ = false;
    }

    ZTray& owner_;
    const ImageList& images_;
    bool wanted_ = false;  // IconVisible
    bool shown_ = false;   // the shell accepted the icon
    int shownSize_ = 0;
    char tip_[sizeof(NOTIFYICONDATAA::szTip)] = {};  // no more than the shell's field shows
    int16_t number_;
    UINT taskbarCreated_;
};

ZTray::ShellNotifyIconFn ZTray::ShellNotifyIcon = &::Shell_NotifyIconA;

ZTray::ZTray(const ImageList& images, int16_t imagenumber)
    : impl_(std::make_unique<Impl>(*this, images, imagenumber)) {}

ZTray::~ZTray() = default;

void ZTray::SetIconVisible(bool visible) noexcept {
    impl_->SetWanted(visible);
}
bool ZTray::IconVisible() const {
    return impl_->wanted();
}
void ZTray::SetToolTipText(std::string_view text) noexcept {
    impl_->SetTip(text);
}
std::string_view ZTray::ToolTipText() const {
    return impl_->tip();
}
void ZTray::SetImageNumber(int16_t number) noexcept {
    impl_->SetNumber(number);
}
int16_t ZTray::ImageNumber() const {
    return impl_->number();
}
HWND ZTray::CallbackWindow() const {
    return impl_->hwnd();
}

std::optional<RECT> ZTray::IconRect() const {
    const NOTIFYICONIDENTIFIER icon{sizeof(icon), CallbackWindow(), kIconId, {}};
    RECT rect{};
    if (CallbackWindow() == nullptr || FAILED(::Shell_NotifyIconGetRect(&icon, &rect))) {
        return std::nullopt;
    }
    return rect;
}

void ZTray::ReturnFocus() const {
    NOTIFYICONDATAA data = impl_->Identity();
    ShellNotifyIcon(NIM_SETFOCUS, &data);
}

}  // namespace controls
