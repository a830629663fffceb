// The built tool driven through its window, as a user drives it, in laid-out installations: every
// way a switch can end and what it left, a second start, a theme change.
#include "host/backup.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <thread>

using namespace std::string_literals;

namespace {

// A host's user.ini of 1.3 MB as it was (column 0), as Classic (1) and HD (2) leave it. Before
// the thirty keys: a zero byte in a line read with them, a line that would show a key if cut at
// any length below 600 KB, blank lines, empty keys, comments, a key without "=", a CR in a line.
// The keys with blanks round them and ";" and "#" in values. After them: a key again, a zero
// byte, lines that only look like keys, a last line without end (so not a key: it gains an LF).
std::string HostIni(int column) {
    const std::string yahei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA", song = "\xCB\xCE\xCC\xE5";
    const std::string slots[10][4] = {
        {"System", "-13", yahei, "-12"}, {"Arial", "-12", yahei, "-10"},
        {song, "14", song, "-14"},       {"Arial", "-12", yahei, "-12"},
        {song, "14", yahei, "-12"},      {"Arial", "-12", yahei, "-12"},
        {yahei, "-18", yahei, "-14"},    {"Arial", "-12", yahei, "-12"},
        {"Arial", "-12", yahei, "-10"},  {yahei, "-22", yahei, "-16"}};
    std::string ini =
        "a"s + std::string(600 * 1024, ' ') + "\t FONTNAME1=Old\r\nx\0y\r\n"s +
        "\r\n \t\r\n=v\r\n \t= w\r\n ;FONTNAME1=c\r\n\t#FONTSIZE1=d\r\nFONTNAME2\r\n" +
        "a=1\rFONTNAME3=x\r\n[SCREEN]\r\nFontWeight1=700\r\nfontname2=Arial\r\n";
    const auto line = [&](const std::string& key, const std::string& value) {
        return column ? key + "=" + value + "\n" : " " + key + "\t= " + value + " ;#\r\n";
    };
    for (int slot = 1, at = 2 * column - 2; slot <= 10; ++slot) {
        const std::string n = std::to_string(slot);
        ini += line("FONTNAME" + n, column ? slots[slot - 1][at] : "Fixedsys") +
               line("FONTSIZE" + n, column ? slots[slot - 1][at + 1] : "9") +
               line("FontWeigth" + n, column ? "400" : "700");
    }
    ini += "z\0w\r\nFONTNAME1=again\r\n"s;
    for (int piece = 0; piece < 20000; ++piece)
        ini += ";FONTNAME2=x\r\n #FONTSIZE3=y\r\nk=\xCB\xCE\r\n";
    return ini + "end";
}
const std::string kOriginal = HostIni(0), kClassic = HostIni(1), kHd = HostIni(2);
constexpr wchar_t kLayers[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// What happened to the name user.ini in `folder` while `action` ran, a digit a change: 1 added,
// 2 removed, 4 renamed away, 5 renamed to.
std::string UserIniChanges(const fs::path& folder, const std::function<void()>& action) {
    const UniqueHandle watch = AdoptHandle(CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    alignas(DWORD) char records[16384];
    OVERLAPPED pending{};
    std::string changes;
    DWORD got = 0, next = 0;
    const auto watchNext = [&] {
        ReadDirectoryChangesW(watch.get(), records, sizeof records, FALSE,
                              FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &pending, nullptr);
    };
    for (watchNext(), action(); WaitForSingleObject(watch.get(), 200) == WAIT_OBJECT_0 &&
                                GetOverlappedResult(watch.get(), &pending, &got, FALSE) && got;
         watchNext())
        for (const char* at = records;; at += next) {
            const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            if (std::wstring_view(record->FileName, record->FileNameLength / 2) == L"user.ini")
                changes += char('0' + record->Action);
            if (!(next = record->NextEntryOffset))
                break;
        }
    CancelIo(watch.get());
    GetOverlappedResult(watch.get(), &pending, &got, TRUE);
    return changes;
}

// Changes the laid-out host just before the act; what it returns is undone before the checks.
using Setup = std::function<Scope(const fs::path& root)>;

// A file below the host root written with `bytes`, or removed for none: a ".fail-fsync" or
// ".fail-write" file fails the flushes or writes of the files it names.
Setup Written(const wchar_t* file, const char* bytes) {
    return [=](const fs::path& root) {
        return bytes ? WriteBytes(root / file, bytes) : void(fs::remove(root / file)), Scope();
    };
}

// Read-only is undone before the checks, so that the folder can be removed.
Setup WithAttributes(const wchar_t* file, DWORD attributes) {
    return [=](const fs::path& root) {
        SetFileAttributesW((root / file).c_str(), attributes);
        return attributes & FILE_ATTRIBUTE_READONLY
                   ? OnEnd([=] { SetFileAttributesW((root / file).c_str(), 0); })
                   : nullptr;
    };
}

// Held by another program for `ms`, as a scanner holds a file it reads; made first when missing.
Setup Held(const wchar_t* file, DWORD ms) {
    return [=](const fs::path& root) {
        if (!fs::exists(root / file))
            WriteBytes(root / file, "left by a switch cut short");
        HANDLE held = CreateFileW((root / file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        auto release = std::make_shared<std::thread>([=] { Sleep(ms), CloseHandle(held); });
        return OnEnd([=] { release->join(); });
    };
}

// A stand-in host running as `exe` in a folder of its own.
Setup Running(const wchar_t* exe) {
    return [=](const fs::path& root) {
        fs::create_directories(root / L"running");
        fs::copy_file(ExeDir() / L"stand_in_host.exe", root / L"running" / exe);
        auto host = std::make_shared<UniqueHandle>(StartProcess(root / L"running" / exe, L"run"));
        return OnEnd([=] { TerminateProcess(host->get(), 1), WaitForExit(host->get(), 5000); });
    };
}

// A key that is not volatile cannot be made below a volatile one.
Scope LayersKeyRefused(const fs::path&) {
    const wchar_t* flags = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";
    RegDeleteTreeW(HKEY_CURRENT_USER, flags);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, flags, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    RegCloseKey(key);
    return OnEnd([=] { RegDeleteTreeW(HKEY_CURRENT_USER, flags); });
}

// Other content under this minute's backup name, once the switch cannot fall into the next.
Scope EarlierBackup(const fs::path& root) {
    while (std::time(nullptr) % 60 > 50)
        Sleep(100);
    WriteBytes(root / L"T0002" / BackupPathFor(L"user.ini", GetCurrentTimestamp(), 1), "older");
    return nullptr;
}

struct Started {
    fs::path exe;
    UniqueHandle process;
    HWND window;
};

using Act = std::function<std::string(const Started& tool)>;

// Presses the buttons in turn (a digit each: 1 Classic, 2 HD), each once the boxes of the press
// before are answered; the boxes, "caption: text", joined by " | ".
Act Press(int buttons) {
    return [=](const Started& tool) {
        std::string boxes;
        for (const char button : std::to_string(buttons)) {
            PostMessageW(GetDlgItem(tool.window, button - '0'), BM_CLICK, 0, 0);
            const DWORD id = GetProcessId(tool.process.get());
            // No switch keeps its user waiting for more than 5 s.
            for (std::string box = TakeBox(id, 5000); !box.empty(); box = TakeBox(id, 700))
                boxes.append(boxes.empty() ? "" : " | ").append(box);
        }
        return boxes;
    };
}

std::string StartAgainMinimised(const Started& tool) {
    ShowWindow(tool.window, SW_MINIMIZE);
    Poll([&] { return IsIconic(tool.window); }, 5000);
    const UniqueHandle second = StartProcess(tool.exe);
    wchar_t label[64] = {};
    GetWindowTextW(GetDlgItem(tool.window, 0), label, 64);
    return "second start's exit code " + std::to_string(WaitForExit(second.get(), 10000)) +
           (Poll([&] { return !IsIconic(tool.window); }, 5000) ? ", restored, " : ", minimised, ") +
           U8(label);
}

// On the screen, the window's background and the label's text background, after the theme turns
// dark (settings message), then light (theme message).
std::string ChangeTheme(const Started& tool) {
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    std::string seen;
    for (const DWORD useLight : {0u, 1u}) {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme", REG_DWORD, &useLight, 4);
        SendMessageW(tool.window, useLight ? WM_THEMECHANGED : WM_SETTINGCHANGE, 0, 0);
        Sleep(500);
        RECT label;
        GetWindowRect(GetDlgItem(tool.window, 0), &label);
        const UniqueWindowDc screen(GetDC(nullptr), {nullptr});
        char colours[32];
        std::snprintf(colours, sizeof colours, " %06lx %06lx",
                      GetPixel(screen.get(), label.left - 2, label.top),
                      GetPixel(screen.get(), (label.left + label.right) / 2, label.top + 1));
        seen += colours;
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
    return seen;
}

struct Row {
    const char* name;
    const wchar_t* tool; // the tool's folder below the host root
    Setup setup;
    Act act;
    std::string shown; // what `act` saw
    std::string left;  // user.ini, files beside it, the compatibility value, the tool's end
};

// Lays out a host with the tool below its root, runs the row and checks what it left.
void RunRow(const Row& row) {
    const fs::path root = TempFolder(L"主机"), tool = root / row.tool, folder = root / L"T0002";
    fs::create_directories(folder), fs::create_directories(tool);
    WriteBytes(folder / L"user.ini", kOriginal);
    fs::copy_file(ExeDir() / L"stand_in_host.exe", root / L"tdxw.exe");
    fs::copy_file(ExeDir() / L"TessalyFontSwitch.exe", tool / L"TessalyFontSwitch.exe");
    const std::wstring host = fs::weakly_canonical(root / L"tdxw.exe").wstring();
    RegSetKeyValueW(HKEY_CURRENT_USER, kLayers, host.c_str(), REG_SZ, L"other", 12);

    const fs::path exe = tool / L"TessalyFontSwitch.exe";
    Started run{exe, StartProcess(exe), nullptr};
    run.window = WaitForWindow(GetProcessId(run.process.get()), L"QorvelFontSwitcher", 20000);
    ASSERT_TRUE(run.window) << row.name;
    std::string shown, changes;
    bool open = false, responds = false;
    {
        const Scope undo = row.setup ? row.setup(root) : nullptr;
        changes = UserIniChanges(folder, [&] { shown = row.act(run); });
        open = WaitForExit(run.process.get(), 0) == STILL_ACTIVE;
        responds = open && SendMessageTimeoutW(run.window, WM_NULL, 0, 0, 0, 2000, nullptr);
        PostMessageW(run.window, WM_CLOSE, 0, 0);
    }
    // Each switch puts user.ini in place whole, in one rename: never missing, never written over.
    std::string renames;
    for (size_t at = 0; (at = shown.find("成功！", at)) != std::string::npos; ++at)
        renames += '5';
    EXPECT_EQ(renames, changes) << row.name << ": what happened to user.ini";
    // A host started by mistake has left its mark within 0.3 s of the last box.
    const bool started =
        Poll([&] { return fs::exists(root / L"tdxw.exe.ran"); }, open ? 300 : 9000);
    int beside = 0, original = 0;
    for (const fs::directory_entry& file : fs::directory_iterator(folder))
        if (file.path().filename() != L"user.ini")
            ++beside, original += ReadBytes(file) == kOriginal;
    const std::string ini = ReadBytes(folder / L"user.ini");
    const DWORD attributes = ini.empty() ? 0 : GetFileAttributesW((folder / L"user.ini").c_str());
    wchar_t layer[64] = L"none"; // kept when there is no value
    DWORD size = sizeof layer;
    RegGetValueW(HKEY_CURRENT_USER, kLayers, host.c_str(), RRF_RT_REG_SZ, nullptr, layer, &size);
    const std::map<std::string, std::string> kinds = {
        {kOriginal, "original"}, {kHd, "HD"}, {kClassic, "Classic"}, {"", "none"}};
    const std::string left =
        (kinds.contains(ini) ? kinds.at(ini) : std::to_string(ini.size()) + " other bytes") +
        (attributes & FILE_ATTRIBUTE_HIDDEN ? " hidden" : "") +
        (attributes & FILE_ATTRIBUTE_SYSTEM ? " system" : "") + ", " + std::to_string(beside) +
        " beside, " + std::to_string(original) + " of the original, layer " + U8(layer) +
        (started ? ", host started" : "") + (open ? responds ? ", stays open" : ", hangs" : "") +
        ", exit code " + std::to_string(WaitForExit(run.process.get(), 10000));
    EXPECT_EQ(row.shown, shown) << row.name;
    EXPECT_EQ(row.left, left) << row.name;
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kLayers, host.c_str());
}

TEST(Tool, EndsEachSwitchInTheSuccessBoxOrStopsWithNothingAfterTheStop) {
    const std::string hd = "成功！: 字体已更新为：\n【高清字体】";
    const std::string classic = "成功！: 字体已更新为：\n【经典字体】";
    const std::string running = "重要提示: 请退出所有通达信程序；\n再进行字体切换操作！";
    const std::string unwritten = "错误提醒: 无法写入配置文件 user.ini";
    const std::string noHost = " | 错误: 未找到 tdxw.exe。\n请检查程序目录。";
    const std::string dpi = ", layer ~ GDIDPISCALING DPIUNAWARE",
                      ended = ", host started, exit code 0";
    const std::string hdDone = "HD, 1 beside, 1 of the original" + dpi + ended;
    const std::string notFound =
        "路径错误: T0002/user.ini 没找到！\n请将本程序放到通达信根目录再运行。";
    const std::string open = ", layer other, stays open, exit code 0";
    const std::string nothing = "original, 0 beside, 0 of the original" + open;
    const std::string backedUp = "original, 1 beside, 1 of the original" + open;
    const Row rows[] = {
        {"root layout, HD", L".", nullptr, Press(2), hd, hdDone},
        {"Vantiro folder, Classic", L"Vantiro", nullptr, Press(1), classic,
         "Classic, 1 beside, 1 of the original, layer none" + ended},
        {"host running as TdxW.exe", L".", Running(L"TdxW.exe"), Press(2), running, nothing},
        {"host running as 我的通达信.EXE", L".", Running(L"我的通达信.EXE"), Press(2), running,
         nothing},
        {"no user.ini", L".", Written(L"T0002\\user.ini", nullptr), Press(2), notFound,
         "none, 0 beside, 0 of the original" + open},
        {"below Vantiro twice: the host root is before the last", L"Vantiro\\a\\Vantiro", nullptr,
         Press(2), notFound, nothing},
        {"vantiro in small letters: not the folder layout", L"vantiro", nullptr, Press(2), notFound,
         nothing},
        {"the backup's flush fails", L".", Written(L"T0002\\备份.fail-fsync", ""), Press(2),
         "错误: 备份文件失败", "original, 1 beside, 0 of the original" + open},
        {"the disk fills as the backup is written", L".", Written(L"T0002\\备份.fail-write", ""),
         Press(2), "错误: 备份文件失败", "original, 1 beside, 0 of the original" + open},
        {"the new user.ini's flush fails", L".", Written(L"T0002\\user.ini.fail-fsync", ""),
         Press(2), unwritten, "original, 2 beside, 1 of the original" + open},
        {"the disk fills as user.ini is written", L".", Written(L"T0002\\user.ini.fail-write", ""),
         Press(2), unwritten, "original, 2 beside, 1 of the original" + open},
        {"user.ini read-only", L".", WithAttributes(L"T0002\\user.ini", FILE_ATTRIBUTE_READONLY),
         Press(2), unwritten, backedUp},
        {"user.ini held 4 s", L".", Held(L"T0002\\user.ini", 4000), Press(2), unwritten, backedUp},
        {"user.ini held 0.7 s by a scanner", L".", Held(L"T0002\\user.ini", 700), Press(2), hd,
         hdDone},
        {"leftover new file held 4 s", L".", Held(L"T0002\\user.ini.fontswitch-new", 4000),
         Press(2), unwritten, "original, 2 beside, 1 of the original" + open},
        {"leftover new file held 0.7 s", L".", Held(L"T0002\\user.ini.fontswitch-new", 700),
         Press(2), hd, hdDone},
        {"an earlier backup of this minute kept", L".", EarlierBackup, Press(2), hd,
         "HD, 2 beside, 1 of the original" + dpi + ended},
        {"compatibility key refused", L".", LayersKeyRefused, Press(2),
         "错误: 更新注册表失败 | " + hd, "HD, 1 beside, 1 of the original, layer none" + ended},
        {"no tdxw.exe, HD then Classic", L"Vantiro", Written(L"tdxw.exe", nullptr), Press(21),
         hd + noHost + " | " + classic + noHost,
         "Classic, 2 beside, 1 of the original, layer none, stays open, exit code 0"},
        {"tdxw.exe is not a program", L".", Written(L"tdxw.exe", "text"), Press(2),
         hd + " | 错误: 无法启动目标程序。",
         "HD, 1 beside, 1 of the original" + dpi + ", stays open, exit code 0"},
        {"hidden and system user.ini", L".",
         WithAttributes(L"T0002\\user.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
         Press(2), hd, "HD hidden system, 1 beside, 1 of the original" + dpi + ended},
        {"a second start while minimised", L".", nullptr, StartAgainMinimised,
         "second start's exit code 0, restored, 物理分辨率: 3840 x 2160 (高清屏)", nothing},
        {"the theme turns dark, then light", L".", nullptr, ChangeTheme,
         " 302d2d 302d2d ffffff ffffff", nothing},
    };
    for (const Row& row : rows)
        RunRow(row);
}

} // namespace
