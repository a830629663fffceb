#include "host/backup.h"
#include "host/install_paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// Every byte value, CR LF pairs and GBK text: a copy must keep them all.
std::string SampleBytes(char tag) {
    std::string bytes = "[Font]\r\nFONTNAME1=\xcb\xce\xcc\xe5\r\nTAG=";
    bytes += tag;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

// The backup path of `source` for the minute it was made: the current minute before and
// after the copy are both accepted, so a minute boundary during the copy does not fail.
std::wstring MadeBackup(const std::wstring& source, const std::wstring& stampBefore) {
    std::wstring before = BackupPathFor(source, stampBefore);
    return PathExists(before) ? before : BackupPathFor(source, GetCurrentTimestamp());
}

} // namespace

TEST(FormatTimestamp, MonthPlainDayHourMinuteTwoDigits) {
    EXPECT_EQ(L"1-04_0957", FormatTimestamp(1, 4, 9, 57));
    EXPECT_EQ(L"12-31_2359", FormatTimestamp(12, 31, 23, 59));
    EXPECT_EQ(L"3-09_0005", FormatTimestamp(3, 9, 0, 5));
    EXPECT_EQ(L"10-10_1010", FormatTimestamp(10, 10, 10, 10));
}

TEST(GetCurrentTimestamp, IsTheLocalMinute) {
    SYSTEMTIME before;
    GetLocalTime(&before);
    const std::wstring stamp = GetCurrentTimestamp();
    SYSTEMTIME after;
    GetLocalTime(&after);
    const std::wstring first =
        FormatTimestamp(before.wMonth, before.wDay, before.wHour, before.wMinute);
    const std::wstring last = FormatTimestamp(after.wMonth, after.wDay, after.wHour, after.wMinute);
    EXPECT_TRUE(stamp == first || stamp == last)
        << Narrow(stamp) << " is neither " << Narrow(first) << " nor " << Narrow(last);
}

TEST(BackupPathFor, StemTimestampAndSuffixBesideTheSource) {
    const std::wstring stamp = L"1-04_0957";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"D:\\host\\T0002\\user.ini", L"D:\\host\\T0002\\user.1-04_0957备份.ini"},
        {L"D:\\host\\tool.exe\\..\\T0002\\user.ini",
         L"D:\\host\\tool.exe\\..\\T0002\\user.1-04_0957备份.ini"},
        {L"D:\\host\\T0002/user.ini", L"D:\\host\\T0002/user.1-04_0957备份.ini"},
        {L"D:\\host\\T0002.v2/user", L"D:\\host\\T0002.v2/user.1-04_0957备份.ini"},
        {L"D:\\host\\T0002\\user", L"D:\\host\\T0002\\user.1-04_0957备份.ini"},
        {L"D:\\host.v2\\T0002\\user", L"D:\\host.v2\\T0002\\user.1-04_0957备份.ini"},
        {L"D:\\host\\a.b.ini", L"D:\\host\\a.b.1-04_0957备份.ini"},
        {L"user.ini", L"user.1-04_0957备份.ini"},
    };
    for (const auto& [source, backup] : cases)
        EXPECT_EQ(Narrow(backup), Narrow(BackupPathFor(source, stamp))) << Narrow(source);
    EXPECT_EQ(Narrow(L"D:\\T0002\\user.12-31_2359备份.ini"),
              Narrow(BackupPathFor(L"D:\\T0002\\user.ini", L"12-31_2359")));
}

// The tool holds user.ini open (as LocateUserIni opened it) while it backs it up; in the root
// layout the path runs through the tool's file name and "\..".
TEST(BackupFile, CopiesByteForByteWhileTheSourceIsOpenInBothLayouts) {
    TempDir tmp;
    const std::wstring root = tmp.path + L"\\host";
    MakeDirs(root + L"\\T0002");
    WriteBytes(root + L"\\T0002\\user.ini", SampleBytes('a'));
    WriteBytes(root + L"\\tool.exe", "MZ");
    for (const std::wstring& base : {root, root + L"\\tool.exe"}) {
        SCOPED_TRACE(Narrow(base));
        std::optional<OpenedUserIni> ini;
        bool copied = false;
        const std::wstring stamp = GetCurrentTimestamp();
        auto boxes = CollectMessageBoxes([&] {
            ini = LocateUserIni(base);
            copied = ini && BackupFile(ini->path);
        });
        ASSERT_TRUE(copied) << DescribeBoxes(boxes);
        const std::wstring backup = MadeBackup(ini->path, stamp);
        EXPECT_EQ(SampleBytes('a'), ReadBytes(backup)) << Narrow(backup);
        const std::wstring name = backup.substr(backup.find_last_of(L'\\') + 1);
        EXPECT_EQ(std::vector<std::wstring>({name, L"user.ini"}), ListFiles(root + L"\\T0002"))
            << "the backup lands beside user.ini";
        ASSERT_TRUE(DeleteFileW(backup.c_str()));
    }
}

TEST(BackupFile, SecondCopyInTheSameMinuteReplacesTheFirst) {
    TempDir tmp;
    const std::wstring source = tmp.path + L"\\user.ini";
    // Retried once when a minute boundary falls between the two copies.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::wstring stamp = GetCurrentTimestamp();
        WriteBytes(source, SampleBytes('1'));
        ASSERT_TRUE(BackupFile(source));
        WriteBytes(source, SampleBytes('2'));
        ASSERT_TRUE(BackupFile(source));
        if (GetCurrentTimestamp() != stamp) {
            RemoveTree(tmp.path);
            MakeDirs(tmp.path);
            continue;
        }
        EXPECT_EQ(2u, ListFiles(tmp.path).size()) << "user.ini and one backup";
        EXPECT_EQ(SampleBytes('2'), ReadBytes(BackupPathFor(source, stamp)));
        return;
    }
    FAIL() << "two copies never fell into one minute";
}

TEST(BackupFile, FailedCopyShowsItsMessageAndReturnsFalse) {
    TempDir tmp;
    const std::wstring locked = tmp.path + L"\\user.ini";
    WriteBytes(locked, SampleBytes('x'));
    UniqueHandle held = AdoptHandle(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    for (const std::wstring& source : {tmp.path + L"\\missing.ini", locked}) {
        SCOPED_TRACE(Narrow(source));
        bool copied = true;
        auto boxes = CollectMessageBoxes([&] { copied = BackupFile(source); });
        EXPECT_FALSE(copied);
        ASSERT_NO_FATAL_FAILURE(ExpectOnlyBox(boxes, L"错误", L"备份文件失败", MB_ICONERROR));
    }
    EXPECT_EQ(std::vector<std::wstring>({L"user.ini"}), ListFiles(tmp.path)) << "no backup made";
}
