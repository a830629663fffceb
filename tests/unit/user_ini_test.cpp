#include "core/user_ini.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(RewriteContent, ReplacesTheFirstLineOfEachKeyAndKeepsEveryOtherByte) {
    const struct {
        const char* name;
        std::string in, out;
    } cases[] = {
        {"CR LF", "a=1\r\nFONTNAME1=Old\r\nb=2\r\n", "a=1\r\nFONTNAME1=New\nb=2\r\n"},
        {"letter case", "fontname1=Old\n FONTNAME1 = Old\n", "fontname1=Old\nFONTNAME1=New\n"},
        {"tabs and spaces round key and =", "\t FONTNAME1\t \t= Old\r\n", "FONTNAME1=New\n"},
        {"; and # in the value", "FONTNAME1=Old ;c #d\r\nx=1", "FONTNAME1=New\nx=1"},
        {"second occurrence", "FONTNAME1=a\nFONTNAME1=b\n", "FONTNAME1=New\nFONTNAME1=b\n"},
        {"comments", " ;FONTNAME1=a\n\t#FONTNAME1=b\nFONTNAME1\n",
         " ;FONTNAME1=a\n\t#FONTNAME1=b\nFONTNAME1\n"},
        {"blank lines and an empty key", "\r\n \t\r\n=v\r\n \t= w\nFONTNAME1=a",
         "\r\n \t\r\n=v\r\n \t= w\nFONTNAME1=New\n"},
        {"zero bytes between and after keys", "x\0y\r\nFONTSIZE1=1\r\nz\0\r\nFONTNAME1=a\r\n\0w"s,
         "x\0y\r\nFONTSIZE1=-9\nz\0\r\nFONTNAME1=New\n\0w"s},
        {"CR alone ends no line", "a=1\rFONTNAME1=b\n", "a=1\rFONTNAME1=b\n"},
    };
    for (const auto& c : cases) {
        FontMap scheme = {{"FONTNAME1", "New"}, {"FONTSIZE1", "-9"}};
        std::string out;
        RewriteContent(c.in, scheme, out);
        EXPECT_EQ(c.out, out) << c.name;
    }
}
