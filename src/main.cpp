// Entry point and the main window: one instance, three controls, two scheme buttons.
#include "core/font_switch.h"
#include "module_path.h"
#include "resource_ids.h"
#include "scoped.h"
#include "ui/dpi_layout.h"
#include "ui/screen_resolution.h"
#include "ui/theme.h"

#include <windows.h>

#include <cstdlib>

namespace {

constexpr int WIN_WIDTH = 360;
constexpr int WIN_HEIGHT = 180;
constexpr wchar_t kClassName[] = L"QorvelFontSwitcher";
constexpr wchar_t kTitle[] = L"Tessaly：字体切换";
constexpr int kLabelId = 0;
constexpr int kClassicId = 1;
constexpr int kHdId = 2;
// A system menu command: below 0xF000, the low four bits free for the system's own use.
constexpr UINT kRestoreCommand = 0x0010;

// True when no window of the class exists; otherwise brings that window forward.
bool EnsureSingleInstance(HINSTANCE, const wchar_t* className) {
    HWND running = FindWindowW(className, nullptr);
    if (!running)
        return true;
    SetForegroundWindow(running);
    if (IsIconic(running))
        ShowWindow(running, SW_RESTORE);
    return false;
}

// kzv.ico from the exe's own folder, whatever the current folder; the exe's own icon without it.
HICON LoadWindowIcon(HINSTANCE instance) {
    const std::wstring exe = ModulePath();
    const std::wstring file = exe.substr(0, exe.rfind(L'\\') + 1) + L"kzv.ico";
    const auto beside = LoadImageW(nullptr, file.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE);
    return static_cast<HICON>(beside ? beside
                                     : LoadImageW(instance, MAKEINTRESOURCEW(IDI_ICON1), IMAGE_ICON,
                                                  32, 32, LR_DEFAULTCOLOR));
}

int ShowStartupError(const wchar_t* text) {
    MessageBoxW(nullptr, text, L"错误", MB_OK | MB_ICONERROR);
    return 1;
}

HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                   int width, int height, int id) {
    return CreateWindowExW(0, className, text, style, 0, 0, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

LRESULT OnCreate(HWND window, HWND& label, HWND& classic, HWND& hd, UniqueBrush& brush) {
    label =
        CreateControl(window, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER, 260, 80, kLabelId);
    classic = CreateControl(window, L"BUTTON", L"经典字体", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 100,
                            30, kClassicId);
    hd = CreateControl(window, L"BUTTON", L"高清字体", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 100, 30,
                       kHdId);
    AdjustControlsForDPI(window, label, classic, hd);
    CenterControls(window, label, classic, hd);
    brush.reset(GetThemeBrush());
    const HMENU systemMenu = GetSystemMenu(window, FALSE);
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, kRestoreCommand, L"恢复原来的字体(&R)...");
    // The focus cue shows once the keyboard is used, at once when the tool was started from it.
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS), 0);
    return 0;
}

// The control that had the focus when the window was last left gets it back; the first button
// at first.
LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam, HWND& focused) {
    if (LOWORD(wParam) == WA_INACTIVE && IsChild(window, GetFocus()))
        focused = GetFocus();
    return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam); // focuses the window when active
}

LRESULT OnSetFocus(HWND classic, HWND focused) {
    SetFocus(focused ? focused : classic);
    return 0;
}

// The label names the monitor the window is on: it is filled as the window is placed, and again
// whenever a move or a change of size leaves the window on another monitor.
void FollowMonitor(HWND window, HWND label, HMONITOR& described) {
    const HMONITOR nearest = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (nearest == described)
        return;
    UpdatePhysicalResolution(window, label);
    described = nearest;
}

LRESULT OnSize(HWND window, HWND label, HWND classic, HWND hd, HMONITOR& described) {
    CenterControls(window, label, classic, hd);
    FollowMonitor(window, label, described);
    return 0;
}

LRESULT OnMove(HWND window, HWND label, HMONITOR& described) {
    FollowMonitor(window, label, described);
    return 0;
}

// A new display mode, or monitors added, removed or rearranged: what the label says is stale.
LRESULT OnDisplayChange(HWND window, HWND label, HMONITOR& described) {
    described = nullptr;
    FollowMonitor(window, label, described);
    return 0;
}

// The whole window follows: control brush, class background (the old one deleted) and title bar.
LRESULT OnThemeChange(HWND window, UniqueBrush& brush) {
    brush.reset(GetThemeBrush());
    UniqueBrush oldBackground(reinterpret_cast<HBRUSH>(
        SetClassLongPtrW(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetThemeBrush()))));
    ApplyTitleBarTheme(window);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT OnCommand(WORD id) {
    if (id == kClassicId)
        WriteFontConfig(true);
    else if (id == kHdId)
        WriteFontConfig(false);
    return 0;
}

LRESULT OnSysCommand(HWND window, WPARAM command, LPARAM lParam) {
    if ((command & 0xFFF0) != kRestoreCommand)
        return DefWindowProcW(window, WM_SYSCOMMAND, command, lParam);
    RestoreOwnFonts();
    return 0;
}

LRESULT OnCtlColorButton(HWND button, HDC dc, HBRUSH brush) {
    ApplyButtonTheme(button, dc);
    return reinterpret_cast<LRESULT>(brush);
}

LRESULT OnCtlColorStatic(HDC dc, HBRUSH brush) {
    ApplyThemeToControl(dc);
    return reinterpret_cast<LRESULT>(brush);
}

LRESULT OnDestroy(UniqueBrush& brush) {
    brush.reset();
    PostQuitMessage(0);
    return 0;
}

// Enter presses the focused button, as a click does, and Esc closes the window. Dialog keys
// would send the commands IDOK (1) and IDCANCEL (2) for them, which are the buttons' own ids.
bool IsEnterOrEscHandled(HWND window, const MSG& message) {
    if (message.message != WM_KEYDOWN ||
        (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE) ||
        (message.hwnd != window && !IsChild(window, message.hwnd)))
        return false;
    if (message.wParam == VK_ESCAPE)
        PostMessageW(window, WM_CLOSE, 0, 0);
    else if (IsChild(window, GetFocus()))
        SendMessageW(GetFocus(), BM_CLICK, 0, 0);
    return true;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static HWND lblResolution = nullptr;
    static HWND btnClassic = nullptr;
    static HWND btnHD = nullptr;
    static UniqueBrush hBrush;
    static HMONITOR labelMonitor = nullptr; // the monitor the label describes
    static HWND focusedControl = nullptr;
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, lblResolution, btnClassic, btnHD, hBrush);
    case WM_ACTIVATE:
        return OnActivate(window, wParam, lParam, focusedControl);
    case WM_SETFOCUS:
        return OnSetFocus(btnClassic, focusedControl);
    case WM_SYSCOMMAND:
        return OnSysCommand(window, wParam, lParam);
    case WM_SIZE:
        return OnSize(window, lblResolution, btnClassic, btnHD, labelMonitor);
    case WM_MOVE:
        return OnMove(window, lblResolution, labelMonitor);
    case WM_DISPLAYCHANGE:
        return OnDisplayChange(window, lblResolution, labelMonitor);
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
        return OnThemeChange(window, hBrush);
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam));
    case WM_CTLCOLORBTN:
        return OnCtlColorButton(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam),
                                hBrush.get());
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), hBrush.get());
    case WM_DESTROY:
        return OnDestroy(hBrush);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int showCommand) {
    if (!EnsureSingleInstance(instance, kClassName))
        return 0;
    SetProcessDPIAware();

    // The background brush belongs to the class once registered; a theme change replaces it.
    UniqueBrush background(GetThemeBrush());
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    windowClass.hbrBackground = background.get();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadWindowIcon(instance);
    if (!RegisterClassW(&windowClass))
        return ShowStartupError(L"窗口类注册失败！");
    static_cast<void>(background.release());

    HWND window =
        CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        WIN_WIDTH, WIN_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (!window)
        return ShowStartupError(L"窗口创建失败！");
    ApplyTitleBarTheme(window);
    AdjustWindowForDPI(window, WIN_WIDTH, WIN_HEIGHT);
    CenterWindow(window); // at its final size
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and Shift+Tab move the focus between the buttons, Space presses the focused one.
        if (IsEnterOrEscHandled(window, message) || IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// The program throws no exceptions. The library's default terminate handler would bring the C++
// demangler (about 57 KB) into the executable only to name an exception type; this one ends the
// process as plainly.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
#endif
