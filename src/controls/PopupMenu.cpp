#include "controls/PopupMenu.h"

#include <algorithm>

#include "controls/MenuItems.h"
#include "controls/MenuPainter.h"
#include "controls/MenuSession.h"
#include "win32/Dpi.h"

namespace controls {

PopupMenu::DpiAtFn PopupMenu::DpiAt = [](POINT point) {
    return win32::MonitorDpi(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
};

// The items, their look and the open menu, joined by the component's events.
class PopupMenu::Impl final : public MenuSession::Host {
  public:
    explicit Impl(PopupMenu& outer)
        : painter(PopupMenu::DpiAt(POINT{0, 0})),  // the primary monitor's, till it opens
          session(items, painter, *this),
          outer_(outer) {}

    HWND owner = nullptr;
    MenuItems items;
    MenuPainter painter;
    MenuSession session;

    UINT DpiAt(POINT point) override { return PopupMenu::DpiAt(point); }

    // The item's size at the current DPI; marked items pass it through MeasureItem.
    SIZE MeasureItem(int32_t index) override {
        const MenuItem item = items.At(index);  // a copy: the handler may add items
        const SIZE own = painter.Measure(item);
        if (!item.ownerDraw || !outer_.MeasureItem) {
            return own;
        }
        int32_t width = own.cx;
        int32_t height = own.cy;
        outer_.MeasureItem(index, width, height);
        return SIZE{std::max<LONG>(0, width), std::max<LONG>(0, height)};
    }

    void DrawItem(HDC dc, int32_t index, const MenuItem& item, RECT& area, bool selected,
                  bool& doDefault) override {
        if (!item.ownerDraw || !outer_.DrawItem) {
            return;
        }
        int32_t left = area.left;
        int32_t top = area.top;
        int32_t right = area.right;
        int32_t bottom = area.bottom;
        outer_.DrawItem(dc, index, left, top, right, bottom, selected, item.checked, false,
                        doDefault);
        area = RECT{left, top, right, bottom};
    }

  private:
    PopupMenu& outer_;
};

PopupMenu::PopupMenu() : impl_(std::make_unique<Impl>(*this)) {}

PopupMenu::~PopupMenu() = default;

void PopupMenu::SetOwnerWindow(HWND owner) {
    impl_->owner = owner;
}

HWND PopupMenu::OwnerWindow() const {
    return impl_->owner;
}

void PopupMenu::SetImageSource(HIMAGELIST images) {
    impl_->painter.SetImages(images);
}

HIMAGELIST PopupMenu::ImageSource() const {
    return impl_->painter.Images();
}

int32_t PopupMenu::AddItem(const std::string& caption, int32_t itemData, int32_t parent,
                           int32_t iconIndex, bool checked, const std::string& key) {
    MenuItem item;
    item.caption = caption;
    item.data = itemData;
    item.parent = parent;
    item.icon = iconIndex;
    item.checked = checked;
    item.key = key;
    return impl_->items.Add(std::move(item));
}

void PopupMenu::SetItemOwnerDraw(int32_t index, bool ownerDraw) {
    impl_->items.At(index).ownerDraw = ownerDraw;
}

int32_t PopupMenu::ItemCount() const {
    return impl_->items.Count();
}

int32_t PopupMenu::ItemLevel(int32_t index) const {
    return impl_->items.At(index).parent;
}

UINT PopupMenu::Dpi() const {
    return impl_->painter.Dpi();
}

int32_t PopupMenu::ItemHeight(int32_t index) const {
    return impl_->MeasureItem(index).cy;
}

void PopupMenu::SetItemChecked(int32_t index, bool checked) {
    impl_->items.At(index).checked = checked;
}

bool PopupMenu::ItemChecked(int32_t index) const {
    return impl_->items.At(index).checked;
}

int32_t PopupMenu::ItemData(int32_t index) const {
    return impl_->items.At(index).data;
}

std::string PopupMenu::ItemKey(int32_t index) const {
    return impl_->items.At(index).key;
}

int32_t PopupMenu::ShowPopupMenu(int32_t x, int32_t y) {
    return impl_->session.Show(impl_->owner, POINT{x, y});
}

}  // namespace controls
