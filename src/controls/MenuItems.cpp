#include "controls/MenuItems.h"

#include "diagnostics/RuntimeError.h"

namespace controls {

namespace {

constexpr int32_t kErrInvalidArgument = 5;
constexpr int32_t kErrSubscriptOutOfRange = 9;
constexpr char kSource[] = "PopupMenu";

// Menu messages carry item identifiers and positions in 16 bits.
constexpr size_t kMaxItems = 0xFFFF;

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              static_cast<int>(wide.size()))));
    return wide;
}

[[noreturn]] void RaiseSubscriptOutOfRange() {
    throw diagnostics::RuntimeError(kErrSubscriptOutOfRange, "Subscript out of range", kSource);
}

[[noreturn]] void RaiseInvalidArgument() {
    throw diagnostics::RuntimeError(kErrInvalidArgument, "Invalid procedure call or argument",
                                    kSource);
}

}  // namespace

MenuItemKind MenuItem::kind() const {
    if (caption == "-") {
        return MenuItemKind::Separator;
    }
    return !caption.empty() && caption[0] == '-' ? MenuItemKind::Title : MenuItemKind::Command;
}

const char* MenuItem::text() const {
    return kind() == MenuItemKind::Title ? caption.c_str() + 1 : caption.c_str();
}

WCHAR MenuItem::Accelerator() const {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') {
            continue;
        }
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        const bool pair =
            ::IsDBCSLeadByte(static_cast<BYTE>(caption[i + 1])) && i + 2 < caption.size();
        WCHAR c = 0;
        ::MultiByteToWideChar(CP_ACP, 0, caption.data() + i + 1, pair ? 2 : 1, &c, 1);
        return c;
    }
    return 0;
}

std::wstring MenuItem::SpokenText() const {
    std::string plain;
    for (const char* c = text(); *c != '\0'; ++c) {
        if (*c == '&' && *++c == '\0') {
            break;
        }
        plain += *c;
    }
    return Widen(plain);
}

int32_t MenuItems::Add(MenuItem item) {
    if (item.parent != 0) {
        const MenuItem& parent = At(item.parent);
        if (parent.parent != 0 || parent.kind() != MenuItemKind::Command) {
            RaiseInvalidArgument();
        }
    }
    if (items_.size() >= kMaxItems) {
        RaiseInvalidArgument();
    }
    items_.push_back(std::move(item));
    return Count();
}

MenuItem& MenuItems::At(int32_t index) {
    return items_[Slot(index)];
}

const MenuItem& MenuItems::At(int32_t index) const {
    return items_[Slot(index)];
}

std::vector<int32_t> MenuItems::ChildrenOf(int32_t parent) const {
    std::vector<int32_t> children;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].parent == parent) {
            children.push_back(static_cast<int32_t>(i + 1));
        }
    }
    return children;
}

size_t MenuItems::Slot(int32_t index) const {
    if (index < 1 || index > Count()) {
        RaiseSubscriptOutOfRange();
    }
    return static_cast<size_t>(index) - 1;
}

bool MenuItems::IsChoice(int32_t index) const {
    return index >= 1 && index <= Count() && At(index).kind() == MenuItemKind::Command &&
           ChildrenOf(index).empty();
}

}  // namespace controls
