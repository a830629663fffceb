#pragma once
// What the test programs share: files, child processes, windows and message boxes.

#include "scoped.h"

#include <windows.h>

#include <process.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace fs = std::filesystem;

// UTF-8, for failure messages.
inline std::string U8(const std::wstring& text) {
    const std::u8string bytes = fs::path(text).u8string();
    return {bytes.begin(), bytes.end()};
}

// A new empty folder under %TEMP%\fontswitch; its last contents stay for a look after a failure.
inline fs::path TempFolder(const std::wstring& name) {
    const fs::path folder = fs::temp_directory_path() / L"fontswitch" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

inline void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs its function when the last copy goes.
using Scope = std::shared_ptr<void>;
inline Scope OnEnd(std::function<void()> end) {
    return Scope(nullptr, [end](void*) { end(); });
}

inline fs::path ExeDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

// A started program, or null.
inline UniqueHandle StartProcess(const fs::path& exe, const wchar_t* argument = nullptr) {
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

// A visible window of the class that the process (any process for 0) owns, once one shows.
inline HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs) {
    HWND found = nullptr;
    Poll(
        [&] {
            while ((found = FindWindowExW(nullptr, found, className, nullptr))) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if ((processId == 0 || owner == processId) && IsWindowVisible(found))
                    return true;
            }
            return false;
        },
        timeoutMs);
    return found;
}

// "caption: text" of the process's next message box in UTF-8, after pressing its OK button;
// empty when none shows.
inline std::string TakeBox(DWORD processId, DWORD timeoutMs) {
    HWND box = WaitForWindow(processId, L"#32770", timeoutMs);
    if (!box)
        return "";
    wchar_t caption[64] = {}, text[256] = {};
    GetWindowTextW(box, caption, 64);
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    PostMessageW(box, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    Poll([&] { return !IsWindow(box); }, 5000);
    return U8(caption) + ": " + U8(text);
}
