// One open PopupMenu: a real system popup menu built from the items, every item owner-drawn.
// While it is open the owner window is subclassed to answer the menu's measuring, drawing and
// accelerator messages, so the owner's own window procedure never sees those of its items.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "controls/MenuItems.h"
#include "controls/MenuPainter.h"
#include "win32/Handles.h"

namespace controls {

class MenuSession {
  public:
    // What the open menu asks of the component that opens it.
    class Host {
      public:
        // The DPI of the monitor the menu opens on, at the point it opens at.
        virtual UINT DpiAt(POINT point) = 0;
        // An item's size as the open menu is told; where it throws, the painter's own is.
        virtual SIZE MeasureItem(int32_t index) = 0;
        // Called once the item's background is filled, with `item` as it was then and `area`
        // where its content goes. The painter draws the content in the `area` left unless
        // `doDefault` is cleared.
        virtual void DrawItem(HDC dc, int32_t index, const MenuItem& item, RECT& area,
                              bool selected, bool& doDefault) = 0;

      protected:
        ~Host() = default;
    };

    MenuSession(const MenuItems& items, MenuPainter& painter, Host& host);
    ~MenuSession();
    MenuSession(const MenuSession&) = delete;
    MenuSession& operator=(const MenuSession&) = delete;

    // Makes `owner` foreground and shows the menu at screen point `point`; waits for the
    // choice. Returns the chosen item's index, or 0 when the menu was dismissed or could not
    // be shown (no window, no items, a menu already open).
    int32_t Show(HWND owner, POINT point);

  private:
    struct ItemName;
    class OpenState;

    win32::Menu BuildMenu(int32_t parent);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    bool HandleMenuMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnMeasureItem(MEASUREITEMSTRUCT& measure);
    void OnDrawItem(const DRAWITEMSTRUCT& draw);
    LRESULT OnMenuChar(HWND hwnd, WPARAM wParam, HMENU menu) const;
    int32_t IndexOf(ULONG_PTR data) const;
    int32_t LevelOf(HMENU menu) const;

    const MenuItems& items_;
    MenuPainter& painter_;
    Host& host_;
    bool showing_ = false;
    std::vector<std::pair<HMENU, int32_t>> openMenus_;  // each open menu and its parent index
    std::vector<LONG> shownHeights_;                    // by index, as the open menu was told
    std::vector<std::unique_ptr<ItemName>> names_;      // the open menus' item data
};

}  // namespace controls
