#pragma once
// What the test programs share: files, child processes, windows and message boxes.

#include "scoped.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace fs = std::filesystem;

// UTF-8, for failure messages.
inline std::string U8(std::wstring_view text) {
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   out.data(), static_cast<int>(out.size()), nullptr, nullptr));
    return out;
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

inline fs::path ExeDir() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

struct Child {
    UniqueHandle process;
    DWORD id = 0;
};

inline std::optional<Child> StartProcess(const fs::path& exe, const std::wstring& arguments,
                                         const fs::path& folder) {
    std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return std::nullopt;
    CloseHandle(info.hThread);
    return Child{UniqueHandle(info.hProcess), info.dwProcessId};
}

// The exit code, or nullopt while it runs after `timeoutMs`.
inline std::optional<DWORD> WaitForExit(const Child& child, DWORD timeoutMs) {
    DWORD code = 0;
    if (WaitForSingleObject(child.process.get(), timeoutMs) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(child.process.get(), &code))
        return std::nullopt;
    return code;
}

// A visible top-level window of the class that the process (any process for 0) owns.
inline HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((processId == 0 || owner == processId) && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

inline HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs) {
    HWND window = nullptr;
    for (ULONGLONG end = GetTickCount64() + timeoutMs; !window && GetTickCount64() < end;)
        if (!(window = FindProcessWindow(processId, className)))
            Sleep(5);
    return window;
}

// "caption: text" of a message box.
inline std::wstring BoxText(HWND box) {
    wchar_t caption[64] = {}, text[256] = {};
    GetWindowTextW(box, caption, 64);
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    return std::wstring(caption) + L": " + text;
}

// Presses the box's OK button and waits until the box is gone.
inline void PressOk(HWND box) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    for (int i = 0; i < 500 && IsWindow(box); ++i)
        Sleep(10);
}

// The next message box of the process, dismissed; empty when none shows within `timeoutMs`.
inline std::wstring TakeBox(DWORD processId, DWORD timeoutMs) {
    HWND box = WaitForWindow(processId, L"#32770", timeoutMs);
    const std::wstring text = box ? BoxText(box) : L"";
    if (box)
        PressOk(box);
    return text;
}

// Runs `action` while every message box this process shows is read and dismissed; the boxes'
// texts in UTF-8, joined by " | ".
inline std::string CollectBoxes(const std::function<void()>& action) {
    std::string boxes;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done)
            if (std::wstring box = TakeBox(GetCurrentProcessId(), 20); !box.empty())
                boxes.append(boxes.empty() ? "" : " | ").append(U8(box));
    });
    action();
    done = true;
    watcher.join();
    return boxes;
}

// Whether the file appears within `timeoutMs`.
inline bool WaitForFile(const fs::path& path, DWORD timeoutMs) {
    for (ULONGLONG end = GetTickCount64() + timeoutMs; !fs::exists(path); Sleep(20))
        if (GetTickCount64() >= end)
            return false;
    return true;
}
