#pragma once
// Owners for Win32 handles, GDI objects and COM pointers: one type per kind of release.
#include <windows.h>
#include <oleauto.h>
#include <wininet.h>
#include <wrl/client.h>

#include <memory>
#include <utility>

namespace Vantor {

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

// A handle released by Close when the owner goes away. Empty is null (and, for handles
// whose failure value is INVALID_HANDLE_VALUE, that value too).
template <typename T, BOOL(WINAPI* Close)(T), bool MinusOneIsEmpty = false>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const { return handle_; }
    explicit operator bool() const { return !IsEmpty(handle_); }
    T release() { return std::exchange(handle_, T{}); }
    void reset(T handle = T{})
    {
        const T old = std::exchange(handle_, handle);
        if (!IsEmpty(old))
            Close(old);
    }

private:
    static bool IsEmpty(T handle)
    {
        return handle == T{} || (MinusOneIsEmpty && reinterpret_cast<INT_PTR>(handle) == -1);
    }

    T handle_{};
};

namespace detail {
inline BOOL WINAPI DeleteGdiObject(HGDIOBJ object) { return DeleteObject(object); }
inline BOOL WINAPI CloseInternet(HINTERNET handle) { return InternetCloseHandle(handle); }
}  // namespace detail

using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueFileHandle = UniqueHandle<HANDLE, CloseHandle, true>;
using UniqueInternetHandle = UniqueHandle<HINTERNET, detail::CloseInternet>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, detail::DeleteGdiObject>;
using UniqueMemoryDC = UniqueHandle<HDC, DeleteDC>;
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;

// A GDI object of a known type (HBITMAP, HFONT, HBRUSH, HPEN, HRGN).
template <typename T>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(T object) : owner_(object) {}
    T get() const { return static_cast<T>(owner_.get()); }
    explicit operator bool() const { return static_cast<bool>(owner_); }
    void reset(T object = nullptr) { owner_.reset(object); }
    T release() { return static_cast<T>(owner_.release()); }

private:
    UniqueGdiObject owner_;
};

// Selects an object into a DC for the scope and puts the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectObjectScope() { SelectObject(dc_, previous_); }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A block from the COM task allocator (the shell's allocator too: item ID lists, strings the
// shell hands out), freed with CoTaskMemFree.
struct CoTaskMemFreer {
    void operator()(void* block) const { CoTaskMemFree(block); }
};
template <typename T>
using CoTaskMemPtr = std::unique_ptr<T, CoTaskMemFreer>;

// A BSTR owned for its scope.
class BStr {
public:
    BStr() = default;
    explicit BStr(const wchar_t* text) : text_(SysAllocString(text)) {}
    BStr(const wchar_t* text, UINT length) : text_(SysAllocStringLen(text, length)) {}
    BStr(BStr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    BStr& operator=(BStr&& other) noexcept
    {
        if (this != &other) {
            SysFreeString(text_);
            text_ = std::exchange(other.text_, nullptr);
        }
        return *this;
    }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    ~BStr() { SysFreeString(text_); }

    BSTR get() const { return text_; }
    UINT length() const { return SysStringLen(text_); }
    BSTR detach() { return std::exchange(text_, nullptr); }

private:
    BSTR text_ = nullptr;
};

}  // namespace Vantor
