#include "platform/gdi/Dib.h"

#include <gtest/gtest.h>

using namespace plat::gdi;

TEST(Dib, StrideRoundsRowsToWholeWords) {
    struct { uint32_t width, bits, stride; } cases[] = {
        {1, 24, 4}, {4, 24, 12}, {5, 24, 16}, {137, 24, 412}, {1, 8, 4}, {5, 8, 8}, {216, 8, 216},
    };
    for (const auto& c : cases) EXPECT_EQ(dibStride(c.width, c.bits), c.stride) << c.width << "x" << c.bits;
}

TEST(Dib, MadeBlockCarriesHeaderPaletteAndZeroRows) {
    auto grey = makeDib(5, 3, 8);
    ASSERT_EQ(grey.size(), 1064u + 8 * 3);
    DibHeader h;
    ASSERT_TRUE(readDibHeader(grey.data(), grey.size(), &h));
    EXPECT_EQ(h.width, 5);
    EXPECT_EQ(h.height, 3);
    EXPECT_EQ(h.imageSize, 24u);
    EXPECT_EQ(grey[40 + 4 * 200], 200);   // palette entry 200: blue 200
    EXPECT_EQ(grey[40 + 4 * 200 + 3], 0);
    for (size_t i = 1064; i < grey.size(); ++i) ASSERT_EQ(grey[i], 0);

    auto colour = makeDib(137, 2, 24);
    ASSERT_EQ(colour.size(), 40u + 412 * 2);
}

TEST(Dib, RefusesUnusableSizesAndTruncatedBlocks) {
    EXPECT_TRUE(makeDib(0, 5, 24).empty());
    EXPECT_TRUE(makeDib(5, 5, 16).empty());
    EXPECT_TRUE(makeDib(65535, 65535, 24).empty());   // above the block limit
    auto block = makeDib(10, 10, 24);
    DibHeader h;
    EXPECT_FALSE(readDibHeader(block.data(), block.size() - 1, &h));
    EXPECT_FALSE(readDibHeader(block.data(), 20, &h));
}
