#include "Caravel/Tintara/AlignedBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>

using tintara::AlignedBuffer;

TEST(AlignedBuffer, GrowsByTheReuseRule)
{
    AlignedBuffer<std::uint8_t> b;
    ASSERT_EQ(b.Resize(30, 1), 0);
    EXPECT_EQ(b.capacity(), 100u);
    b[29] = 0x5A;
    const std::uint8_t* block = b.data();

    ASSERT_EQ(b.Resize(90, 1), 0); // within the capacity: same block, contents kept
    EXPECT_EQ(b.data(), block);
    EXPECT_EQ(b[29], 0x5A);
    EXPECT_EQ(b.size(), 90u);

    ASSERT_EQ(b.Resize(101, 1), 0);
    EXPECT_EQ(b.capacity(), 151u);

    ASSERT_EQ(b.Resize(10, 1), 0); // 10 is not above 151 - 100: a new block
    EXPECT_EQ(b.capacity(), 100u);

    ASSERT_EQ(b.Resize(0, 1), 0);
    EXPECT_EQ(b.capacity(), 0u);
    EXPECT_EQ(b.data(), nullptr);
}

TEST(AlignedBuffer, AlignmentChangeReallocatesAndAligns)
{
    AlignedBuffer<std::uint16_t> b;
    ASSERT_EQ(b.Resize(40, 1), 0);
    ASSERT_EQ(b.Resize(40, 8), 0);
    EXPECT_EQ(b.alignment(), 8u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.data()) % 8, 0u);
}

TEST(AlignedBuffer, ImpossibleSizeReportsNoMemory)
{
    AlignedBuffer<std::uint16_t> b;
    EXPECT_EQ(b.Resize(SIZE_MAX / 2, 1), 2);
    EXPECT_EQ(b.size(), 0u);
    EXPECT_EQ(b.capacity(), 0u);
}
