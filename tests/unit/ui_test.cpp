#include "ui/dpi_layout.h"
#include "ui/screen_resolution.h"
#include "ui/theme.h"

#include "support.h"

#include <gtest/gtest.h>

TEST(ScaleLength, TruncatesTowardZero) {
    const struct {
        int length;
        float scale;
        int scaled;
    } cases[] = {
        {100, 1.0f, 100}, {100, 1.5f, 150}, {13, 1.5f, 19}, {14, 1.25f, 17}, {30, 1.75f, 52}};
    for (const auto& c : cases)
        EXPECT_EQ(c.scaled, ScaleLength(c.length, c.scale)) << c.length << " x " << c.scale;
}

TEST(CenteredControlLayout, CentresTheLabelAboveTheButtonRow) {
    const auto text = [](const PixelRect& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) +
               "x" + std::to_string(r.height) + "; ";
    };
    const ControlLayout layout = CenteredControlLayout(540, 270, 1.5f);
    EXPECT_EQ("75,67 390x30; 105,127 150x45; 285,127 150x45; ",
              text(layout.label) + text(layout.button1) + text(layout.button2))
        << "label; button 1; button 2 in 540x270 at 144 DPI";
}

TEST(ResolutionLabelText, MarksScreensFrom2160High) {
    EXPECT_EQ(L"物理分辨率: 3840 x 2160 (高清屏)", ResolutionLabelText(3840, 2160));
    EXPECT_EQ(L"物理分辨率: 2560 x 2159", ResolutionLabelText(2560, 2159));
}

TEST(Theme, FollowsAppsUseLightTheme) {
    const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    const struct {
        std::optional<ULONGLONG> useLight;
        DWORD size; // of the value's data
        bool dark;
        COLORREF text, background;
    } cases[] = {
        {std::nullopt, 0, false, RGB(0, 0, 0), RGB(255, 255, 255)},
        {1, 4, false, RGB(0, 0, 0), RGB(255, 255, 255)},
        {0, 4, true, RGB(255, 255, 255), RGB(45, 45, 48)},
        {0, 8, false, RGB(0, 0, 0), RGB(255, 255, 255)}, // longer than four bytes
    };
    for (const auto& c : cases) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
        if (c.useLight)
            RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme",
                            c.size == 8 ? REG_QWORD : REG_DWORD, &*c.useLight, c.size);
        const std::string row =
            c.useLight ? std::to_string(*c.useLight) + " in " + std::to_string(c.size) + " bytes"
                       : "no value";
        EXPECT_EQ(c.dark, IsDarkThemeEnabled()) << row;
        HDC dc = CreateCompatibleDC(nullptr);
        ApplyThemeToControl(dc);
        EXPECT_EQ(c.text, GetTextColor(dc)) << row << ": text colour";
        EXPECT_EQ(c.background, GetBkColor(dc)) << row << ": background colour";
        DeleteDC(dc);
        LOGBRUSH brush{};
        UniqueBrush made(GetThemeBrush());
        GetObjectW(made.get(), sizeof brush, &brush);
        EXPECT_EQ(c.background, brush.lbColor) << row << ": brush colour";
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
}
