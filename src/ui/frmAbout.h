// The About window: product title, maker, version, two pictures and a link to the maker's web
// page, above every other window, shown modally from the tray menu.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "win32/Handles.h"
#include "win32/WindowBase.h"

class frmAbout : public win32::WindowBase {
  public:
    // The pictures and the link pointer come from `resources`: the program's own file.
    explicit frmAbout(HMODULE resources = ::GetModuleHandleA(nullptr)) : resources_(resources) {}
    ~frmAbout() override;

    // Shows the window modally, owned by `owner` (disabled meanwhile, re-enabled and
    // re-activated after), and returns when it has closed. Its own message loop uses
    // IsDialogMessage so Enter and Esc press the OK button (close) and Tab moves focus
    // between the button and the link, where Enter or Space follows the link.
    // A WM_QUIT that arrives meanwhile closes the window and is posted again for the caller.
    // Does nothing while the window is already showing.
    void ShowModal(HWND owner);

    // Raised on a click on the link, or Enter or Space on it; the window stays open. What it
    // throws is dropped.
    std::function<void()> LinkClicked;

    // The version label as the load set it ("Version 1.1.4").
    const std::string& VersionText() const { return versionText_; }

    // The design is in twips (left, top, width, height), font sizes in hundredths of a point.
    struct TwipRect {
        int left, top, width, height;
    };
    static constexpr TwipRect kCmdOK{4080, 2400, 1260, 465};
    static constexpr int kButtonFontSize = 825;
    static constexpr TwipRect kLinkPlace{2520, 1680, 2775, 375};
    static constexpr int kLinkFontSize = 975;

  protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    enum Label { Label1, lblTitle, lblVersion, lbllink, kLabelCount };

    bool CreateForm(HWND owner);
    // Scale, fonts and the controls' places for `dpi`; the window's own size is the caller's.
    void Layout(UINT dpi);
    void Form_Load();
    void RunModalLoop();
    void cmdOK_Click();
    void lbllink_Click();
    void lbllink_MouseMove();
    void CreateLinkControl();
    static LRESULT CALLBACK LinkProc(HWND link, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data);
    bool OverLink(POINT clientPoint) const;
    void Paint(HDC target) const;
    void DrawForm(HDC dc) const;
    std::string_view LabelText(Label label) const;

    HMODULE resources_;
    HWND owner_ = nullptr;
    HWND cmdOK_ = nullptr;      // child window: goes with the form
    HWND link_ = nullptr;       // the link's keyboard and accessibility face; a child, too
    HWND lastFocus_ = nullptr;  // the child that had the focus when the form was left
    UINT dpi_ = 96;             // what the window is laid out for
    std::array<win32::Font, kLabelCount> labelFonts_;
    win32::Font buttonFont_;
    win32::Brush background_;
    win32::Bitmap image1_;
    win32::Bitmap image2_;
    HCURSOR linkCursor_ = nullptr;  // shared cursor from the resources: never destroyed
    std::optional<win32::WindowSubclass> linkSubclass_;  // removed as the form is destroyed
    std::string versionText_ = "Version:";
    bool linkPressed_ = false;
};
