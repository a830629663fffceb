// The switch end to end in a placed copy of switch_probe: every row of the failure table shows
// exactly its messages, in order, and leaves the host's files and the registry as stated.
#include "core/font_switch.h"

#include "host/backup.h"
#include "host/compat_layer.h"
#include "host/host_process.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSwitchReturned = 3; // switch_probe's code when WriteFontConfig returns

// GBK bytes: 字体 D7D6 CCE5, 宋体 CBCE CCE5, 微软雅黑 CEA2 C8ED D1C5 BADA.
constexpr char kOriginal[] = "[SCREEN]\r\n"
                             "; \xD7\xD6\xCC\xE5\r\n"
                             "FONTNAME1=Fixedsys\r\n"
                             "  FONTSIZE1 = -15 ; old\r\n"
                             "FontWeigth1=700\r\n"
                             "FONTNAME3=\xCB\xCE\xCC\xE5\r\n"
                             "FONTSIZE3=-14\r\n"
                             "BackColor=0\r\n";
constexpr char kHd[] = "[SCREEN]\r\n"
                       "; \xD7\xD6\xCC\xE5\r\n"
                       "FONTNAME1=\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA\n"
                       "FONTSIZE1=-12\n"
                       "FontWeigth1=400\n"
                       "FONTNAME3=\xCB\xCE\xCC\xE5\n"
                       "FONTSIZE3=-14\n"
                       "BackColor=0\r\n";
constexpr char kClassic[] = "[SCREEN]\r\n"
                            "; \xD7\xD6\xCC\xE5\r\n"
                            "FONTNAME1=System\n"
                            "FONTSIZE1=-13\n"
                            "FontWeigth1=400\n"
                            "FONTNAME3=\xCB\xCE\xCC\xE5\n"
                            "FONTSIZE3=14\n"
                            "BackColor=0\r\n";

const SeenBox kHostRunning{L"重要提示", L"请退出所有通达信程序；\n再进行字体切换操作！",
                           MB_ICONWARNING};
const SeenBox kNotFound{L"路径错误", L"T0002/user.ini 没找到！\n请将本程序放到通达信根目录再运行。",
                        MB_ICONERROR};
const SeenBox kBackupFailed{L"错误", L"备份文件失败", MB_ICONERROR};
const SeenBox kWriteFailed{L"错误提醒", L"无法写入配置文件 user.ini", MB_ICONERROR};
const SeenBox kHdDone{L"成功！", L"字体已更新为：\n【高清字体】", MB_ICONINFORMATION};
const SeenBox kClassicDone{L"成功！", L"字体已更新为：\n【经典字体】", MB_ICONINFORMATION};
const SeenBox kNoHostExe{L"错误", L"未找到 tdxw.exe。\n请检查程序目录。", MB_ICONERROR};
const SeenBox kStartFailed{L"错误", L"无法启动目标程序。", MB_ICONERROR};

void ExpectBoxes(const ChildRun& run, const std::vector<SeenBox>& expected) {
    bool same = run.boxes.size() == expected.size();
    for (size_t i = 0; same && i < expected.size(); ++i)
        same = run.boxes[i].caption == expected[i].caption &&
               run.boxes[i].text == expected[i].text && run.boxes[i].icon == expected[i].icon;
    EXPECT_TRUE(same) << "expected " << DescribeBoxes(expected) << "\n     saw "
                      << DescribeBoxes(run.boxes);
}

std::optional<std::wstring> LayerValue(const std::wstring& name) {
    wchar_t data[256] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, kLayersKey, name.c_str(), RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

// The timestamp of the local time `minutesAhead` from now, as backups are named.
std::wstring TimestampAhead(int minutesAhead) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME time{};
    SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER ticks{{time.dwLowDateTime, time.dwHighDateTime}};
    ticks.QuadPart += 600000000ULL * minutesAhead;
    time = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME later{};
    FileTimeToSystemTime(&time, &later);
    return FormatTimestamp(later.wMonth, later.wDay, later.wHour, later.wMinute);
}

bool WaitUntilNoHostRuns(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsProcessMatching({L"tdxw", L"通达信"})) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
    return true;
}

// Host root with T0002\user.ini and a stand-in tdxw.exe; the probe in its Vantiro folder.
class WriteFontConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(WaitUntilNoHostRuns(15000))
            << "a process named like the host is still running from before";
        MakeDirs(host + L"\\T0002");
        MakeDirs(host + L"\\Vantiro");
        WriteBytes(userIni, kOriginal);
        ASSERT_TRUE(PlaceHelper(L"switch_probe", host + L"\\Vantiro\\switch_probe.exe"));
        ASSERT_TRUE(PlaceHelper(L"stand_in_host", hostExe));
    }
    void TearDown() override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS)
            RegDeleteValueW(UniqueRegKey(key).get(), hostExe.c_str());
        WaitUntilNoHostRuns(15000);
    }

    ChildRun Switch(const wchar_t* scheme, const std::wstring& probe) {
        ChildRun run = RunDismissingBoxes(probe, scheme, host + L"\\Vantiro");
        EXPECT_TRUE(run.started) << "switch_probe could not be started";
        EXPECT_TRUE(run.exitCode) << "switch_probe " << Narrow(scheme)
                                  << " had not ended after 20 s; boxes: "
                                  << DescribeBoxes(run.boxes);
        return run;
    }
    ChildRun Switch(const wchar_t* scheme) {
        return Switch(scheme, host + L"\\Vantiro\\switch_probe.exe");
    }

    std::vector<std::string> Backups() {
        std::vector<std::string> contents;
        for (const std::wstring& name : ListFiles(host + L"\\T0002"))
            if (name != L"user.ini")
                contents.push_back(ReadBytes(host + L"\\T0002\\" + name));
        return contents;
    }

    // Nothing of the host changed: user.ini as it was, no backup, no layer value, no start.
    void ExpectUntouched() {
        EXPECT_EQ(std::string(kOriginal), ReadBytes(userIni));
        EXPECT_EQ(std::vector<std::wstring>{L"user.ini"}, ListFiles(host + L"\\T0002"));
        EXPECT_FALSE(LayerValue(hostExe)) << "layer value set";
        EXPECT_FALSE(PathExists(ran)) << "host started";
    }

    TempDir dir;
    const std::wstring host = dir.path + L"\\host";
    const std::wstring userIni = host + L"\\T0002\\user.ini";
    const std::wstring hostExe = host + L"\\tdxw.exe";
    const std::wstring ran = hostExe + L".ran";
};

} // namespace

TEST_F(WriteFontConfigTest, EachSwitchRewritesRegistersAndStartsTheHost) {
    ChildRun hd = Switch(L"hd");
    ExpectBoxes(hd, {kHdDone});
    EXPECT_EQ(0u, hd.exitCode.value_or(99)) << "the host start ends the tool with 0";
    EXPECT_EQ(std::string(kHd), ReadBytes(userIni));
    EXPECT_EQ(std::vector<std::string>{kOriginal}, Backups());
    EXPECT_EQ(std::wstring(kDpiUnawareLayers), LayerValue(hostExe).value_or(L"(none)"));
    std::optional<std::string> started = WaitForFile(ran, 10000);
    ASSERT_TRUE(started) << "tdxw.exe.ran did not appear within 10 s";
    EXPECT_EQ(Narrow(hostExe) + "\n" + Narrow(host + L"\\Vantiro") + "\n", *started)
        << "the host inherits the tool's current directory";

    ASSERT_TRUE(WaitUntilNoHostRuns(15000)) << "the stand-in host did not end";
    DeleteFileW(ran.c_str());
    ChildRun classic = Switch(L"classic");
    ExpectBoxes(classic, {kClassicDone});
    EXPECT_EQ(0u, classic.exitCode.value_or(99));
    EXPECT_EQ(std::string(kClassic), ReadBytes(userIni));
    EXPECT_FALSE(LayerValue(hostExe)) << "Classic removes the layer value";
    EXPECT_TRUE(WaitForFile(ran, 10000)) << "tdxw.exe.ran did not appear within 10 s";
}

TEST_F(WriteFontConfigTest, RunningHostStopsBeforeAnything) {
    const std::wstring running = dir.path + L"\\TdxW.exe";
    ASSERT_TRUE(PlaceHelper(L"stand_in_host", running));
    std::optional<ChildProcess> host = StartProcess(running, L"--wait 30000", dir.path);
    ASSERT_TRUE(host);
    ASSERT_TRUE(WaitForFile(running + L".ran", 10000)) << "TdxW.exe did not start within 10 s";

    ChildRun run = Switch(L"hd");
    TerminateProcess(host->process.get(), 0);
    WaitForExit(*host, 5000);
    ExpectBoxes(run, {kHostRunning});
    EXPECT_EQ(kSwitchReturned, run.exitCode.value_or(99));
    ExpectUntouched();
}

TEST_F(WriteFontConfigTest, MissingUserIniStops) {
    DeleteFileW(userIni.c_str());
    ChildRun run = Switch(L"hd");
    ExpectBoxes(run, {kNotFound});
    EXPECT_EQ(kSwitchReturned, run.exitCode.value_or(99));
    EXPECT_TRUE(ListFiles(host + L"\\T0002").empty());
    EXPECT_FALSE(LayerValue(hostExe));
    EXPECT_FALSE(PathExists(ran));
}

// A folder with the backup's name (this minute's and the next) makes the copy fail; the
// read-only attribute would not, as wine run by root ignores it.
TEST_F(WriteFontConfigTest, FailedBackupStopsBeforeRewriting) {
    for (int minute = 0; minute <= 1; ++minute)
        MakeDirs(BackupPathFor(userIni, TimestampAhead(minute)));
    ChildRun run = Switch(L"hd");
    ExpectBoxes(run, {kBackupFailed});
    EXPECT_EQ(kSwitchReturned, run.exitCode.value_or(99));
    ExpectUntouched();
}

TEST_F(WriteFontConfigTest, FailedWriteStopsBeforeRegistryAndLaunch) {
    {
        UniqueHandle holder =
            AdoptHandle(CreateFileW(userIni.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        ChildRun run = Switch(L"hd");
        ExpectBoxes(run, {kWriteFailed});
        EXPECT_EQ(kSwitchReturned, run.exitCode.value_or(99));
    }
    EXPECT_EQ(std::string(kOriginal), ReadBytes(userIni));
    EXPECT_EQ(std::vector<std::string>{kOriginal}, Backups());
    EXPECT_FALSE(LayerValue(hostExe)) << "layer value set";
    EXPECT_FALSE(PathExists(ran)) << "host started";

    ASSERT_TRUE(SetFileAttributesW(userIni.c_str(), FILE_ATTRIBUTE_READONLY));
    ChildRun readOnly = Switch(L"hd");
    ExpectBoxes(readOnly, {kWriteFailed});
    EXPECT_EQ(std::string(kOriginal), ReadBytes(userIni));
    EXPECT_FALSE(LayerValue(hostExe));
}

TEST_F(WriteFontConfigTest, MissingHostExeLeavesTheSwitchDone) {
    DeleteFileW(hostExe.c_str());
    ChildRun run = Switch(L"hd");
    ExpectBoxes(run, {kHdDone, kNoHostExe});
    EXPECT_EQ(kSwitchReturned, run.exitCode.value_or(99)) << "the tool stays open";
    EXPECT_EQ(std::string(kHd), ReadBytes(userIni));
    EXPECT_EQ(std::vector<std::string>{kOriginal}, Backups());
    EXPECT_EQ(std::wstring(kDpiUnawareLayers), LayerValue(hostExe).value_or(L"(none)"));
}

TEST_F(WriteFontConfigTest, FailedStartLeavesTheSwitchDone) {
    WriteBytes(hostExe, "not a program");
    ChildRun run = Switch(L"classic");
    ExpectBoxes(run, {kClassicDone, kStartFailed});
    EXPECT_EQ(kSwitchReturned, run.exitCode.value_or(99)) << "the tool stays open";
    EXPECT_EQ(std::string(kClassic), ReadBytes(userIni));
    EXPECT_EQ(std::vector<std::string>{kOriginal}, Backups());
}

// The tool in the host root: user.ini through "\..", and a second switch after a failed
// launch backs up the first switch's result.
TEST_F(WriteFontConfigTest, RootLayoutSwitchesTwice) {
    DeleteFileW(hostExe.c_str());
    const std::wstring probe = host + L"\\switch_probe.exe";
    ASSERT_TRUE(PlaceHelper(L"switch_probe", probe));
    ExpectBoxes(Switch(L"hd", probe), {kHdDone, kNoHostExe});
    EXPECT_EQ(std::string(kHd), ReadBytes(userIni));
    ExpectBoxes(Switch(L"classic", probe), {kClassicDone, kNoHostExe});
    EXPECT_EQ(std::string(kClassic), ReadBytes(userIni));
    std::vector<std::string> backups = Backups();
    // Both in one minute: the second backup replaced the first.
    const std::vector<std::string> expected = backups.size() == 1
                                                  ? std::vector<std::string>{kHd}
                                                  : std::vector<std::string>{kOriginal, kHd};
    EXPECT_EQ(expected, backups);
}
