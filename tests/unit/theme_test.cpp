#include "ui/theme.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kPersonalize[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr COLORREF kDark = 0x302D2D;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;

// The theme key of this prefix as it was before a test, put back afterwards.
struct SavedThemeKey {
    SavedThemeKey() {
        HKEY key = nullptr;
        existed =
            RegOpenKeyExW(HKEY_CURRENT_USER, kPersonalize, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (!existed)
            return;
        UniqueRegKey owner(key);
        values = ReadRegistryValues(kPersonalize);
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
    }
    ~SavedThemeKey() {
        if (!existed) {
            RegDeleteTreeW(HKEY_CURRENT_USER, kPersonalize);
            return;
        }
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kPersonalize, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr);
        UniqueRegKey owner(key);
        RegDeleteValueW(key, L"AppsUseLightTheme");
        for (const auto& [name, value] : values)
            RegSetValueExW(key, name.c_str(), 0, value.type,
                           reinterpret_cast<const BYTE*>(value.data.data()),
                           static_cast<DWORD>(value.data.size()));
    }
    bool existed = false;
    DWORD subkeys = 0;
    std::map<std::wstring, RegistryValue> values;
};

void SetThemeValue(DWORD type, const void* data, DWORD size) {
    SetRegistryValue(kPersonalize, L"AppsUseLightTheme", type, data, size);
}

void SetThemeDword(DWORD value) {
    SetRegistryDword(kPersonalize, L"AppsUseLightTheme", value);
}

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH logical{};
    GetObjectW(brush, sizeof logical, &logical);
    return logical.lbColor;
}

// Everything the theme decides, read back from real GDI objects.
void ExpectTheme(bool dark) {
    EXPECT_EQ(dark, IsDarkThemeEnabled());

    UniqueBrush first(GetThemeBrush());
    UniqueBrush second(GetThemeBrush());
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get()) << "each call makes a new brush";
    EXPECT_EQ(dark ? kDark : kWhite, BrushColour(first.get())) << "brush colour";

    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    ApplyThemeToControl(dc);
    EXPECT_EQ(dark ? kWhite : kBlack, GetTextColor(dc)) << "label text colour";
    EXPECT_EQ(dark ? kDark : kWhite, GetBkColor(dc)) << "label text background";
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    ApplyButtonTheme(nullptr, dc);
    EXPECT_EQ(dark ? kWhite : kBlack, GetTextColor(dc)) << "button text colour";
    EXPECT_EQ(dark ? kDark : kWhite, GetBkColor(dc)) << "button text background";
    DeleteDC(dc);
}

class Theme : public ::testing::Test {
  protected:
    SavedThemeKey saved;
};

} // namespace

TEST_F(Theme, ZeroMeansDark) {
    SetThemeDword(0);
    ExpectTheme(true);
}

TEST_F(Theme, OneOrAnyOtherValueMeansLight) {
    SetThemeDword(1);
    ExpectTheme(false);
    SetThemeDword(0x100);
    ExpectTheme(false);
}

TEST_F(Theme, AbsentValueMeansLight) {
    SetThemeDword(0);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, kPersonalize, 0, KEY_SET_VALUE, &key));
    UniqueRegKey owner(key);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, L"AppsUseLightTheme"));
    ExpectTheme(false);
}

TEST_F(Theme, AbsentKeyMeansLight) {
    if (saved.subkeys > 0)
        GTEST_SKIP() << "the theme key has subkeys in this prefix; not deleting it";
    SetThemeDword(0);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, kPersonalize));
    ExpectTheme(false);
}

TEST_F(Theme, DataLongerThanFourBytesMeansLight) {
    const unsigned long long zero = 0;
    SetThemeValue(REG_QWORD, &zero, sizeof zero);
    ExpectTheme(false);
}

TEST_F(Theme, ShortDataCountsWithZeroHighBytes) {
    const BYTE zero = 0;
    SetThemeValue(REG_BINARY, &zero, 1);
    ExpectTheme(true);
    const BYTE one = 1;
    SetThemeValue(REG_BINARY, &one, 1);
    ExpectTheme(false);
}

// dwmapi.dll is not a known DLL: loaded by name, a copy beside the program would win.
TEST(ApplyTitleBarTheme, LoadsDwmapiFromTheSystemFolderOnly) {
    TempDir dir;
    const std::wstring probe = dir.path + L"\\title_bar_probe.exe";
    ASSERT_TRUE(PlaceHelper(L"title_bar_probe", probe));
    wchar_t system[MAX_PATH];
    const std::wstring systemDwmapi =
        std::wstring(system, GetSystemDirectoryW(system, MAX_PATH)) + L"\\dwmapi.dll";
    ASSERT_TRUE(CopyFileW(systemDwmapi.c_str(), (dir.path + L"\\dwmapi.dll").c_str(), FALSE));

    ChildRun run = RunDismissingBoxes(probe, L"", dir.path, 20000);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.exitCode) << "title_bar_probe did not end within 20 s";
    EXPECT_EQ(0u, *run.exitCode) << "3: the planted dwmapi.dll was loaded; 4: none was loaded; "
                                    "5: the load watch could not be set up";
}
