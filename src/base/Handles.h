#pragma once
// Move-only owners of OS handles, one small template with a typedef per kind,
// and a scope-exit helper for what is not a handle (cursor, disabled windows).
#include <windows.h>

#include <utility>

template <class Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;
    UniqueHandle() = default;
    explicit UniqueHandle(Type h) : h_(h) {}
    UniqueHandle(UniqueHandle &&o) noexcept : h_(o.release()) {}
    UniqueHandle &operator=(UniqueHandle &&o) noexcept {
        reset(o.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Type get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }
    Type release() { return std::exchange(h_, Traits::Invalid()); }
    // The old handle is taken out before it is closed: closing a window sends
    // messages that may look at this owner again.
    void reset(Type h = Traits::Invalid()) {
        Type old = std::exchange(h_, h);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

private:
    Type h_ = Traits::Invalid();
};

namespace HandleTraits {
template <class T, auto CloseFn> struct NullInvalid {
    using Type = T;
    static T Invalid() { return nullptr; }
    static void Close(T h) { CloseFn(h); }
};
struct File {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
inline void DeleteGdi(HGDIOBJ h) { DeleteObject(h); }
} // namespace HandleTraits

using UniqueWindow = UniqueHandle<HandleTraits::NullInvalid<HWND, DestroyWindow>>;
using UniqueFont = UniqueHandle<HandleTraits::NullInvalid<HFONT, HandleTraits::DeleteGdi>>;
using UniqueBrush = UniqueHandle<HandleTraits::NullInvalid<HBRUSH, HandleTraits::DeleteGdi>>;
using UniqueRegKey = UniqueHandle<HandleTraits::NullInvalid<HKEY, RegCloseKey>>;
using UniqueFile = UniqueHandle<HandleTraits::File>;

// A device context with a font selected into it: the old object is selected
// again and the context given back at scope end. Without a window it is the
// screen's, for measuring text; without a font it keeps its own.
class ScopedDC {
public:
    explicit ScopedDC(HGDIOBJ Font, HWND Window = nullptr)
        : window_(Window), dc_(GetDC(Window)), old_(Font ? SelectObject(dc_, Font) : nullptr) {}
    ~ScopedDC() {
        if (old_)
            SelectObject(dc_, old_);
        ReleaseDC(window_, dc_);
    }
    ScopedDC(const ScopedDC &) = delete;
    ScopedDC &operator=(const ScopedDC &) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ old_;
};

// An object selected into a device context someone else owns, until scope end.
class ScopedSelection {
public:
    ScopedSelection(HDC Dc, HGDIOBJ Object) : dc_(Dc), old_(SelectObject(Dc, Object)) {}
    ~ScopedSelection() { SelectObject(dc_, old_); }
    ScopedSelection(const ScopedSelection &) = delete;
    ScopedSelection &operator=(const ScopedSelection &) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

template <class F> class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() {
        if (armed_)
            f_();
    }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;
    // The way out that needs no cleanup (the work was handed on).
    void release() { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};
