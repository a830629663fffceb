#pragma once
// Scoped owners for every handle the program acquires: released on every path by scope.

#include <windows.h>

#include <memory>
#include <type_traits>

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// CreateFileW and CreateToolhelp32Snapshot report failure as INVALID_HANDLE_VALUE.
inline UniqueHandle AdoptHandle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct FindCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

inline UniqueFind AdoptFind(HANDLE search) {
    return UniqueFind(search == INVALID_HANDLE_VALUE ? nullptr : search);
}

struct RegKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyCloser>;

struct GdiObjectDeleter {
    void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

struct LibraryFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

struct WindowDcReleaser {
    HWND window;
    void operator()(HDC dc) const { ReleaseDC(window, dc); }
};
using UniqueWindowDc = std::unique_ptr<std::remove_pointer_t<HDC>, WindowDcReleaser>;
