#include "host/backup.h"
#include "host/install_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

TEST(FormatTimestamp, WritesTheMonthAsItIsAndTheDayHourAndMinuteInTwoDigits) {
    EXPECT_EQ(L"1-04_0907", FormatTimestamp(1, 4, 9, 7));
    EXPECT_EQ(L"12-31_2359", FormatTimestamp(12, 31, 23, 59));
}

// Windows looks the compatibility value up by the long path of the program it starts.
TEST(HostExeFullPath, NamesTheHostByItsLongPathWhenTheBaseIsShort) {
    const fs::path folder = fs::temp_directory_path() / L"fontswitch" / L"long paths";
    const fs::path root = folder / L"long host 主机";
    const fs::path empty = folder / L"no host here";
    fs::remove_all(folder);
    fs::create_directories(root);
    fs::create_directories(empty);
    std::ofstream(root / L"tdxw.exe").put('x');
    wchar_t shortRoot[MAX_PATH] = {};
    wchar_t shortEmpty[MAX_PATH] = {};
    GetShortPathNameW(root.c_str(), shortRoot, MAX_PATH);
    GetShortPathNameW(empty.c_str(), shortEmpty, MAX_PATH);
    ASSERT_NE(root.wstring(), shortRoot) << "the platform gave no short name";
    const std::wstring cases[][2] = {
        {shortRoot, root.wstring() + L"\\tdxw.exe"},                               // folder layout
        {shortRoot + std::wstring(L"\\tool.exe"), root.wstring() + L"\\tdxw.exe"}, // root layout
        {shortEmpty, empty.wstring() + L"\\tdxw.exe"},                             // no tdxw.exe
    };
    for (const auto& [base, expected] : cases)
        EXPECT_EQ(expected, HostExeFullPath(base)) << "base " << fs::path(base).string();
}
