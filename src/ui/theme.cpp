#include "ui/theme.h"

#include "system_library.h"

namespace {

constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr COLORREF kDarkBackground = RGB(45, 45, 48);
constexpr COLORREF kLightBackground = RGB(255, 255, 255);
constexpr COLORREF kDarkText = RGB(255, 255, 255);
constexpr COLORREF kLightText = RGB(0, 0, 0);
constexpr DWORD kUseImmersiveDarkMode = 20; // DWMWA_USE_IMMERSIVE_DARK_MODE

using SetWindowAttributeFunction = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);

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
    // dwmapi.dll is not a known DLL: linked, it would be looked for beside the tool first.
    const UniqueLibrary dwmapi = LoadSystemLibrary(L"dwmapi.dll");
    const auto setAttribute =
        FindExport<SetWindowAttributeFunction>(dwmapi, "DwmSetWindowAttribute");
    if (!setAttribute)
        return;
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
