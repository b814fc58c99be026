#include "ui/DesktopShell.h"

#include <exdisp.h>
#include <oaidl.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>

#include "win32/Com.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace DesktopShell {

namespace {

constexpr CLSID kShellWindows = {
    0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowser = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// The automation strings the shell's interface takes. Their allocator is loaded only for this
// rare path, so the program does not import it at every start.
class Automation {
  public:
    Automation()
        : module_(::LoadLibraryW(L"oleaut32.dll")),
          alloc_(Proc<AllocFn>("SysAllocStringLen")),
          free_(Proc<FreeFn>("SysFreeString")) {}
    bool ready() const { return alloc_ != nullptr && free_ != nullptr; }

    // An owned string: freed with the allocator that made it.
    class String {
      public:
        String(const Automation& automation, const std::string& text) : free_(automation.free_) {
            const std::wstring wide = win32::Wide(text);
            value_ = automation.alloc_(wide.data(), static_cast<UINT>(wide.size()));
        }
        ~String() { free_(value_); }
        String(const String&) = delete;
        String& operator=(const String&) = delete;

        BSTR get() const { return value_; }
        VARIANT variant() const {
            VARIANT v{};
            v.vt = VT_BSTR;
            v.bstrVal = value_;
            return v;
        }

      private:
        void(WINAPI* free_)(BSTR);
        BSTR value_ = nullptr;
    };

  private:
    using AllocFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
    using FreeFn = void(WINAPI*)(BSTR);
    template <class Fn>
    Fn Proc(const char* name) const {
        FARPROC proc = module_ ? ::GetProcAddress(module_.get(), name) : nullptr;
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
    }

    win32::Module module_;
    AllocFn alloc_;
    FreeFn free_;
};

// The shell's application object of the desktop's own view: the one that lives in Explorer's
// process, the documented way to have Explorer start something.
HRESULT DesktopApplication(win32::ComRef<IShellDispatch2>& application) {
    win32::ComRef<IShellWindows> windows;
    HRESULT hr = CreateInstance(kShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                __uuidof(IShellWindows), windows.put_void());
    if (FAILED(hr)) {
        return hr;
    }
    VARIANT nowhere{};  // VT_EMPTY
    long hwnd = 0;
    win32::ComRef<IDispatch> desktop;
    hr = windows->FindWindowSW(&nowhere, &nowhere, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                               desktop.put());
    if (hr != S_OK || !desktop) {
        return FAILED(hr) ? hr : E_FAIL;  // S_FALSE: no desktop window is registered
    }
    win32::ComRef<IServiceProvider> services;
    win32::ComRef<IShellBrowser> browser;
    win32::ComRef<IShellView> view;
    win32::ComRef<IDispatch> background;
    win32::ComRef<IShellFolderViewDual> folderView;
    win32::ComRef<IDispatch> dispatch;
    if (FAILED(hr = desktop->QueryInterface(__uuidof(IServiceProvider), services.put_void())) ||
        FAILED(hr = services->QueryService(kTopLevelBrowser, __uuidof(IShellBrowser),
                                           browser.put_void())) ||
        FAILED(hr = browser->QueryActiveShellView(view.put())) ||
        FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch),
                                        background.put_void())) ||
        FAILED(hr = background->QueryInterface(__uuidof(IShellFolderViewDual),
                                               folderView.put_void())) ||
        FAILED(hr = folderView->get_Application(dispatch.put()))) {
        return hr;
    }
    if (!dispatch) {
        return E_FAIL;
    }
    return dispatch->QueryInterface(__uuidof(IShellDispatch2), application.put_void());
}

}  // namespace

CreateInstanceFn CreateInstance = &::CoCreateInstance;

HRESULT Execute(const std::string& file, const std::string& parameters,
                const std::string& directory, const std::string& verb, int showCommand) {
    const Automation automation;
    if (!automation.ready()) {
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    win32::ComRef<IShellDispatch2> application;
    const HRESULT hr = DesktopApplication(application);
    if (FAILED(hr)) {
        return hr;
    }
    const Automation::String name(automation, file);
    const Automation::String arguments(automation, parameters);
    const Automation::String folder(automation, directory);
    const Automation::String operation(automation, verb);
    if (name.get() == nullptr || arguments.get() == nullptr || folder.get() == nullptr ||
        operation.get() == nullptr) {
        return E_OUTOFMEMORY;
    }
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = showCommand;
    // The user has just chosen the item, so this program may take the foreground; passed on,
    // the right lets Explorer bring up what it opens, which would otherwise open behind or only
    // flash. A refusal leaves the request as it is.
    ::CoAllowSetForegroundWindow(application.get(), nullptr);
    return application->ShellExecute(name.get(), arguments.variant(), folder.variant(),
                                     operation.variant(), show);
}

}  // namespace DesktopShell
