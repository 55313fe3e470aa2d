// One scoped owner for each kind of Windows handle the program holds. Each gives back what it
// holds when it is destroyed or handed another, moves but never copies, so nothing is freed twice
// and nothing is forgotten on an early return. Nowhere else is any of these freed by hand.
#pragma once

#include <windows.h>

#include <utility>

// The owner of one handle whose kind `Traits` describes: its empty value and how it is freed.
template <typename Traits>
class Owned {
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return Traits::Valid(handle_); }
    // Gives the handle up, to a new owner that frees it (the clipboard takes its memory).
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }
    void Reset(Handle handle = Traits::Empty())
    {
        if (Traits::Valid(handle_))
            Traits::Free(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Empty();
};

// Handles whose empty value is null.
template <typename HandleType, typename FreeFunction, FreeFunction kFree>
struct NullEmptyTraits {
    using Handle = HandleType;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Free(Handle handle) { kFree(handle); }
};

// A kernel object (a file, a thread, an event): CloseHandle. CreateFile's failure is
// INVALID_HANDLE_VALUE, other calls' is null; neither is closed.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Free(Handle handle) { CloseHandle(handle); }
};
using UniqueHandle = Owned<KernelHandleTraits>;

using MenuHandle = Owned<NullEmptyTraits<HMENU, decltype(&DestroyMenu), &DestroyMenu>>;
using IconHandle = Owned<NullEmptyTraits<HICON, decltype(&DestroyIcon), &DestroyIcon>>;
// Memory the system hands out to be given back with LocalFree (CommandLineToArgvW's words).
using LocalMemory = Owned<NullEmptyTraits<HLOCAL, decltype(&LocalFree), &LocalFree>>;
// Movable global memory, as the clipboard takes it.
using GlobalMemory = Owned<NullEmptyTraits<HGLOBAL, decltype(&GlobalFree), &GlobalFree>>;
using RegistryKey = Owned<NullEmptyTraits<HKEY, decltype(&RegCloseKey), &RegCloseKey>>;

// A GDI object (a bitmap, a brush): DeleteObject.
template <typename GdiHandle>
struct GdiObjectTraits {
    using Handle = GdiHandle;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr; }
    static void Free(Handle handle) { DeleteObject(handle); }
};
template <typename GdiHandle>
using GdiObject = Owned<GdiObjectTraits<GdiHandle>>;

// A device context from GetDC, given back to its window with ReleaseDC.
class WindowDC {
public:
    // Null: the whole screen's.
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
    }
    WindowDC(WindowDC&& other) noexcept : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDC& operator=(WindowDC&&) = delete;
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};
