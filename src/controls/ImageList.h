// Image list control: a numbered list (from 1) of icon resources of the program's own file,
// each loaded at the size asked for, so that images stay sharp at every DPI.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <utility>
#include <vector>

#include "win32/Handles.h"

namespace controls {

class ImageList {
  public:
    // resourceIds[0] is image 1. The icons come from `module`; null means the program's file.
    explicit ImageList(std::vector<WORD> resourceIds, HMODULE module = nullptr);

    int Count() const { return static_cast<int>(ids_.size()); }

    // Image `number` (from 1) as an icon `size` pixels square, loaded once per size and owned
    // by the list. Null when the number is out of range, the resource is missing or there is
    // no memory to keep it.
    HICON Icon(int number, int size) const noexcept;

    // The whole list as a system image list of `size`-pixel images (for the menu), built once
    // per size and owned by the list. Index 0 is image 1; a missing image stays a transparent
    // placeholder so that the indexes keep their places. Null when the list cannot be made.
    HIMAGELIST Handle(int size) const;

    // The system's small icon size at `dpi`: as the system gives it for that DPI from Windows
    // 10 1607 on, before that its one size scaled from the screen's DPI.
    static int SmallIconSizeAt(UINT dpi);

  private:
    std::vector<WORD> ids_;
    HMODULE module_;
    mutable std::map<std::pair<int, int>, win32::Icon> icons_;
    mutable std::map<int, win32::ImageList> lists_;
};

}  // namespace controls
