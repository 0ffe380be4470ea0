// Handles owned once, closed once.
#pragma once

#include "platform/win32/Win32.h"

#include <winhttp.h>

#include <utility>

namespace qv::win32
{

template <typename T, T tInvalid, auto fnClose>
class UniqueHandle
{
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T hOwned) noexcept : h(hOwned) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }
    T get() const noexcept { return h; }
    explicit operator bool() const noexcept { return h != tInvalid; }
    [[nodiscard]] T release() noexcept { return std::exchange(h, tInvalid); }
    T* put() noexcept
    {
        reset();
        return &h;
    }
    void reset(T hNew = tInvalid) noexcept
    {
        if (h != tInvalid && h != hNew)
            fnClose(h);
        h = hNew;
    }

private:
    T h = tInvalid;
};

using UniqueHKey = UniqueHandle<HKEY, nullptr, ::RegCloseKey>;
using UniqueKernelHandle = UniqueHandle<HANDLE, nullptr, ::CloseHandle>; // events: a failed creation is nullptr
using UniqueInternet = UniqueHandle<HINTERNET, nullptr, ::WinHttpCloseHandle>;
using UniqueMenu = UniqueHandle<HMENU, nullptr, ::DestroyMenu>;
using UniqueWindow = UniqueHandle<HWND, nullptr, ::DestroyWindow>;
using UniqueFont = UniqueHandle<HFONT, nullptr, ::DeleteObject>;
using UniqueIcon = UniqueHandle<HICON, nullptr, ::DestroyIcon>;
using UniqueModule = UniqueHandle<HMODULE, nullptr, ::FreeLibrary>;
using UniqueActCtx = UniqueHandle<HANDLE, nullptr, ::ReleaseActCtx>; // a failed CreateActCtx is kept as nullptr
using UniqueSocket = UniqueHandle<SOCKET, INVALID_SOCKET, ::closesocket>;
using UniqueFile = UniqueHandle<HANDLE, nullptr, ::CloseHandle>; // a failed CreateFileW is kept as nullptr

} // namespace qv::win32
