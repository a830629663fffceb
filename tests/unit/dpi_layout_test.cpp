#include "ui/dpi_layout.h"

#include <gtest/gtest.h>

namespace {

void ExpectRect(const PixelRect& actual, int x, int y, int width, int height, const char* what) {
    EXPECT_EQ(x, actual.x) << what << " x";
    EXPECT_EQ(y, actual.y) << what << " y";
    EXPECT_EQ(width, actual.width) << what << " width";
    EXPECT_EQ(height, actual.height) << what << " height";
}

float ScaleFor(int dpi) {
    return static_cast<float>(dpi) / 96.0f;
}

} // namespace

TEST(ScaleLength, TruncatesTowardZero) {
    const float s = ScaleFor(120);
    EXPECT_EQ(37, ScaleLength(30, s)) << "37.5 is truncated, not rounded";
    EXPECT_EQ(17, ScaleLength(14, s));
    EXPECT_EQ(125, ScaleLength(100, s));
    EXPECT_EQ(1, ScaleLength(1, 1.99f));
}

TEST(ScaleLength, WindowAndFontSizesPerDpi) {
    const struct {
        int dpi, width, height, font;
    } expected[] = {{96, 360, 180, 14},
                    {120, 450, 225, 17},
                    {144, 540, 270, 21},
                    {168, 630, 315, 24},
                    {192, 720, 360, 28}};
    for (const auto& e : expected) {
        const float s = ScaleFor(e.dpi);
        EXPECT_EQ(e.width, ScaleLength(360, s)) << e.dpi << " DPI";
        EXPECT_EQ(e.height, ScaleLength(180, s)) << e.dpi << " DPI";
        EXPECT_EQ(e.font, ScaleLength(14, s)) << e.dpi << " DPI";
    }
}

TEST(InitialControlLayout, GridOfTruncatedLengths) {
    ControlLayout at96 = InitialControlLayout(1.0f);
    ExpectRect(at96.label, 20, 20, 300, 30, "label");
    ExpectRect(at96.button1, 20, 60, 100, 30, "button 1");
    ExpectRect(at96.button2, 140, 60, 100, 30, "button 2");
    // 120 DPI: margin 25, button 125 x 37; multiples of the truncated values.
    ControlLayout at120 = InitialControlLayout(ScaleFor(120));
    ExpectRect(at120.label, 25, 25, 375, 37, "label");
    ExpectRect(at120.button1, 25, 75, 125, 37, "button 1");
    ExpectRect(at120.button2, 175, 75, 125, 37, "button 2");
}

TEST(CenteredControlLayout, NormalClientAreas) {
    ControlLayout at96 = CenteredControlLayout(344, 141, 1.0f);
    ExpectRect(at96.label, 42, 25, 260, 20, "label");
    ExpectRect(at96.button1, 62, 65, 100, 30, "button 1");
    ExpectRect(at96.button2, 182, 65, 100, 30, "button 2");
    ControlLayout at144 = CenteredControlLayout(524, 231, 1.5f);
    ExpectRect(at144.label, 67, 48, 390, 30, "label");
    ExpectRect(at144.button1, 97, 108, 150, 45, "button 1");
    ExpectRect(at144.button2, 277, 108, 150, 45, "button 2");
}

TEST(CenteredControlLayout, SmallClientAreasHalveTowardZero) {
    ControlLayout minimised = CenteredControlLayout(0, 0, 1.0f);
    ExpectRect(minimised.label, -130, -45, 260, 20, "label");
    ExpectRect(minimised.button1, -110, -5, 100, 30, "button 1");
    ExpectRect(minimised.button2, 10, -5, 100, 30, "button 2");
    EXPECT_EQ(-30, CenteredControlLayout(199, 141, 1.0f).label.x) << "-61 / 2";
    EXPECT_EQ(0, CenteredControlLayout(344, 89, 1.0f).label.y) << "-0.5 truncated";
}

TEST(CenteredWindowOrigin, CentresOnTheWholeMonitor) {
    const struct {
        RECT monitor;
        LONG x, y;
    } cases[] = {{{0, 0, 1920, 1080}, 780, 450},
                 {{1920, 0, 4480, 1440}, 3020, 630},
                 {{-1280, 0, 0, 1024}, -820, 422}};
    for (const auto& c : cases) {
        POINT origin = CenteredWindowOrigin(c.monitor, 360, 180);
        EXPECT_EQ(c.x, origin.x) << "monitor left " << c.monitor.left;
        EXPECT_EQ(c.y, origin.y) << "monitor left " << c.monitor.left;
    }
}

// The fonts are what lasts of AdjustControlsForDPI: 微软雅黑, character height 14 at 96 DPI.
TEST(AdjustControlsForDPI, GivesEachControlItsOwnFont) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 360, 180, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    HWND controls[3];
    for (HWND& control : controls)
        control = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 10, 10, window, nullptr,
                                  nullptr, nullptr);
    ASSERT_EQ(1.0f, GetDPIScaleFactor(window)) << "the test prefix runs at 96 DPI";
    AdjustControlsForDPI(window, controls[0], controls[1], controls[2]);
    HFONT fonts[3];
    for (int i = 0; i < 3; ++i) {
        fonts[i] = reinterpret_cast<HFONT>(SendMessageW(controls[i], WM_GETFONT, 0, 0));
        ASSERT_NE(nullptr, fonts[i]) << "control " << i;
        LOGFONTW font{};
        GetObjectW(fonts[i], sizeof font, &font);
        EXPECT_EQ(-14, font.lfHeight) << "character height, not cell height";
        EXPECT_EQ(FW_NORMAL, font.lfWeight);
        EXPECT_EQ(CLEARTYPE_QUALITY, font.lfQuality);
        EXPECT_STREQ(L"微软雅黑", font.lfFaceName);
    }
    EXPECT_NE(fonts[0], fonts[1]);
    EXPECT_NE(fonts[1], fonts[2]);
    RECT label{};
    GetWindowRect(controls[0], &label);
    EXPECT_EQ(300, label.right - label.left) << "first placement: three button widths";
    DestroyWindow(window);
    for (HFONT font : fonts)
        DeleteObject(font);
}
