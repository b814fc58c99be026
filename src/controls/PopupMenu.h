// Owner-drawn popup menu component for the tray. Items are numbered from 1 in the order added;
// a caption "-" is a separator, "-" followed by text a title line showing the text, and "&"
// marks the accelerator. Items marked with ItemOwnerDraw raise MeasureItem and DrawItem, the
// others the component measures and draws itself.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace controls {

class PopupMenu {
public:
    PopupMenu();
    ~PopupMenu();
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    void SetOwnerWindow(HWND owner);
    HWND OwnerWindow() const;
    void SetImageSource(HIMAGELIST images);  // icon index n is image n of the list, from 1
    void SetMenuStyle(int32_t style);

    // parent 0 = top level; iconIndex -1 = none. Returns the new item's index.
    int32_t AddItem(const std::string& caption, const std::string& helpText, int32_t itemData,
                    int32_t parent, int32_t iconIndex, bool checked, bool enabled,
                    const std::string& key);
    void SetItemOwnerDraw(int32_t index, bool ownerDraw);
    int32_t ItemCount() const;
    int32_t ItemLevel(int32_t index) const;   // equal for the items of one menu level
    int32_t ItemHeight(int32_t index) const;  // pixels
    void SetItemChecked(int32_t index, bool checked);
    bool ItemChecked(int32_t index) const;
    int32_t ItemData(int32_t index) const;
    std::string ItemKey(int32_t index) const;

    // Shows the menu at screen point (x, y) and waits for the choice; returns the chosen
    // item's index, or 0 when the menu was dismissed.
    int32_t ShowPopupMenu(int32_t x, int32_t y, int32_t flags, bool returnIndex);

    std::function<void(int32_t index, int32_t& width, int32_t& height)> MeasureItem;
    std::function<void(HDC dc, int32_t index, int32_t& left, int32_t& top, int32_t& right,
                       int32_t& bottom, bool selected, bool checked, bool disabled,
                       bool& doDefault)>
        DrawItem;
    std::function<void(int32_t& item, bool& enabled, bool& separator)> ItemHighlight;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace controls
