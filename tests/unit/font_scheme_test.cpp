#include "core/font_scheme.h"

#include <gtest/gtest.h>

TEST(MakeFontScheme, HoldsEachSchemesThirtyValuesInGbk) {
    const std::string yahei = "\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA", song = "\xCB\xCE\xCC\xE5";
    struct Slot {
        std::string classicFace, classicSize, hdFace, hdSize;
    };
    const Slot slots[10] = {
        {"System", "-13", yahei, "-12"}, {"Arial", "-12", yahei, "-10"},
        {song, "14", song, "-14"},       {"Arial", "-12", yahei, "-12"},
        {song, "14", yahei, "-12"},      {"Arial", "-12", yahei, "-12"},
        {yahei, "-18", yahei, "-14"},    {"Arial", "-12", yahei, "-12"},
        {"Arial", "-12", yahei, "-10"},  {yahei, "-22", yahei, "-16"},
    };
    for (const bool classic : {true, false}) {
        const FontScheme scheme = MakeFontScheme(classic);
        EXPECT_EQ(classic ? L"经典字体" : L"高清字体", scheme.displayName);
        EXPECT_EQ(30u, scheme.entries.size()) << "classic " << classic;
        for (int slot = 1; slot <= 10; ++slot) {
            const Slot& s = slots[slot - 1];
            const std::string n = std::to_string(slot);
            const auto value = [&](const std::string& key) {
                const auto found = scheme.entries.find(key);
                return found == scheme.entries.end() ? "(missing)" : found->second;
            };
            EXPECT_EQ(classic ? s.classicFace : s.hdFace, value("FONTNAME" + n)) << classic;
            EXPECT_EQ(classic ? s.classicSize : s.hdSize, value("FONTSIZE" + n)) << classic;
            EXPECT_EQ("400", value("FontWeigth" + n)) << "slot " << slot;
        }
    }
}
