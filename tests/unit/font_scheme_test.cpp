#include "core/font_scheme.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// The face names in code page 936 (GBK).
const std::string kSongTi = "\xCB\xCE\xCC\xE5";                // 宋体
const std::string kYaHei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA"; // 微软雅黑

// Builds the expected map from one column of the table: a face and a size per slot 1..10.
FontMap ExpectedEntries(const std::string (&faces)[10], const char* const (&sizes)[10]) {
    FontMap entries;
    for (int slot = 1; slot <= 10; ++slot) {
        entries["FONTNAME" + std::to_string(slot)] = faces[slot - 1];
        entries["FONTSIZE" + std::to_string(slot)] = sizes[slot - 1];
        entries["FontWeigth" + std::to_string(slot)] = "400";
    }
    return entries;
}

class FontSchemeOnCodePage936 : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(936u, GetACP()) << "the expected bytes are GBK; run with LC_ALL=zh_CN.UTF-8";
    }
};

} // namespace

TEST_F(FontSchemeOnCodePage936, ClassicHoldsItsThirtyEntries) {
    const FontScheme scheme = MakeFontScheme(true);
    EXPECT_EQ(L"经典字体", scheme.displayName);
    const FontMap expected = ExpectedEntries(
        {"System", "Arial", kSongTi, "Arial", kSongTi, "Arial", kYaHei, "Arial", "Arial", kYaHei},
        {"-13", "-12", "14", "-12", "14", "-12", "-18", "-12", "-12", "-22"});
    EXPECT_EQ(30u, scheme.entries.size());
    EXPECT_EQ(expected, scheme.entries);
}

TEST_F(FontSchemeOnCodePage936, HdHoldsItsThirtyEntries) {
    const FontScheme scheme = MakeFontScheme(false);
    EXPECT_EQ(L"高清字体", scheme.displayName);
    const FontMap expected = ExpectedEntries(
        {kYaHei, kYaHei, kSongTi, kYaHei, kYaHei, kYaHei, kYaHei, kYaHei, kYaHei, kYaHei},
        {"-12", "-10", "-14", "-12", "-12", "-12", "-14", "-12", "-10", "-16"});
    EXPECT_EQ(30u, scheme.entries.size());
    EXPECT_EQ(expected, scheme.entries);
}

TEST_F(FontSchemeOnCodePage936, UnicodeToGbkGivesTheBytesWithoutTerminator) {
    EXPECT_EQ("", UnicodeToGBK(L""));
    EXPECT_EQ(kSongTi, UnicodeToGBK(L"宋体"));
    EXPECT_EQ(kYaHei, UnicodeToGBK(L"微软雅黑"));
    EXPECT_EQ("Arial", UnicodeToGBK(L"Arial"));
    EXPECT_EQ("\xD7\xD6"
              "a",
              UnicodeToGBK(L"字a"))
        << "a single byte right after a double byte";
}
