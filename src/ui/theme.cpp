#include "ui/theme.h"

#include "scoped.h"

#include <string>

namespace {

constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr COLORREF kDarkBackground = RGB(45, 45, 48);
constexpr COLORREF kLightBackground = RGB(255, 255, 255);
constexpr COLORREF kDarkText = RGB(255, 255, 255);
constexpr COLORREF kLightText = RGB(0, 0, 0);
constexpr DWORD kUseImmersiveDarkMode = 20; // DWMWA_USE_IMMERSIVE_DARK_MODE

using SetWindowAttributeFunction = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);

// dwmapi.dll is not a known DLL: loaded by name it would be searched in the tool's own folder
// first, so it is loaded by its full path in the system folder only.
UniqueLibrary LoadSystemDwmapi() {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path = std::wstring(folder, length) + L"\\dwmapi.dll";
    return UniqueLibrary(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

} // namespace

bool IsDarkThemeEnabled() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPersonalizeKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    UniqueRegKey key(opened);
    DWORD useLightTheme = 0;
    DWORD size = sizeof useLightTheme;
    LONG read = RegQueryValueExW(key.get(), L"AppsUseLightTheme", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&useLightTheme), &size);
    return read == ERROR_SUCCESS && useLightTheme == 0;
}

HBRUSH GetThemeBrush() {
    return CreateSolidBrush(IsDarkThemeEnabled() ? kDarkBackground : kLightBackground);
}

void ApplyTitleBarTheme(HWND window) {
    UniqueLibrary dwmapi = LoadSystemDwmapi();
    if (!dwmapi)
        return;
    FARPROC found = GetProcAddress(dwmapi.get(), "DwmSetWindowAttribute");
    if (!found)
        return;
    auto setAttribute =
        reinterpret_cast<SetWindowAttributeFunction>(reinterpret_cast<void (*)()>(found));
    BOOL dark = IsDarkThemeEnabled() ? TRUE : FALSE;
    setAttribute(window, kUseImmersiveDarkMode, &dark, sizeof dark);
}

void ApplyButtonTheme(HWND, HDC dc) {
    ApplyThemeToControl(dc);
}

void ApplyThemeToControl(HDC dc) {
    bool dark = IsDarkThemeEnabled();
    SetTextColor(dc, dark ? kDarkText : kLightText);
    SetBkColor(dc, dark ? kDarkBackground : kLightBackground);
}
