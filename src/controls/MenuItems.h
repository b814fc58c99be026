// The items of a PopupMenu: numbered from 1 in the order added, each at the top level or in
// the submenu of a top-level command. What an item is follows from its caption: "-" is a
// separator, "-" followed by text a title line, anything else a command, whose "&" marks the
// accelerator ("&&" shows an ampersand).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace controls {

enum class MenuItemKind { Command, Separator, Title };

struct MenuItem {
    std::string caption;
    int32_t data = 0;
    int32_t parent = 0;  // 0 for the top level
    int32_t icon = -1;   // image `icon` of the image source, from 1; -1 for none
    bool checked = false;
    bool ownerDraw = false;
    std::string key;

    MenuItemKind kind() const;
    // What the item shows: a title line without its leading "-".
    const char* text() const;
    // The character after the first single "&"; 0 when there is none.
    WCHAR Accelerator() const;
    // The text as read aloud: without the "&" markers.
    std::wstring SpokenText() const;
};

class MenuItems {
  public:
    // A parent that is not a command of the top level, or one item more than menu messages
    // can number, raises "Invalid procedure call or argument" (5). Returns the new index.
    int32_t Add(MenuItem item);
    // An index that is not an item raises "Subscript out of range" (9).
    MenuItem& At(int32_t index);
    const MenuItem& At(int32_t index) const;
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // The indexes of the items below `parent` (0: the top level), in order.
    std::vector<int32_t> ChildrenOf(int32_t parent) const;
    // Whether `index` is an item the user can choose: a command that opens no submenu.
    bool IsChoice(int32_t index) const;

  private:
    size_t Slot(int32_t index) const;

    std::vector<MenuItem> items_;  // items_[i - 1] is item i
};

}  // namespace controls
