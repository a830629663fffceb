#include "host/install_paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

const std::string kIniBytes = "[Font]\r\nFONTNAME1=\xcb\xce\xcc\xe5\r\n"; // 宋体 in GBK

// T0002\user.ini below `root`, and the stand-in host as tdxw.exe when asked.
void MakeHost(const std::wstring& root, bool withExe) {
    MakeDirs(root + L"\\T0002");
    WriteBytes(root + L"\\T0002\\user.ini", kIniBytes);
    if (withExe) {
        ASSERT_TRUE(PlaceHelper(L"stand_in_host", root + L"\\tdxw.exe"));
    }
}

// The "key=value" lines host_probe writes: base, ini, exe, registry.
using ProbedPaths = std::map<std::wstring, std::wstring>;

// Places host_probe at `probe` (its folder made) and runs `action` in `currentDir`.
void RunProbe(const std::wstring& probe, const wchar_t* action, const std::wstring& currentDir,
              ChildRun& run) {
    MakeDirs(probe.substr(0, probe.find_last_of(L'\\')));
    ASSERT_TRUE(PlaceHelper(L"host_probe", probe)) << Narrow(probe);
    run = RunDismissingBoxes(probe, action, currentDir);
    ASSERT_TRUE(run.started) << Narrow(probe);
}

// Places host_probe at `probe`, runs its "paths" action and reads what it found.
void ProbePaths(const std::wstring& probe, ProbedPaths& found) {
    ChildRun run;
    ASSERT_NO_FATAL_FAILURE(RunProbe(probe, L"paths", ExeDir(), run));
    ASSERT_EQ(std::optional<DWORD>(0), run.exitCode) << "probe exit; " << DescribeBoxes(run.boxes);
    EXPECT_TRUE(run.boxes.empty()) << DescribeBoxes(run.boxes);
    std::string bytes = ReadBytes(probe + L".result");
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * sizeof(wchar_t));
    for (size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos;
         start = end + 1) {
        std::wstring line = text.substr(start, end - start);
        size_t equals = line.find(L'=');
        found[line.substr(0, equals)] = line.substr(equals + 1);
    }
    ASSERT_EQ(4u, found.size()) << Narrow(text);
}

void ExpectProbed(const ProbedPaths& found, const std::wstring& base, const std::wstring& ini,
                  const std::wstring& exe, const std::wstring& registry) {
    EXPECT_EQ(Narrow(base), Narrow(found.at(L"base"))) << "GetBasePath";
    EXPECT_EQ(Narrow(ini), Narrow(found.at(L"ini"))) << "LocateUserIni path";
    EXPECT_EQ(Narrow(exe), Narrow(found.at(L"exe"))) << "FindHostExe";
    EXPECT_EQ(Narrow(registry), Narrow(found.at(L"registry"))) << "HostExeFullPath";
}

// host_probe at `probe` finds the host at the first candidates of `base`.
void ExpectFirstCandidates(const std::wstring& probe, const std::wstring& base) {
    ProbedPaths found;
    ASSERT_NO_FATAL_FAILURE(ProbePaths(probe, found));
    ExpectProbed(found, base, base + L"\\T0002\\user.ini", base + L"\\tdxw.exe",
                 base + L"\\tdxw.exe");
}

// host_probe at `tool` takes the whole path as the base and hands on the second candidates as
// formed ("\.." after the tool's name); `registry` is the host's full path.
void ExpectSecondCandidates(const std::wstring& tool, const std::wstring& registry) {
    ProbedPaths found;
    ASSERT_NO_FATAL_FAILURE(ProbePaths(tool, found));
    ExpectProbed(found, tool, tool + L"\\..\\T0002\\user.ini", tool + L"\\..\\tdxw.exe", registry);
}

// What the stand-in host writes: its full path and its current directory.
std::string RanRecord(const std::wstring& exe, const std::wstring& currentDir) {
    return Narrow(exe) + "\n" + Narrow(currentDir) + "\n";
}

bool IsOutsideAnsiCodePage(const std::wstring& text) {
    BOOL usedDefault = FALSE;
    char bytes[64];
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, bytes, sizeof bytes,
                        nullptr, &usedDefault);
    return usedDefault != FALSE;
}

std::string ReadAll(FILE* file) {
    std::string bytes;
    char buffer[256];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, got);
    return bytes;
}

UniqueHandle HoldWithoutSharing(const std::wstring& path) {
    return AdoptHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
}

const std::wstring kNotFoundIni = L"T0002/user.ini 没找到！\n请将本程序放到通达信根目录再运行。";
const std::wstring kNotFoundExe = L"未找到 tdxw.exe。\n请检查程序目录。";
constexpr DWORD kLaunchReturned = 7; // host_probe's exit code when LaunchHost returned

} // namespace

TEST(BasePathFromModulePath, CutsBeforeTheLastVantiroComparedExactly) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"D:\\host\\Vantiro\\tool.exe", L"D:\\host"},
        {L"D:\\host\\Vantiro\\a\\b\\tool.exe", L"D:\\host"},
        {L"D:\\Vantiro\\host\\Vantiro\\tool.exe", L"D:\\Vantiro\\host"},
        {L"D:\\host\\Vantiro-tool.exe", L"D:\\host"},
        {L"D:\\host\\Vantiro2\\tool.exe", L"D:\\host"},
        {L"D:\\host\\vantiro\\tool.exe", L"D:\\host\\vantiro\\tool.exe"},
        {L"D:\\host\\VANTIRO\\tool.exe", L"D:\\host\\VANTIRO\\tool.exe"},
        {L"D:\\hostVantiro\\tool.exe", L"D:\\hostVantiro\\tool.exe"},
        {L"D:\\host\\tool.exe", L"D:\\host\\tool.exe"},
    };
    for (const auto& [modulePath, base] : cases)
        EXPECT_EQ(Narrow(base), Narrow(BasePathFromModulePath(modulePath))) << Narrow(modulePath);
}

// wine cannot start a program from a path of 260 characters or more, so the long path is
// checked here on the function that GetBasePath hands the executable's path to.
TEST(BasePathFromModulePath, KeepsPathsOf260CharactersAndMoreWhole) {
    const std::wstring deep = L"D:\\" + std::wstring(150, L'h') + L"\\" + std::wstring(150, L'o');
    ASSERT_GE(deep.size(), 300u);
    EXPECT_EQ(Narrow(deep), Narrow(BasePathFromModulePath(deep + L"\\Vantiro\\tool.exe")));
    const std::wstring rootTool = deep + L"\\tool.exe";
    EXPECT_EQ(Narrow(rootTool), Narrow(BasePathFromModulePath(rootTool)));
}

TEST(GetBasePath, CutAtTheLastVantiroFindsTheHostAtTheFirstCandidates) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    const std::wstring twice = tmp.path + L"\\Vantiro\\host";
    MakeHost(root, true);
    MakeHost(twice, true);
    const std::pair<std::wstring, std::wstring> cases[] = {
        {root + L"\\Vantiro\\tool.exe", root},
        {root + L"\\Vantiro\\a\\b\\tool.exe", root},
        {twice + L"\\Vantiro\\tool.exe", twice},
        {root + L"\\Vantiro-tool.exe", root}, // in the root, yet cut at "\Vantiro"
    };
    for (const auto& [probe, base] : cases) {
        SCOPED_TRACE(Narrow(probe));
        ASSERT_NO_FATAL_FAILURE(ExpectFirstCandidates(probe, base));
    }
}

TEST(GetBasePath, RootLayoutHandsOnTheSecondCandidatesAsFormed) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(root, true);
    ExpectSecondCandidates(root + L"\\tool.exe", root + L"\\tdxw.exe");
}

// A folder "vantiro" is not the tool folder: the base is the whole path, and only the second
// candidates (the folder the tool lies in) can hit, although a host lies at the first ones too.
TEST(GetBasePath, FolderNameInAnotherLetterCaseIsNoMatch) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(root, true);
    MakeHost(root + L"\\vantiro", true);
    ExpectSecondCandidates(root + L"\\vantiro\\tool.exe", root + L"\\vantiro\\tdxw.exe");
}

TEST(GetBasePath, HostFolderOutsideTheAnsiCodePageStillFindsTdxw) {
    ASSERT_EQ(936u, GetACP()) << "the tests run with code page 936 (zh_CN.UTF-8)";
    for (const std::wstring name : {L"主机한", L"行情𠀀"}) {
        ASSERT_TRUE(IsOutsideAnsiCodePage(name)) << Narrow(name);
        TempDir tmp;
        const std::wstring root = tmp.path + L"\\" + name;
        MakeHost(root, true);
        ASSERT_NO_FATAL_FAILURE(ExpectFirstCandidates(root + L"\\Vantiro\\tool.exe", root));
    }
}

TEST(FileExists, TrueOnlyForAFileThatOpensForReading) {
    TempDir tmp;
    const std::wstring korean = tmp.path + L"\\한";
    MakeDirs(korean + L"\\folder.exe");
    WriteBytes(korean + L"\\tdxw.exe", "MZ");
    WriteBytes(tmp.path + L"\\locked.exe", "MZ");
    EXPECT_TRUE(FileExists(korean + L"\\tdxw.exe"));
    EXPECT_FALSE(FileExists(korean + L"\\missing.exe"));
    EXPECT_FALSE(FileExists(korean + L"\\folder.exe")) << "a directory";
    UniqueHandle held = HoldWithoutSharing(tmp.path + L"\\locked.exe");
    ASSERT_TRUE(held);
    EXPECT_FALSE(FileExists(tmp.path + L"\\locked.exe")) << "held without read sharing";
}

TEST(LocateUserIni, OpensTheFirstCandidateElseTheSecondAsFormed) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(root, false);
    WriteBytes(root + L"\\tool.exe", "MZ");

    auto boxes = CollectMessageBoxes([&] {
        std::optional<OpenedUserIni> first = LocateUserIni(root);
        ASSERT_TRUE(first);
        EXPECT_EQ(Narrow(root + L"\\T0002\\user.ini"), Narrow(first->path));
        EXPECT_EQ(kIniBytes, ReadAll(first->file.get())) << "opened \"rb\", bytes untranslated";

        const std::wstring tool = root + L"\\tool.exe";
        std::optional<OpenedUserIni> second = LocateUserIni(tool);
        ASSERT_TRUE(second);
        EXPECT_EQ(Narrow(tool + L"\\..\\T0002\\user.ini"), Narrow(second->path));
        EXPECT_EQ(kIniBytes, ReadAll(second->file.get()));
    });
    EXPECT_TRUE(boxes.empty()) << DescribeBoxes(boxes);
}

TEST(LocateUserIni, LockedFirstCandidateFallsBackToTheSecondThenNotFound) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(tmp.path, false); // the second candidate of the base `root`
    MakeHost(root, false);
    UniqueHandle held = HoldWithoutSharing(root + L"\\T0002\\user.ini");
    ASSERT_TRUE(held);

    auto boxes = CollectMessageBoxes([&] {
        std::optional<OpenedUserIni> found = LocateUserIni(root);
        ASSERT_TRUE(found);
        EXPECT_EQ(Narrow(root + L"\\..\\T0002\\user.ini"), Narrow(found->path));
    });
    EXPECT_TRUE(boxes.empty()) << DescribeBoxes(boxes);

    ASSERT_TRUE(DeleteFileW((tmp.path + L"\\T0002\\user.ini").c_str()));
    boxes = CollectMessageBoxes([&] { EXPECT_FALSE(LocateUserIni(root)); });
    ExpectOnlyBox(boxes, L"路径错误", kNotFoundIni, MB_ICONERROR);
}

// The layouts are covered through the probe above; here the candidate that is a directory.
TEST(HostExeFullPath, SkipsADirectoryNamedTdxwExeAndResolvesTheDotDot) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(root, true);
    const std::wstring inner = root + L"\\inner";
    MakeDirs(inner + L"\\tdxw.exe");
    EXPECT_EQ(Narrow(inner + L"\\..\\tdxw.exe"), Narrow(FindHostExe(inner).value_or(L"none")));
    EXPECT_EQ(Narrow(root + L"\\tdxw.exe"), Narrow(HostExeFullPath(inner)));
}

TEST(LaunchHost, StartsTdxwInBothLayoutsAndEndsWithExitCode0) {
    TempDir tmp;
    // The tool runs in the bin folder (a folder of neither), and the host inherits it.
    const std::wstring elsewhere = ExeDir();
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"\\host", L"\\Vantiro\\a\\tool.exe"},
        {L"\\root", L"\\tool.exe"},
        {L"\\主机한", L"\\Vantiro\\tool.exe"},
    };
    for (const auto& [hostName, toolName] : cases) {
        const std::wstring root = tmp.path + hostName;
        const std::wstring tool = root + toolName;
        SCOPED_TRACE(Narrow(tool));
        MakeHost(root, true);
        ChildRun run;
        ASSERT_NO_FATAL_FAILURE(RunProbe(tool, L"launch", elsewhere, run));
        EXPECT_EQ(std::optional<DWORD>(0), run.exitCode) << DescribeBoxes(run.boxes);
        EXPECT_TRUE(run.boxes.empty()) << DescribeBoxes(run.boxes);
        EXPECT_EQ(RanRecord(root + L"\\tdxw.exe", elsewhere),
                  WaitForFile(root + L"\\tdxw.exe.ran", 10000).value_or("no .ran in 10 s"));
    }
}

TEST(LaunchHost, SkipsADirectoryNamedTdxwExeAtTheFirstCandidate) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(tmp.path, true);
    MakeDirs(root + L"\\tdxw.exe");
    ChildRun run;
    ASSERT_NO_FATAL_FAILURE(RunProbe(root + L"\\Vantiro\\tool.exe", L"launch", ExeDir(), run));
    EXPECT_EQ(std::optional<DWORD>(0), run.exitCode) << DescribeBoxes(run.boxes);
    EXPECT_EQ(RanRecord(tmp.path + L"\\tdxw.exe", ExeDir()),
              WaitForFile(tmp.path + L"\\tdxw.exe.ran", 10000).value_or("no .ran in 10 s"));
}

TEST(LaunchHost, WithoutTdxwShowsNotFoundAndReturns) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(root, false);
    for (const std::wstring& tool : {root + L"\\Vantiro\\tool.exe", root + L"\\tool.exe"}) {
        SCOPED_TRACE(Narrow(tool));
        ChildRun run;
        ASSERT_NO_FATAL_FAILURE(RunProbe(tool, L"launch", ExeDir(), run));
        EXPECT_EQ(std::optional<DWORD>(kLaunchReturned), run.exitCode) << "LaunchHost returned";
        ASSERT_NO_FATAL_FAILURE(ExpectOnlyBox(run.boxes, L"错误", kNotFoundExe, MB_ICONERROR));
    }
}

TEST(LaunchHost, FirstCandidateThatCannotStartIsReportedOnceAndTheSecondNotTried) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeHost(tmp.path, true);
    MakeHost(root, false);
    WriteBytes(root + L"\\tdxw.exe", "not a program");
    ChildRun run;
    ASSERT_NO_FATAL_FAILURE(RunProbe(root + L"\\Vantiro\\tool.exe", L"launch", ExeDir(), run));
    EXPECT_EQ(std::optional<DWORD>(kLaunchReturned), run.exitCode) << "LaunchHost returned";
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyBox(run.boxes, L"错误", L"无法启动目标程序。", MB_ICONERROR));
    EXPECT_FALSE(WaitForFile(tmp.path + L"\\tdxw.exe.ran", 1000)) << "second candidate started";
}
