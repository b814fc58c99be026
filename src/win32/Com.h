// Owners for COM: the calling thread's apartment, and interface references.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace win32 {

// Joins the calling thread to a single-threaded apartment for the owner's lifetime, OLE1 DDE off
// (what the shell asks of the threads that call ShellExecute). A thread already in an apartment
// stays in it; the owner then only balances its own call.
class ComApartment {
  public:
    ComApartment()
        : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT result() const { return result_; }

  private:
    HRESULT result_;
};

// One reference to an interface, released once.
template <class T>
class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For calls that deliver a new reference through a pointer: the old one is released first.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (T* old = std::exchange(p_, nullptr)) {
            old->Release();
        }
    }

  private:
    T* p_ = nullptr;
};

}  // namespace win32
