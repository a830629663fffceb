#include "core/current_fonts.h"

#include <gtest/gtest.h>

// Replacing the first line of a key by a whole line, its line end as it is.
TEST(RewriteContent, ReplacesTheFirstLineOfEachKeyAndNeverJoinsTwoLines) {
    const char* const cases[][3] = {// the content, the line for A, the content after
                                    {"A=1\r\nB=2\r\n", "A=9\r\n", "A=9\r\nB=2\r\n"},
                                    {"A=1\r\nB=2", "A=9", "A=9\nB=2"},
                                    {"B=2\nA=1", "A=9", "B=2\nA=9"},
                                    {"B=2\nA=1", "A=9\r\n", "B=2\nA=9\r\n"},
                                    {";A=0\n A = 1 \nA=2\n", " A =9;x\n", ";A=0\n A =9;x\nA=2\n"}};
    for (const auto& [content, line, expected] : cases) {
        KeyLines lines = {{"A", line}};
        std::string out;
        RewriteContent(content, lines, out);
        EXPECT_EQ(expected, out) << testing::PrintToString(content);
    }
}

// The fonts of a file by the line rules: the first line of each key counts, comments do not.
TEST(ClassifyFonts, TellsTheSchemesFromTheUsersOwnFonts) {
    const std::pair<const char*, FontsKind> files[] = {
        {"FONTNAME1=Fixedsys\r\nFONTSIZE1=9\r\n", FontsKind::Own},
        {"FONTNAME1=System\nFONTSIZE1=-13\n", FontsKind::Classic},
        {"FONTSIZE2=-10\n FONTSIZE9 = -10 \r\nFONTSIZE10=-16", FontsKind::Hd}, // some keys
        {"FONTSIZE2=-10\nFONTSIZE9=-12\n", FontsKind::Own},                    // some of each
        {"FONTSIZE1=-13\nFONTSIZE1=9\n", FontsKind::Classic},                  // the first counts
        {";FONTSIZE1=9\nFONTSIZE1=-13\n", FontsKind::Classic},                 // comments do not
        {"fontsize1=9\nFontWeight1=7\nFONTSIZE11=9\nFONTSIZE01=9\nFONTNAME=x\n", FontsKind::None},
        {"FONTNAME1=\xCE\xA2\xC8\xED\xD1\xC5\xBA\xDA\nFontWeigth1=400\n", FontsKind::Hd},
    };
    const FontMap classic = MakeFontScheme(kClassic).entries, hd = MakeFontScheme(kHd).entries;
    for (const auto& [file, kind] : files) {
        KeyLines lines;
        FindKeyLines(file, lines);
        EXPECT_EQ(int(kind), int(ClassifyFonts(lines, classic, hd)))
            << testing::PrintToString(file);
    }
}
