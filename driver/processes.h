#pragma once
// Starting the built programs and waiting for them.

#include "scoped.h"

#include <windows.h>

#include <process.h>

#include <filesystem>

// The folder of the running program: the build puts every program and kzv.ico there.
inline std::filesystem::path ExeDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

// A started program, or null.
inline UniqueHandle StartProcess(const std::filesystem::path& exe,
                                 const wchar_t* argument = nullptr) {
    return AdoptHandle(
        reinterpret_cast<HANDLE>(_wspawnl(_P_NOWAIT, exe.c_str(), exe.c_str(), argument, nullptr)));
}

// The exit code; STILL_ACTIVE (259) while it runs after `timeoutMs`.
inline DWORD WaitForExit(HANDLE process, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    WaitForSingleObject(process, timeoutMs);
    GetExitCodeProcess(process, &code);
    return code;
}

// Whether `done` holds within `timeoutMs`, asked every 5 ms.
template <typename Done> bool Poll(Done done, DWORD timeoutMs) {
    for (ULONGLONG end = GetTickCount64() + timeoutMs; !done(); Sleep(5))
        if (GetTickCount64() >= end)
            return false;
    return true;
}
