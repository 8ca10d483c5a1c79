#include "platform/thread/PhysicalMemory.h"
#include "platform/thread/Timing.h"

#include <gtest/gtest.h>

using namespace plat;

TEST(PhysicalMemory, SaturatesAt32Bits) {
    struct Case {
        uint64_t bytes;
        uint32_t expected;
    } cases[] = {
        {0, 0},
        {64ull << 20, 64u << 20},
        {0xFFFFFFFFull, 0xFFFFFFFFu},
        {0x100000000ull, 0xFFFFFFFFu},   // 4 GiB must not wrap to 0
        {8ull << 30, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        setPhysicalMemorySource([&] { return c.bytes; });
        EXPECT_EQ(totalPhysicalMemory32(), c.expected) << c.bytes;
    }
    setPhysicalMemorySource({});
    EXPECT_GT(totalPhysicalMemory32(), 0u);
}

TEST(Timing, TicksAdvanceAcrossASleep) {
    uint32_t before = tickCount();
    sleepMs(20);
    uint32_t elapsed = tickCount() - before;   // unsigned difference survives the wrap
    EXPECT_GE(elapsed, 20u);
}
