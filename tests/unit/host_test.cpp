#include "host/backup.h"

#include <gtest/gtest.h>

TEST(FormatTimestamp, WritesTheMonthAsItIsAndTheDayHourAndMinuteInTwoDigits) {
    EXPECT_EQ(L"1-04_0907", FormatTimestamp(1, 4, 9, 7));
    EXPECT_EQ(L"12-31_2359", FormatTimestamp(12, 31, 23, 59));
}
