#include "host/compat_layer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sddl.h>

namespace {

struct RegValue {
    DWORD type = REG_NONE;
    std::wstring text; // without the terminating zero
    DWORD size = 0;    // bytes stored, terminating zero included
};

// The value of the Layers key as stored, or nullopt when it does not exist.
std::optional<RegValue> ReadLayer(const std::wstring& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    UniqueRegKey key(opened);
    RegValue value;
    wchar_t data[256] = {};
    value.size = sizeof data - sizeof(wchar_t); // room for a terminator the value may lack
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &value.type,
                         reinterpret_cast<BYTE*>(data), &value.size) != ERROR_SUCCESS)
        return std::nullopt;
    value.text = data;
    return value;
}

void WriteLayer(const std::wstring& name, const std::wstring& text) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kLayersKey, name.c_str(), REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void DeleteLayer(const std::wstring& name) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kLayersKey, name.c_str());
}

// Runs host_probe placed at `tool` with "classic" or "hd"; it must end by itself without a box.
void RunUpdate(const std::wstring& tool, const wchar_t* action) {
    ChildRun run = RunDismissingBoxes(tool, action, ExeDir());
    ASSERT_TRUE(run.started);
    EXPECT_EQ(std::optional<DWORD>(0), run.exitCode) << DescribeBoxes(run.boxes);
    EXPECT_TRUE(run.boxes.empty()) << DescribeBoxes(run.boxes);
}

// Places host_probe at `tool`, with a host root `root` (T0002, and tdxw.exe when asked).
void PlaceTool(const std::wstring& root, const std::wstring& tool, bool withExe) {
    MakeDirs(root + L"\\T0002");
    MakeDirs(tool.substr(0, tool.find_last_of(L'\\')));
    ASSERT_TRUE(PlaceHelper(L"host_probe", tool));
    if (withExe) {
        ASSERT_TRUE(PlaceHelper(L"stand_in_host", root + L"\\tdxw.exe"));
    }
}

void ExpectDpiUnaware(const std::wstring& name) {
    std::optional<RegValue> value = ReadLayer(name);
    ASSERT_TRUE(value) << "no value named " << Narrow(name);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value->type);
    EXPECT_EQ(L"~ GDIDPISCALING DPIUNAWARE", value->text);
    EXPECT_EQ(54u, value->size) << "value data size";
}

} // namespace

TEST(UpdateRegistry, HdSetsReplacesAndClassicDeletesOnlyTheHostValue) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    const std::wstring host = root + L"\\tdxw.exe";
    const std::wstring other = tmp.path + L"\\other\\app.exe";
    const std::wstring tool = root + L"\\Vantiro\\tool.exe";
    ASSERT_NO_FATAL_FAILURE(PlaceTool(root, tool, true));
    WriteLayer(other, L"~ HIGHDPIAWARE");
    WriteLayer(host, L"~ RUNASADMIN WIN7RTM"); // layers a user set: replaced as a whole

    ASSERT_NO_FATAL_FAILURE(RunUpdate(tool, L"hd"));
    ExpectDpiUnaware(host);
    ASSERT_NO_FATAL_FAILURE(RunUpdate(tool, L"hd"));
    ExpectDpiUnaware(host);

    ASSERT_NO_FATAL_FAILURE(RunUpdate(tool, L"classic"));
    EXPECT_FALSE(ReadLayer(host)) << "deleted";
    ASSERT_NO_FATAL_FAILURE(RunUpdate(tool, L"classic")) << "deleting a missing value is quiet";
    EXPECT_FALSE(ReadLayer(host));

    std::optional<RegValue> untouched = ReadLayer(other);
    ASSERT_TRUE(untouched);
    EXPECT_EQ(L"~ HIGHDPIAWARE", untouched->text);
    DeleteLayer(other);
}

// The value is named by the full path of the tdxw.exe the launch starts, as Windows sees it when
// it starts the host: never through the tool's own file name, with "\.." resolved.
TEST(UpdateRegistry, ValueNameIsTheHostExeFullPathInEveryLayout) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    struct Case {
        std::wstring tool;
        bool withExe;
        std::wstring host;  // the value name expected
        std::wstring wrong; // a name the value must not get
    };
    const Case cases[] = {
        {root + L"\\tool.exe", true, root + L"\\tdxw.exe", root + L"\\tool.exe\\..\\tdxw.exe"},
        {root + L"\\tool.exe", false, root + L"\\tdxw.exe", root + L"\\tool.exe\\tdxw.exe"},
        {root + L"\\Vantiro\\a\\tool.exe", false, root + L"\\tdxw.exe", tmp.path + L"\\tdxw.exe"},
        {root + L"\\主机한\\Vantiro\\tool.exe", true, root + L"\\主机한\\tdxw.exe",
         root + L"\\tdxw.exe"},
        // Only the second candidate (the parent of the host root) exists: the launch starts
        // it, so it is named. Last, since it leaves that tdxw.exe behind.
        {root + L"\\Vantiro\\tool.exe", true, tmp.path + L"\\tdxw.exe", root + L"\\tdxw.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.tool));
        const std::wstring hostRoot = c.host.substr(0, c.host.find_last_of(L'\\'));
        ASSERT_NO_FATAL_FAILURE(PlaceTool(hostRoot, c.tool, c.withExe));
        ASSERT_NO_FATAL_FAILURE(RunUpdate(c.tool, L"hd"));
        ExpectDpiUnaware(c.host);
        EXPECT_FALSE(ReadLayer(c.wrong)) << Narrow(c.wrong);
        ASSERT_NO_FATAL_FAILURE(RunUpdate(c.tool, L"classic"));
        EXPECT_FALSE(ReadLayer(c.host));
        RemoveTree(root);
    }
}

TEST(UpdateRegistry, ClassicCreatesAMissingLayersKeyEmpty) {
    HKEY existing = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, KEY_READ, &existing) == ERROR_SUCCESS) {
        UniqueRegKey key(existing);
        DWORD values = 0;
        RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        if (values > 0)
            GTEST_SKIP() << "the Layers key of this prefix holds values; they are not deleted";
    }
    LSTATUS deleted = RegDeleteKeyW(HKEY_CURRENT_USER, kLayersKey);
    ASSERT_TRUE(deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND) << deleted;
    TempDir tmp;
    const std::wstring tool = tmp.path + L"\\host\\Vantiro\\tool.exe";
    ASSERT_NO_FATAL_FAILURE(PlaceTool(tmp.path + L"\\host", tool, true));
    ASSERT_NO_FATAL_FAILURE(RunUpdate(tool, L"classic"));

    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, KEY_READ, &created));
    UniqueRegKey key(created);
    DWORD values = 1;
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(0u, values);
}

// Everyone is denied KEY_SET_VALUE on the Layers key for the length of the test (its own
// access list is put back afterwards), so opening it with KEY_ALL_ACCESS fails.
TEST(UpdateRegistry, KeyThatCannotBeOpenedIsReportedOnce) {
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kLayersKey, 0, nullptr, 0,
                                             READ_CONTROL | WRITE_DAC, nullptr, &opened, nullptr));
    UniqueRegKey key(opened);
    DWORD size = 0;
    RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> original(size);
    ASSERT_EQ(ERROR_SUCCESS,
              RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, original.data(), &size));
    PSECURITY_DESCRIPTOR denying = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &denying, nullptr));
    LSTATUS denied = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, denying);
    LocalFree(denying);
    ASSERT_EQ(ERROR_SUCCESS, denied);

    // Classic: should the key open after all, it only deletes a value that is not there.
    auto boxes = CollectMessageBoxes([] { UpdateRegistry(true); });
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, original.data()));
    ExpectOnlyBox(boxes, L"错误", L"更新注册表失败", MB_ICONERROR);
}
