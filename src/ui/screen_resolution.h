#pragma once
// The label showing the physical resolution of the screen.

#include <windows.h>

#include <string>

// "物理分辨率: W x H", with " (高清屏)" from a height of 2160.
std::wstring ResolutionLabelText(int width, int height);

// The current display mode of the monitor nearest to the window; nothing written on failure.
void GetCurrentScreenPhysicalResolution(HWND window, int& width, int& height);

void UpdatePhysicalResolution(HWND window, HWND label);
