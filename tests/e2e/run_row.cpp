// Runs row N (the argument) of the end-to-end table rows.txt beside it: lays out a host
// installation with the built tool in it, starts the tool, makes the row's setup, does its acts as
// a user does, and compares the boxes shown and what was left with the row's.
#include "host/backup.h"
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
using Scope = std::shared_ptr<void>; // an undoing, done when the last copy goes

namespace {

Words Split(const std::string& text, const std::string& separator) {
    Words parts;
    for (size_t start = 0, end = 0; end != text.npos; start = end + separator.size())
        parts.push_back(text.substr(start, (end = text.find(separator, start)) - start));
    return parts;
}

std::string Join(const auto& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

std::string Printed(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

fs::path Path(const std::string& utf8) {
    return std::u8string(utf8.begin(), utf8.end());
}

// A host's user.ini of 1.3 MB as it was (0), as Classic (1) and HD (2) leave it. Before the keys:
// a line that would show a key if cut at any length below 600 KB, a zero byte in a line read with
// them, blank lines, empty keys, comments, a key without "=", a CR in a line, look-alike keys.
// The keys with blanks round them and ";#" in values. After them: a key again, a zero byte, look-
// alike lines, a last line without end. Each scheme's faces, sizes: s is 宋体, y 微软雅黑 (GBK).
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
constexpr wchar_t kLayers[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// Each run of digits as one "#", so that times do not show.
std::string WithoutDigits(const std::string& text) {
    return std::regex_replace(text, std::regex("[0-9]+"), "#");
}

// A file's name and what it holds: user.ini as it was, as Classic or HD leave it, or its size.
std::string Kind(const fs::path& file) {
    const std::string bytes = ReadBytes(file);
    return WithoutDigits(U8(file.filename().wstring())) + " (" +
           (kKinds.contains(bytes) ? kKinds.at(bytes) : std::to_string(bytes.size()) + " bytes") +
           ")";
}

// In `root`: T0002\user.ini as it was, a stand-in tdxw.exe whose compatibility value is "other",
// and the tool in `toolFolder` unless that is empty. Returns the tool's path.
fs::path LayInstallation(const fs::path& root, const fs::path& toolFolder) {
    const fs::path tool = LayHostInstallation(root, HostIni(0), toolFolder);
    RegSetKeyValueW(HKEY_CURRENT_USER, kLayers, fs::weakly_canonical(root / L"tdxw.exe").c_str(),
                    REG_SZ, L"other", 12);
    return tool;
}

// The installation in `root`: user.ini and its bits, the files beside it, the compatibility
// value, and the folder its host ran in, relative to `base`. The failing disk's triggers and
// record are removed first: a read trigger would fail the reading of user.ini.
std::string Describe(const fs::path& root, const fs::path& base) {
    const fs::path ini = root / L"T0002\\user.ini";
    std::set<std::string> beside;
    for (const fs::directory_entry& file : fs::directory_iterator(ini.parent_path()))
        if (file.path().wstring().find(L".disk-") != std::wstring::npos)
            fs::remove(file);
        else if (file.path() != ini)
            beside.insert(Kind(file));
    const DWORD bits = fs::exists(ini) ? GetFileAttributesW(ini.c_str()) : 0;
    std::string seen = Kind(ini) + (bits & FILE_ATTRIBUTE_HIDDEN ? " hidden" : "") +
                       (bits & FILE_ATTRIBUTE_SYSTEM ? " system" : "") +
                       (bits & FILE_ATTRIBUTE_READONLY ? " read-only" : "");
    wchar_t layer[64] = L"none"; // kept when there is no value
    DWORD size = sizeof layer;
    RegGetValueW(HKEY_CURRENT_USER, kLayers, fs::weakly_canonical(root / L"tdxw.exe").c_str(),
                 RRF_RT_REG_SZ, nullptr, layer, &size);
    const std::string ran = ReadBytes(root / L"tdxw.exe.ran"); // the host's folder
    return seen + ", beside: " + Join(beside, ", ") + ", layer " + U8(layer) +
           (ran.empty() ? "" : ", host ran in " + U8(Path(ran).lexically_relative(base).wstring()));
}

// Makes one item of a row's setup, with paths below the host root; returns its undoing.
Scope SetUp(const std::string& item, const fs::path& root) {
    const Words words = Split(item, " ");
    const fs::path file = root / Path(words.size() > 1 ? words[1] : "");
    if (words[0] == "write") // a trigger of the failing disk, say
        WriteBytes(file, words.size() > 2 ? words[2] : "");
    else if (words[0] == "remove")
        fs::remove(file);
    else if (words[0] == "readonly" || words[0] == "hidden+system")
        SetFileAttributesW(file.c_str(), words[0] == "readonly"
                                             ? FILE_ATTRIBUTE_READONLY
                                             : FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    else if (words[0] == "hold") { // for N ms, as a scanner holds a file it reads
        if (!fs::exists(file))
            WriteBytes(file, "left by a switch cut short");
        const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        return std::make_shared<std::jthread>(
            [=] { Sleep(std::stoul(words[2])), CloseHandle(held); });
    } else if (words[0] == "run") { // a host process, in a folder of its own
        fs::create_directories(root / L"running");
        fs::copy_file(ExeDir() / L"stand_in_host.exe", root / L"running" / file.filename());
        return Scope(StartProcess(root / L"running" / file.filename(), L"run").release(),
                     [](HANDLE host) { TerminateProcess(host, 1), CloseHandle(host); });
    } else if (item == "refuse layers") { // a key that lasts cannot be made below a volatile one
        const std::wstring flags = fs::path(kLayers).parent_path().wstring();
        HKEY key = nullptr;
        RegDeleteTreeW(HKEY_CURRENT_USER, flags.c_str());
        RegCreateKeyExW(HKEY_CURRENT_USER, flags.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
    } else if (item == "same minute") { // for all the row's switches
        while (std::time(nullptr) % 60 > 50)
            Sleep(100);
    } else if (words[0] == "backups") // of this minute, as earlier switches leave them
        for (int copy = 1; copy <= std::stoi(words[1]); ++copy)
            WriteBytes(BackupPathFor(root / L"T0002\\user.ini", GetCurrentTimestamp(), copy), "x");
    else if (item == "outer installation")
        LayInstallation(root.parent_path(), {});
    else if (words[0] != "dpi" && item != "-") // dpi: made by the row's wine session
        std::printf("unknown setup \"%s\"\n", item.c_str()), std::exit(2);
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

// The window's place on the screen and size; the buttons' and the label's places in it, sizes
// and the label's text; from the screen, the height of the label's text, the window's colour
// beside the label, the label's colour and its text's (the colour least like the label's).
std::string Look(const Tool& tool) {
    Sleep(500);
    RECT rect{};
    std::string seen = "window";
    for (const int id : {-1, 2, 1, 0}) {
        GetWindowRect(id < 0 ? tool.window : GetDlgItem(tool.window, id), &rect);
        POINT at{rect.left, rect.top};
        MapWindowPoints(nullptr, id < 0 ? nullptr : tool.window, &at, 1); // in screen or window
        seen +=
            Printed(" %ld,%ld %ldx%ld", at.x, at.y, rect.right - rect.left, rect.bottom - rect.top);
    }
    wchar_t text[64] = {};
    GetWindowTextW(GetDlgItem(tool.window, 0), text, 64);
    const UniqueWindowDc screen(GetDC(nullptr), {nullptr});
    const COLORREF cell = GetPixel(screen.get(), rect.left, rect.top);
    COLORREF ink = cell;
    int top = rect.bottom, bottom = rect.top;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            if (const COLORREF pixel = GetPixel(screen.get(), x, y); pixel != cell) {
                top = std::min(top, y), bottom = y + 1;
                if (std::abs(GetGValue(pixel) - GetGValue(cell)) >
                    std::abs(GetGValue(ink) - GetGValue(cell)))
                    ink = pixel;
            }
    return seen + ", \"" + U8(text) +
           Printed("\" %d px high, colours %06lx %06lx %06lx", bottom - top,
                   GetPixel(screen.get(), rect.left - 2, rect.top), cell, ink);
}

// Does one act; returns what the user was shown, "" for nothing.
std::string Act(const std::string& act, Tool& tool) {
    const Words words = Split(act, " ");
    Words seen;
    if (words[0] == "press") // each button once the boxes of the one before are answered
        for (const char button : words[1]) {
            PostMessageW(GetDlgItem(tool.window, button - '0'), BM_CLICK, 0, 0);
            const DWORD id = GetProcessId(tool.process.get());
            // No switch keeps its user waiting for more than 5 s.
            for (std::string box = TakeBox(id, 5000); !box.empty(); box = TakeBox(id, 700))
                seen.push_back(box);
        }
    else if (act == "again") // once the tool has ended
        WaitForExit(tool.process.get(), 10000), Start(tool);
    else if (act == "start again minimised") {
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
    } else if (act == "look")
        seen.push_back(Look(tool));
    else
        std::printf("unknown act \"%s\"\n", act.c_str()), std::exit(2);
    return Join(seen, " then ");
}

} // namespace

int main(int, char** argv) {
    Words rows = Split(ReadBytes(ExeDir() / L"rows.txt"), "\n");
    std::erase_if(rows, [](const std::string& line) { return line.empty() || line[0] == '#'; });
    // name | the tool's folder | setup | acts | the boxes shown | what is left
    const Words field = Split(Join(Split(rows.at(std::stoul(argv[1]) - 1), "\\n"), "\n"), " | ");
    const fs::path base = TempFolder(L"row"), root = base / L"主机", folder = root / L"T0002";
    Tool tool{LayInstallation(root, Path(field.at(1))), nullptr, nullptr};
    Start(tool);
    std::vector<Scope> undo;
    for (const std::string& item : Split(field.at(2), ", "))
        undo.push_back(SetUp(item, root));
    WriteBytes(folder / L".disk-record", "");
    Words shown;
    for (const std::string& act : Split(field.at(3), ", "))
        if (const std::string seen = tool.window ? Act(act, tool) : "no window"; !seen.empty())
            shown.push_back(seen);
    const bool open = WaitForExit(tool.process.get(), 0) == STILL_ACTIVE;
    const bool responds = open && SendMessageTimeoutW(tool.window, WM_NULL, 0, 0, 0, 2000, nullptr);
    PostMessageW(tool.window, WM_CLOSE, 0, 0);
    undo.clear();
    // A host started by mistake has left its mark within 0.3 s of the last box.
    Poll([&] { return fs::exists(root / L"tdxw.exe.ran") || fs::exists(base / L"tdxw.exe.ran"); },
         open ? 300 : 9000);
    // What the disk saw of user.ini's files, repeats merged, user.ini.fontswitch-* as *: this
    // also watches that each switch puts user.ini in place whole, in one rename.
    const std::string record = std::regex_replace(ReadBytes(folder / L".disk-record"),
                                                  std::regex("user\\.ini\\.fontswitch-"), "");
    Words disk = Split(WithoutDigits(record), "\n");
    disk.erase(std::unique(disk.begin(), disk.end()), disk.end());
    disk.pop_back(); // after the last line end
    const std::string left =
        Describe(root, base) + ", disk: " + Join(disk, ", ") +
        (open ? responds ? ", stays open" : ", hangs" : "") + ", exit code " +
        std::to_string(WaitForExit(tool.process.get(), 10000)) +
        (fs::exists(base / L"tdxw.exe") ? "; outer: " + Describe(base, base) : "");
    const std::string got[] = {Join(shown, " then "), left};
    for (int i = 0; i < 2; ++i)
        if (got[i] != field.at(4 + i))
            std::printf("%s\n  expected: %s\n       got: %s\n", field[0].c_str(),
                        field[4 + i].c_str(), got[i].c_str());
    return got[0] == field[4] && got[1] == field[5] ? 0 : 1;
}
