#include "ui/frmAbout.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>

#include "controls/PictureBox.h"
#include "diagnostics/RuntimeError.h"
#include "resources/resource.h"
#include "ui/Maker.h"
#include "version.h"
#include "win32/Dpi.h"
#include "win32/SystemProc.h"

namespace {

constexpr char kClassName[] = "TamewinAbout";
constexpr char kCaption[] = "About IE Tamewin...";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr UINT kGetDpiScaledSize = 0x02E4;  // WM_GETDPISCALEDSIZE (Windows 10 1703 on)
constexpr int kPictureDpi = 96;             // the DPI the pictures' own size is meant for

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);

using TwipRect = frmAbout::TwipRect;

constexpr int kClientWidth = 5700;
constexpr int kClientHeight = 3225;
constexpr TwipRect kImage2{0, 0, 5760, 3240};  // background picture, stretched
constexpr TwipRect kImage1{120, 120, 1920, 1920};
constexpr int kLine1Y = 2280;
constexpr int kLine1Right = 5400;

struct LabelDesign {
    TwipRect place;
    int size;  // hundredths of a point
    bool bold;
    bool underline;
    COLORREF colour;
    UINT align;
};

// In the order of frmAbout::Label.
constexpr LabelDesign kLabels[] = {
    {{2355, 120, 2745, 330}, 1425, false, false, kWhite, DT_CENTER},             // Label1
    {{3165, 720, 1155, 240}, 975, true, false, kWhite, DT_CENTER},               // lblTitle
    {{2160, 1320, 3570, 195}, 825, true, false, kWhite, DT_LEFT},                // lblVersion
    {frmAbout::kLinkPlace, frmAbout::kLinkFontSize, true, true, kRed, DT_LEFT},  // lbllink
};

// The link shows the address as people write it, without the scheme and the closing slash;
// a click opens the whole address.
constexpr std::string_view LinkText() {
    std::string_view address = kMakerWebAddress;
    if (const size_t scheme = address.find("://"); scheme != std::string_view::npos) {
        address.remove_prefix(scheme + 3);
    }
    if (address.ends_with('/')) {
        address.remove_suffix(1);
    }
    return address;
}

// The design's twips as pixels at `dpi`, in whole twips per pixel as the pictures are.
RECT ToPixels(const TwipRect& twips, UINT dpi) {
    const int perPixel = controls::TwipsPerPixelAt(dpi).x;
    const int x = twips.left / perPixel;
    const int y = twips.top / perPixel;
    return RECT{x, y, x + twips.width / perPixel, y + twips.height / perPixel};
}

win32::Font MakeArial(int size, bool bold, bool underline, UINT dpi) {
    LOGFONTA font{};
    font.lfHeight = -::MulDiv(size, static_cast<int>(dpi), 7200);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    static constexpr char kFace[] = "Arial";
    std::copy(std::begin(kFace), std::end(kFace), font.lfFaceName);
    return win32::Font(::CreateFontIndirectA(&font));
}

// The window's size for the design's client area at `dpi`: its frame at that DPI where the
// system can say (AdjustWindowRectExForDpi, Windows 10 1607 on), else the frame of the one DPI
// there is.
SIZE FrameSize(UINT dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi =
        win32::SystemProc<AdjustForDpiFn>("user32.dll", "AdjustWindowRectExForDpi");
    const controls::TwipsPerPixel scale = controls::TwipsPerPixelAt(dpi);
    RECT frame{0, 0, kClientWidth / scale.x, kClientHeight / scale.y};
    if (adjustForDpi == nullptr || !adjustForDpi(&frame, kStyle, FALSE, kExStyle, dpi)) {
        ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    }
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

// Centred in the work area of the monitor under the pointer; a window larger than that area
// keeps its top-left corner on screen.
POINT CentreOnPointerMonitor(int width, int height) {
    POINT pointer{};
    ::GetCursorPos(&pointer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoA(::MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const LONG x = work.left + (work.right - work.left - width) / 2;
    const LONG y = work.top + (work.bottom - work.top - height) / 2;
    return POINT{std::max(work.left, x), std::max(work.top, y)};
}

// Draws a bitmap into `place`: stretched to fill it, or at its own size made larger or smaller
// from the pictures' DPI to `dpi`, cut at the edges.
void DrawPicture(HDC dc, HBITMAP picture, const RECT& place, bool stretch, UINT dpi) {
    if (picture == nullptr) {
        return;
    }
    BITMAP size{};
    ::GetObjectA(picture, sizeof(size), &size);
    win32::MemoryDc source(::CreateCompatibleDC(dc));
    win32::SelectGuard select(source.get(), picture);
    const int placeWidth = place.right - place.left;
    const int placeHeight = place.bottom - place.top;
    const int shownWidth =
        stretch ? placeWidth : ::MulDiv(size.bmWidth, static_cast<int>(dpi), kPictureDpi);
    const int shownHeight =
        stretch ? placeHeight : ::MulDiv(size.bmHeight, static_cast<int>(dpi), kPictureDpi);
    const int width = std::min(placeWidth, shownWidth);
    const int height = std::min(placeHeight, shownHeight);
    if (width <= 0 || height <= 0) {
        return;
    }
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchBlt(dc, place.left, place.top, width, height, source.get(), 0, 0,
                 ::MulDiv(width, size.bmWidth, shownWidth),
                 ::MulDiv(height, size.bmHeight, shownHeight), SRCCOPY);
}

HBITMAP LoadBitmapResource(HMODULE module, int id) {
    return static_cast<HBITMAP>(
        ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

class PaintScope {
  public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(hwnd_, &paint_); }
    HDC get() const { return dc_; }

  private:
    HWND hwnd_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

}  // namespace

frmAbout::~frmAbout() {
    Destroy();
}

void frmAbout::ShowModal(HWND owner) {
    if (hwnd() != nullptr || !CreateForm(owner)) {
        return;
    }
    owner_ = owner;
    Form_Load();
    if (owner_ != nullptr) {
        ::EnableWindow(owner_, FALSE);
    }
    ::ShowWindow(hwnd(), SW_SHOW);
    RunModalLoop();
    if (owner_ != nullptr && ::IsWindow(owner_)) {
        ::EnableWindow(owner_, TRUE);
        // A hidden owner (the tray form) is left alone: the activation goes back to whatever
        // the user was working in.
        if (::IsWindowVisible(owner_)) {
            ::SetActiveWindow(owner_);
        }
    }
    owner_ = nullptr;
}

bool frmAbout::CreateForm(HWND owner) {
    lastFocus_ = nullptr;
    // Made on the monitor it shows on, so that the system gives it that monitor's DPI; laid out
    // and sized for that DPI then.
    const POINT centre = CentreOnPointerMonitor(0, 0);
    if (!Create(kClassName, kExStyle, kStyle, kCaption, owner, centre.x, centre.y, 1, 1)) {
        return false;
    }
    background_.reset(::CreateSolidBrush(kRed));
    cmdOK_ =
        ::CreateWindowExA(0, "BUTTON", "&OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                          0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)),
                          ::GetModuleHandleA(nullptr), nullptr);
    CreateLinkControl();
    Layout(win32::WindowDpi(hwnd()));  // and again at each WM_DPICHANGED
    const SIZE frame = FrameSize(dpi_);
    const POINT at = CentreOnPointerMonitor(frame.cx, frame.cy);
    ::SetWindowPos(hwnd(), nullptr, at.x, at.y, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void frmAbout::Layout(UINT dpi) {
    dpi_ = dpi;
    static_assert(std::size(kLabels) == static_cast<size_t>(kLabelCount));
    std::array<win32::Font, kLabelCount> labelFonts;
    for (int i = 0; i < kLabelCount; ++i) {
        const LabelDesign& label = kLabels[i];
        labelFonts[i] = MakeArial(label.size, label.bold, label.underline, dpi);
    }
    win32::Font buttonFont = MakeArial(frmAbout::kButtonFontSize, false, false, dpi);
    // The controls are given the new fonts before the old ones are deleted.
    const auto place = [dpi](HWND control, const TwipRect& twips, const win32::Font& font) {
        const RECT r = ToPixels(twips, dpi);
        ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    };
    place(cmdOK_, frmAbout::kCmdOK, buttonFont);
    if (link_ != nullptr) {
        place(link_, kLabels[lbllink].place, labelFonts[lbllink]);
    }
    labelFonts_ = std::move(labelFonts);
    buttonFont_ = std::move(buttonFont);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void frmAbout::CreateLinkControl() {
    // A system link control over the painted label, after the button in the tab order: screen
    // readers know its role and read its text; the form still paints it and takes its clicks.
    INITCOMMONCONTROLSEX links{sizeof(links), ICC_LINK_CLASS};
    ::InitCommonControlsEx(&links);
    const std::string markup = "<a>" + std::string(LinkText()) + "</a>";
    link_ = ::CreateWindowExA(0, "SysLink", markup.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                              0, 0, 0, hwnd(), nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (link_ != nullptr) {
        linkSubclass_.emplace(link_, &frmAbout::LinkProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

LRESULT CALLBACK frmAbout::LinkProc(HWND link, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
    auto* form = reinterpret_cast<frmAbout*>(data);
    switch (msg) {
        case WM_NCHITTEST:
            return HTTRANSPARENT;  // the pointer's messages go to the form, as before
        case WM_GETDLGCODE:
            // Enter follows the link here instead of pressing the default button.
            if (auto* key = reinterpret_cast<const MSG*>(lParam);
                key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
                return DLGC_WANTMESSAGE;
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_SPACE) {
                if ((HIWORD(lParam) & KF_REPEAT) == 0) {  // once per press, as a click
                    form->lbllink_Click();
                }
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == '\r' || wParam == ' ') {
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::InvalidateRect(link, nullptr, FALSE);
            break;
        case WM_PAINT: {
            PaintScope paint(link);
            RECT area{};
            ::GetWindowRect(link, &area);
            ::MapWindowPoints(nullptr, form->hwnd(), reinterpret_cast<POINT*>(&area), 2);
            POINT origin{};
            ::SetViewportOrgEx(paint.get(), -area.left, -area.top, &origin);
            form->DrawForm(paint.get());
            ::SetViewportOrgEx(paint.get(), origin.x, origin.y, nullptr);
            if (::GetFocus() == link) {
                RECT client{};
                ::GetClientRect(link, &client);
                ::DrawFocusRect(paint.get(), &client);
            }
            return 0;
        }
    }
    return ::DefSubclassProc(link, msg, wParam, lParam);
}

void frmAbout::Form_Load() {
    image1_.reset(LoadBitmapResource(resources_, IDB_ABOUT_LOGO));
    image2_.reset(LoadBitmapResource(resources_, IDB_ABOUT_BACK));
    versionText_ = "Version " + std::to_string(TAMEWIN_VERSION_MAJOR) + "." +
                   std::to_string(TAMEWIN_VERSION_MINOR) + "." +
                   std::to_string(TAMEWIN_VERSION_REVISION);
    ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    // A cursor from LoadCursor is shared: it stays loaded and is never destroyed.
    linkCursor_ = ::LoadCursorA(resources_, MAKEINTRESOURCEA(IDC_LINK));
    if (linkCursor_ == nullptr) {
        linkCursor_ = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
    }
}

void frmAbout::RunModalLoop() {
    MSG msg{};
    while (hwnd() != nullptr) {
        if (::GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            // The program is ending: close, and leave the quit for the loop that waits for it.
            cmdOK_Click();
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!::IsDialogMessageA(hwnd(), &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void frmAbout::cmdOK_Click() {
    // The owner is enabled before this window goes, or the system activates another program.
    if (owner_ != nullptr) {
        ::EnableWindow(owner_, TRUE);
    }
    Destroy();
}

void frmAbout::lbllink_Click() {
    if (LinkClicked) {
        diagnostics::TryStep("About: the link", LinkClicked);
    }
}

void frmAbout::lbllink_MouseMove() {
    ::SetCursor(linkCursor_);
}

bool frmAbout::OverLink(POINT clientPoint) const {
    const RECT link = ToPixels(kLabels[lbllink].place, dpi_);
    return ::PtInRect(&link, clientPoint) != FALSE;
}

std::string_view frmAbout::LabelText(Label label) const {
    switch (label) {
        case Label1:
            return kMakerName;
        case lblTitle:
            return "IE Tamewin";
        case lblVersion:
            return versionText_;
        default:
            return LinkText();
    }
}

void frmAbout::Paint(HDC target) const {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    // Drawn off screen and copied in one go, so the layers never show one by one.
    win32::MemoryDc buffer(::CreateCompatibleDC(target));
    win32::Bitmap surface(::CreateCompatibleBitmap(target, client.right, client.bottom));
    if (!buffer || !surface) {
        DrawForm(target);
        return;
    }
    win32::SelectGuard select(buffer.get(), surface.get());
    DrawForm(buffer.get());
    ::BitBlt(target, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
}

void frmAbout::DrawForm(HDC dc) const {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    ::FillRect(dc, &client, background_.get());
    DrawPicture(dc, image2_.get(), ToPixels(kImage2, dpi_), true, dpi_);
    DrawPicture(dc, image1_.get(), ToPixels(kImage1, dpi_), false, dpi_);

    // Line1: a grey line on the upper row of a white one two pixels wide, an etched rule.
    const int perPixel = controls::TwipsPerPixelAt(dpi_).x;
    const int y = kLine1Y / perPixel;
    const int right = kLine1Right / perPixel;
    const RECT white{0, y, right, y + 2};
    const RECT grey{0, y, right, y + 1};
    auto* solid = static_cast<HBRUSH>(::GetStockObject(DC_BRUSH));
    ::SetDCBrushColor(dc, kWhite);
    ::FillRect(dc, &white, solid);
    ::SetDCBrushColor(dc, kGrey);
    ::FillRect(dc, &grey, solid);

    ::SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < kLabelCount; ++i) {
        const LabelDesign& label = kLabels[i];
        RECT place = ToPixels(label.place, dpi_);
        const std::string_view text = LabelText(static_cast<Label>(i));
        win32::SelectGuard font(dc, labelFonts_[i].get());
        ::SetTextColor(dc, label.colour);
        // One line each: where a substitute for Arial runs wider than the design, the text
        // spills past its box (a centred one on both sides) rather than losing words.
        ::DrawTextA(dc, text.data(), static_cast<int>(text.size()), &place,
                    label.align | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
    }
}

LRESULT frmAbout::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PaintScope paint(hwnd());
            Paint(paint.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_DESTROY:
            linkSubclass_.reset();  // while the link, a child, still exists
            break;
        case WM_ACTIVATE:
            // As in a dialog: the control that had the focus when the user went to another
            // window has it again on coming back; the button at first.
            if (LOWORD(wParam) == WA_INACTIVE) {
                if (const HWND focus = ::GetFocus(); focus != nullptr && ::IsChild(hwnd(), focus)) {
                    lastFocus_ = focus;
                }
            } else if (cmdOK_ != nullptr) {
                ::SetFocus(lastFocus_ != nullptr ? lastFocus_ : cmdOK_);
                return 0;
            }
            break;
        case WM_DPICHANGED: {
            // Moved to a monitor of another scale, or the scale changed: laid out anew, in the
            // rectangle the system suggests (of the size asked for below where it asks).
            Layout(HIWORD(wParam));
            const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top,
                           suggested.right - suggested.left, suggested.bottom - suggested.top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case kGetDpiScaledSize:
            // The layout's own size at the new DPI, not the old size scaled, which rounds.
            *reinterpret_cast<SIZE*>(lParam) = FrameSize(static_cast<UINT>(wParam));
            return TRUE;
        case DM_GETDEFID:
            return MAKELRESULT(IDOK, DC_HASDEFID);
        case WM_COMMAND:
            // IDOK: the button, or Enter; IDCANCEL: Esc, through IsDialogMessage.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                cmdOK_Click();
                return 0;
            }
            break;
        case WM_CLOSE:
            cmdOK_Click();
            return 0;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == hwnd() && LOWORD(lParam) == HTCLIENT) {
                POINT pointer{};
                ::GetCursorPos(&pointer);
                ::ScreenToClient(hwnd(), &pointer);
                if (OverLink(pointer)) {
                    lbllink_MouseMove();
                    return TRUE;
                }
            }
            break;
        case WM_LBUTTONDOWN:
            // A click is a press and a release both on the link, as on a button.
            if (OverLink(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
                linkPressed_ = true;
                ::SetCapture(hwnd());
            }
            return 0;
        case WM_LBUTTONUP:
            if (linkPressed_) {
                linkPressed_ = false;
                ::ReleaseCapture();
                if (OverLink(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
                    lbllink_Click();
                }
            }
            return 0;
        case WM_CAPTURECHANGED:
            linkPressed_ = false;
            return 0;
    }
    return WindowBase::HandleMessage(msg, wParam, lParam);
}
