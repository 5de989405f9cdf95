// RAII owners for the Win32 resources the programs use. One small set, used everywhere, so
// that glue code reads as the algorithm rather than as cleanup.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace dp {

// A movable owner of one value. Traits give the "nothing owned" value and the close function.
template <typename Traits> class UniqueResource {
public:
    using T = typename Traits::Type;
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::Invalid(); }
    T release() { return std::exchange(value_, Traits::Invalid()); }
    void reset(T value = Traits::Invalid()) {
        T old = std::exchange(value_, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }
    // For out-parameters: releases what is held and hands out the slot.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::Invalid();
};

namespace detail {
template <typename H, auto CloseFn> struct NullTraits {
    using Type = H;
    static H Invalid() { return nullptr; }
    static void Close(H h) { CloseFn(h); }
};
inline void CloseKernelHandle(HANDLE h) {
    ::CloseHandle(h);
}
inline void CloseRegKey(HKEY k) {
    ::RegCloseKey(k);
}
inline void ReleaseModule(HMODULE m) {
    ::FreeLibrary(m);
}
inline void DeleteGdiObject(HGDIOBJ o) {
    ::DeleteObject(o);
}
inline void DeleteMemDc(HDC dc) {
    ::DeleteDC(dc);
}
inline void ReleaseLocal(HLOCAL m) {
    ::LocalFree(m);
}
inline void ReleaseBstr(BSTR s) {
    ::SysFreeString(s);
}
inline void DestroySafeArray(SAFEARRAY* a) {
    ::SafeArrayDestroy(a);
}
inline void CloseDesktopHandle(HDESK d) {
    ::CloseDesktop(d);
}
inline void DestroyIconHandle(HICON i) {
    ::DestroyIcon(i);
}
inline void DestroyCursorHandle(HCURSOR c) {
    ::DestroyCursor(c);
}
inline void RemoveHook(HHOOK h) {
    ::UnhookWindowsHookEx(h);
}
struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
} // namespace detail

// Kernel handles: files use INVALID_HANDLE_VALUE as "none", everything else nullptr.
using UniqueHandle = UniqueResource<detail::NullTraits<HANDLE, detail::CloseKernelHandle>>;
using UniqueFileHandle = UniqueResource<detail::FileHandleTraits>;
using UniqueRegKey = UniqueResource<detail::NullTraits<HKEY, detail::CloseRegKey>>;
using UniqueModule = UniqueResource<detail::NullTraits<HMODULE, detail::ReleaseModule>>;
using UniqueGdiObject = UniqueResource<detail::NullTraits<HGDIOBJ, detail::DeleteGdiObject>>;
using UniqueMemDc = UniqueResource<detail::NullTraits<HDC, detail::DeleteMemDc>>;
using UniqueLocal = UniqueResource<detail::NullTraits<HLOCAL, detail::ReleaseLocal>>;
using UniqueBstr = UniqueResource<detail::NullTraits<BSTR, detail::ReleaseBstr>>;
using UniqueSafeArray = UniqueResource<detail::NullTraits<SAFEARRAY*, detail::DestroySafeArray>>;
using UniqueDesktop = UniqueResource<detail::NullTraits<HDESK, detail::CloseDesktopHandle>>;
using UniqueIcon = UniqueResource<detail::NullTraits<HICON, detail::DestroyIconHandle>>;
// A cursor of our own (CopyCursor/CopyIcon, CreateCursor); never one LoadCursorW shares.
using UniqueCursor = UniqueResource<detail::NullTraits<HCURSOR, detail::DestroyCursorHandle>>;
using UniqueHook = UniqueResource<detail::NullTraits<HHOOK, detail::RemoveHook>>;

// The process and thread handles CreateProcessW hands back, both closed on scope exit.
class ProcessInformation {
public:
    ProcessInformation() = default;
    ~ProcessInformation() { reset(); }
    ProcessInformation(const ProcessInformation&) = delete;
    ProcessInformation& operator=(const ProcessInformation&) = delete;
    const PROCESS_INFORMATION& get() const { return info_; }
    // For CreateProcessW's out-parameter: releases what is held and hands out the record.
    PROCESS_INFORMATION* put() {
        reset();
        return &info_;
    }

private:
    void reset() {
        if (info_.hThread)
            ::CloseHandle(info_.hThread);
        if (info_.hProcess)
            ::CloseHandle(info_.hProcess);
        info_ = PROCESS_INFORMATION{};
    }

    PROCESS_INFORMATION info_{};
};

// A DC obtained with GetDC, given back with ReleaseDC (not DeleteDC).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_)
            ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint/EndPaint.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &ps_); }
    ~PaintDc() { ::EndPaint(window_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return ps_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back on scope exit.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR)
            ::SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    // False when the DC refused the object (for example a bitmap selected elsewhere).
    bool ok() const { return previous_ && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A COM interface pointer released on scope exit.
template <typename I> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    I** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (I* old = std::exchange(p_, nullptr))
            old->Release();
    }

private:
    I* p_ = nullptr;
};

// A VARIANT cleared on scope exit.
class Variant {
public:
    Variant() { ::VariantInit(&v_); }
    ~Variant() { ::VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &v_; }
    const VARIANT& value() const { return v_; }
    VARIANT* put() {
        ::VariantClear(&v_);
        return &v_;
    }
    // False when the text could not be allocated.
    bool SetText(const std::wstring& text) {
        ::VariantClear(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return v_.bstrVal != nullptr;
    }
    void SetInt(int value) {
        ::VariantClear(&v_);
        v_.vt = VT_I4;
        v_.lVal = value;
    }

private:
    VARIANT v_;
};

// CoInitialize/CoUninitialize pairing; balanced only when the initialisation succeeded.
class ComApartment {
public:
    ComApartment() : hr_(::CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

// Binds an optional entry of a DLL at run time: GetProcAddress cast to the given type.
template <typename Fn> Fn BindEntry(HMODULE module, const char* name) {
    if (!module)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

} // namespace dp
