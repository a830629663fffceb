#include "core/user_ini.h"

#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::string_literals;

namespace {

const FontMap kScheme = {{"FONTNAME1", "New"}};
const char kWriteFailure[] = "错误提醒: 无法写入配置文件 user.ini";

// Where two byte strings part: for contents too large to print.
size_t FirstDifference(const std::string& a, const std::string& b) {
    return size_t(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}

// What happened to the name `name` in `folder` while `action` ran, one word per change.
std::string NameChanges(const fs::path& folder, const std::wstring& name,
                        const std::function<void()>& action) {
    const char* kWords[] = {"", "added ", "removed ", "modified ", "renamed-away ", "renamed-to "};
    UniqueHandle watch = AdoptHandle(CreateFileW(
        folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    UniqueHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    alignas(DWORD) char records[16384];
    OVERLAPPED pending{};
    pending.hEvent = event.get();
    const auto watchNext = [&] {
        ReadDirectoryChangesW(watch.get(), records, sizeof records, FALSE,
                              FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &pending, nullptr);
    };
    watchNext();
    action();
    std::string changes;
    DWORD got = 0;
    while (WaitForSingleObject(event.get(), 200) == WAIT_OBJECT_0 &&
           GetOverlappedResult(watch.get(), &pending, &got, FALSE) && got) {
        for (const char* at = records;;) {
            const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            if (std::wstring_view(record->FileName, record->FileNameLength / 2) == name)
                changes += kWords[std::min<DWORD>(record->Action, 5)];
            if (!record->NextEntryOffset)
                break;
            at += record->NextEntryOffset;
        }
        watchNext();
    }
    CancelIo(watch.get());
    GetOverlappedResult(watch.get(), &pending, &got, TRUE);
    return changes;
}

struct SaveCase {
    const char* name;
    std::string in;
    std::string out;                       // user.ini afterwards: `in` when the save fails
    const char* box = "";                  // the failure's box; empty when saved
    DWORD attributes = 0;                  // of user.ini, kept through the swap
    DWORD holdMs = 0;                      // user.ini held by another program from the start
    const wchar_t* failingFlush = nullptr; // a flush fails for a file whose name holds this
    const wchar_t* mode = L"rb";
    bool onFullDisk = false;
};

// The save as the switch makes it, user.ini opened with `mode`; then what it left.
void Save(const SaveCase& c, const fs::path& folder) {
    const fs::path path = folder / L"user.ini";
    WriteBytes(path, c.in);
    SetFileAttributesW(path.c_str(), c.attributes);
    if (c.failingFlush)
        WriteBytes(folder / (c.failingFlush + L".fail-fsync"s), "");
    bool saved = false;
    std::string boxes, changes = NameChanges(folder, L"user.ini", [&] {
                           const Scope held = c.holdMs ? Hold(path, c.holdMs) : nullptr;
                           boxes = CollectBoxes([&] {
                               FontMap scheme = kScheme;
                               UniqueFile input(_wfopen(path.c_str(), c.mode));
                               saved = RewriteLines(input.get(), scheme, path.wstring());
                               input.reset();
                               saved = saved && WriteLines(path.wstring());
                           });
                       });
    const DWORD attributes =
        GetFileAttributesW(path.c_str()) &
        (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(c.box, boxes) << c.name;
    EXPECT_EQ(boxes.empty(), saved) << c.name << ": reported as saved";
    const std::string got = ReadBytes(path);
    EXPECT_TRUE(got == c.out) << c.name << ": got \"" << got.substr(0, 80) << "\", " << got.size()
                              << " bytes, first difference at " << FirstDifference(c.out, got);
    // Whole or not at all: one rename over it, never a moment without it, never written in place.
    EXPECT_EQ(saved ? "renamed-to " : "", changes) << c.name << ": user.ini";
    EXPECT_EQ(c.attributes, attributes) << c.name << ": attributes";
    fs::remove(folder / (c.failingFlush ? c.failingFlush + L".fail-fsync"s : L"none"));
    EXPECT_EQ("user.ini ", Listing(folder)) << c.name;
    fs::remove(path);
}

TEST(SaveUserIni, ReplacesTheFirstKeyLineAndKeepsEveryOtherByte) {
    // A key would start a piece of this line if it were cut at any length below its own.
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
    };
    const fs::path folder = TempFolder(L"rules");
    for (const SaveCase& c : cases)
        Save(c, folder);
}

TEST(SaveUserIni, RidesOutBriefHoldsAndOtherwiseLeavesTheFileAsItWas) {
    const std::string in = std::string(200 * 1024, ';') + "\r\nFONTNAME1=Old\r\n";
    const std::string out = std::string(200 * 1024, ';') + "\r\nFONTNAME1=New\n";
    const SaveCase cases[] = {
        {"hidden and system", in, out, "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"held 0.7 s by a scanner", in, out, "", 0, 700},
        {"held for good", in, in, kWriteFailure, 0, INFINITE},
        {"read-only (wine as root writes it)", in, in, kWriteFailure, FILE_ATTRIBUTE_READONLY},
        {"the flush fails", in, in, kWriteFailure, 0, 0, L"user.ini"},
        {"unreadable stream", in, in, "错误提醒: 无法读取配置文件 user.ini", 0, 0, nullptr, L"ab"},
        {"full disk", in, in, kWriteFailure, 0, 0, nullptr, L"rb", true}, // the last row
    };
    const char* fullDisk = std::getenv("FONTSWITCH_FULL_DISK_DIR");
    for (const SaveCase& c : cases) {
        if (c.onFullDisk && !fullDisk)
            GTEST_SKIP() << "no small file system mounted (FONTSWITCH_FULL_DISK_DIR)";
        Save(c, c.onFullDisk ? fs::path(L"Z:" + fs::path(fullDisk).wstring())
                             : TempFolder(L"failure"));
    }
}

} // namespace
