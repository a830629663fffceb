// What the built tool carries: the icon group, the manifest and the version text, all readable
// by the platform, and kzv.ico beside it for the window class.
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

namespace {

constexpr WORD kIconGroupId = 101; // IDI_ICON1

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconGroupHeader {
    WORD reserved, type, count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

class ToolResources : public ::testing::Test {
  protected:
    void SetUp() override {
        tool.reset(LoadLibraryExW((ExeDir() + L"\\TessalyFontSwitch.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(tool) << "bin\\TessalyFontSwitch.exe missing: build all targets first";
    }
    std::string_view Resource(LPCWSTR name, LPCWSTR type) {
        HRSRC found = FindResourceW(tool.get(), name, type);
        if (!found)
            return {};
        return {static_cast<const char*>(LockResource(LoadResource(tool.get(), found))),
                SizeofResource(tool.get(), found)};
    }
    UniqueLibrary tool;
};

} // namespace

TEST_F(ToolResources, IconGroupHoldsElevenDecodableSizes) {
    std::string_view group = Resource(MAKEINTRESOURCEW(kIconGroupId), RT_GROUP_ICON);
    ASSERT_FALSE(group.empty()) << "no icon group IDI_ICON1";
    auto header = reinterpret_cast<const IconGroupHeader*>(group.data());
    std::set<int> sizes;
    for (WORD i = 0; i < header->count; ++i) {
        const IconGroupEntry& entry = header->entries[i];
        const int size = entry.width == 0 ? 256 : entry.width;
        sizes.insert(size);
        std::string_view image = Resource(MAKEINTRESOURCEW(entry.id), RT_ICON);
        HICON icon = CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(const_cast<char*>(image.data())),
            static_cast<DWORD>(image.size()), TRUE, 0x00030000, size, size, 0);
        EXPECT_NE(nullptr, icon) << size << " px image cannot be decoded";
        DestroyIcon(icon);
    }
    EXPECT_EQ((std::set<int>{16, 20, 24, 32, 40, 48, 64, 96, 128, 192, 256}), sizes);
}

TEST_F(ToolResources, ManifestAndVersionAreEmbedded) {
    std::string_view manifest = Resource(MAKEINTRESOURCEW(1), RT_MANIFEST);
    EXPECT_NE(std::string_view::npos, manifest.find("level=\"asInvoker\""));
    EXPECT_EQ(std::string_view::npos, manifest.find("Common-Controls"));
    EXPECT_EQ(std::string_view::npos, manifest.find("dpiAware"));

    std::string_view version = Resource(MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    std::wstring_view text(reinterpret_cast<const wchar_t*>(version.data()), version.size() / 2);
    EXPECT_NE(std::wstring_view::npos, text.find(L"通达信字体切换工具"))
        << "file description missing or not in UTF-16";
    EXPECT_NE(std::wstring_view::npos, text.find(L"Tessaly 字体切换"));
}

TEST(KzvIcon, LoadsAt32PixelsBesideTheTool) {
    HICON icon = static_cast<HICON>(LoadImageW(nullptr, (ExeDir() + L"\\kzv.ico").c_str(),
                                               IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
    ASSERT_NE(nullptr, icon) << "bin\\kzv.ico missing or unreadable";
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(32, bitmap.bmWidth);
    EXPECT_EQ(32, bitmap.bmHeight);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}
