#include "core/user_ini.h"

#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::string_literals;

namespace {

const FontMap kScheme = {{"FONTNAME1", "New"}};
const char kWriteFailure[] = "错误提醒: 无法写入配置文件 user.ini";

struct BytesCase {
    const char* name;
    std::string in;
    std::string out;
};

// Where two byte strings part: for contents too large to print.
size_t FirstDifference(const std::string& a, const std::string& b) {
    return size_t(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

std::string Listing(const fs::path& folder) {
    std::string names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.append(names.empty() ? "" : " ").append(U8(entry.path().filename().wstring()));
    return names;
}

// The save as the switch makes it, reading the file opened with `mode`.
bool Save(const fs::path& path, const wchar_t* mode = L"rb") {
    FontMap scheme = kScheme;
    UniqueFile input(_wfopen(path.c_str(), mode));
    const bool rewritten = RewriteLines(input.get(), scheme, path.wstring());
    input.reset();
    return rewritten && WriteLines(path.wstring());
}

TEST(SaveUserIni, ReplacesTheFirstKeyLineAndKeepsEveryOtherByte) {
    const std::string longLine(kReadChunkSize, 'x');
    std::string noKeys;
    while (noKeys.size() < 5 * kReadChunkSize / 2)
        noKeys += "[S]\r\nk=\xCB\xCE\0\r;FONTNAME1=x\n"s;
    noKeys += "end";
    const BytesCase cases[] = {
        {"CR LF", "a=1\r\nFONTNAME1=Old\r\nb=2\r\n", "a=1\r\nFONTNAME1=New\nb=2\r\n"},
        {"letter case", "fontname1=Old\n FONTNAME1 = Old\n", "fontname1=Old\nFONTNAME1=New\n"},
        {"second occurrence", "FONTNAME1=a\nFONTNAME1=b\n", "FONTNAME1=New\nFONTNAME1=b\n"},
        {"comments", " ;FONTNAME1=a\n\t#FONTNAME1=b\nFONTNAME1\n",
         " ;FONTNAME1=a\n\t#FONTNAME1=b\nFONTNAME1\n"},
        {"zero byte", "x\0y\r\nFONTNAME1=a"s, "x\0y\r\nFONTNAME1=New\n"s},
        {"CR alone ends no line", "a=1\rFONTNAME1=b\n", "a=1\rFONTNAME1=b\n"},
        {"no font keys, several pieces", noKeys, noKeys},
        {"a line longer than a piece", longLine + "FONTNAME1=Old\r\nFONTNAME1=Old\r\n",
         longLine + "FONTNAME1=Old\r\nFONTNAME1=New\n"},
        {"the rest after the last key", "FONTNAME1=Old\r\n" + noKeys, "FONTNAME1=New\n" + noKeys},
    };
    const fs::path folder = TempFolder(L"rules"), path = folder / L"user.ini";
    for (const BytesCase& c : cases) {
        WriteBytes(path, c.in);
        // Written in place, the file would be seen empty or partial through this handle.
        UniqueHandle reader = AdoptHandle(CreateFileW(
            path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(Save(path)) << c.name;
        const std::string got = ReadBytes(path);
        EXPECT_TRUE(got == c.out) << c.name << ": got \"" << got.substr(0, 80) << "\", "
                                  << got.size() << " bytes, first difference at "
                                  << FirstDifference(c.out, got);
        char seen[16];
        DWORD read = 0;
        ReadFile(reader.get(), seen, sizeof seen, &read, nullptr);
        EXPECT_EQ(c.in.substr(0, 16), std::string(seen, read)) << c.name << ": opened before";
        reader.reset(); // the old file is gone once its last handle closes
        EXPECT_EQ("user.ini", Listing(folder)) << c.name;
    }
}

TEST(SaveUserIni, FailsWithoutTouchingTheFile) {
    const std::string content = std::string(200 * 1024, ';') + "\r\nFONTNAME1=Old\r\n";
    const char* fullDisk = std::getenv("FONTSWITCH_FULL_DISK_DIR");
    const struct {
        const char* name;
        const wchar_t* mode;
        DWORD attributes;
        bool held; // open elsewhere with read sharing only
        const char* box;
    } cases[] = {
        {"read-only (wine as root writes it)", L"rb", FILE_ATTRIBUTE_READONLY, false,
         kWriteFailure},
        {"held open", L"rb", FILE_ATTRIBUTE_NORMAL, true, kWriteFailure},
        {"unreadable stream", L"ab", FILE_ATTRIBUTE_NORMAL, false,
         "错误提醒: 无法读取配置文件 user.ini"},
        {"full disk", L"rb", FILE_ATTRIBUTE_NORMAL, false, kWriteFailure}, // the last row
    };
    for (const auto& c : cases) {
        const bool onFullDisk = c.name == std::string_view("full disk");
        if (onFullDisk && !fullDisk)
            GTEST_SKIP() << "no small file system mounted (FONTSWITCH_FULL_DISK_DIR)";
        const fs::path folder =
            onFullDisk ? fs::path(L"Z:" + fs::path(fullDisk).wstring()) : TempFolder(L"failure");
        const fs::path path = folder / L"user.ini";
        WriteBytes(path, content);
        SetFileAttributesW(path.c_str(), c.attributes);
        UniqueHandle holder =
            AdoptHandle(c.held ? CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr)
                               : nullptr);
        bool saved = true;
        EXPECT_EQ(c.box, CollectBoxes([&] { saved = Save(path, c.mode); })) << c.name;
        holder.reset();
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_FALSE(saved) << c.name << ": reported as saved";
        EXPECT_TRUE(ReadBytes(path) == content) << c.name << ": user.ini changed";
        EXPECT_EQ("user.ini", Listing(folder)) << c.name;
        fs::remove(path);
    }
}

} // namespace
