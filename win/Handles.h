// RAII owners for Win32 handles. Each owns exactly one handle, cannot be copied,
// and releases it with the matching call.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <utility>

namespace qv::win {

template <typename H, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, Traits::invalid());
        }
        return *this;
    }
    H get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::invalid(); }
    H release() { return std::exchange(h_, Traits::invalid()); }
    void reset(H h = Traits::invalid()) {
        if (h_ != Traits::invalid()) Traits::close(h_);
        h_ = h;
    }

private:
    H h_ = Traits::invalid();
};

struct KernelHandleTraits {
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct RegKeyTraits {
    static HKEY invalid() { return nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};
struct LibraryTraits {
    static HMODULE invalid() { return nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
template <typename G>
struct GdiTraits {
    static G invalid() { return nullptr; }
    static void close(G h) { DeleteObject(h); }
};
struct IconTraits {
    static HICON invalid() { return nullptr; }
    static void close(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
    static HMENU invalid() { return nullptr; }
    static void close(HMENU h) { DestroyMenu(h); }
};
// A window the owner destroys itself (a tooltip, which no parent takes down).
struct WindowTraits {
    static HWND invalid() { return nullptr; }
    static void close(HWND h) {
        if (IsWindow(h)) DestroyWindow(h);
    }
};
struct ImageListTraits {
    static HIMAGELIST invalid() { return nullptr; }
    static void close(HIMAGELIST h);
};

using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;
using Library = UniqueHandle<HMODULE, LibraryTraits>;
using Font = UniqueHandle<HFONT, GdiTraits<HFONT>>;
using Brush = UniqueHandle<HBRUSH, GdiTraits<HBRUSH>>;
using Pen = UniqueHandle<HPEN, GdiTraits<HPEN>>;
using Bitmap = UniqueHandle<HBITMAP, GdiTraits<HBITMAP>>;
using Icon = UniqueHandle<HICON, IconTraits>;
using Menu = UniqueHandle<HMENU, MenuTraits>;
using ImageList = UniqueHandle<HIMAGELIST, ImageListTraits>;
using WindowHandle = UniqueHandle<HWND, WindowTraits>;

// A window's device context, from GetDC, released with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint/EndPaint around a WM_PAINT.
class PaintDC {
public:
    explicit PaintDC(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    ~PaintDC() { EndPaint(hwnd_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }
    const RECT& rect() const { return ps_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// A memory device context (CreateCompatibleDC) with a bitmap selected into it,
// for drawing off screen. The DC's own bitmap goes back in before the DC is
// deleted, so the bitmap is free again for BitBlt sources, image lists or
// deletion. Check it with operator bool: creating the DC can fail.
class MemoryDC {
public:
    MemoryDC(HDC compatible, HBITMAP bitmap) : dc_(CreateCompatibleDC(compatible)) {
        if (dc_ && bitmap) old_ = SelectObject(dc_, bitmap);
    }
    ~MemoryDC() {
        if (!dc_) return;
        if (old_) SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// Selects a GDI object into a DC for the lifetime of the guard.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectGuard() { SelectObject(dc_, old_); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace qv::win
