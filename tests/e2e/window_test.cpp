// The built tool's window: a second start, and a theme change while it is open.
#include "support.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kToolClass[] = L"QorvelFontSwitcher";
constexpr wchar_t kPersonalize[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// The tool started from the build folder, its window shown; ended with the scope.
struct Started {
    UniqueHandle process;
    HWND window;
};
Started StartTool() {
    UniqueHandle process = StartProcess(ExeDir() / L"TessalyFontSwitch.exe");
    HWND window = WaitForWindow(GetProcessId(process.get()), kToolClass, 10000);
    return {std::move(process), window};
}

void Close(const Started& tool) {
    PostMessageW(tool.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(tool.process.get(), 10000)) << "exit code after closing";
}

TEST(Window, ASecondStartRestoresTheMinimisedWindowAndEnds) {
    const Started tool = StartTool();
    ASSERT_TRUE(tool.window);
    ShowWindow(tool.window, SW_MINIMIZE);
    ASSERT_TRUE(Poll([&] { return IsIconic(tool.window); }, 5000)) << "not minimised";
    const UniqueHandle second = StartProcess(ExeDir() / L"TessalyFontSwitch.exe");
    EXPECT_EQ(0u, WaitForExit(second.get(), 10000)) << "second start's exit code";
    EXPECT_TRUE(Poll([&] { return !IsIconic(tool.window); }, 5000)) << "still minimised";
    Close(tool);
}

// The colour on the screen at a point of the window's client area.
COLORREF ScreenColour(HWND window, POINT at) {
    ClientToScreen(window, &at);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

TEST(Window, FollowsAThemeChangeWhileOpen) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme");
    const Started tool = StartTool();
    ASSERT_TRUE(tool.window);
    RECT label;
    GetWindowRect(GetDlgItem(tool.window, 0), &label);
    MapWindowPoints(nullptr, tool.window, reinterpret_cast<POINT*>(&label), 2);
    // The window's background, and the label's beside its centred text.
    const POINT points[] = {{2, 2}, {label.left + 2, (label.top + label.bottom) / 2}};
    for (const DWORD useLight : {0u, 1u}) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme", REG_DWORD, &useLight,
                        sizeof useLight);
        SendMessageW(tool.window, WM_SETTINGCHANGE, 0,
                     reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
        const COLORREF expected = useLight ? RGB(255, 255, 255) : RGB(45, 45, 48);
        for (const POINT& point : points)
            EXPECT_TRUE(Poll([&] { return ScreenColour(tool.window, point) == expected; }, 3000))
                << "AppsUseLightTheme " << useLight << ": at " << point.x << "," << point.y
                << " colour " << std::hex << ScreenColour(tool.window, point);
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme");
    Close(tool);
}

} // namespace
