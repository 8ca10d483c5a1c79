#include "viewer/shell/common/GlobalBlockArray.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

TEST(GlobalBlockArray, BlocksAreZeroFilledAndCounted)
{
    GlobalBlockArray a;
    EXPECT_EQ(AllocGlobalBlocks(&a, 32, 3), 1);
    ASSERT_EQ(GetGlobalBlockCount(&a), 3);
    const auto* bytes = GetGlobalBlockAs<unsigned char>(&a, 1);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(bytes[i], 0);
    EXPECT_EQ(GetGlobalBlock(&a, 3), nullptr);
    EXPECT_EQ(GetGlobalBlock(&a, -1), nullptr);
    EXPECT_EQ(GetGlobalBlockCount(nullptr), 0);
}

TEST(GlobalBlockArray, CountZeroAllocatesNothing)
{
    GlobalBlockArray a;
    EXPECT_EQ(AllocGlobalBlocks(&a, 32, 0), 1);
    EXPECT_EQ(AllocGlobalBlocks(&a, 32, -5), 1);
    EXPECT_EQ(GetGlobalBlockCount(&a), 0);
}

TEST(GlobalBlockArray, RemoveKeepsOrder)
{
    GlobalBlockArray a;
    AllocGlobalBlocks(&a, 4, 3);
    for (int i = 0; i < 3; ++i)
        *GetGlobalBlockAs<int>(&a, i) = i;
    RemoveGlobalBlock(&a, 1);
    RemoveGlobalBlock(&a, 7);
    ASSERT_EQ(GetGlobalBlockCount(&a), 2);
    EXPECT_EQ(*GetGlobalBlockAs<int>(&a, 0), 0);
    EXPECT_EQ(*GetGlobalBlockAs<int>(&a, 1), 2);
    FreeGlobalBlocks(&a);
    EXPECT_EQ(GetGlobalBlockCount(&a), 0);
}

TEST(GlobalBlockArray, FailureFreesBlocksButLeavesArrayUsable)
{
    int made = 0;
    GlobalBlockArray a([&](std::size_t size) -> GlobalBlock {
        return ++made == 3 ? nullptr : std::calloc(size, 1);
    });
    EXPECT_EQ(AddGlobalBlock(&a, 8), 1);
    EXPECT_EQ(AllocGlobalBlocks(&a, 8, 5), 0);
    EXPECT_EQ(GetGlobalBlockCount(&a), 0);
    EXPECT_EQ(AddGlobalBlock(&a, 8), 1);  // still alive
    EXPECT_EQ(GetGlobalBlockCount(&a), 1);
}
