#pragma once
// Scale factor, window size, control fonts and layout, window centring.

#include <windows.h>

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
};

struct ControlLayout {
    PixelRect label;
    PixelRect button1;
    PixelRect button2;
    PixelRect status; // the line under the buttons
};

// trunc(designLength * scale), formed in single precision.
int ScaleLength(int designLength, float scale);

// First placement on the fixed grid.
ControlLayout InitialControlLayout(float scale);

// Label centred, the two buttons centred as a row beneath it and the status line beneath them,
// for a client area.
ControlLayout CenteredControlLayout(int clientWidth, int clientHeight, float scale);

// Top-left corner that centres a window of the given size on a monitor rectangle.
POINT CenteredWindowOrigin(const RECT& monitor, int windowWidth, int windowHeight);

float GetDPIScaleFactor(HWND window);
void AdjustWindowForDPI(HWND window, int width, int height);
void SetFontToSegoeUI(HWND control, int pixelHeight);
void AdjustControlsForDPI(HWND window, HWND label, HWND button1, HWND button2, HWND status);
void CenterControls(HWND window, HWND label, HWND button1, HWND button2, HWND status);
void CenterWindow(HWND window);
