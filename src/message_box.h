#pragma once
// Every box the tool shows, owned by its window: Windows keeps the window from taking clicks and
// keys while a box is up, and makes it active again, its focus where it was, once the box closes.

#include <windows.h>

#include <string>

inline constexpr wchar_t kWindowClass[] = L"QorvelFontSwitcher";

// The tool's window when this thread made it; null before it exists (and in the tests).
inline HWND ToolWindow() {
    const HWND window = FindWindowW(kWindowClass, nullptr);
    return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() ? window
                                                                                       : nullptr;
}

// The box's answer (IDOK, IDCANCEL).
inline int ShowBox(const std::wstring& text, const wchar_t* caption, UINT type) {
    return MessageBoxW(ToolWindow(), text.c_str(), caption, type);
}
