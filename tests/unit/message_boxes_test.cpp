#include "test_support.h"

#include <gtest/gtest.h>

// The harness itself: every later test relies on reading boxes right.
TEST(CollectMessageBoxes, ReadsCaptionTextAndIconInOrder) {
    auto boxes = CollectMessageBoxes([] {
        MessageBoxW(nullptr, L"第一行\n第二行", L"错误", MB_OK | MB_ICONERROR);
        MessageBoxW(nullptr, L"警告", L"重要提示", MB_OK | MB_ICONWARNING);
        MessageBoxW(nullptr, L"好", L"成功！", MB_OK | MB_ICONINFORMATION);
    });
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(L"错误", boxes[0].caption);
    EXPECT_EQ(L"第一行\n第二行", boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), boxes[0].icon);
    EXPECT_EQ(static_cast<UINT>(MB_ICONWARNING), boxes[1].icon);
    EXPECT_EQ(L"成功！", boxes[2].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes[2].icon);
}
