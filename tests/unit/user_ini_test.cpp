#include "core/user_ini.h"

#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::string_literals;

namespace {

struct SaveCase {
    const char* name;
    std::string in;
    std::string out;      // user.ini afterwards: `in` when the save fails
    const char* box = ""; // the failure's box; empty when saved
    const wchar_t* mode = L"rb";
};

// The save as the switch makes it, with the scheme FONTNAME1=New, in `folder`; what it left.
void Save(const SaveCase& c, const fs::path& folder) {
    const fs::path path = folder / L"user.ini";
    WriteBytes(path, c.in);
    bool saved = false;
    EXPECT_EQ(c.box, CollectBoxes([&] {
                  FontMap scheme = {{"FONTNAME1", "New"}};
                  UniqueFile input(_wfopen(path.c_str(), c.mode));
                  saved = RewriteLines(input.get(), scheme, path.wstring());
                  input.reset();
                  saved = saved && WriteLines(path.wstring());
              }))
        << c.name;
    EXPECT_EQ(!*c.box, saved) << c.name << ": reported as saved";
    const std::string got = ReadBytes(path);
    EXPECT_TRUE(got == c.out) << c.name << ": got \"" << got.substr(0, 80) << "\", " << got.size()
                              << " bytes, first difference at "
                              << std::mismatch(got.begin(), got.end(), c.out.begin()).first -
                                     got.begin();
    fs::remove(path);
    EXPECT_TRUE(fs::is_empty(folder)) << c.name << ": a file left beside user.ini";
}

TEST(SaveUserIni, ReplacesTheFirstKeyLineAndKeepsEveryOtherByte) {
    // A key would start a piece of the line if it were cut at any length below 600 KB.
    const std::string blanks = "a" + std::string(600 * 1024, ' ') + "\t FONTNAME1=Old\r\n";
    std::string noKeys;
    while (noKeys.size() < 5 * kReadChunkSize / 2)
        noKeys += "[S]\r\nk=\xCB\xCE\0\r;FONTNAME1=x\n #FONTNAME1=y\n"s;
    noKeys += "end";
    const SaveCase cases[] = {
        {"CR LF", "a=1\r\nFONTNAME1=Old\r\nb=2\r\n", "a=1\r\nFONTNAME1=New\nb=2\r\n"},
        {"letter case", "fontname1=Old\n FONTNAME1 = Old\n", "fontname1=Old\nFONTNAME1=New\n"},
        {"tabs and spaces round key and =", "\t FONTNAME1\t \t= Old\r\n", "FONTNAME1=New\n"},
        {"; and # in the value", "FONTNAME1=Old ;c #d\r\nx=1", "FONTNAME1=New\nx=1"},
        {"second occurrence", "FONTNAME1=a\nFONTNAME1=b\n", "FONTNAME1=New\nFONTNAME1=b\n"},
        {"comments", " ;FONTNAME1=a\n\t#FONTNAME1=b\nFONTNAME1\n",
         " ;FONTNAME1=a\n\t#FONTNAME1=b\nFONTNAME1\n"},
        {"blank lines and an empty key", "\r\n \t\r\n=v\r\n \t= w\nFONTNAME1=a",
         "\r\n \t\r\n=v\r\n \t= w\nFONTNAME1=New\n"},
        {"zero bytes before and after the key", "x\0y\r\nFONTNAME1=a\r\nz\0w\r\n"s,
         "x\0y\r\nFONTNAME1=New\nz\0w\r\n"s},
        {"CR alone ends no line", "a=1\rFONTNAME1=b\n", "a=1\rFONTNAME1=b\n"},
        {"no font keys, several pieces", noKeys, noKeys},
        {"a long line of blanks before a key", blanks + "FONTNAME1=Old\r\n",
         blanks + "FONTNAME1=New\n"},
        {"the rest after the last key", "FONTNAME1=Old\r\n" + noKeys, "FONTNAME1=New\n" + noKeys},
        {"unreadable stream", "FONTNAME1=Old\r\n", "FONTNAME1=Old\r\n",
         "错误提醒: 无法读取配置文件 user.ini", L"ab"},
    };
    const fs::path folder = TempFolder(L"save");
    for (const SaveCase& c : cases)
        Save(c, folder);
}

TEST(SaveUserIni, LeavesTheFileAsItWasWhenTheDiskIsFull) {
    const char* fullDisk = std::getenv("FONTSWITCH_FULL_DISK_DIR");
    if (!fullDisk)
        GTEST_SKIP() << "no small file system mounted (FONTSWITCH_FULL_DISK_DIR)";
    const std::string in = std::string(200 * 1024, ';') + "\r\nFONTNAME1=Old\r\n";
    Save({"full disk", in, in, "错误提醒: 无法写入配置文件 user.ini"},
         L"Z:" + fs::path(fullDisk).wstring());
}

} // namespace
