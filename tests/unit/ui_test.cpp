#include "ui/dpi_layout.h"
#include "ui/theme.h"

#include <gtest/gtest.h>

TEST(CenteredControlLayout, CentresTheLabelAboveTheButtonRowTruncatingEachLength) {
    const auto text = [](const PixelRect& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) +
               "x" + std::to_string(r.height) + "; ";
    };
    const struct {
        int width, height; // of the client area
        float scale;
        const char* layout; // label; button 1; button 2
    } cases[] = {
        {344, 141, 1.0f, "42,25 260x20; 62,65 100x30; 182,65 100x30; "},
        {0, 0, 1.0f, "-130,-45 260x20; -110,-5 100x30; 10,-5 100x30; "}, // minimised
        {435, 201, 1.25f, "55,44 325x25; 80,94 125x37; 230,94 125x37; "},
    };
    for (const auto& c : cases) {
        const ControlLayout layout = CenteredControlLayout(c.width, c.height, c.scale);
        EXPECT_EQ(c.layout, text(layout.label) + text(layout.button1) + text(layout.button2))
            << c.width << "x" << c.height << " at " << c.scale;
    }
}

TEST(Theme, FollowsAppsUseLightTheme) {
    const wchar_t key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    const struct {
        ULONGLONG useLight;
        DWORD size; // of the value's data: 0 for no value, 8 is longer than the four bytes read
        bool dark;
    } cases[] = {{0, 0, false}, {1, 4, false}, {0, 4, true}, {0, 8, false}};
    for (const auto& c : cases) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
        if (c.size)
            RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme",
                            c.size == 8 ? REG_QWORD : REG_DWORD, &c.useLight, c.size);
        HDC dc = CreateCompatibleDC(nullptr);
        ApplyThemeToControl(dc);
        EXPECT_EQ(c.dark, IsDarkThemeEnabled()) << c.size << " bytes";
        EXPECT_EQ(c.dark ? RGB(255, 255, 255) : RGB(0, 0, 0), GetTextColor(dc))
            << c.size << " bytes";
        DeleteDC(dc);
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
}
