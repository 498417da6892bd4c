#pragma once
// One owner type for every Win32 handle; the traits say what "no handle" is and how to let one go,
// because the API families disagree (nullptr or INVALID_HANDLE_VALUE, CloseHandle or FindClose).
#include <windows.h>

#include <commctrl.h>

#include <utility>

namespace mvn {

template <class Traits>
class Unique {
public:
    using T = typename Traits::type;

    Unique() = default;
    explicit Unique(T value) noexcept : value_(value) {}
    Unique(Unique&& other) noexcept : value_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }
    // For Win32 out-parameters: lets go of the old handle first.
    T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) noexcept {
        if (value_ != Traits::invalid()) Traits::close(value_);
        value_ = value;
    }

private:
    T value_ = Traits::invalid();
};

template <class H, auto Close>
struct NullIsEmpty {
    using type = H;
    static H invalid() noexcept { return nullptr; }
    static void close(H handle) noexcept { Close(handle); }
};

template <auto Close>
struct InvalidHandleIsEmpty {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE handle) noexcept { Close(handle); }
};

using UniqueHandle = Unique<NullIsEmpty<HANDLE, &::CloseHandle>>;
using UniqueFile = Unique<InvalidHandleIsEmpty<&::CloseHandle>>;
using UniqueFind = Unique<InvalidHandleIsEmpty<&::FindClose>>;
using UniqueKey = Unique<NullIsEmpty<HKEY, &::RegCloseKey>>;
using UniqueModule = Unique<NullIsEmpty<HMODULE, &::FreeLibrary>>;
using UniqueFont = Unique<NullIsEmpty<HFONT, &::DeleteObject>>;
using UniqueBitmap = Unique<NullIsEmpty<HBITMAP, &::DeleteObject>>;
using UniqueBrush = Unique<NullIsEmpty<HBRUSH, &::DeleteObject>>;
using UniquePen = Unique<NullIsEmpty<HPEN, &::DeleteObject>>;
using UniqueMemoryDC = Unique<NullIsEmpty<HDC, &::DeleteDC>>;
using UniqueImageList = Unique<NullIsEmpty<HIMAGELIST, &::ImageList_Destroy>>;
using UniqueWindow = Unique<NullIsEmpty<HWND, &::DestroyWindow>>;

// GetDC must be paired with ReleaseDC on the same window, so it needs both values.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// A DC must not be deleted, nor an object it holds, while a selected object is still in it.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ~ScopedSelect() {
        if (previous_ && previous_ != SelectFailed()) ::SelectObject(dc_, previous_);
    }

private:
    // HGDI_ERROR spelt out: the SDK macro converts 0xFFFFFFFF to a signed long, which a 64-bit
    // build with -Wsign-conversion rejects. The value is the same all-ones handle on both.
    static HGDIOBJ SelectFailed() noexcept { return reinterpret_cast<HGDIOBJ>(static_cast<LONG_PTR>(-1)); }

    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace mvn
