#include "host/backup.h"

#include "support.h"

#include <gtest/gtest.h>

TEST(BackupPathFor, NamesTheCopyBesideTheSource) {
    EXPECT_EQ(L"1-04_0907", FormatTimestamp(1, 4, 9, 7));
    EXPECT_EQ(L"12-31_2359", FormatTimestamp(12, 31, 23, 59));
    const struct {
        const wchar_t* source;
        int copy; // of the minute
        const wchar_t* backup;
    } cases[] = {
        {L"C:\\tdx\\T0002\\user.ini", 1, L"C:\\tdx\\T0002\\user.1-04_0907备份.ini"},
        {L"C:\\tdx\\T0002\\user.ini", 12, L"C:\\tdx\\T0002\\user.1-04_0907(12)备份.ini"},
        {L"C:\\t.dx\\T0002\\user", 2, L"C:\\t.dx\\T0002\\user.1-04_0907(2)备份.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.backup, BackupPathFor(c.source, L"1-04_0907", c.copy)) << U8(c.source);
}
