// Move-only owners for Win32 handles (every handle the program creates has exactly one
// owner), and the scoped locks and saves that pair with them.
#pragma once
#include <windows.h>

#include <utility>

namespace quillon {

template <typename Traits> class CUniqueHandle {
public:
    using Handle = typename Traits::Handle;
    CUniqueHandle() = default;
    explicit CUniqueHandle(Handle h) : m_h(h) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& o) noexcept : m_h(o.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& o) noexcept {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }
    Handle Get() const { return m_h; }
    // For a function that hands the new handle out through a pointer: whatever was held is
    // released first.
    Handle* Put() {
        Reset();
        return &m_h;
    }
    explicit operator bool() const { return Traits::IsValid(m_h); }
    Handle Release() { return std::exchange(m_h, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) {
        if (Traits::IsValid(m_h))
            Traits::Close(m_h);
        m_h = h;
    }

private:
    Handle m_h = Traits::Invalid();
};

namespace handle_traits {
// A handle that null means "none" for, released by one call whose result does not matter.
template <typename H, auto CloseFn> struct Simple {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseFn(h); }
};
struct Kernel { // CloseHandle; both NULL and INVALID_HANDLE_VALUE mean "none"
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct Global {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::GlobalFree(h); }
};
struct Gdi {
    using Handle = HGDIOBJ;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
} // namespace handle_traits

using CHandle = CUniqueHandle<handle_traits::Kernel>;
using CIconHandle = CUniqueHandle<handle_traits::Simple<HICON, ::DestroyIcon>>;
using CMenuHandle = CUniqueHandle<handle_traits::Simple<HMENU, ::DestroyMenu>>;
using CHookHandle = CUniqueHandle<handle_traits::Simple<HHOOK, ::UnhookWindowsHookEx>>;
using CWinEventHookHandle = CUniqueHandle<handle_traits::Simple<HWINEVENTHOOK, ::UnhookWinEvent>>;
using CGlobalHandle = CUniqueHandle<handle_traits::Global>;
using CGdiHandle = CUniqueHandle<handle_traits::Gdi>;

// Global memory locked for the scope.
template <typename T> class CGlobalLock {
public:
    explicit CGlobalLock(HGLOBAL h) : m_h(h), m_p(static_cast<T*>(h ? ::GlobalLock(h) : nullptr)) {}
    ~CGlobalLock() {
        if (m_p)
            ::GlobalUnlock(m_h);
    }
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;
    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    HGLOBAL m_h;
    T* m_p;
};

// A device context saved on entry and restored on exit.
class CSaveDC {
public:
    explicit CSaveDC(HDC dc) : m_dc(dc), m_state(::SaveDC(dc)) {}
    ~CSaveDC() {
        if (m_state)
            ::RestoreDC(m_dc, m_state);
    }
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;

private:
    HDC m_dc;
    int m_state;
};

} // namespace quillon
