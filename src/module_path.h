#pragma once
// The running executable's own path.

#include <windows.h>

#include <string>

// The running executable's full path, as it was started; the buffer grows until the path fits.
inline std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
           path.size())
        path.resize(path.size() * 2);
    path.resize(length);
    return path;
}
