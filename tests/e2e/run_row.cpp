// Runs row N (the argument) of the table rows.txt beside it: lays out a host installation with the
// tool, makes the row's setup, does its acts as a user would, and checks what came of them.
#include "host/backup.h"
#include "host/compat_layer.h"
#include "host_installation.h"
#include "windows_and_boxes.h"

#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <regex>
#include <set>
#include <thread>
#include <vector>

using namespace std::string_literals;
using Words = std::vector<std::string>;
using Undoing = std::shared_ptr<void>; // done when the last copy goes

namespace {

Words Split(const std::string& text, const std::string& separator) {
    Words parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start); // npos: the last part
        parts.push_back(text.substr(start, end - start));
        if (end == text.npos)
            return parts;
        start = end + separator.size();
    }
}

std::string Join(const auto& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

std::string Formatted(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

fs::path PathFromUtf8(const std::string& utf8) {
    return std::u8string(utf8.begin(), utf8.end());
}

// Face and size of slots 1 to 10 as Classic and HD write them; s is 宋体, y 微软雅黑 in GBK.
const Words kSchemeFonts[2] = {
    Split("System -13,Arial -12,s 14,Arial -12,s 14,Arial -12,y -18,Arial -12,Arial -12,y -22",
          ","),
    Split("y -12,y -10,s -14,y -12,y -12,y -12,y -14,y -12,y -10,y -16", ",")};

// The three font lines of a slot (1 to 10): as the user set them (scheme 0, and later 3), in
// their own layout, and as Classic (1) and HD (2) write them.
std::string FontLines(int scheme, int slot) {
    const std::string n = std::to_string(slot);
    if (scheme == 0 || scheme == 3) {
        const std::string face = scheme == 0 ? "Fixedsys" : "Courier";
        return " FONTNAME" + n + "\t= " + face + " ;#\r\n FONTSIZE" + n +
               "\t= 9 ;#\r\n FontWeigth" + n + "\t= 700 ;#\r\n";
    }
    const Words font = Split(kSchemeFonts[scheme - 1][size_t(slot - 1)], " ");
    const std::string face = font[0] == "s"   ? "\xCB\xCE\xCC\xE5"
                             : font[0] == "y" ? "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA"
                                              : font[0];
    return "FONTNAME" + n + "=" + face + "\nFONTSIZE" + n + "=" + font[1] + "\nFontWeigth" + n +
           "=400\n";
}

// A user.ini of 1.3 MB as it was (0), as Classic (1) and HD (2) leave it, with other fonts of the
// user's own (3).
std::string HostIni(int scheme) {
    const std::string keyIfCut = "a" + std::string(600 * 1024, ' ') + "\t FONTNAME1=Old\r\n";
    const std::string notKeys =
        "x\0y\r\n\r\n \t\r\n=v\r\n \t= w\r\n ;FONTNAME1=c\r\n\t#FONTSIZE1=d\r\n"s +
        "FONTNAME2\r\na=1\rFONTNAME3=x\r\n";
    const std::string lookAlikes = "[SCREEN]\r\nFontWeight1=700\r\nfontname2=Arial\r\n";
    std::string fonts;
    for (int slot = 1; slot <= 10; ++slot)
        fonts += FontLines(scheme, slot);
    const std::string repeated = "z\0w\r\nFONTNAME1=again\r\n"s;
    std::string comments;
    for (int piece = 0; piece < 20000; ++piece)
        comments += ";FONTNAME2=x\r\n #FONTSIZE3=y\r\nk=\xCB\xCE\r\n";
    const std::string lastLineWithoutEnd = "end";
    return keyIfCut + notKeys + lookAlikes + fonts + repeated + comments + lastLineWithoutEnd;
}

// A .ico file of one 16x16 image, all red: its header, its one entry (0x468 bytes at 0x16), the
// image's header, its pixels (blue, green, red, alpha) and its mask.
std::string RedIcon() {
    const BITMAPINFOHEADER header{sizeof header, 16, 32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::string icon = "\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x68\x04\0\0\x16\0\0\0"s +
                       std::string(reinterpret_cast<const char*>(&header), sizeof header);
    for (int pixel = 0; pixel < 16 * 16; ++pixel)
        icon += "\x00\x00\xFF\xFF"s;
    return icon + std::string(16 * 4, '\0');
}

// What the host adds to user.ini after a switch: a screen layout of the user's.
const std::string kLaterSetting = "\r\n[CustomPad]\r\nPad1=my layout";

const std::map<std::string, std::string> kKinds = {{HostIni(0), "original"},
                                                   {HostIni(1), "Classic"},
                                                   {HostIni(2), "HD"},
                                                   {HostIni(3), "Courier"},
                                                   {HostIni(0) + kLaterSetting, "original+later"},
                                                   {HostIni(2) + kLaterSetting, "HD+later"},
                                                   {RedIcon(), "red-icon"},
                                                   {"", "none"}};

// The bytes of the kind of file kKinds names, or else the text itself.
std::string Contents(const std::string& kindOrText) {
    for (const auto& [bytes, kind] : kKinds)
        if (kind == kindOrText)
            return bytes;
    return kindOrText;
}

// Each run of digits as one "#", so that times do not show.
std::string WithoutDigits(const std::string& text) {
    return std::regex_replace(text, std::regex("[0-9]+"), "#");
}

// A file's name (digits as #) and the kind of file it holds, or else its size.
std::string NameWithKindOrSize(const fs::path& file) {
    const std::string bytes = ReadBytes(file);
    const std::string kind =
        kKinds.contains(bytes) ? kKinds.at(bytes) : std::to_string(bytes.size()) + " bytes";
    return WithoutDigits(U8(file.filename().wstring())) + " (" + kind + ")";
}

// The name of the compatibility value of `root`'s tdxw.exe.
std::wstring LayersName(const fs::path& root) {
    return fs::weakly_canonical(root / L"tdxw.exe").wstring();
}

// Sets the compatibility value of `root`'s tdxw.exe as the rows write it and show it: "sz: " or
// "binary: " and the text, a terminating zero written as \0.
void SetLayers(const fs::path& root, const std::string& stored) {
    if (stored == "none") {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kLayersKey, LayersName(root).c_str());
        return;
    }
    const size_t colon = stored.find(": ");
    const std::wstring text = std::regex_replace(PathFromUtf8(stored.substr(colon + 2)).wstring(),
                                                 std::wregex(LR"(\\0)"), std::wstring(1, L'\0'));
    // The registry adds a zero that follows the data in memory but not its size: none follows here.
    const std::wstring data = text + L'.';
    RegSetKeyValueW(HKEY_CURRENT_USER, kLayersKey, LayersName(root).c_str(),
                    stored.starts_with("sz") ? REG_SZ : REG_BINARY, data.data(),
                    DWORD(text.size() * sizeof(wchar_t)));
}

// The compatibility value of `root`'s tdxw.exe as the registry stores it: its type, its size in
// bytes and its text, a zero shown as \0; "none" when there is none, "no key" without the key.
std::string StoredLayers(const fs::path& root) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return "no key";
    const UniqueRegKey key(opened);
    wchar_t data[64] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof data;
    if (RegQueryValueExW(key.get(), LayersName(root).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return "none";
    std::wstring text;
    for (const wchar_t unit : std::wstring_view(data, (size + 1) / sizeof(wchar_t)))
        text += unit ? std::wstring(1, unit) : L"\\0";
    return (type == REG_SZ ? "sz " : "binary ") + std::to_string(size) + ": " + U8(text);
}

// The host installation in `root`, the layers its user set for tdxw.exe; returns the tool's path.
fs::path LayInstallation(const fs::path& root, const fs::path& toolPath) {
    SetLayers(root, "sz: ~ RUNASADMIN HIGHDPIAWARE\\0");
    return LayHostInstallation(root, HostIni(0), toolPath);
}

// Removes the failing disk's triggers from a folder.
void RemoveDiskTriggers(const fs::path& folder) {
    for (const fs::directory_entry& file : fs::directory_iterator(folder))
        if (file.path().wstring().find(L".disk-") != std::wstring::npos)
            fs::remove(file);
}

// What is left in the installation in `root`.
std::string LeftInInstallation(const fs::path& root, const fs::path& base) {
    const fs::path ini = root / L"T0002\\user.ini";
    std::set<std::string> beside;
    for (const fs::directory_entry& file : fs::directory_iterator(ini.parent_path()))
        if (file.path() != ini)
            beside.insert(NameWithKindOrSize(file));
    const DWORD bits = fs::exists(ini) ? GetFileAttributesW(ini.c_str()) : 0;
    std::string seen = NameWithKindOrSize(ini) + (bits & FILE_ATTRIBUTE_HIDDEN ? " hidden" : "") +
                       (bits & FILE_ATTRIBUTE_SYSTEM ? " system" : "") +
                       (bits & FILE_ATTRIBUTE_READONLY ? " read-only" : "");
    const std::string ran = ReadBytes(root / L"tdxw.exe.ran"); // the host's folder
    return seen + ", beside: " + Join(beside, ", ") + ", layer " + StoredLayers(root) +
           (ran.empty() ? "" : ", host ran in " + U8(PathFromUtf8(ran).lexically_relative(base)));
}

// Makes one item of a row's setup, with paths below the host root; returns its undoing.
Undoing SetUp(const std::string& item, const fs::path& root) {
    const Words words = Split(item, " ");
    const fs::path file = root / PathFromUtf8(words.size() > 1 ? words[1] : "");
    if (words[0] == "write") { // a kind of file or a text (a trigger's count, say), N h old
        WriteBytes(file, words.size() > 2 ? Contents(words[2]) : "");
        const auto minute =
            std::chrono::floor<std::chrono::minutes>(fs::file_time_type::clock::now());
        if (words.size() > 3) // the same age, the same time
            fs::last_write_time(file, minute - std::chrono::hours(std::stoi(words[3])));
    } else if (words[0] == "remove") {
        fs::remove(file);
    } else if (words[0] == "readonly" || words[0] == "hidden+system") {
        SetFileAttributesW(file.c_str(), words[0] == "readonly"
                                             ? FILE_ATTRIBUTE_READONLY
                                             : FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    } else if (words[0] == "hold" || words[0] == "lock") { // hold for N ms, as a scanner does
        const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, words[0] == "hold", nullptr,
                                        OPEN_EXISTING, 0, nullptr); // lock: shared with no one
        if (words[0] == "lock")
            return std::shared_ptr<void>(held, CloseHandle);
        return std::make_shared<std::jthread>([held, ms = std::stoul(words[2])] {
            Sleep(ms);
            CloseHandle(held);
        });
    } else if (words[0] == "run") { // a host process, in a folder of its own
        const fs::path host = root / L"running" / file.filename();
        fs::create_directories(host.parent_path());
        fs::copy_file(ExeDir() / L"stand_in_host.exe", host);
        return Undoing(StartProcess(host, L"run").release(), [](HANDLE process) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        });
    } else if (words[0] == "layers") { // the value as StoredLayers shows it
        SetLayers(root, item.substr(item.find(' ') + 1));
    } else if (item == "no layers key") { // as for a user who never set a compatibility layer
        RegDeleteKeyW(HKEY_CURRENT_USER, kLayersKey);
    } else if (item == "refuse layer writes") { // the value can be read, not set or deleted
        HKEY key = nullptr;
        PSECURITY_DESCRIPTOR readOnly = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x6;;;WD)(A;;KA;;;WD)", 1,
                                                             &readOnly, nullptr);
        RegOpenKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, WRITE_DAC, &key);
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly);
        RegCloseKey(key);
        LocalFree(readOnly);
    } else if (item == "same minute") { // for all the row's switches
        while (std::time(nullptr) % 60 > 50)
            Sleep(100);
    } else if (words[0] == "backups") { // of this minute, as earlier switches leave them
        for (int copy = 1; copy <= std::stoi(words[1]); ++copy)
            WriteBytes(BackupPathFor(root / L"T0002\\user.ini", GetCurrentTimestamp(), copy), "x");
    } else if (item == "outer installation") {
        LayInstallation(root.parent_path(), {});
    } else if (words[0] != "dpi" && item != "virtual desktop" && item != "-") { // the session's
        std::printf("unknown setup or act \"%s\"\n", item.c_str());
        std::exit(2);
    }
    return nullptr;
}

struct Tool {
    fs::path root; // the host's
    fs::path exe;
    UniqueHandle process;
    HWND window;
};

// The line under the buttons, once filled.
std::string StatusLine(const Tool& tool) {
    const HWND status = GetDlgItem(tool.window, 3);
    Poll([&] { return !WindowText(status).empty(); }, 5000);
    return WindowText(status);
}

// Started, once its status line has read user.ini (and let go of it).
void Start(Tool& tool) {
    tool.process = StartProcess(tool.exe);
    tool.window = WaitForWindow(GetProcessId(tool.process.get()), kToolWindowClass, 20000);
    StatusLine(tool);
}

// Places, sizes, the label's text and, once painted, its height and the colours round it.
std::string WindowAsSeen(const Tool& tool) {
    std::string seen = "window";
    for (const int id : {-1, 2, 1, 0, 3}) { // the window on the screen, the controls in the window
        RECT place{};
        GetWindowRect(id < 0 ? tool.window : GetDlgItem(tool.window, id), &place);
        MapWindowPoints(nullptr, id < 0 ? nullptr : tool.window, reinterpret_cast<POINT*>(&place),
                        2);
        seen += Formatted(" %ld,%ld %ldx%ld", place.left, place.top, place.right - place.left,
                          place.bottom - place.top);
    }
    RECT rect{};
    GetWindowRect(GetDlgItem(tool.window, 0), &rect);
    const UniqueWindowDc screen(GetDC(nullptr), {nullptr});
    COLORREF cell = 0, ink = 0;
    int top = 0, bottom = 0; // of the text
    Poll(
        [&] {
            cell = ink = GetPixel(screen.get(), rect.left, rect.top);
            top = rect.bottom, bottom = rect.top;
            for (int y = rect.top; y < rect.bottom; ++y)
                for (int x = rect.left; x < rect.right; ++x)
                    if (const COLORREF pixel = GetPixel(screen.get(), x, y); pixel != cell) {
                        top = std::min(top, y);
                        bottom = y + 1;
                        if (std::abs(GetGValue(pixel) - GetGValue(cell)) >
                            std::abs(GetGValue(ink) - GetGValue(cell)))
                            ink = pixel;
                    }
            return bottom > top && GetPixel(screen.get(), rect.left - 2, rect.top) == cell;
        },
        5000);
    return seen + ", \"" + WindowText(GetDlgItem(tool.window, 0)) +
           Formatted("\" %d px high, colours %06lx %06lx %06lx", bottom - top,
                     GetPixel(screen.get(), rect.left - 2, rect.top), cell, ink);
}

// The colour at the middle of the caption's icon, where wine draws it, once painted.
std::string CaptionIcon(const Tool& tool) {
    Sleep(500);
    RECT frame{};
    GetWindowRect(tool.window, &frame);
    POINT client{};
    ClientToScreen(tool.window, &client);
    const int border = client.x - frame.left;
    const int top = frame.top + border + (GetSystemMetrics(SM_CYCAPTION) - 16) / 2;
    const UniqueWindowDc screen(GetDC(nullptr), {nullptr});
    return Formatted("caption icon %06lx", GetPixel(screen.get(), client.x + 2 + 8, top + 8));
}

// A new display mode, WxH, changed back when the row ends; what the label then reads.
std::string ChangeDisplayMode(const std::string& size, const Tool& tool,
                              std::vector<Undoing>& undo) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    undo.push_back(Undoing(nullptr, [before = mode](void*) mutable {
        // Wine 8's server crashed when a window closed in another mode.
        if (ChangeDisplaySettingsExW(nullptr, &before, nullptr, 0, nullptr) ==
            DISP_CHANGE_SUCCESSFUL)
            return;
        std::printf("the display mode was not changed back\n");
        std::exit(1);
    }));
    std::sscanf(size.c_str(), "%lux%lu", &mode.dmPelsWidth, &mode.dmPelsHeight);
    if (ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) != DISP_CHANGE_SUCCESSFUL)
        return "no display mode " + size;
    return WindowText(GetDlgItem(tool.window, 0));
}

// Keys as a user types them into the tool's window, brought to the front first: held down in
// order, let go in reverse.
void TypeKeys(HWND window, const std::vector<WORD>& keys) {
    SetForegroundWindow(window);
    Poll([&] { return GetForegroundWindow() == window; }, 2000);
    std::vector<INPUT> strokes;
    for (const WORD key : keys)
        strokes.push_back({INPUT_KEYBOARD, {.ki = {key, 0, 0, 0, 0}}});
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        strokes.push_back({INPUT_KEYBOARD, {.ki = {*key, 0, KEYEVENTF_KEYUP, 0, 0}}});
    SendInput(UINT(strokes.size()), strokes.data(), sizeof(INPUT));
}

// The left button pressed or let go at a point, the pointer moved there in the same event.
void Mouse(DWORD upOrDown, POINT at) {
    const int x = GetSystemMetrics(SM_CXSCREEN), y = GetSystemMetrics(SM_CYSCREEN);
    INPUT mouse{INPUT_MOUSE,
                {.mi = {(at.x * 65536 + x - 1) / x, (at.y * 65536 + y - 1) / y, 0,
                        upOrDown | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 0, 0}}};
    SendInput(1, &mouse, sizeof mouse);
}

// The left button pressed at a button's middle; whether the button shows pressed within the time.
bool PressOn(HWND button, DWORD timeoutMs) {
    RECT rect{};
    GetWindowRect(button, &rect);
    Mouse(MOUSEEVENTF_LEFTDOWN, {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    return Poll([&] { return SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED; }, timeoutMs);
}

// The control with the keyboard focus, once the tool's window is active again.
std::string Focus(const Tool& tool) {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    const DWORD id = GetWindowThreadProcessId(tool.window, nullptr);
    const bool active = Poll(
        [&] { return GetGUIThreadInfo(id, &thread) && thread.hwndActive == tool.window; }, 5000);
    return "focus on " + WindowText(thread.hwndFocus) + (active ? "" : " (inactive)");
}

// The boxes the tool shows next, each answered after `atBox`: the first within 15 s (a busy
// machine's switch), each later one as the tool next takes messages.
void TakeBoxes(
    const Tool& tool, Words& seen, int answer = IDOK, const std::function<void()>& atBox = [] {}) {
    const DWORD id = GetProcessId(tool.process.get());
    for (std::string box = TakeBox(id, 15000, answer, atBox); !box.empty();
         box = TakeBox(id, 700, answer, atBox)) {
        seen.push_back(box);
        // Back when the tool takes messages again: in its next box or its window, however busy.
        SendMessageTimeoutW(tool.window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, nullptr);
    }
}

// Does an act as a user would, or a setup item; returns what the user was shown, "" for nothing.
std::string PerformAct(const std::string& act, Tool& tool, std::vector<Undoing>& undo) {
    const Words words = Split(act, " ");
    Words seen;
    if (words[0] == "press") { // each button once the boxes of the one before are answered
        for (const char button : words[1]) {
            PostMessageW(GetDlgItem(tool.window, button - '0'), BM_CLICK, 0, 0);
            TakeBoxes(tool, seen);
        }
    } else if (words[0] == "restore") { // Alt+Space, F; "and cancel", "and click N", "and run X"
        // Out from under the boxes, which show at the screen's middle.
        SetWindowPos(tool.window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        TypeKeys(tool.window, {VK_MENU, VK_SPACE}); // opens the system menu
        if (!WaitForWindow(GetProcessId(tool.process.get()), L"#32768", 5000))
            seen.push_back("no system menu");
        TypeKeys(tool.window, {'F'});
        const std::string also = words.size() > 2 ? words[2] : "";
        TakeBoxes(tool, seen, also == "cancel" ? IDCANCEL : IDOK, [&] {
            if (also == "click") { // on a button behind the box, let go off the window
                if (PressOn(GetDlgItem(tool.window, words[3][0] - '0'), 1000))
                    seen.push_back("button pressed behind the box");
                Mouse(MOUSEEVENTF_LEFTUP, {0, 0});
            }
            if (also == "run" && seen.empty()) // at the question, not at the warning that follows
                undo.push_back(SetUp("run " + words[3], tool.root));
        });
    } else if (words[0] == "key") { // tab, shift+tab, space, enter, esc, ctrl+break, execute; held
        const std::map<std::string, std::vector<WORD>> keys = {
            {"tab", {VK_TAB}},        {"shift+tab", {VK_SHIFT, VK_TAB}},
            {"space", {VK_SPACE}},    {"enter", {VK_RETURN}},
            {"esc", {VK_ESCAPE}},     {"ctrl+break", {VK_CONTROL, VK_CANCEL}},
            {"execute", {VK_EXECUTE}}};
        const std::string before = Focus(tool);
        TypeKeys(tool.window, keys.at(words[1]));
        if (words[1].ends_with("tab"))
            Poll([&] { return Focus(tool) != before; }, 5000);
        if (words[1] == "esc" || words[1] == "ctrl+break")
            WaitForExit(tool.process.get(), 5000);
        if (words[1] == "space" || words[1] == "enter")
            TakeBoxes(tool, seen);
        if (words.size() > 2) { // "held": a repeat of its key-down comes after the box closed
            PostMessageW(tool.window, WM_KEYDOWN, keys.at(words[1])[0], 1 | 1 << 30);
            TakeBoxes(tool, seen);
        }
    } else if (words[0] == "slide") { // "slide off N": pressed on button N, let go off the window
        PressOn(GetDlgItem(tool.window, words[2][0] - '0'), 5000);
        Mouse(MOUSEEVENTF_LEFTUP, {0, 0});
    } else if (act == "focus") {
        seen.push_back(Focus(tool));
    } else if (act == "status") {
        seen.push_back(StatusLine(tool));
    } else if (act == "away and back") { // inactive while minimised, active again once restored
        SetWindowTextW(GetDlgItem(tool.window, 3), L""); // what it said before
        ShowWindow(tool.window, SW_MINIMIZE);
        ShowWindow(tool.window, SW_RESTORE);
    } else if (act == "again") { // a new start once the tool has ended; closed first if open
        PostMessageW(tool.window, WM_CLOSE, 0, 0);
        WaitForExit(tool.process.get(), 10000);
        Start(tool);
    } else if (act == "start again minimised") {
        ShowWindow(tool.window, SW_MINIMIZE);
        Poll([&] { return IsIconic(tool.window); }, 5000);
        const UniqueHandle second = StartProcess(tool.exe);
        seen.push_back("exit code " + std::to_string(WaitForExit(second.get(), 10000)));
        seen.back() += Poll([&] { return !IsIconic(tool.window); }, 5000) ? ", restored" : "";
    } else if (words[0] == "settings" || words[0] == "theme") { // AppsUseLightTheme; 0/8 in 8 bytes
        const ULONGLONG useLight = words[1][0] - '0';
        const DWORD size = words[1] == "0/8" ? 8 : 4;
        RegSetKeyValueW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                        L"AppsUseLightTheme", size == 8 ? REG_QWORD : REG_DWORD, &useLight, size);
        SendMessageW(tool.window, words[0] == "theme" ? WM_THEMECHANGED : WM_SETTINGCHANGE, 0, 0);
    } else if (words[0] == "display") {
        seen.push_back(ChangeDisplayMode(words[1], tool, undo));
    } else if (act == "look") {
        seen.push_back(WindowAsSeen(tool));
    } else if (act == "icon") {
        seen.push_back(CaptionIcon(tool));
    } else {
        undo.push_back(SetUp(act, tool.root));
    }
    return Join(seen, " then ");
}

// What the disk saw of user.ini's files, repeats merged, and a whole backup or save in short.
std::string DiskRecord(const fs::path& folder) {
    const std::string record = std::regex_replace(ReadBytes(folder / L".disk-record"),
                                                  std::regex("user\\.ini\\.fontswitch-"), "");
    Words disk = Split(WithoutDigits(record), "\n");
    disk.erase(std::unique(disk.begin(), disk.end()), disk.end());
    disk.pop_back(); // after the last line end
    const std::regex backup("W copy, F copy, R copy>user\\.#-#_#(\\(#\\))?备份\\.ini");
    const std::regex save("W new, F new, R new>user\\.ini");
    const std::string shortened = std::regex_replace(Join(disk, ", "), backup, "backup$1");
    return std::regex_replace(shortened, save, "save");
}

} // namespace

int main(int, char** argv) {
    Words rows = Split(ReadBytes(ExeDir() / L"rows.txt"), "\n");
    std::erase_if(rows, [](const std::string& line) { return line.empty() || line[0] == '#'; });
    const std::string row = rows.at(std::stoul(argv[1]) - 1); // "\n" in it: a line end
    const Words field = Split(std::regex_replace(row, std::regex(R"(\\n)"), "\n"), " | ");
    // The host root's name is outside the ANSI code page, so that only wide paths reach it.
    const fs::path base = TempFolder(L"row");
    const fs::path root = base / L"主机 호스트";
    const fs::path folder = root / L"T0002";
    const fs::path place = PathFromUtf8(field.at(1)); // the tool's folder, or its path
    const fs::path exe = place.extension() == L".exe" ? place : place / L"TessalyFontSwitch.exe";

    Tool tool{root, LayInstallation(root, exe), nullptr, nullptr};
    Start(tool);
    std::vector<Undoing> undo;
    for (const std::string& item : Split(field.at(2), ", "))
        undo.push_back(SetUp(item, root));
    WriteBytes(folder / L".disk-record", "");
    Words shown;
    for (const std::string& act : Split(field.at(3), ", ")) {
        const std::string seen = tool.window ? PerformAct(act, tool, undo) : "no window";
        if (!seen.empty())
            shown.push_back(seen);
    }

    const bool open = WaitForExit(tool.process.get(), 0) == STILL_ACTIVE;
    PostMessageW(tool.window, WM_CLOSE, 0, 0);
    undo.clear();
    // A host started by mistake has left its mark within 0.3 s of the last box.
    Poll([&] { return fs::exists(root / L"tdxw.exe.ran") || fs::exists(base / L"tdxw.exe.ran"); },
         open ? 300 : 9000);
    const DWORD exitCode = WaitForExit(tool.process.get(), 10000);
    const std::string disk = DiskRecord(folder);
    RemoveDiskTriggers(folder); // and the record
    std::string left = LeftInInstallation(root, base) + ", disk: " + disk;
    left += (open ? ", stays open" : "") + ", exit code "s + std::to_string(exitCode);
    if (fs::exists(base / L"tdxw.exe"))
        left += "; outer: " + LeftInInstallation(base, base);

    const std::string got[] = {Join(shown, " then "), left};
    for (int i = 0; i < 2; ++i)
        if (got[i] != field.at(4 + i))
            std::printf("%s\n  expected: %s\n       got: %s\n", field[0].c_str(),
                        field[4 + i].c_str(), got[i].c_str());
    return got[0] == field[4] && got[1] == field[5] ? 0 : 1;
}
