// Entry point and the main window: one instance, the resolution label, two scheme buttons and the
// line that names the fonts in use.
#include "core/current_fonts.h"
#include "core/font_switch.h"
#include "message_box.h"
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
constexpr wchar_t kTitle[] = L"Tessaly：字体切换";
constexpr int kLabelId = 0;
constexpr int kClassicId = 1;
constexpr int kHdId = 2;
constexpr int kStatusId = 3;
// A system menu command: below 0xF000, the low four bits free for the system's own use.
constexpr UINT kRestoreCommand = 0x0010;
// Posted to the window: the status line reads user.ini again.
constexpr UINT kShowFontsMessage = WM_APP;

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
    ShowBox(text, L"错误", MB_OK | MB_ICONERROR);
    return 1;
}

HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                   int width, int height, int id) {
    return CreateWindowExW(0, className, text, style, 0, 0, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

// Once: a read already waiting is not asked for again.
void PostShowFonts(HWND window) {
    MSG waiting;
    if (!PeekMessageW(&waiting, window, kShowFontsMessage, kShowFontsMessage, PM_NOREMOVE))
        PostMessageW(window, kShowFontsMessage, 0, 0);
}

LRESULT OnCreate(HWND window, HWND& label, HWND& classic, HWND& hd, HWND& status,
                 UniqueBrush& brush) {
    label =
        CreateControl(window, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER, 260, 80, kLabelId);
    classic = CreateControl(window, L"BUTTON", L"经典字体", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 100,
                            30, kClassicId);
    hd = CreateControl(window, L"BUTTON", L"高清字体", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 100, 30,
                       kHdId);
    status = CreateControl(window, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER | SS_NOPREFIX,
                           260, 20, kStatusId);
    AdjustControlsForDPI(window, label, classic, hd, status);
    CenterControls(window, label, classic, hd, status);
    brush.reset(GetThemeBrush());
    // Filled once the window shows, from the message loop.
    PostShowFonts(window);
    // The focus cue shows once the keyboard is used, at once when the tool was started from it.
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS), 0);
    return 0;
}

// 恢复原来的字体 at the end of the system menu. F: the menu's own items take R, M, S, N, X and C.
void AddRestoreToSystemMenu(HWND window) {
    const HMENU systemMenu = GetSystemMenu(window, FALSE);
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, kRestoreCommand, L"恢复原来的字体(&F)...");
}

// The control that had the focus when the window was last left gets it back; the first button
// at first. Coming back, the user may have changed fonts in the host meanwhile: the status line
// reads user.ini again.
LRESULT OnActivate(HWND window, WPARAM wParam, LPARAM lParam, HWND& focused) {
    if (LOWORD(wParam) == WA_INACTIVE && IsChild(window, GetFocus()))
        focused = GetFocus();
    else if (LOWORD(wParam) != WA_INACTIVE)
        PostShowFonts(window);
    return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam); // focuses the window when active
}

LRESULT OnShowFonts(HWND status) {
    SetWindowTextW(status, DescribeCurrentFonts().c_str());
    return 0;
}

// The focus that comes to the window itself goes on to a button: back to the button it came from
// (the window may be activated while a click on a button is being taken), else the one that had
// it when the window was left, else the first.
LRESULT OnSetFocus(HWND window, HWND from, HWND classic, HWND focused) {
    SetFocus(IsChild(window, from) ? from : focused ? focused : classic);
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

LRESULT OnSize(HWND window, HWND label, HWND classic, HWND hd, HWND status, HMONITOR& described) {
    CenterControls(window, label, classic, hd, status);
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
        WriteFontConfig(kClassic);
    else if (id == kHdId)
        WriteFontConfig(kHd);
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

enum class KeyAction { Pass, Close, PressFocused, Ignore };

// What a key pressed in the window does. Only a fresh press of Space or Enter on a focused button
// switches: the dialog keys would send the commands IDOK (1) for Enter and IDCANCEL (2) for Esc
// and Ctrl+Break, which are the buttons' own ids, and a key held after it closed a box repeats
// into the window.
KeyAction DecideKey(const MSG& message) {
    if (message.message != WM_KEYDOWN)
        return KeyAction::Pass;
    const bool repeat = (message.lParam & (1 << 30)) != 0;
    switch (message.wParam) {
    case VK_ESCAPE:
    case VK_CANCEL:
        return repeat ? KeyAction::Ignore : KeyAction::Close;
    case VK_RETURN:
        return repeat ? KeyAction::Ignore : KeyAction::PressFocused;
    case VK_SPACE:
        return repeat ? KeyAction::Ignore : KeyAction::Pass;
    case VK_EXECUTE: // Enter to the dialog keys of some systems
        return KeyAction::Ignore;
    default:
        return KeyAction::Pass;
    }
}

// Whether the window took the message as one of its own keys.
bool IsOwnKeyHandled(HWND window, const MSG& message) {
    if (message.hwnd != window && !IsChild(window, message.hwnd))
        return false;
    switch (DecideKey(message)) {
    case KeyAction::Pass:
        return false;
    case KeyAction::Close:
        PostMessageW(window, WM_CLOSE, 0, 0);
        break;
    case KeyAction::PressFocused:
        if (IsChild(window, GetFocus()))
            SendMessageW(GetFocus(), BM_CLICK, 0, 0);
        break;
    case KeyAction::Ignore:
        break;
    }
    return true;
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static HWND lblResolution = nullptr;
    static HWND btnClassic = nullptr;
    static HWND btnHD = nullptr;
    static HWND lblStatus = nullptr;
    static UniqueBrush hBrush;
    static HMONITOR labelMonitor = nullptr; // the monitor the label describes
    static HWND focusedControl = nullptr;
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, lblResolution, btnClassic, btnHD, lblStatus, hBrush);
    case WM_ACTIVATE:
        return OnActivate(window, wParam, lParam, focusedControl);
    case kShowFontsMessage:
        return OnShowFonts(lblStatus);
    case WM_SETFOCUS:
        return OnSetFocus(window, reinterpret_cast<HWND>(wParam), btnClassic, focusedControl);
    case WM_SYSCOMMAND:
        return OnSysCommand(window, wParam, lParam);
    case WM_SIZE:
        return OnSize(window, lblResolution, btnClassic, btnHD, lblStatus, labelMonitor);
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
    if (!EnsureSingleInstance(instance, kWindowClass))
        return 0;
    SetProcessDPIAware();

    // The background brush belongs to the class once registered; a theme change replaces it.
    UniqueBrush background(GetThemeBrush());
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    windowClass.hbrBackground = background.get();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadWindowIcon(instance);
    if (!RegisterClassW(&windowClass))
        return ShowStartupError(L"窗口类注册失败！");
    static_cast<void>(background.release());

    HWND window =
        CreateWindowExW(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        WIN_WIDTH, WIN_HEIGHT, nullptr, nullptr, instance, nullptr);
    if (!window)
        return ShowStartupError(L"窗口创建失败！");
    ApplyTitleBarTheme(window);
    AdjustWindowForDPI(window, WIN_WIDTH, WIN_HEIGHT);
    CenterWindow(window); // at its final size
    ShowWindow(window, showCommand);
    // Painted before the status line reads user.ini; the menu, which no one can open sooner, and
    // the status line cost the start nothing.
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    AddRestoreToSystemMenu(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and Shift+Tab move the focus between the buttons, Space presses the focused one.
        if (IsOwnKeyHandled(window, message) || IsDialogMessageW(window, &message))
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
