#pragma once
// DLLs loaded by their full path in the system folder, never from the tool's own folder (which
// is the host's, where anything may lie); loaded only when needed, so start-up stays light.

#include "scoped.h"

#include <windows.h>

#include <string>

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
