// Owners for operating-system handles: each closes its handle exactly once, in its destructor.
// Copying is deleted; moving hands the handle over.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace win32 {

template <class T, auto Close, T Invalid = T{}>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    T get() const { return handle_; }
    explicit operator bool() const { return handle_ != Invalid; }
    // For calls that deliver a new handle through a pointer: the old one is closed first.
    T* put() {
        reset();
        return &handle_;
    }
    T release() { return std::exchange(handle_, Invalid); }
    void reset(T handle = Invalid) {
        T old = std::exchange(handle_, handle);
        if (old != Invalid) {
            Close(old);
        }
    }

  private:
    T handle_ = Invalid;
};

namespace detail {
inline void CloseKey(HKEY key) {
    ::RegCloseKey(key);
}
inline void CloseKernelHandle(HANDLE h) {
    ::CloseHandle(h);
}
inline void DeleteGdiObject(HGDIOBJ obj) {
    ::DeleteObject(obj);
}
inline void DeleteMemoryDc(HDC dc) {
    ::DeleteDC(dc);
}
inline void DestroyIconHandle(HICON icon) {
    ::DestroyIcon(icon);
}
inline void DestroyCursorHandle(HCURSOR cursor) {
    ::DestroyCursor(cursor);
}
inline void DestroyMenuHandle(HMENU menu) {
    ::DestroyMenu(menu);
}
inline void DestroyImageList(HIMAGELIST list) {
    ::ImageList_Destroy(list);
}
inline void UnhookHook(HHOOK hook) {
    ::UnhookWindowsHookEx(hook);
}
inline void UnhookEventHook(HWINEVENTHOOK hook) {
    ::UnhookWinEvent(hook);
}
inline void FreeLibraryHandle(HMODULE module) {
    ::FreeLibrary(module);
}
inline void DestroyWindowHandle(HWND hwnd) {
    ::DestroyWindow(hwnd);
}
inline void UnmapView(void* view) {
    ::UnmapViewOfFile(view);
}
inline void CloseDesktopHandle(HDESK desktop) {
    ::CloseDesktop(desktop);
}
}  // namespace detail

using Key = UniqueHandle<HKEY, detail::CloseKey>;
using Handle = UniqueHandle<HANDLE, detail::CloseKernelHandle>;
using MemoryDc = UniqueHandle<HDC, detail::DeleteMemoryDc>;
using Icon = UniqueHandle<HICON, detail::DestroyIconHandle>;
using Cursor = UniqueHandle<HCURSOR, detail::DestroyCursorHandle>;
using Menu = UniqueHandle<HMENU, detail::DestroyMenuHandle>;
using ImageList = UniqueHandle<HIMAGELIST, detail::DestroyImageList>;
using Hook = UniqueHandle<HHOOK, detail::UnhookHook>;
using WinEventHook = UniqueHandle<HWINEVENTHOOK, detail::UnhookEventHook>;
using Module = UniqueHandle<HMODULE, detail::FreeLibraryHandle>;
using Window = UniqueHandle<HWND, detail::DestroyWindowHandle>;
using MappedView = UniqueHandle<void*, detail::UnmapView>;
using Desktop = UniqueHandle<HDESK, detail::CloseDesktopHandle>;

// Any GDI object (brush, font, bitmap, pen, region).
template <class T>
using GdiObject = UniqueHandle<T, detail::DeleteGdiObject>;
using Brush = GdiObject<HBRUSH>;
using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;

// A device context from GetDC, given back with ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) {
            ::ReleaseDC(hwnd_, dc_);
        }
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a DC for one scope and puts the previous one back.
class SelectGuard {
  public:
    SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_ != nullptr && old_ != HGDI_ERROR) {
            ::SelectObject(dc_, old_);
        }
    }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// Restores everything drawing changed in a DC (origin, font, colours) at the end of a scope.
class SavedDc {
  public:
    explicit SavedDc(HDC dc) : dc_(dc), state_(::SaveDC(dc)) {}
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;
    ~SavedDc() {
        if (state_ != 0) {
            ::RestoreDC(dc_, state_);
        }
    }

  private:
    HDC dc_;
    int state_;
};

// A window subclass for one scope.
class WindowSubclass {
  public:
    WindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data)
        : hwnd_(hwnd),
          proc_(proc),
          id_(id),
          installed_(::SetWindowSubclass(hwnd, proc, id, data)) {}
    WindowSubclass(const WindowSubclass&) = delete;
    WindowSubclass& operator=(const WindowSubclass&) = delete;
    ~WindowSubclass() {
        if (installed_) {
            ::RemoveWindowSubclass(hwnd_, proc_, id_);
        }
    }
    explicit operator bool() const { return installed_; }

  private:
    HWND hwnd_;
    SUBCLASSPROC proc_;
    UINT_PTR id_;
    bool installed_;
};

// Holds a slim reader/writer lock, exclusively or shared, for one scope.
template <void(WINAPI* Acquire)(PSRWLOCK), void(WINAPI* Release)(PSRWLOCK)>
class SrwHold {
  public:
    explicit SrwHold(SRWLOCK& lock) : lock_(lock) { Acquire(&lock_); }
    SrwHold(const SrwHold&) = delete;
    SrwHold& operator=(const SrwHold&) = delete;
    ~SrwHold() { Release(&lock_); }

  private:
    SRWLOCK& lock_;
};
using SrwExclusive = SrwHold<&::AcquireSRWLockExclusive, &::ReleaseSRWLockExclusive>;
using SrwShared = SrwHold<&::AcquireSRWLockShared, &::ReleaseSRWLockShared>;

}  // namespace win32
