// The switch as a user meets it: a host installation, the tool placed in it, a button pressed,
// every message box read and answered, then the files, the registry and the host checked.

#include "e2e_driver.h"

namespace {

struct Placing {
    const char* name;
    Layout layout;
    const wchar_t* rootName;
    bool classic;
};

void PrintTo(const Placing& placing, std::ostream* out) {
    *out << placing.name;
}

class SwitchInPlace : public ToolCase, public testing::WithParamInterface<Placing> {};

// Classic and HD from each place the tool may lie in: user.ini rewritten, the backup equal to
// the original, the host's compatibility value set or deleted and nothing else of the key
// touched, the host started and the tool ended with exit code 0.
TEST_P(SwitchInPlace, RewritesBacksUpRegistersAndStartsTheHost) {
    const Placing placing = GetParam();
    const std::string original = RealisticUserIni();
    const Installation at = LayOut(temp.path, {.layout = placing.layout,
                                               .rootName = placing.rootName,
                                               .userIni = original,
                                               .withDecoys = placing.layout != Layout::Root});
    const std::string decoy = ReadBytes(temp.path + L"\\T0002\\user.ini");
    // Values of other programs stay; the host's own value is replaced or removed.
    SetRegistryString(kLayersKey, at.root + L"\\other\\app.exe", L"~ HIGHDPIAWARE");
    SetRegistryString(kLayersKey, at.root + L"\\tdxw.exe.bak", L"~ RUNASADMIN");
    SetRegistryString(kLayersKey, at.hostExe, placing.classic ? kHdLayers : L"~ HIGHDPIAWARE");
    std::map<std::wstring, RegistryValue> others = ReadRegistryValues(kLayersKey);
    others.erase(at.hostExe);

    SwitchWindow window;
    ExpectSuccessfulSwitch(at, tool, placing.classic, window);

    EXPECT_TRUE(SameBytes(ExpectedAfterSwitch(original, placing.classic), ReadBytes(at.userIni)))
        << "user.ini";
    ExpectOneBackup(at, original, window);
    std::map<std::wstring, RegistryValue> after = ReadRegistryValues(kLayersKey);
    auto host = after.find(at.hostExe);
    if (placing.classic) {
        EXPECT_EQ(after.end(), host) << "the host's value is still there";
    } else {
        ASSERT_NE(after.end(), host) << "no value named " << Narrow(at.hostExe);
        EXPECT_EQ(StringValue(kHdLayers), host->second) << "REG_SZ, 54 bytes";
        EXPECT_EQ(54u, host->second.data.size());
    }
    after.erase(at.hostExe);
    EXPECT_EQ(others, after) << "other values of the Layers key";
    if (placing.layout != Layout::Root) {
        EXPECT_TRUE(SameBytes(decoy, ReadBytes(temp.path + L"\\T0002\\user.ini")))
            << "user.ini in the root's parent";
        EXPECT_FALSE(HostRan(temp.path + L"\\tdxw.exe")) << "the host in the root's parent ran";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Placings, SwitchInPlace,
    testing::Values(Placing{"RootClassic", Layout::Root, L"host", true},
                    Placing{"RootHd", Layout::Root, L"host", false},
                    Placing{"VantiroClassic", Layout::Vantiro, L"host", true},
                    Placing{"VantiroHd", Layout::Vantiro, L"host", false},
                    Placing{"DeepVantiroHd", Layout::DeepVantiro, L"host", false},
                    Placing{"ChineseRootClassic", Layout::Root, L"通达信金融终端", true},
                    Placing{"ChineseVantiroHd", Layout::Vantiro, L"通达信金融终端", false}),
    [](const testing::TestParamInfo<Placing>& info) { return std::string(info.param.name); });

class SwitchRefused : public ToolCase {
  protected:
    // Everything a refused switch must leave as it was.
    void Remember(const Installation& installation) {
        at = installation;
        files = SnapshotTree(temp.path);
        values = ReadRegistryValues(kLayersKey);
    }
    void ExpectUntouched() {
        std::map<std::wstring, FileState> now = SnapshotTree(temp.path);
        EXPECT_TRUE(files == now) << "files changed:" << DescribeChanges(files, now);
        EXPECT_EQ(values, ReadRegistryValues(kLayersKey)) << "the Layers key changed";
        EXPECT_FALSE(HostRan(at.hostExe, 300)) << "the host was started";
    }

    Installation at;
    std::map<std::wstring, FileState> files;
    std::map<std::wstring, RegistryValue> values;
};

class SwitchRefusedWhileHostRuns : public SwitchRefused,
                                   public testing::WithParamInterface<const wchar_t*> {};

// A host process whose file name holds "tdxw" in another letter case, or "通达信": only the
// warning, and user.ini with its folder untouched (no backup).
TEST_P(SwitchRefusedWhileHostRuns, WarnsAndTouchesNothing) {
    const std::wstring elsewhere = temp.path + L"\\running";
    MakeDirs(elsewhere);
    const std::wstring running = elsewhere + L"\\" + GetParam();
    ASSERT_TRUE(PlaceHelper(L"stand_in_host", running));
    std::optional<ChildProcess> host = StartProcess(running, L"--wait 60000", elsewhere);
    ASSERT_TRUE(host) << "starting " << Narrow(running);
    ASSERT_TRUE(HostRan(running, kWaitMs)) << "the running host's record";
    Remember(LayOut(temp.path, {.layout = Layout::Vantiro, .userIni = RealisticUserIni()}));

    ASSERT_TRUE(StartTool(at, tool));
    std::vector<SeenBox> boxes;
    ASSERT_TRUE(ClickAndAnswer(tool, kHdButton, 1, boxes));
    EXPECT_TRUE(IsBox(boxes[0], L"重要提示", L"请退出所有通达信程序；\n再进行字体切换操作！",
                      MB_ICONWARNING));
    EXPECT_TRUE(StaysOpenQuietly(tool));
    ExpectUntouched();
    EXPECT_TRUE(ClosesCleanly(tool));
    TerminateProcess(host->process.get(), 0);
    WaitForExit(*host, 5000);
}

INSTANTIATE_TEST_SUITE_P(HostNames, SwitchRefusedWhileHostRuns,
                         testing::Values(L"TdxW.exe", L"通达信行情.exe"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return info.index == 0 ? "TdxW" : "ChineseName";
                         });

// No user.ini at either candidate: the path error, and nothing created anywhere.
TEST_F(SwitchRefused, ReportsMissingUserIniAndCreatesNothing) {
    Remember(LayOut(temp.path, {.layout = Layout::Vantiro, .userIni = std::nullopt}));
    ASSERT_TRUE(StartTool(at, tool));
    std::vector<SeenBox> boxes;
    ASSERT_TRUE(ClickAndAnswer(tool, kClassicButton, 1, boxes));
    EXPECT_TRUE(IsBox(boxes[0], L"路径错误",
                      L"T0002/user.ini 没找到！\n请将本程序放到通达信根目录再运行。",
                      MB_ICONERROR));
    EXPECT_TRUE(StaysOpenQuietly(tool));
    ExpectUntouched();
    EXPECT_TRUE(ClosesCleanly(tool));
}

// No backup can be made (folders hold its names for this minute and the next): the backup
// error, and nothing changed.
TEST_F(SwitchRefused, AtAFailedBackup) {
    const Installation laid =
        LayOut(temp.path, {.layout = Layout::Vantiro, .userIni = RealisticUserIni()});
    SYSTEMTIME now{};
    GetLocalTime(&now);
    for (const std::wstring& name : BackupNamesBetween(now, MinutesLater(now, 1)))
        MakeDirs(laid.root + L"\\T0002\\" + name);
    Remember(laid);
    ASSERT_TRUE(StartTool(at, tool));
    std::vector<SeenBox> boxes;
    ASSERT_TRUE(ClickAndAnswer(tool, kHdButton, 1, boxes));
    EXPECT_TRUE(IsBox(boxes[0], L"错误", L"备份文件失败", MB_ICONERROR));
    EXPECT_TRUE(StaysOpenQuietly(tool));
    ExpectUntouched();
    EXPECT_TRUE(ClosesCleanly(tool));
}

// A user.ini that cannot be replaced, read-only or held open by another process that shares
// it for reading only: the write error after the backup; user.ini, the registry and the host
// untouched. (wine as root would write a read-only file; the tool checks the attribute.)
class SwitchStopsAtTheWrite : public ToolCase, public testing::WithParamInterface<bool> {};

TEST_P(SwitchStopsAtTheWrite, AfterTheBackup) {
    const bool readOnly = GetParam();
    const std::string original = RealisticUserIni();
    const Installation at = LayOut(temp.path, {.layout = Layout::Root, .userIni = original});
    UniqueHandle holder;
    if (readOnly)
        ASSERT_TRUE(SetFileAttributesW(at.userIni.c_str(), FILE_ATTRIBUTE_READONLY));
    else
        holder = AdoptHandle(CreateFileW(at.userIni.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(readOnly || holder) << "holding user.ini open";
    SetRegistryString(kLayersKey, at.hostExe, L"~ HIGHDPIAWARE");
    const std::map<std::wstring, RegistryValue> values = ReadRegistryValues(kLayersKey);

    ASSERT_TRUE(StartTool(at, tool));
    SwitchWindow window;
    std::vector<SeenBox> boxes;
    ASSERT_TRUE(ClickAndAnswer(tool, kHdButton, 1, boxes, window));
    EXPECT_TRUE(IsBox(boxes[0], L"错误提醒", L"无法写入配置文件 user.ini", MB_ICONERROR));
    EXPECT_TRUE(StaysOpenQuietly(tool));
    holder.reset();

    EXPECT_TRUE(SameBytes(original, ReadBytes(at.userIni))) << "user.ini";
    EXPECT_EQ(readOnly, (GetFileAttributesW(at.userIni.c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
    ExpectOneBackup(at, original, window);
    EXPECT_EQ(values, ReadRegistryValues(kLayersKey)) << "the Layers key changed";
    EXPECT_FALSE(HostRan(at.hostExe, 300)) << "the host was started";
    EXPECT_TRUE(ClosesCleanly(tool));
}

INSTANTIATE_TEST_SUITE_P(Holds, SwitchStopsAtTheWrite, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "ReadOnly" : "HeldOpen";
                         });

// A tdxw.exe that is no program: the switch completes, then the start error; the tool stays
// open.
using SwitchWithBrokenHostExe = ToolCase;

TEST_F(SwitchWithBrokenHostExe, ReportsTheFailedStartAfterTheSwitch) {
    const std::string original = RealisticUserIni();
    const Installation at =
        LayOut(temp.path, {.layout = Layout::Vantiro, .userIni = original, .withHost = false});
    WriteBytes(at.hostExe, "not a program");
    ASSERT_TRUE(StartTool(at, tool));
    SwitchWindow window;
    std::vector<SeenBox> boxes;
    ASSERT_TRUE(ClickAndAnswer(tool, kClassicButton, 2, boxes, window));
    EXPECT_TRUE(IsBox(boxes[0], L"成功！", L"字体已更新为：\n【经典字体】", MB_ICONINFORMATION));
    EXPECT_TRUE(IsBox(boxes[1], L"错误", L"无法启动目标程序。", MB_ICONERROR));
    EXPECT_TRUE(StaysOpenQuietly(tool));
    EXPECT_TRUE(SameBytes(ExpectedAfterSwitch(original, true), ReadBytes(at.userIni)))
        << "user.ini";
    ExpectOneBackup(at, original, window);
    EXPECT_TRUE(ClosesCleanly(tool));
}

// No tdxw.exe: the switch completes and the launch error follows; the tool stays open, and
// the other button switches again, so user.ini ends with the second scheme.
using SwitchWithoutHostExe = ToolCase;

TEST_F(SwitchWithoutHostExe, StaysOpenAndSwitchesAgain) {
    const std::string original = RealisticUserIni();
    const Installation at =
        LayOut(temp.path, {.layout = Layout::Vantiro, .userIni = original, .withHost = false});
    ASSERT_TRUE(StartTool(at, tool));
    SYSTEMTIME first{}, last{};
    GetLocalTime(&first);
    for (bool classic : {true, false}) {
        SCOPED_TRACE(classic ? "Classic first" : "then HD");
        std::vector<SeenBox> boxes;
        ASSERT_TRUE(ClickAndAnswer(tool, classic ? kClassicButton : kHdButton, 2, boxes));
        EXPECT_TRUE(
            IsBox(boxes[0], L"成功！",
                  classic ? L"字体已更新为：\n【经典字体】" : L"字体已更新为：\n【高清字体】",
                  MB_ICONINFORMATION));
        EXPECT_TRUE(IsBox(boxes[1], L"错误", L"未找到 tdxw.exe。\n请检查程序目录。", MB_ICONERROR));
        EXPECT_TRUE(StaysOpenQuietly(tool));
    }
    GetLocalTime(&last);

    const std::string afterClassic = ExpectedAfterSwitch(original, true);
    EXPECT_TRUE(SameBytes(ExpectedAfterSwitch(afterClassic, false), ReadBytes(at.userIni)))
        << "user.ini";
    // One backup per switch; both switches in one minute share one name, the later copy.
    const std::vector<std::wstring> minutes = BackupNamesBetween(first, last);
    std::vector<std::wstring> backups; // in the order of their minutes
    for (const std::wstring& name : minutes)
        if (PathExists(at.root + L"\\T0002\\" + name))
            backups.push_back(name);
    ASSERT_FALSE(backups.empty()) << "no backup";
    EXPECT_EQ(backups.size() + 1, ListFiles(at.root + L"\\T0002").size())
        << "files in T0002 other than user.ini and the backups";
    EXPECT_TRUE(SameBytes(afterClassic, ReadBytes(at.root + L"\\T0002\\" + backups.back())))
        << "the latest backup";
    if (backups.size() == 2) {
        EXPECT_TRUE(SameBytes(original, ReadBytes(at.root + L"\\T0002\\" + backups.front())))
            << "the first backup";
    }
    EXPECT_LE(backups.size(), 2u);

    const std::map<std::wstring, RegistryValue> values = ReadRegistryValues(kLayersKey);
    auto host = values.find(at.hostExe);
    ASSERT_NE(values.end(), host) << "no value named " << Narrow(at.hostExe);
    EXPECT_EQ(StringValue(kHdLayers), host->second);
    EXPECT_TRUE(ClosesCleanly(tool));
}

} // namespace
