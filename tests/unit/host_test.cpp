#include "host/backup.h"
#include "host/compat_layer.h"
#include "host/host_process.h"
#include "host/install_paths.h"

#include "support.h"

#include <gtest/gtest.h>

TEST(BasePathFromModulePath, CutsBeforeTheLastVantiro) {
    const struct {
        const wchar_t* module;
        const wchar_t* base;
    } cases[] = {
        {L"C:\\tdx\\Vantiro\\tool.exe", L"C:\\tdx"},
        {L"C:\\tdx\\Vantiro\\a\\Vantiro\\b\\tool.exe", L"C:\\tdx\\Vantiro\\a"},
        {L"C:\\tdx\\vantiro\\tool.exe", L"C:\\tdx\\vantiro\\tool.exe"},
        {L"C:\\tdx\\tool.exe", L"C:\\tdx\\tool.exe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.base, BasePathFromModulePath(c.module)) << U8(c.module);
}

TEST(BackupPathFor, NamesTheCopyBesideTheSource) {
    EXPECT_EQ(L"1-04_0907", FormatTimestamp(1, 4, 9, 7));
    EXPECT_EQ(L"12-31_2359", FormatTimestamp(12, 31, 23, 59));
    const struct {
        const wchar_t* source;
        const wchar_t* backup;
    } cases[] = {
        {L"C:\\tdx\\T0002\\user.ini", L"C:\\tdx\\T0002\\user.1-04_0907备份.ini"},
        {L"C:\\tdx\\tool.exe\\..\\T0002\\user.ini",
         L"C:\\tdx\\tool.exe\\..\\T0002\\user.1-04_0907备份.ini"},
        {L"C:\\t.dx\\T0002\\user", L"C:\\t.dx\\T0002\\user.1-04_0907备份.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.backup, BackupPathFor(c.source, L"1-04_0907")) << U8(c.source);
    bool copied = true;
    EXPECT_EQ("错误: 备份文件失败",
              CollectBoxes([&] { copied = BackupFile(L"C:\\no-such-folder\\user.ini"); }));
    EXPECT_FALSE(copied) << "a missing source reported as backed up";
}

TEST(IsNameMatching, FindsEitherFragmentInAnyLetterCase) {
    const struct {
        const wchar_t* exe;
        bool host;
    } cases[] = {
        {L"tdxw.exe", true},      {L"TdxW.exe", true},       {L"TDXW.EXE", true},
        {L"mytdxw2.exe", true},   {L"通达信行情.exe", true}, {L"tdx.exe", false},
        {L"explorer.exe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.host, IsNameMatching(c.exe, {L"tdxw", L"通达信"})) << U8(c.exe);
    EXPECT_TRUE(IsProcessMatching({L"UNIT_TESTS"})) << "this program is running";
    EXPECT_FALSE(IsProcessMatching({L"no-such-program"}));
}

TEST(LocateUserIni, OpensTheFirstCandidateThatExists) {
    const fs::path root = TempFolder(L"locate"), none = TempFolder(L"none");
    fs::create_directory(root / L"T0002");
    WriteBytes(root / L"T0002\\user.ini", "");
    const struct {
        std::wstring base, opened;
        const char* box;
    } cases[] = {
        {root, root / L"T0002\\user.ini", ""},
        {root / L"tool.exe", root / L"tool.exe\\..\\T0002\\user.ini", ""},
        {none, L"", "路径错误: T0002/user.ini 没找到！\n请将本程序放到通达信根目录再运行。"},
    };
    for (const auto& c : cases) {
        std::optional<OpenedUserIni> found;
        EXPECT_EQ(c.box, CollectBoxes([&] { found = LocateUserIni(c.base); })) << U8(c.base);
        EXPECT_EQ(c.opened, found ? found->path : L"") << U8(c.base);
    }
}

TEST(UpdateRegistry, SetsTheHostsLayerForHdAndDeletesItForClassic) {
    // No tdxw.exe beside this program: the value is named by the one its folder would hold.
    const std::wstring host = (ExeDir() / L"tdxw.exe").wstring();
    const auto layer = [&] {
        wchar_t data[64] = {};
        DWORD size = sizeof data;
        return RegGetValueW(
                   HKEY_CURRENT_USER,
                   L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers",
                   host.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS
                   ? std::wstring(data)
                   : L"(none)";
    };
    const struct {
        bool classic;
        const wchar_t* layer;
    } cases[] = {{false, L"~ GDIDPISCALING DPIUNAWARE"}, {true, L"(none)"}};
    for (const auto& c : cases) {
        UpdateRegistry(c.classic);
        EXPECT_EQ(c.layer, layer()) << "classic " << c.classic << ", value " << U8(host);
    }
}
