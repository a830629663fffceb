#include "ui/screen_resolution.h"

#include "decimal_text.h"

std::wstring ResolutionLabelText(int width, int height) {
    std::wstring text = L"物理分辨率: " + DecimalText(width) + L" x " + DecimalText(height);
    if (height >= 2160)
        text += L" (高清屏)";
    return text;
}

void GetCurrentScreenPhysicalResolution(HWND window, int& width, int& height) {
    HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info))
        return;
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode))
        return;
    width = static_cast<int>(mode.dmPelsWidth);
    height = static_cast<int>(mode.dmPelsHeight);
}

void UpdatePhysicalResolution(HWND window, HWND label) {
    int width = 0;
    int height = 0;
    GetCurrentScreenPhysicalResolution(window, width, height);
    SetWindowTextW(label, ResolutionLabelText(width, height).c_str());
}
