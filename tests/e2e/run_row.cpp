// Runs row N (the argument) of the table rows.txt beside it: lays out a host installation with the
// tool, makes the row's setup, does its acts as a user would, and checks what came of them.
#include "host/backup.h"
#include "host/compat_layer.h"
#include "host_installation.h"
#include "windows_and_boxes.h"

#include <algorithm>
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

// A user.ini of 1.3 MB as it was (0), as Classic (1) and HD (2) leave it: round the keys, a line
// that would show a key if cut anywhere below 600 KB, zeros, blank, empty, look-alike, repeated and
// commented keys, a CR inside a line, no last line end; s is 宋体, y 微软雅黑 in GBK.
std::string HostIni(int scheme) {
    const Words fonts =
        Split(Words{"Fixedsys 9 ",
                    "System -13 Arial -12 s 14 Arial -12 s 14 Arial -12 y -18 "
                    "Arial -12 Arial -12 y -22",
                    "y -12 y -10 s -14 y -12 y -12 y -12 y -14 y -12 y -10 y -16"}[size_t(scheme)],
              " ");
    std::string ini =
        "a"s + std::string(600 * 1024, ' ') + "\t FONTNAME1=Old\r\nx\0y\r\n"s +
        "\r\n \t\r\n=v\r\n \t= w\r\n ;FONTNAME1=c\r\n\t#FONTSIZE1=d\r\nFONTNAME2\r\n" +
        "a=1\rFONTNAME3=x\r\n[SCREEN]\r\nFontWeight1=700\r\nfontname2=Arial\r\n";
    for (size_t slot = 1; slot <= 10; ++slot) {
        const std::string n = std::to_string(slot), face = fonts[scheme ? 2 * slot - 2 : 0],
                          size = fonts[scheme ? 2 * slot - 1 : 1];
        ini += scheme ? "FONTNAME" + n + "=" +
                            (face == "s"   ? "\xCB\xCE\xCC\xE5"
                             : face == "y" ? "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA"
                                           : face) +
                            "\nFONTSIZE" + n + "=" + size + "\nFontWeigth" + n + "=400\n"
                      : " FONTNAME" + n + "\t= Fixedsys ;#\r\n FONTSIZE" + n +
                            "\t= 9 ;#\r\n FontWeigth" + n + "\t= 700 ;#\r\n";
    }
    ini += "z\0w\r\nFONTNAME1=again\r\n"s;
    for (int piece = 0; piece < 20000; ++piece)
        ini += ";FONTNAME2=x\r\n #FONTSIZE3=y\r\nk=\xCB\xCE\r\n";
    return ini + "end";
}
const std::map<std::string, std::string> kKinds = {
    {HostIni(0), "original"}, {HostIni(1), "Classic"}, {HostIni(2), "HD"}, {"", "none"}};

// Each run of digits as one "#", so that times do not show.
std::string WithoutDigits(const std::string& text) {
    return std::regex_replace(text, std::regex("[0-9]+"), "#");
}

// A file's name and what it holds: user.ini as it was, as Classic or HD leave it, or its size.
std::string NameAndContents(const fs::path& file) {
    const std::string bytes = ReadBytes(file);
    return WithoutDigits(U8(file.filename().wstring())) + " (" +
           (kKinds.contains(bytes) ? kKinds.at(bytes) : std::to_string(bytes.size()) + " bytes") +
           ")";
}

// Sets the compatibility value of `root`'s tdxw.exe, with its terminating zero.
void SetLayers(const fs::path& root, DWORD type, const std::wstring& layers) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kLayersKey, fs::weakly_canonical(root / L"tdxw.exe").c_str(),
                    type, layers.c_str(), DWORD((layers.size() + 1) * sizeof(wchar_t)));
}

// The host installation in `root`, the layers its user set for tdxw.exe; returns the tool's path.
fs::path LayInstallation(const fs::path& root, const fs::path& toolPath) {
    SetLayers(root, REG_SZ, L"~ RUNASADMIN HIGHDPIAWARE");
    return LayHostInstallation(root, HostIni(0), toolPath);
}

// What is left in the installation in `root`; the failing disk's triggers go first.
std::string LeftInInstallation(const fs::path& root, const fs::path& base) {
    const fs::path ini = root / L"T0002\\user.ini";
    std::set<std::string> beside;
    for (const fs::directory_entry& file : fs::directory_iterator(ini.parent_path()))
        if (file.path().wstring().find(L".disk-") != std::wstring::npos)
            fs::remove(file);
        else if (file.path() != ini)
            beside.insert(NameAndContents(file));
    const DWORD bits = fs::exists(ini) ? GetFileAttributesW(ini.c_str()) : 0;
    std::string seen = NameAndContents(ini) + (bits & FILE_ATTRIBUTE_HIDDEN ? " hidden" : "") +
                       (bits & FILE_ATTRIBUTE_SYSTEM ? " system" : "") +
                       (bits & FILE_ATTRIBUTE_READONLY ? " read-only" : "");
    wchar_t layer[64] = L"none"; // kept when there is no value; binary data read as text
    DWORD size = sizeof layer;
    RegGetValueW(HKEY_CURRENT_USER, kLayersKey, fs::weakly_canonical(root / L"tdxw.exe").c_str(),
                 RRF_RT_REG_SZ | RRF_RT_REG_BINARY, nullptr, layer, &size);
    const std::string ran = ReadBytes(root / L"tdxw.exe.ran"); // the host's folder
    return seen + ", beside: " + Join(beside, ", ") + ", layer " + U8(layer) +
           (ran.empty() ? "" : ", host ran in " + U8(PathFromUtf8(ran).lexically_relative(base)));
}

// Makes one item of a row's setup, with paths below the host root; returns its undoing.
Undoing SetUp(const std::string& item, const fs::path& root) {
    const Words words = Split(item, " ");
    const fs::path file = root / PathFromUtf8(words.size() > 1 ? words[1] : "");
    if (words[0] == "write") { // a trigger of the failing disk, say
        WriteBytes(file, words.size() > 2 ? words[2] : "");
    } else if (words[0] == "remove") {
        fs::remove(file);
    } else if (words[0] == "readonly" || words[0] == "hidden+system") {
        SetFileAttributesW(file.c_str(), words[0] == "readonly"
                                             ? FILE_ATTRIBUTE_READONLY
                                             : FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    } else if (words[0] == "hold") { // for N ms, as a scanner holds a file it reads
        const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
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
    } else if (item == "binary layers") { // "~ RUNASADMIN" in a value not text, so no layers
        SetLayers(root, REG_BINARY, L"~ RUNASADMIN");
    } else if (item == "refuse layers") { // a key that lasts cannot be made below a volatile one
        const std::wstring flags = fs::path(kLayersKey).parent_path().wstring();
        HKEY key = nullptr;
        RegDeleteTreeW(HKEY_CURRENT_USER, flags.c_str());
        RegCreateKeyExW(HKEY_CURRENT_USER, flags.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
    } else if (item == "same minute") { // for all the row's switches
        while (std::time(nullptr) % 60 > 50)
            Sleep(100);
    } else if (words[0] == "backups") { // of this minute, as earlier switches leave them
        for (int copy = 1; copy <= std::stoi(words[1]); ++copy)
            WriteBytes(BackupPathFor(root / L"T0002\\user.ini", GetCurrentTimestamp(), copy), "x");
    } else if (item == "outer installation") {
        LayInstallation(root.parent_path(), {});
    } else if (words[0] != "dpi" && item != "virtual desktop" && item != "-") { // the session's
        std::printf("unknown setup \"%s\"\n", item.c_str());
        std::exit(2);
    }
    return nullptr;
}

struct Tool {
    fs::path exe;
    UniqueHandle process;
    HWND window;
};

void Start(Tool& tool) {
    tool.process = StartProcess(tool.exe);
    tool.window = WaitForWindow(GetProcessId(tool.process.get()), kToolWindowClass, 20000);
}

// Places, sizes, the label's text and from the screen its height and the colours round it.
std::string WindowAsSeen(const Tool& tool) {
    Sleep(500);
    std::string seen = "window";
    for (const int id : {-1, 2, 1, 0}) { // the window on the screen, the controls in the window
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
    const COLORREF cell = GetPixel(screen.get(), rect.left, rect.top);
    COLORREF ink = cell;
    int top = rect.bottom, bottom = rect.top; // of the text
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (const COLORREF pixel = GetPixel(screen.get(), x, y); pixel != cell) {
                top = std::min(top, y);
                bottom = y + 1;
                if (std::abs(GetGValue(pixel) - GetGValue(cell)) >
                    std::abs(GetGValue(ink) - GetGValue(cell)))
                    ink = pixel;
            }
    return seen + ", \"" + WindowText(GetDlgItem(tool.window, 0)) +
           Formatted("\" %d px high, colours %06lx %06lx %06lx", bottom - top,
                     GetPixel(screen.get(), rect.left - 2, rect.top), cell, ink);
}

// Does one act; returns what the user was shown, "" for nothing.
std::string ShownByAct(const std::string& act, Tool& tool) {
    const Words words = Split(act, " ");
    Words seen;
    if (words[0] == "press") { // each button once the boxes of the one before are answered
        for (const char button : words[1]) {
            PostMessageW(GetDlgItem(tool.window, button - '0'), BM_CLICK, 0, 0);
            const DWORD id = GetProcessId(tool.process.get());
            // No switch keeps its user waiting for more than 5 s.
            for (std::string box = TakeBox(id, 5000); !box.empty(); box = TakeBox(id, 700))
                seen.push_back(box);
        }
    } else if (act == "again") { // once the tool has ended
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
    } else if (words[0] == "display") { // a new display mode, WxH; the label as it then reads
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        std::sscanf(words[1].c_str(), "%lux%lu", &mode.dmPelsWidth, &mode.dmPelsHeight);
        ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr);
        seen.push_back(WindowText(GetDlgItem(tool.window, 0)));
    } else if (act == "look") {
        seen.push_back(WindowAsSeen(tool));
    } else {
        std::printf("unknown act \"%s\"\n", act.c_str());
        std::exit(2);
    }
    return Join(seen, " then ");
}

} // namespace

int main(int, char** argv) {
    Words rows = Split(ReadBytes(ExeDir() / L"rows.txt"), "\n");
    std::erase_if(rows, [](const std::string& line) { return line.empty() || line[0] == '#'; });
    const std::string row = rows.at(std::stoul(argv[1]) - 1); // "\n" in it: a line end
    const Words field = Split(std::regex_replace(row, std::regex(R"(\\n)"), "\n"), " | ");
    // The host root's name is outside the ANSI code page, so that only wide paths reach it.
    const fs::path base = TempFolder(L"row"), root = base / L"主机 호스트",
                   folder = root / L"T0002";
    const fs::path place = PathFromUtf8(field.at(1)); // the tool's folder, or its path
    const fs::path exe = place.extension() == L".exe" ? place : place / L"TessalyFontSwitch.exe";
    Tool tool{LayInstallation(root, exe), nullptr, nullptr};
    Start(tool);
    std::vector<Undoing> undo;
    for (const std::string& item : Split(field.at(2), ", "))
        undo.push_back(SetUp(item, root));
    WriteBytes(folder / L".disk-record", "");
    Words shown;
    for (const std::string& act : Split(field.at(3), ", "))
        if (const std::string seen = tool.window ? ShownByAct(act, tool) : "no window";
            !seen.empty())
            shown.push_back(seen);
    const bool open = WaitForExit(tool.process.get(), 0) == STILL_ACTIVE;
    PostMessageW(tool.window, WM_CLOSE, 0, 0);
    undo.clear();
    // A host started by mistake has left its mark within 0.3 s of the last box.
    Poll([&] { return fs::exists(root / L"tdxw.exe.ran") || fs::exists(base / L"tdxw.exe.ran"); },
         open ? 300 : 9000);
    // What the disk saw of user.ini's files, repeats merged: each switch puts it in place whole.
    const std::string record = std::regex_replace(ReadBytes(folder / L".disk-record"),
                                                  std::regex("user\\.ini\\.fontswitch-"), "");
    Words disk = Split(WithoutDigits(record), "\n");
    disk.erase(std::unique(disk.begin(), disk.end()), disk.end());
    disk.pop_back(); // after the last line end
    const std::regex backup("W copy, F copy, R copy>user\\.#-#_#(\\(#\\))?备份\\.ini"); // in short
    const std::regex save("W new, F new, R new>user\\.ini");
    const std::string shortened = std::regex_replace(Join(disk, ", "), backup, "backup$1");
    const std::string left =
        LeftInInstallation(root, base) + ", disk: " + std::regex_replace(shortened, save, "save") +
        (open ? ", stays open" : "") + ", exit code " +
        std::to_string(WaitForExit(tool.process.get(), 10000)) +
        (fs::exists(base / L"tdxw.exe") ? "; outer: " + LeftInInstallation(base, base) : "");
    const std::string got[] = {Join(shown, " then "), left};
    for (int i = 0; i < 2; ++i)
        if (got[i] != field.at(4 + i))
            std::printf("%s\n  expected: %s\n       got: %s\n", field[0].c_str(),
                        field[4 + i].c_str(), got[i].c_str());
    return got[0] == field[4] && got[1] == field[5] ? 0 : 1;
}
