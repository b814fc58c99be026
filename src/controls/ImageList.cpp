#include "controls/ImageList.h"

#include <cstdint>
#include <new>

#include "win32/Dpi.h"
#include "win32/SystemProc.h"

namespace controls {

namespace {

using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

HICON LoadSized(HMODULE module, WORD id, int size) {
    // Common controls 6 scale a larger frame down when the exact size is missing, which looks
    // better than the classic loader's stretch of a smaller one; older versions lack it.
    static const auto scaleDown =
        win32::SystemProc<LoadIconWithScaleDownFn>("comctl32.dll", "LoadIconWithScaleDown");
    if (scaleDown != nullptr) {
        HICON icon = nullptr;
        if (SUCCEEDED(scaleDown(module, MAKEINTRESOURCEW(id), size, size, &icon))) {
            return icon;
        }
    }
    return static_cast<HICON>(
        ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// Appends a fully transparent image.
bool AddPlaceholder(HIMAGELIST list, int size) {
    const std::vector<uint32_t> clear(static_cast<size_t>(size) * size, 0);
    // Monochrome rows are padded to 16 bits; set bits mark transparent pixels.
    const std::vector<uint8_t> transparent(static_cast<size_t>((size + 15) / 16 * 2) * size, 0xFF);
    win32::Bitmap colour(::CreateBitmap(size, size, 1, 32, clear.data()));
    win32::Bitmap mask(::CreateBitmap(size, size, 1, 1, transparent.data()));
    return colour && mask && ::ImageList_Add(list, colour.get(), mask.get()) >= 0;
}

}  // namespace

ImageList::ImageList(std::vector<WORD> resourceIds, HMODULE module)
    : ids_(std::move(resourceIds)),
      module_(module != nullptr ? module : ::GetModuleHandleA(nullptr)) {}

HICON ImageList::Icon(int number, int size) const noexcept {
    if (number < 1 || number > Count() || size <= 0) {
        return nullptr;
    }
    const auto key = std::make_pair(number, size);
    if (const auto found = icons_.find(key); found != icons_.end()) {
        return found->second.get();
    }
    // A missing resource is remembered as null too: it will not appear later.
    win32::Icon icon(LoadSized(module_, ids_[number - 1], size));
    try {
        return icons_.emplace(key, std::move(icon)).first->second.get();
    } catch (const std::bad_alloc&) {
        return nullptr;  // no room to keep it: it goes with `icon`, and the caller gets none
    }
}

int ImageList::SmallIconSizeAt(UINT dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto metricsForDpi =
        win32::SystemProc<GetSystemMetricsForDpiFn>("user32.dll", "GetSystemMetricsForDpi");
    const int size = metricsForDpi != nullptr ? metricsForDpi(SM_CXSMICON, dpi) : 0;
    return size > 0 ? size : win32::FromScreenDpi(::GetSystemMetrics(SM_CXSMICON), dpi);
}

HIMAGELIST ImageList::Handle(int size) const {
    if (size <= 0) {
        return nullptr;
    }
    auto found = lists_.find(size);
    if (found != lists_.end()) {
        return found->second.get();
    }
    win32::ImageList list(::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, Count(), 0));
    if (!list) {
        return nullptr;
    }
    for (int number = 1; number <= Count(); ++number) {
        HICON icon = Icon(number, size);
        const bool added = icon != nullptr ? ::ImageList_AddIcon(list.get(), icon) >= 0
                                           : AddPlaceholder(list.get(), size);
        if (!added) {
            return nullptr;
        }
    }
    return lists_.emplace(size, std::move(list)).first->second.get();
}

}  // namespace controls
