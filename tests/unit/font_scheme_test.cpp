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
        FontMap expected;
        for (int slot = 1; slot <= 10; ++slot) {
            const Slot& s = slots[slot - 1];
            const std::string n = std::to_string(slot);
            expected["FONTNAME" + n] = classic ? s.classicFace : s.hdFace;
            expected["FONTSIZE" + n] = classic ? s.classicSize : s.hdSize;
            expected["FontWeigth" + n] = "400";
        }
        const FontScheme scheme = MakeFontScheme(classic);
        EXPECT_EQ(classic ? L"经典字体" : L"高清字体", scheme.displayName);
        EXPECT_EQ(expected, scheme.entries) << (classic ? "Classic" : "HD");
    }
}
