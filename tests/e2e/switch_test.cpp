// The built tool driven through its window, as a user drives it, in laid-out installations:
// every way a switch can end, and what must not have happened after it stopped.
#include "host/backup.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace {

constexpr char kOriginal[] = "[SCREEN]\r\nFONTNAME1=Arial\r\nFONTSIZE1=-12\r\nOther=1\r\n";
constexpr char kClassic[] = "[SCREEN]\r\nFONTNAME1=System\nFONTSIZE1=-13\nOther=1\r\n";
constexpr char kHd[] =
    "[SCREEN]\r\nFONTNAME1=\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA\nFONTSIZE1=-12\nOther=1\r\n";
constexpr wchar_t kLayers[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
constexpr wchar_t kDpiUnaware[] = L"~ GDIDPISCALING DPIUNAWARE";
constexpr wchar_t kToolClass[] = L"QorvelFontSwitcher";
constexpr int kHdButton = 2;
constexpr char kHdDone[] = "成功！: 字体已更新为：\n【高清字体】";
constexpr char kClassicDone[] = "成功！: 字体已更新为：\n【经典字体】";
constexpr char kHostRunning[] = "重要提示: 请退出所有通达信程序；\n再进行字体切换操作！";
constexpr char kWriteFailure[] = "错误提醒: 无法写入配置文件 user.ini";
constexpr char kNoHostExe[] = "错误: 未找到 tdxw.exe。\n请检查程序目录。";

// The host's compatibility layer as the registry holds it; "none" when there is no value.
std::string Layer(const std::wstring& host) {
    wchar_t data[64] = {};
    DWORD size = sizeof data;
    return RegGetValueW(HKEY_CURRENT_USER, kLayers, host.c_str(), RRF_RT_REG_SZ, nullptr, data,
                        &size) == ERROR_SUCCESS
               ? U8(data)
               : "none";
}

// Every file of the folder but user.ini, by name, with its content.
std::map<fs::path, std::string> Others(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != L"user.ini")
            files[entry.path().filename()] = ReadBytes(entry.path());
    return files;
}

using Setup = std::function<Scope(const fs::path& root)>;

// A file below the host root written with `bytes` (a ".fail-fsync" file fails flushes).
Setup Written(const wchar_t* file, const char* bytes) {
    return [=](const fs::path& root) { return WriteBytes(root / file, bytes), Scope(); };
}

Setup Removed(const wchar_t* file) {
    return [=](const fs::path& root) { return fs::remove(root / file), Scope(); };
}

Setup ReadOnly(const wchar_t* file) {
    return [=](const fs::path& root) {
        SetFileAttributesW((root / file).c_str(), FILE_ATTRIBUTE_READONLY);
        return OnEnd([=] { SetFileAttributesW((root / file).c_str(), FILE_ATTRIBUTE_NORMAL); });
    };
}

Setup Held(const wchar_t* file, DWORD ms) {
    return [=](const fs::path& root) { return Hold(root / file, ms); };
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

// Other content under the backup names of this minute and the next.
Scope EarlierBackups(const fs::path& root) {
    for (__time64_t now = _time64(nullptr), t = now; t <= now + 60; t += 60) {
        tm local{};
        _localtime64_s(&local, &t);
        const std::wstring stamp =
            FormatTimestamp(local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
        WriteBytes(root / L"T0002" / BackupPathFor(L"user.ini", stamp, 1), "older");
    }
    return nullptr;
}

struct Row {
    const char* name;
    const wchar_t* tool; // the tool's folder below the host root
    int buttons;         // one digit a press, in turn: 2 HD, 1 Classic, 21 HD then Classic
    Setup setup;         // just before the first press; undone before the checks
    std::string boxes;   // every box, "caption: text", joined by " | "
    const char* left;    // user.ini, new backups, the host's compatibility value, the ending
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

    const UniqueHandle run = StartProcess(tool / L"TessalyFontSwitch.exe");
    const DWORD id = GetProcessId(run.get());
    HWND window = WaitForWindow(id, kToolClass, 10000);
    ASSERT_TRUE(window) << row.name << ": no window";
    std::string boxes;
    std::map<fs::path, std::string> before;
    bool open = false, responds = false;
    {
        const Scope undo = row.setup ? row.setup(root) : nullptr;
        before = Others(folder);
        for (const char button : std::to_string(row.buttons)) {
            PostMessageW(GetDlgItem(window, button - '0'), BM_CLICK, 0, 0);
            // No switch keeps its user waiting for more than 5 s.
            for (std::string box = TakeBox(id, 5000); !box.empty(); box = TakeBox(id, 700))
                boxes.append(boxes.empty() ? "" : " | ").append(box);
        }
        open = WaitForExit(run.get(), 0) == STILL_ACTIVE;
        responds = open && SendMessageTimeoutW(window, WM_NULL, 0, 0, 0, 2000, nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    // A host started by mistake has left its mark within 0.3 s of the last box.
    const bool started =
        Poll([&] { return fs::exists(root / L"tdxw.exe.ran"); }, open ? 300 : 9000);
    const std::string ini = ReadBytes(folder / L"user.ini");
    int backups = 0, original = 0;
    for (const auto& [name, content] : Others(folder)) {
        if (before.contains(name)) {
            EXPECT_EQ(before[name], content) << row.name << ": " << U8(name.wstring());
            continue;
        }
        ++backups, original += content == kOriginal;
        EXPECT_TRUE(name.wstring().starts_with(L"user.") && name.wstring().ends_with(L"备份.ini"))
            << row.name << ": " << U8(name.wstring());
    }
    EXPECT_EQ(backups > 0, original > 0) << row.name << ": no backup holds the original";
    const std::map<std::string, std::string> kinds = {
        {kOriginal, "original"}, {kHd, "HD"}, {kClassic, "Classic"}, {"", "none"}};
    const std::string left = (kinds.contains(ini) ? kinds.at(ini) : ini) + ", " +
                             std::to_string(backups) + " backups, layer " + Layer(host) +
                             (started ? ", host started" : "") +
                             (open ? responds ? ", stays open" : ", hangs" : "") + ", exit code " +
                             std::to_string(WaitForExit(run.get(), 10000));
    EXPECT_EQ(row.boxes, boxes) << row.name;
    EXPECT_EQ(row.left, left) << row.name;
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kLayers, host.c_str());
}

TEST(Switch, EndsInTheSuccessBoxOrStopsWithNothingAfterTheStop) {
    const std::string noHostExe = std::string(" | ") + kNoHostExe;
    const char* kDone =
        "HD, 1 backups, layer ~ GDIDPISCALING DPIUNAWARE, host started, exit code 0";
    const char* kOpen = "HD, 1 backups, layer ~ GDIDPISCALING DPIUNAWARE, stays open, exit code 0";
    const char* kNothing = "original, 0 backups, layer other, stays open, exit code 0";
    const char* kBackedUp = "original, 1 backups, layer other, stays open, exit code 0";
    const Row rows[] = {
        {"root layout, HD", L".", 2, nullptr, kHdDone, kDone},
        {"Vantiro folder, Classic", L"Vantiro", 1, nullptr, kClassicDone,
         "Classic, 1 backups, layer none, host started, exit code 0"},
        {"deep below Vantiro, Chinese folders", L"Vantiro\\工具\\新版", 2, nullptr, kHdDone, kDone},
        {"host running as TdxW.exe", L".", 2, Running(L"TdxW.exe"), kHostRunning, kNothing},
        {"host running as 我的通达信.EXE", L".", 2, Running(L"我的通达信.EXE"), kHostRunning,
         kNothing},
        {"no user.ini", L".", 2, Removed(L"T0002\\user.ini"),
         "路径错误: T0002/user.ini 没找到！\n请将本程序放到通达信根目录再运行。",
         "none, 0 backups, layer other, stays open, exit code 0"},
        {"the backup's flush fails", L".", 2, Written(L"T0002\\备份.fail-fsync", ""),
         "错误: 备份文件失败", kNothing},
        {"user.ini read-only", L".", 2, ReadOnly(L"T0002\\user.ini"), kWriteFailure, kBackedUp},
        {"the new user.ini's flush fails", L".", 2, Written(L"T0002\\user.ini.fail-fsync", ""),
         kWriteFailure, kBackedUp},
        {"user.ini held for good", L".", 2, Held(L"T0002\\user.ini", INFINITE), kWriteFailure,
         kBackedUp},
        {"user.ini held 0.7 s by a scanner", L".", 2, Held(L"T0002\\user.ini", 700), kHdDone,
         kDone},
        {"backups of this minute and the next kept", L".", 2, EarlierBackups, kHdDone, kDone},
        {"compatibility key refused", L".", 2, LayersKeyRefused,
         std::string("错误: 更新注册表失败 | ") + kHdDone,
         "HD, 1 backups, layer none, host started, exit code 0"},
        {"no tdxw.exe, HD then Classic", L"Vantiro", 21, Removed(L"tdxw.exe"),
         kHdDone + noHostExe + " | " + kClassicDone + noHostExe,
         "Classic, 2 backups, layer none, stays open, exit code 0"},
        {"tdxw.exe is not a program", L".", 2, Written(L"tdxw.exe", "text"),
         std::string(kHdDone) + " | 错误: 无法启动目标程序。", kOpen},
    };
    for (const Row& row : rows)
        RunRow(row);
}

// For scripts/run.sh: in the running tool's window, presses "高清字体" once window.png exists in
// the current folder and then OK in the box that answers once box.png exists; prints the box.
int PressHdForDemo() {
    HWND window = WaitForWindow(0, kToolClass, 20000);
    if (!window || !Poll([] { return fs::exists(L"window.png"); }, 30000))
        return 1;
    PostMessageW(GetDlgItem(window, kHdButton), BM_CLICK, 0, 0);
    if (!WaitForWindow(0, L"#32770", 20000) || !Poll([] { return fs::exists(L"box.png"); }, 30000))
        return 1;
    std::printf("%s\n", TakeBox(0, 0).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--press-hd")
        return PressHdForDemo();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
