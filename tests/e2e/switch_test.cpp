// The built tool driven through its window, as a user drives it, in laid-out installations.
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>

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

// The host's compatibility layer as the registry holds it; "(none)" when there is no value.
std::wstring Layer(const std::wstring& host) {
    wchar_t data[64] = {};
    DWORD size = sizeof data;
    return RegGetValueW(HKEY_CURRENT_USER, kLayers, host.c_str(), RRF_RT_REG_SZ, nullptr, data,
                        &size) == ERROR_SUCCESS
               ? data
               : L"(none)";
}

// Every backup in the folder, "name: same" or "name: different" against the original.
std::string Backups(const fs::path& folder) {
    std::string found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != L"user.ini")
            found += U8(entry.path().filename().wstring()) +
                     (ReadBytes(entry.path()) == kOriginal ? ": same " : ": different ");
    return found;
}

struct SwitchCase {
    const char* name;
    const wchar_t* host;
    const wchar_t* tool; // folder below the host root
    int button;
    const char* box;
    const char* ini;
    const wchar_t* layer;
};

TEST(Switch, RewritesBacksUpRegistersStartsTheHostAndEnds) {
    const SwitchCase cases[] = {
        {"root layout, HD", L"root", L".", kHdButton, "成功！: 字体已更新为：\n【高清字体】", kHd,
         kDpiUnaware},
        {"Vantiro folder, Classic", L"folder", L"Vantiro", 1,
         "成功！: 字体已更新为：\n【经典字体】", kClassic, L"(none)"},
        {"deep below Vantiro, Chinese folders, HD", L"通达信", L"Vantiro\\工具\\新版", kHdButton,
         "成功！: 字体已更新为：\n【高清字体】", kHd, kDpiUnaware},
    };
    for (const SwitchCase& c : cases) {
        const fs::path root = TempFolder(c.host), tool = root / c.tool;
        fs::create_directories(root / L"T0002");
        fs::create_directories(tool);
        WriteBytes(root / L"T0002\\user.ini", kOriginal);
        fs::copy_file(ExeDir() / L"stand_in_host.exe", root / L"tdxw.exe");
        fs::copy_file(ExeDir() / L"TessalyFontSwitch.exe", tool / L"TessalyFontSwitch.exe");
        const std::wstring host = fs::weakly_canonical(root / L"tdxw.exe").wstring();
        RegSetKeyValueW(HKEY_CURRENT_USER, kLayers, host.c_str(), REG_SZ, L"other", 12);

        const UniqueHandle run = StartProcess(tool / L"TessalyFontSwitch.exe");
        ASSERT_TRUE(run) << c.name;
        HWND window = WaitForWindow(GetProcessId(run.get()), kToolClass, 10000);
        EXPECT_TRUE(window) << c.name << ": no window";
        PostMessageW(GetDlgItem(window, c.button), BM_CLICK, 0, 0);
        EXPECT_EQ(c.box, TakeBox(GetProcessId(run.get()), 10000)) << c.name;
        EXPECT_EQ(0u, WaitForExit(run.get(), 10000)) << c.name << ": exit code (259: running)";
        TerminateProcess(run.get(), 1);
        EXPECT_TRUE(Poll([&] { return fs::exists(root / L"tdxw.exe.ran"); }, 10000))
            << c.name << ": host not started";
        EXPECT_EQ(c.ini, ReadBytes(root / L"T0002\\user.ini")) << c.name;
        const std::string backups = Backups(root / L"T0002");
        EXPECT_TRUE(backups.starts_with("user.") && backups.ends_with("备份.ini: same "))
            << c.name << ": " << backups;
        EXPECT_EQ(c.layer, Layer(host)) << c.name << ", value " << U8(host);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kLayers, host.c_str());
    }
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
