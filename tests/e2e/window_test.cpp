// The window as the screen shows it: title, label, buttons, their rectangles at the system DPI,
// the theme's colours, and the single instance. The same cases run again in sessions with
// another DPI or screen size (tests/CMakeLists.txt); FONTSWITCH_E2E_EXPECT names the DPI and
// the screen size each session was set up with ("96 3840x2160").

#include "e2e_driver.h"

#include <cstdlib>

namespace {

constexpr COLORREF kDarkBackground = RGB(45, 45, 48);
constexpr COLORREF kLightBackground = RGB(255, 255, 255);

// The session's system DPI and screen size, as "96 3840x2160".
std::string SessionAsMeasured() {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return std::to_string(dpi) + " " + std::to_string(mode.dmPelsWidth) + "x" +
           std::to_string(mode.dmPelsHeight);
}

// Fails when the session is not the one it was set up to be, so each session's cases really
// cover its DPI and screen size.
void ExpectSessionAsSetUp() {
    if (const char* expected = std::getenv("FONTSWITCH_E2E_EXPECT")) {
        EXPECT_EQ(std::string(expected), SessionAsMeasured()) << "DPI and screen size";
    }
}

SIZE ScreenSize() {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return {static_cast<LONG>(mode.dmPelsWidth), static_cast<LONG>(mode.dmPelsHeight)};
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Scaled(int length, float scale) {
    return static_cast<int>(static_cast<float>(length) * scale);
}

struct ExpectedLayout {
    Placement label, classic, hd;
};

// The label centred, the buttons centred as a row beneath it, the group lifted by 40 × s.
ExpectedLayout LayoutFor(int width, int height, float s) {
    const int lw = Scaled(260, s), lh = Scaled(20, s), bw = Scaled(100, s), bh = Scaled(30, s),
              gap = Scaled(20, s);
    const int x = (width - lw) / 2;
    const int y = static_cast<int>((static_cast<float>(height - lh - bh) - 40.0f * s) / 2.0f);
    const int bx = (width - (2 * bw + gap)) / 2, by = y + lh + Scaled(20, s);
    return {{x, y, lw, lh}, {bx, by, bw, bh}, {bx + bw + gap, by, bw, bh}};
}

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

testing::AssertionResult LaidOutFor(HWND window, float s) {
    const SIZE client = ClientSize(window);
    const ExpectedLayout expected = LayoutFor(client.cx, client.cy, s);
    const Placement label = ChildPlacement(GetDlgItem(window, 0));
    const Placement classic = ChildPlacement(GetDlgItem(window, kClassicButton));
    const Placement hd = ChildPlacement(GetDlgItem(window, kHdButton));
    if (label == expected.label && classic == expected.classic && hd == expected.hd)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "for the client area " << client.cx << " x " << client.cy << ": label "
           << testing::PrintToString(label) << ", expected "
           << testing::PrintToString(expected.label) << "; button 1 "
           << testing::PrintToString(classic) << ", expected "
           << testing::PrintToString(expected.classic) << "; button 2 "
           << testing::PrintToString(hd) << ", expected " << testing::PrintToString(expected.hd);
}

RECT OnScreen(HWND window, const Placement& inClient) {
    RECT rect{inClient.x, inClient.y, inClient.x + inClient.width, inClient.y + inClient.height};
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

size_t CountPixels(const std::vector<COLORREF>& pixels, const std::function<bool(COLORREF)>& is) {
    return static_cast<size_t>(std::count_if(pixels.begin(), pixels.end(), is));
}

bool IsNearWhite(COLORREF c) {
    return GetRValue(c) >= 200 && GetGValue(c) >= 200 && GetBValue(c) >= 200;
}

bool IsNearBlack(COLORREF c) {
    return GetRValue(c) <= 30 && GetGValue(c) <= 30 && GetBValue(c) <= 30;
}

// How the screen shows the label and the window background beside the buttons.
struct SeenColours {
    size_t labelPixels = 0, labelBackground = 0, labelText = 0;
    size_t besidePixels = 0, besideBackground = 0;
};

// `windowBackground` nullopt: one of the two theme colours, the same in every pixel.
SeenColours LookAt(HWND window, COLORREF labelBackground, bool whiteText,
                   std::optional<COLORREF> windowBackground) {
    SeenColours seen;
    const std::vector<COLORREF> label =
        CaptureScreen(OnScreen(window, ChildPlacement(GetDlgItem(window, 0))));
    seen.labelPixels = label.size();
    seen.labelBackground = CountPixels(label, [&](COLORREF c) { return c == labelBackground; });
    seen.labelText = CountPixels(label, whiteText ? IsNearWhite : IsNearBlack);
    // The strip left of button 1 belongs to the window itself.
    const Placement classic = ChildPlacement(GetDlgItem(window, kClassicButton));
    const std::vector<COLORREF> beside =
        CaptureScreen(OnScreen(window, {2, classic.y, classic.x - 4, classic.height}));
    seen.besidePixels = beside.size();
    if (!windowBackground && !beside.empty() &&
        (beside[0] == kDarkBackground || beside[0] == kLightBackground))
        windowBackground = beside[0];
    seen.besideBackground = CountPixels(beside, [&](COLORREF c) { return c == windowBackground; });
    return seen;
}

// The label shows its colours (mostly background, some text) and the window its background.
testing::AssertionResult ShowsColours(HWND window, COLORREF labelBackground, bool whiteText,
                                      std::optional<COLORREF> windowBackground) {
    SeenColours seen;
    testing::AssertionResult painted = WaitUntil("the expected colours on the screen", [&] {
        seen = LookAt(window, labelBackground, whiteText, windowBackground);
        return seen.labelPixels > 0 && seen.labelBackground * 2 > seen.labelPixels &&
               seen.labelText >= 20 && seen.besidePixels > 0 &&
               seen.besideBackground == seen.besidePixels;
    });
    if (painted)
        return painted;
    return painted << "\n  label: " << seen.labelBackground << " of " << seen.labelPixels
                   << " pixels in the background colour, " << seen.labelText
                   << (whiteText ? " near white" : " near black")
                   << "\n  beside the buttons: " << seen.besideBackground << " of "
                   << seen.besidePixels << " pixels in the window's background colour";
}

class MainWindow : public ToolCase {
  protected:
    void SetUp() override {
        ToolCase::SetUp();
        ExpectSessionAsSetUp();
    }
    void StartInstalled() {
        at = LayOut(temp.path, {.layout = Layout::Vantiro, .userIni = RealisticUserIni()});
        ASSERT_TRUE(StartTool(at, tool));
    }
    Installation at;
};

TEST_F(MainWindow, ShowsTitleResolutionAndButtons) {
    const SIZE screen = ScreenSize();
    ASSERT_NO_FATAL_FAILURE(StartInstalled());
    EXPECT_EQ("Tessaly：字体切换", Narrow(WindowText(tool.window)));
    const LONG style = GetWindowLongW(tool.window, GWL_STYLE);
    EXPECT_EQ(WS_OVERLAPPEDWINDOW, style & WS_OVERLAPPEDWINDOW) << "style " << std::hex << style;

    HWND label = GetDlgItem(tool.window, 0);
    ASSERT_TRUE(label) << "no control with id 0";
    EXPECT_EQ(0, lstrcmpiW(L"Static", ClassName(label).c_str()))
        << "the label's class " << Narrow(ClassName(label));
    const std::wstring resolution = L"物理分辨率: " + std::to_wstring(screen.cx) + L" x " +
                                    std::to_wstring(screen.cy) +
                                    (screen.cy >= 2160 ? L" (高清屏)" : L"");
    EXPECT_EQ(Narrow(resolution), Narrow(WindowText(label)));

    const std::pair<int, const wchar_t*> buttons[] = {{kClassicButton, L"经典字体"},
                                                      {kHdButton, L"高清字体"}};
    for (const auto& [id, caption] : buttons) {
        HWND button = GetDlgItem(tool.window, id);
        ASSERT_TRUE(button) << "no control with id " << id;
        EXPECT_EQ(0, lstrcmpiW(L"Button", ClassName(button).c_str())) << "button " << id;
        EXPECT_EQ(Narrow(caption), Narrow(WindowText(button)));
    }
    EXPECT_TRUE(ClosesCleanly(tool));
}

// The window is centred at its unscaled size on the monitor under the pointer, then grows to
// the scaled size from the same corner; the controls follow every client size.
TEST_F(MainWindow, SizeAndLayoutFollowTheSystemDpi) {
    const SIZE screen = ScreenSize();
    const float s = static_cast<float>(SystemDpi()) / 96.0f;
    SetCursorPos(screen.cx / 3, screen.cy / 3);
    ASSERT_NO_FATAL_FAILURE(StartInstalled());

    const Placement expected{(screen.cx - 360) / 2, (screen.cy - 180) / 2, Scaled(360, s),
                             Scaled(180, s)};
    EXPECT_EQ(expected, WindowPlacementOnScreen(tool.window));
    EXPECT_TRUE(LaidOutFor(tool.window, s));

    SetWindowPos(tool.window, nullptr, 0, 0, Scaled(600, s), Scaled(400, s),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitUntil("the controls to follow a larger window", [&] {
        return LaidOutFor(tool.window, s);
    })) << LaidOutFor(tool.window, s).message();
    EXPECT_TRUE(ClosesCleanly(tool));
}

class ThemedWindow : public MainWindow, public testing::WithParamInterface<bool> {};

TEST_P(ThemedWindow, ShowsTheThemeColours) {
    const bool dark = GetParam();
    SetRegistryDword(kPersonalizeKey, L"AppsUseLightTheme", dark ? 0 : 1);
    ASSERT_NO_FATAL_FAILURE(StartInstalled());
    const COLORREF background = dark ? kDarkBackground : kLightBackground;
    EXPECT_TRUE(ShowsColours(tool.window, background, dark, background));
    EXPECT_TRUE(ClosesCleanly(tool));
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemedWindow, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Dark" : "Light";
                         });

// A theme change while running recolours the label. Whether the window's own background
// follows or keeps its start-up colour is left open here: either theme colour, evenly painted.
TEST_F(MainWindow, ThemeChangeRecoloursTheControls) {
    SetRegistryDword(kPersonalizeKey, L"AppsUseLightTheme", 0);
    ASSERT_NO_FATAL_FAILURE(StartInstalled());
    ASSERT_TRUE(ShowsColours(tool.window, kDarkBackground, true, kDarkBackground));
    SetRegistryDword(kPersonalizeKey, L"AppsUseLightTheme", 1);
    // As Windows announces a theme change (a message with a string: sent, not posted).
    SendMessageTimeoutW(tool.window, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"ImmersiveColorSet"), SMTO_ABORTIFHUNG, kWaitMs,
                        nullptr);
    EXPECT_TRUE(ShowsColours(tool.window, kLightBackground, false, std::nullopt));
    EXPECT_TRUE(ClosesCleanly(tool));
}

// A second start while the first runs minimised: the first is restored and comes forward, the
// second ends with exit code 0 and shows nothing.
TEST_F(MainWindow, SecondStartBringsTheFirstForward) {
    const float s = static_cast<float>(SystemDpi()) / 96.0f;
    ASSERT_NO_FATAL_FAILURE(StartInstalled());
    ShowWindow(tool.window, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil("the first window to be minimised",
                          [&] { return IsIconic(tool.window) != FALSE; }));

    std::optional<ChildProcess> second = StartProcess(at.toolExe, L"", at.toolDir);
    ASSERT_TRUE(second);
    std::optional<DWORD> code;
    bool showedSomething = false;
    EXPECT_TRUE(WaitUntil("the second start to end", [&] {
        showedSomething =
            showedSomething || FindToolWindow(second->id) || !FindMessageBoxes(second->id).empty();
        return (code = WaitForExit(*second, 0)).has_value();
    }));
    EXPECT_EQ(std::optional<DWORD>(0), code) << "the second start's exit code";
    EXPECT_FALSE(showedSomething) << "the second start showed a window or a message box";

    EXPECT_TRUE(
        WaitUntil("the first window to be restored", [&] { return !IsIconic(tool.window); }));
    EXPECT_TRUE(WaitUntil("the first window to come forward",
                          [&] { return GetForegroundWindow() == tool.window; }));
    EXPECT_TRUE(WaitUntil("the controls to be laid out again", [&] {
        return LaidOutFor(tool.window, s);
    })) << LaidOutFor(tool.window, s).message();
    EXPECT_TRUE(ClosesCleanly(tool));
}

} // namespace
