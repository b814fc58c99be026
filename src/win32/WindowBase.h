// Base of the program's windows: a static window procedure finds the C++ object (stored at
// WM_NCCREATE) and hands each message to its HandleMessage. No exception leaves the procedure.
#pragma once

#include <windows.h>

namespace win32 {

class WindowBase {
  public:
    WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    virtual ~WindowBase();

    HWND hwnd() const { return hwnd_; }

    // Destroys the window now, if it exists; the destructor does the same.
    void Destroy() noexcept;

  protected:
    // Registers the class on first use (with the given class style and cursor) and creates
    // the window. Returns false when the window could not be created.
    bool Create(const char* className, DWORD exStyle, DWORD style, const char* title, HWND parent,
                int x, int y, int width, int height, UINT classStyle = 0,
                HBRUSH background = nullptr);

    // Handles one message; the default hands it to DefWindowProcA.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

}  // namespace win32
