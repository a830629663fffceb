#include "ui/dpi_layout.h"

#include "scoped.h"

namespace {

// Design lengths in pixels at 96 DPI.
constexpr int kFontHeight = 14;
constexpr int kMargin = 20; // also the gap between the buttons
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 30;
constexpr int kLabelWidth = 260;
constexpr int kLabelHeight = 20;
constexpr float kGroupLift = 40.0f;
constexpr int kStatusGap = 10; // between the buttons and the status line, as high as the label

void PlaceControl(HWND control, const PixelRect& rect, UINT flags) {
    SetWindowPos(control, nullptr, rect.x, rect.y, rect.width, rect.height, flags);
}

void PlaceControls(HWND label, HWND button1, HWND button2, HWND status, const ControlLayout& layout,
                   UINT flags) {
    PlaceControl(label, layout.label, flags);
    PlaceControl(button1, layout.button1, flags);
    PlaceControl(button2, layout.button2, flags);
    PlaceControl(status, layout.status, flags);
}

} // namespace

int ScaleLength(int designLength, float scale) {
    return static_cast<int>(static_cast<float>(designLength) * scale);
}

ControlLayout InitialControlLayout(float scale) {
    const int margin = ScaleLength(kMargin, scale);
    const int width = ScaleLength(kButtonWidth, scale);
    const int height = ScaleLength(kButtonHeight, scale);
    return {{margin, margin, 3 * width, height},
            {margin, 3 * margin, width, height},
            {2 * margin + width, 3 * margin, width, height},
            {margin, 5 * margin, 3 * width, height}};
}

ControlLayout CenteredControlLayout(int clientWidth, int clientHeight, float scale) {
    const int labelWidth = ScaleLength(kLabelWidth, scale);
    const int labelHeight = ScaleLength(kLabelHeight, scale);
    const int buttonWidth = ScaleLength(kButtonWidth, scale);
    const int buttonHeight = ScaleLength(kButtonHeight, scale);
    const int gap = ScaleLength(kMargin, scale);
    const int labelX = (clientWidth - labelWidth) / 2;
    const int labelY = static_cast<int>(
        (static_cast<float>(clientHeight - labelHeight - buttonHeight) - kGroupLift * scale) /
        2.0f);
    const int buttonX = (clientWidth - (2 * buttonWidth + gap)) / 2;
    const int buttonY = labelY + labelHeight + gap;
    const int statusY = buttonY + buttonHeight + ScaleLength(kStatusGap, scale);
    return {{labelX, labelY, labelWidth, labelHeight},
            {buttonX, buttonY, buttonWidth, buttonHeight},
            {buttonX + buttonWidth + gap, buttonY, buttonWidth, buttonHeight},
            {labelX, statusY, labelWidth, labelHeight}};
}

POINT CenteredWindowOrigin(const RECT& monitor, int windowWidth, int windowHeight) {
    const int monitorWidth = monitor.right - monitor.left;
    const int monitorHeight = monitor.bottom - monitor.top;
    return {monitor.left + (monitorWidth - windowWidth) / 2,
            monitor.top + (monitorHeight - windowHeight) / 2};
}

float GetDPIScaleFactor(HWND window) {
    UniqueWindowDc dc(GetDC(window), WindowDcReleaser{window});
    return static_cast<float>(GetDeviceCaps(dc.get(), LOGPIXELSX)) / 96.0f;
}

void AdjustWindowForDPI(HWND window, int width, int height) {
    const float scale = GetDPIScaleFactor(window);
    SetWindowPos(window, nullptr, 0, 0, ScaleLength(width, scale), ScaleLength(height, scale),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The font stays in use by the control for the life of the process.
void SetFontToSegoeUI(HWND control, int pixelHeight) {
    HFONT font = CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, L"微软雅黑");
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void AdjustControlsForDPI(HWND window, HWND label, HWND button1, HWND button2, HWND status) {
    const float scale = GetDPIScaleFactor(window);
    const int fontHeight = ScaleLength(kFontHeight, scale);
    for (const HWND control : {label, button1, button2, status})
        SetFontToSegoeUI(control, fontHeight);
    PlaceControls(label, button1, button2, status, InitialControlLayout(scale),
                  SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterControls(HWND window, HWND label, HWND button1, HWND button2, HWND status) {
    RECT client{};
    GetClientRect(window, &client);
    const ControlLayout layout = CenteredControlLayout(
        client.right - client.left, client.bottom - client.top, GetDPIScaleFactor(window));
    PlaceControls(label, button1, button2, status, layout, SWP_SHOWWINDOW | SWP_NOZORDER);
}

void CenterWindow(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    POINT cursor{};
    GetCursorPos(&cursor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    const POINT origin =
        CenteredWindowOrigin(monitor.rcMonitor, frame.right - frame.left, frame.bottom - frame.top);
    // Not activated while still hidden: ShowWindow activates it as its show command says, and
    // the window appears about 15 ms sooner.
    SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
