#pragma once
// The light or dark app theme and what the window applies of it.

#include <windows.h>

bool IsDarkThemeEnabled();

// A new solid brush of the theme's background colour; the caller deletes it.
HBRUSH GetThemeBrush();

// Dark or light title bar (DWM attribute 20); dwmapi.dll is loaded from the system folder only.
void ApplyTitleBarTheme(HWND window);

void ApplyButtonTheme(HWND button, HDC dc);
void ApplyThemeToControl(HDC dc);
