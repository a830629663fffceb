#pragma once
// The tool's window found, and its message boxes read and answered, as a user would.

#include "files.h"
#include "processes.h"

#include <windows.h>

#include <functional>
#include <string>

inline constexpr wchar_t kToolWindowClass[] = L"QorvelFontSwitcher";

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

// A window's text in UTF-8.
inline std::string WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return U8(text);
}

// "caption: text" of the process's next message box in UTF-8, after `atBox` is done while it
// shows and its button `answer` (OK, or Cancel) is pressed; empty when none shows.
inline std::string TakeBox(
    DWORD processId, DWORD timeoutMs, int answer = IDOK,
    const std::function<void()>& atBox = [] {}) {
    HWND box = WaitForWindow(processId, L"#32770", timeoutMs);
    if (!box)
        return "";
    const std::string shown = WindowText(box) + ": " + WindowText(GetDlgItem(box, 0xFFFF));
    atBox();
    PostMessageW(box, WM_COMMAND, WPARAM(answer),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    Poll([&] { return !IsWindow(box); }, 5000);
    return shown;
}
