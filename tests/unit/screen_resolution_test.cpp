#include "ui/screen_resolution.h"

#include <gtest/gtest.h>

TEST(ResolutionLabelText, HeightAloneDecidesTheSuffix) {
    EXPECT_EQ(L"物理分辨率: 3840 x 2160 (高清屏)", ResolutionLabelText(3840, 2160));
    EXPECT_EQ(L"物理分辨率: 2560 x 1440", ResolutionLabelText(2560, 1440));
    EXPECT_EQ(L"物理分辨率: 3840 x 2159", ResolutionLabelText(3840, 2159));
    EXPECT_EQ(L"物理分辨率: 2160 x 3840 (高清屏)", ResolutionLabelText(2160, 3840));
    EXPECT_EQ(L"物理分辨率: 3840 x 1600", ResolutionLabelText(3840, 1600));
    EXPECT_EQ(L"物理分辨率: 0 x 0", ResolutionLabelText(0, 0));
}

// The test session's screen is 3840 x 2160 (Xvfb), so the mode read must match the desktop.
TEST(GetCurrentScreenPhysicalResolution, ReadsTheCurrentModeOfTheNearestMonitor) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 10, 100, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    int width = -1;
    int height = -1;
    GetCurrentScreenPhysicalResolution(window, width, height);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), height);

    HWND label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 100, 20, window, nullptr,
                                 nullptr, nullptr);
    UpdatePhysicalResolution(window, label);
    wchar_t text[64] = {};
    GetWindowTextW(label, text, 64);
    EXPECT_EQ(ResolutionLabelText(width, height), text);
    DestroyWindow(window);
}
