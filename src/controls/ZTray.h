// Notification-area icon control. Shows image `imagenumber` of its image list with a tool tip,
// raises MouseEvent with the button code (1 left, 2 right) when a button is released over the
// icon, puts the icon back when the taskbar is re-created (the "TaskbarCreated" message) and
// removes it when the control is destroyed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "controls/ImageList.h"

namespace controls {

class ZTray {
public:
    // Design settings: image list ImageList1, imagenumber 3.
    ZTray(const ImageList& images, int16_t imagenumber);
    ~ZTray();
    ZTray(const ZTray&) = delete;
    ZTray& operator=(const ZTray&) = delete;

    void SetIconVisible(bool visible);
    bool IconVisible() const;
    void SetToolTipText(const std::string& text);
    const std::string& ToolTipText() const;
    void SetImageNumber(int16_t number);
    int16_t ImageNumber() const;

    std::function<void(int16_t button)> MouseEvent;

    // The window that receives the icon's callback messages (for tests).
    HWND CallbackWindow() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace controls
