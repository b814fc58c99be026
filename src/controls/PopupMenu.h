// Owner-drawn popup menu component for the tray. Items are numbered from 1 in the order added;
// a caption "-" is a separator, "-" followed by text a title line showing the text in bold (it
// can never be chosen), and "&" marks the accelerator. Items marked with ItemOwnerDraw raise
// MeasureItem and DrawItem, the others the component measures and draws itself. The highlighted
// item is framed in the highlight colour and keeps the menu's own colours.
//
// The menu is a real system popup menu. While ShowPopupMenu runs, the component subclasses the
// owner window to answer the menu's measuring, drawing and accelerator messages, so the owner's
// own window procedure never sees the messages of this menu's items.
//
// Sizes follow the DPI of the monitor the menu last opened on (at first the primary monitor),
// so ItemHeight gives the heights the open menu uses.
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

    // A window of the calling thread; the menu sends its messages there while it is open.
    void SetOwnerWindow(HWND owner);
    HWND OwnerWindow() const;
    void SetImageSource(HIMAGELIST images);  // icon index n is image n of the list, from 1
    HIMAGELIST ImageSource() const;

    // parent 0 = top level, otherwise a command item of the top level, which then opens a
    // submenu (one level deep); iconIndex -1 = none. Returns the new item's index.
    // A parent that is not such an item raises "Invalid procedure call or argument" (5).
    int32_t AddItem(const std::string& caption, int32_t itemData, int32_t parent, int32_t iconIndex,
                    bool checked, const std::string& key);
    // Every accessor below raises "Subscript out of range" (9) for an index that is not an item.
    void SetItemOwnerDraw(int32_t index, bool ownerDraw);
    int32_t ItemCount() const;
    int32_t ItemLevel(int32_t index) const;  // the parent's index: 0 for the top level
    // The DPI sizes are given for: the one of the monitor the menu last opened on.
    UINT Dpi() const;
    // Pixels, at the current DPI, exactly as the open menu is told (MeasureItem included).
    int32_t ItemHeight(int32_t index) const;
    void SetItemChecked(int32_t index, bool checked);
    bool ItemChecked(int32_t index) const;
    int32_t ItemData(int32_t index) const;
    std::string ItemKey(int32_t index) const;

    // Makes the owner window foreground and shows the menu at screen point (x, y) on that
    // point's monitor, opening downward or upward by the point's place on the monitor and
    // toward the user's preferred side horizontally; waits for the choice. Returns the chosen
    // item's index, or 0 when the menu was dismissed or could not be shown (no owner window,
    // no items, a menu already open).
    int32_t ShowPopupMenu(int32_t x, int32_t y);

    // Raised for marked items each time their size is asked for (ItemHeight and the open
    // menu): width and height come in as the component's own; what the handler leaves in them
    // is the item's size.
    std::function<void(int32_t index, int32_t& width, int32_t& height)> MeasureItem;
    // Raised each time a marked item is drawn, after its background is filled with the menu
    // colour. The rectangle is given so that the first item of the item's menu starts at
    // (0, 0): the DC's origin is moved to match, so a strip painted for a whole menu lines up
    // item by item. When doDefault (true on entry) is left true, the component then draws the
    // item's content inside the rectangle the handler left. Every item can be chosen, so
    // `disabled` is always false.
    std::function<void(HDC dc, int32_t index, int32_t& left, int32_t& top, int32_t& right,
                       int32_t& bottom, bool selected, bool checked, bool disabled,
                       bool& doDefault)>
        DrawItem;

    // The DPI of the monitor at a point, as the system gives it; tests put another in its
    // place to open the menu at a DPI their display lacks, or on a monitor it lacks.
    using DpiAtFn = UINT (*)(POINT point);
    static DpiAtFn DpiAt;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace controls
