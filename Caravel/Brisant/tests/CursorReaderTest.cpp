// Pixel cursors and the tiled source reader.
#include "Caravel/Brisant/TiledSourceReader.h"
#include "Caravel/Brisant/VeltraFilterBase.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace brisant_test;
using BitPtr = CVeltraFilterBase::CPixelBitPtr;
using PixelPtr = CVeltraFilterBase::CPixelPtr;

TEST(PixelBitPtr, MovesCarryBitsIntoThePointer)
{
    unsigned char buf[16] = {};
    struct Case {
        int32_t colorSpace, startBit, move;
        ptrdiff_t bytes;
        int32_t bit;
    } cases[] = {
        {1, 7, 1, 1, 0},    // IncX from bit 7 lands on bit 0 of the next byte
        {1, 0, -1, -1, 7},  // DecX from bit 0 lands on bit 7 of the previous byte
        {1, 1, -3, -1, 6},
        {16, 5, 11, 2, 0},
        {2, 3, 2, 2, 0},    // 8-bit pixels: the bit is aligned to 0
        {33, 3, 2, 12, 0},  // whole-byte pixels: 6 bytes per step
    };
    for (const Case& c : cases) {
        BitPtr p(buf + 8, c.startBit, c.colorSpace, 4);
        p.MoveX(c.move);
        EXPECT_EQ(p.GetPtr() - (buf + 8), c.bytes) << c.colorSpace << " " << c.startBit << " " << c.move;
        EXPECT_EQ(p.GetBit(), c.bit);
    }
    PixelPtr q(buf, 33, 4);
    q.IncX();
    EXPECT_EQ(q.GetPtr() - buf, 6);
}

TEST(PixelBitPtr, SetPixelWritesOnlyThePixelsBits)
{
    unsigned char d = 0xFF;
    BitPtr one(&d, 3, 1, 1);
    one.SetPixel(0);
    EXPECT_EQ(d, 0xEF);
    EXPECT_EQ(one.GetPixel(), 0);
    one.SetPixel(3);  // masked to the pixel's one bit
    EXPECT_EQ(d, 0xFF);
    unsigned char e = 0x00;
    BitPtr whole(&e, 0, 2, 1);
    whole.SetPixel(7);  // 8-bit pixels have no sub-byte value
    EXPECT_EQ(e, 0x00);
    EXPECT_EQ(whole.GetPixel(), 0);
}

TEST(PixelBitPtr, ComparisonsOrderByPointerThenBit)
{
    unsigned char buf[2] = {};
    BitPtr a(buf, 1, 1, 2), b(buf, 5, 1, 2), c(buf + 1, 0, 1, 2);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, BitPtr(buf, 1, 1, 2));
}

TEST(PixelBitPtr, BitStreamCopyMatchesAPixelByPixelCopyAndKeepsEveryOtherBit)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        unsigned char src[12], dst[12], expect[12];
        for (int i = 0; i < 12; ++i)
            src[i] = static_cast<unsigned char>(rng());
        for (int i = 0; i < 12; ++i)
            dst[i] = expect[i] = static_cast<unsigned char>(rng());
        const int s = static_cast<int>(rng() % 8), d = static_cast<int>(rng() % 8);
        const int n = static_cast<int>(rng() % 70);
        // naive reference, one bit at a time
        for (int k = 0; k < n; ++k) {
            const int sb = s + k, db = d + k;
            const int v = (src[sb / 8] >> (7 - sb % 8)) & 1;
            expect[db / 8] = static_cast<unsigned char>((expect[db / 8] & ~(1 << (7 - db % 8))) | (v << (7 - db % 8)));
        }
        BitPtr from(src, s, 1, 12), to(dst, d, 1, 12);
        from.CopyPixelsTo(to, n);
        ASSERT_EQ(0, std::memcmp(dst, expect, 12)) << "s=" << s << " d=" << d << " n=" << n;
    }
    // 20 one-bit pixels, both at bit 0: two whole bytes and the top four bits of a third
    unsigned char a[3] = {0xAB, 0xCD, 0xEF}, b[3] = {0, 0, 0x0F};
    BitPtr(a, 0, 1, 3).CopyPixelsTo(*std::make_unique<BitPtr>(b, 0, 1, 3), 20);
    EXPECT_EQ(b[0], 0xAB);
    EXPECT_EQ(b[1], 0xCD);
    EXPECT_EQ(b[2], 0xEF);
}

namespace {
struct ReaderFixture {
    explicit ReaderFixture(int32_t tile, int32_t w, int32_t h)
        : manager(MakeManager(tile)), picture(NoisePicture(w, h, 2, 5)), image(MakeImage(manager.get(), picture))
    {
    }
    ManagerPtr manager;
    Picture picture;
    ImagePtr image;
};
}  // namespace

TEST(TiledSourceReader, StepsAcrossTileEdgesReadTheRightPixels)
{
    ReaderFixture f(7, 37, 23);
    TiledSourceReader reader(f.image.get(), 2, 1, 1);
    // walk each row right, then each column down, from one pixel outside to one outside
    for (int32_t y = -1; y <= 23; ++y) {
        ASSERT_FALSE(VeltraErrorPtr(reader.MoveTo(-1, y)));
        for (int32_t x = -1; x <= 37; ++x) {
            const int32_t cx = std::clamp(x, 0, 36), cy = std::clamp(y, 0, 22);
            ASSERT_EQ(*reader.Pixel(), f.picture.At(cx, cy, 0)) << x << "," << y;
            ASSERT_FALSE(VeltraErrorPtr(reader.StepRight()));
        }
    }
    for (int32_t x = 0; x < 37; x += 5) {
        ASSERT_FALSE(VeltraErrorPtr(reader.MoveTo(x, 24)));
        for (int32_t y = 24; y >= -2; --y) {
            ASSERT_EQ(*reader.Pixel(), f.picture.At(x, std::clamp(y, 0, 22), 0)) << x << "," << y;
            ASSERT_FALSE(VeltraErrorPtr(reader.StepUp()));
        }
    }
}

TEST(TiledSourceReader, AFetchAtAFoldedEdgeDoesNotKeepStaleRuns)
{
    ReaderFixture f(8, 20, 4);
    TiledSourceReader reader(f.image.get(), 2, 1, 1);
    // leave the cursor mid-tile with free runs to the right
    ASSERT_FALSE(VeltraErrorPtr(reader.Fetch(3, 0)));
    EXPECT_GT(reader.FreeRight(), 0);
    // an edge fetch: x = -1 folds to 0; the next step must read x = 0 again, not x = 1
    ASSERT_FALSE(VeltraErrorPtr(reader.Fetch(-1, 1)));
    EXPECT_EQ(reader.FreeRight(), 0);
    EXPECT_EQ(*reader.Pixel(), f.picture.At(0, 1, 0));
    ASSERT_FALSE(VeltraErrorPtr(reader.StepRight()));
    EXPECT_EQ(*reader.Pixel(), f.picture.At(0, 1, 0));
    ASSERT_FALSE(VeltraErrorPtr(reader.StepRight()));
    EXPECT_EQ(*reader.Pixel(), f.picture.At(1, 1, 0));
}

TEST(TiledSourceReader, PeriodicFoldingKeepsThePhase)
{
    ReaderFixture f(8, 9, 5);
    struct Case {
        int32_t x, y, period, fx, fy;
    } cases[] = {
        {-1, -1, 2, 1, 1}, {-2, 0, 2, 0, 0}, {9, 5, 2, 7, 3}, {10, 6, 2, 8, 4}, {-3, 7, 1, 0, 4},
    };
    for (const Case& c : cases) {
        TiledSourceReader reader(f.image.get(), 2, c.period, c.period);
        ASSERT_FALSE(VeltraErrorPtr(reader.Fetch(c.x, c.y)));
        EXPECT_EQ(*reader.Pixel(), f.picture.At(c.fx, c.fy, 0)) << c.x << "," << c.y;
        EXPECT_TRUE(reader.FoldedX());
    }
    // a period wider than a one-pixel source still lands on a pixel
    ReaderFixture one(8, 1, 1);
    TiledSourceReader reader(one.image.get(), 2, 2, 2);
    ASSERT_FALSE(VeltraErrorPtr(reader.Fetch(-1, 3)));
    ASSERT_NE(reader.Pixel(), nullptr);
    EXPECT_EQ(*reader.Pixel(), one.picture.At(0, 0, 0));
}

TEST(TiledSourceReader, ReleaseUnlocksEveryHeldTile)
{
    ReaderFixture f(4, 16, 16);
    {
        TiledSourceReader reader(f.image.get(), 3, 1, 1);
        for (int32_t i = 0; i < 16; i += 4)
            ASSERT_FALSE(VeltraErrorPtr(reader.Fetch(i, i)));
    }
    // every lock was balanced: one more unlock of any tile fails
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_TRUE(VeltraErrorPtr(f.image->UnlockTile(i, i)));
}
