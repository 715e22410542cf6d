#pragma once
// Move-only owners for Win32 handles and GDI selections, and the 8-bit to UTF-16 conversions.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace stats {

/// Owns a handle and closes it with Close on destruction.
template <typename H, auto Close>
class UniqueHandle {
public:
    explicit UniqueHandle(H h = nullptr) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    H get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    void reset(H h = nullptr) noexcept {
        if (h_) Close(h_);
        h_ = h;
    }

private:
    H h_;
};

inline void deleteGdiObject(HGDIOBJ object) noexcept { ::DeleteObject(object); }
inline void closeHandle(HANDLE handle) noexcept { ::CloseHandle(handle); }
inline void deleteDc(HDC dc) noexcept { ::DeleteDC(dc); }

using UniqueBrush = UniqueHandle<HBRUSH, &deleteGdiObject>;
using UniqueFont = UniqueHandle<HFONT, &deleteGdiObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &deleteGdiObject>;
using UniqueDc = UniqueHandle<HDC, &deleteDc>;
using UniqueEvent = UniqueHandle<HANDLE, &closeHandle>;

/// Selects a GDI object into a DC and puts the old one back on destruction.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(dc && object ? ::SelectObject(dc, object) : nullptr) {}
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ~ScopedSelect() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

/// A VARIANT that is cleared on destruction.
class VariantGuard {
public:
    VariantGuard() noexcept { ::VariantInit(&v_); }
    VariantGuard(const VariantGuard&) = delete;
    VariantGuard& operator=(const VariantGuard&) = delete;
    ~VariantGuard() { ::VariantClear(&v_); }
    VARIANT* get() noexcept { return &v_; }
    VARIANT* operator->() noexcept { return &v_; }

private:
    VARIANT v_;
};

/// An 8-bit text in the given code page as UTF-16.
inline std::wstring widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    const int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

/// The operator windows' texts are Windows-1251 (the Russian captions among them), shown so
/// whatever the system's ANSI code page.
inline std::wstring widenWindowText(std::string_view text) { return widen(text, 1251); }

/// UTF-16 as 8-bit text in the ANSI code page.
inline std::string narrow(const wchar_t* text, int length) {
    if (!text || length <= 0) return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace stats
