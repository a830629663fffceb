#pragma once
// Scoped owners for every handle the program acquires: released on every path by scope.

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// CreateFileW and CreateToolhelp32Snapshot report failure as INVALID_HANDLE_VALUE.
inline UniqueHandle AdoptHandle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct RegKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueRegKey = std::unique_ptr<std::remove_pointer_t<HKEY>, RegKeyCloser>;

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

struct GdiObjectDeleter {
    void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

struct LibraryFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// A DLL loaded by its full path in the system folder, never from the tool's own folder (which is
// the host's, where anything may lie); loaded only when needed, so start-up stays light.
inline UniqueLibrary LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return UniqueLibrary(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// The exported function `name` of `library` as a pointer of type Function, or null.
template <typename Function> Function FindExport(const UniqueLibrary& library, const char* name) {
    FARPROC found = library ? GetProcAddress(library.get(), name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

struct WindowDcReleaser {
    HWND window;
    void operator()(HDC dc) const { ReleaseDC(window, dc); }
};
using UniqueWindowDc = std::unique_ptr<std::remove_pointer_t<HDC>, WindowDcReleaser>;
