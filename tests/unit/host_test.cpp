#include "host/install_paths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>

// Windows looks the compatibility value up by the long path of the program it starts.
TEST(HostExeFullPath, NamesTheHostByItsLongPathWhenTheBaseIsShort) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / L"long paths";
    const std::wstring root = folder / L"long host 主机", empty = folder / L"no host here";
    std::filesystem::create_directories(root);
    std::filesystem::create_directories(empty);
    std::ofstream(std::filesystem::path(root + L"\\tdxw.exe")).put('x');
    wchar_t shortRoot[MAX_PATH] = {}, shortEmpty[MAX_PATH] = {};
    GetShortPathNameW(root.c_str(), shortRoot, MAX_PATH);
    GetShortPathNameW(empty.c_str(), shortEmpty, MAX_PATH);
    ASSERT_NE(root, shortRoot) << "the platform gave no short name";
    const std::wstring cases[][2] = {
        {shortRoot, root + L"\\tdxw.exe"},
        {shortRoot + std::wstring(L"\\tool.exe"), root + L"\\tdxw.exe"},
        {shortEmpty, empty + L"\\tdxw.exe"}}; // the base, the name
    for (const auto& [base, expected] : cases)
        EXPECT_EQ(expected, HostExeFullPath(base)) << "base " << testing::PrintToString(base);
}
