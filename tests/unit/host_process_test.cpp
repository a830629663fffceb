#include "host/host_process.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::wstring> kHostNames = {L"tdxw", L"通达信"};

} // namespace

TEST(ToLower, LowersAsciiLettersOnly) {
    EXPECT_EQ(L"tdxw.exe", ToLower(L"TdxW.EXE"));
    // Letters outside A-Z keep their case whatever a locale would say.
    EXPECT_EQ(L"ÄÖ Ｔ İ 通达信", ToLower(L"ÄÖ Ｔ İ 通达信"));
    EXPECT_EQ(L"a@[`{z", ToLower(L"A@[`{Z")) << "the neighbours of A-Z stay";
}

TEST(IsNameMatching, LoweredSubstringOfAnyFragment) {
    EXPECT_TRUE(IsNameMatching(L"TDXW.EXE", kHostNames));
    EXPECT_TRUE(IsNameMatching(L"mytdxw.exe", kHostNames));
    EXPECT_TRUE(IsNameMatching(L"通达信行情.exe", kHostNames));
    EXPECT_TRUE(IsNameMatching(L"tdxw.exe", {L"TDXW"})) << "fragments are lowered too";
    EXPECT_FALSE(IsNameMatching(L"tdx.exe", kHostNames));
    EXPECT_FALSE(IsNameMatching(L"ＴＤＸＷ.exe", kHostNames)) << "full-width letters";
    EXPECT_FALSE(IsNameMatching(L"tdxw.exe", {}));
    EXPECT_TRUE(IsNameMatching(L"explorer.exe", {L""}));
}

// A process of the test's own, a copy of the stand-in host under each name, running while
// IsProcessMatching looks at the system's process list.
TEST(IsProcessMatching, SeesRunningProcessesByFileNameOnly) {
    ASSERT_FALSE(IsProcessMatching(kHostNames)) << "a host-like process already runs";
    const std::pair<std::wstring, bool> cases[] = {
        {L"TdxW.exe", true},
        {L"mytdxw.exe", true},
        {L"通达信行情.exe", true},
        {L"tdx.exe", false},
        {L"tdxw\\plain_helper.exe", false},
    };
    for (const auto& [name, seen] : cases) {
        SCOPED_TRACE(Narrow(name));
        TempDir tmp;
        const std::wstring exe = tmp.path + L"\\" + name;
        MakeDirs(exe.substr(0, exe.find_last_of(L'\\')));
        ASSERT_TRUE(PlaceHelper(L"stand_in_host", exe));
        std::optional<ChildProcess> child = StartProcess(exe, L"--wait 30000", tmp.path);
        ASSERT_TRUE(child);
        // The .ran file shows the process is up and listed.
        EXPECT_TRUE(WaitForFile(exe + L".ran", 10000)) << "stand-in did not run";
        const std::wstring fileName = exe.substr(exe.find_last_of(L'\\') + 1);
        EXPECT_TRUE(IsProcessMatching({fileName})) << "the process is listed";
        EXPECT_EQ(seen, IsProcessMatching(kHostNames));
        TerminateProcess(child->process.get(), 0);
        EXPECT_TRUE(WaitForExit(*child, 5000));
    }
    EXPECT_FALSE(IsProcessMatching(kHostNames)) << "after the stand-ins ended";
}
