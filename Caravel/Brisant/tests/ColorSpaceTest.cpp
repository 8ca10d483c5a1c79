// Colour space filter: every conversion against a whole-picture reference at several tile sizes,
// the narrowing against the imaging tools, pass-through and notifications.
#include "Caravel/Brisant/VeltraFilterColorSpace.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace brisant_test;
using CS = CVeltraFilterColorSpace;

namespace {

using Chain = FilterChain<CS>;

// The conversion written out per pixel on a whole picture.
Picture Reference(const Picture& src, int32_t outCode)
{
    Picture out = MakePicture(src.width, src.height, outCode);
    const bool srcWide = src.Wide();
    const bool srcRgb = src.colorSpace == 32 || src.colorSpace == 33;
    const bool outWide = out.Wide();
    const bool outRgb = outCode == 32 || outCode == 33;
    for (int32_t y = 0; y < src.height; ++y) {
        for (int32_t x = 0; x < src.width; ++x) {
            uint32_t c[3];
            for (int i = 0; i < 3; ++i) {
                const uint32_t v = src.At(x, y, srcRgb ? i : 0);
                c[i] = srcWide ? v : v * 257;  // work in 16 bits
            }
            if (!outRgb) {
                uint32_t grey;
                if (!srcRgb)
                    grey = c[0];
                else if (srcWide || outWide)
                    grey = (2 * c[0] + 5 * c[1] + c[2]) >> 3;
                else  // 8-bit to 8-bit grey works on the bytes
                    grey = ((2 * (c[0] >> 8) + 5 * (c[1] >> 8) + (c[2] >> 8)) >> 3) * 257;
                if (srcWide && !outWide)
                    out.Set(x, y, 0, grey >> 8);
                else
                    out.Set(x, y, 0, outWide ? grey : grey >> 8);
            } else {
                for (int i = 0; i < 3; ++i)
                    out.Set(x, y, i, outWide ? c[i] : c[i] >> 8);
            }
        }
    }
    return out;
}

int32_t Code(int32_t planes, int32_t depth)
{
    static const int32_t table[2][2] = {{2, 3}, {32, 33}};
    return table[planes - 1][depth - 1];
}

using Spy = NotificationSpy;

}  // namespace

class ColorSpaceTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(ColorSpaceTiles, EveryConversionEqualsTheWholePictureReference)
{
    const auto [sourceCode, tile] = GetParam();
    const int32_t w = tile == 1 ? 11 : 37, h = tile == 1 ? 7 : 23;
    const Picture src = NoisePicture(w, h, sourceCode, 11);
    for (int32_t planes = 0; planes <= 2; ++planes) {
        for (int32_t depth = 0; depth <= 2; ++depth) {
            Chain c(tile, src);
            ASSERT_FALSE(VeltraErrorPtr(c.filter->SetOutputColorSpace(static_cast<CS::eOutputColorSpace>(planes),
                                                                     static_cast<CS::eOutputBitDepth>(depth), true)));
            const int32_t srcPlanes = sourceCode >= 32 ? 2 : 1, srcDepth = (sourceCode == 3 || sourceCode == 33) ? 2 : 1;
            const int32_t outCode = Code(planes ? planes : srcPlanes, depth ? depth : srcDepth);
            EXPECT_EQ(c.filter->IsPassThrough(), outCode == sourceCode);
            const Picture out = ReadAll(c.filter.get());
            ASSERT_EQ(out.colorSpace, outCode);
            EXPECT_EQ(out.bytes, Reference(src, outCode).bytes)
                << "source " << sourceCode << " planes " << planes << " depth " << depth << " tile " << tile;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CodesAndTiles, ColorSpaceTiles,
                         testing::Combine(testing::Values(2, 3, 32, 33), testing::Values(1, 7, 64)));

TEST(ColorSpace, KnownValues)
{
    struct Case {
        int32_t sourceCode;
        std::vector<uint32_t> pixel;
        int32_t planes, depth;
        std::vector<uint32_t> expect;
    } cases[] = {
        {33, {0xFFFF, 0x80FF, 0x00FF}, 0, 1, {0xFF, 0x80, 0x00}},
        {32, {255, 0, 0}, 1, 1, {63}},
        {32, {0, 255, 0}, 1, 1, {159}},
        {32, {0, 0, 255}, 1, 1, {31}},
        {32, {255, 255, 255}, 1, 1, {255}},
        {32, {255, 255, 255}, 1, 2, {65535}},
    };
    for (const Case& k : cases) {
        Picture p = MakePicture(1, 1, k.sourceCode);
        for (size_t i = 0; i < k.pixel.size(); ++i)
            p.Set(0, 0, static_cast<int32_t>(i), k.pixel[i]);
        Chain c(8, p);
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetOutputColorSpace(static_cast<CS::eOutputColorSpace>(k.planes),
                                                                 static_cast<CS::eOutputBitDepth>(k.depth), false)));
        const Picture out = ReadAll(c.filter.get());
        for (size_t i = 0; i < k.expect.size(); ++i)
            EXPECT_EQ(out.At(0, 0, static_cast<int32_t>(i)), k.expect[i]);
    }
}

TEST(ColorSpace, UnknownSourceIsRefusedWhenATileIsMade)
{
    Chain c(8, NoisePicture(5, 5, 34, 2));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetOutputColorSpace(CS::eOutputColorSpaceRGB, CS::eOutputBitDepth8, false)));
    int32_t code = 0;
    EXPECT_FALSE(VeltraErrorPtr(c.filter->GetColorSpace(&code)));
    EXPECT_EQ(code, 32);
    void* bits = nullptr;
    VeltraErrorPtr e(c.filter->LockTile(&bits, 0, 0, nullptr));
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->Root());
    EXPECT_STREQ(e->Root()->GetText(), "Bad source data color space");
    // the failed tile is not served as if it were good
    VeltraErrorPtr again(c.filter->LockTile(&bits, 0, 0, nullptr));
    EXPECT_TRUE(again);
}

namespace {
}  // namespace

TEST(ColorSpace, NotifiesOnceAndTurnsASourceCodeChangeIntoAPixelChange)
{
    Chain c(8, NoisePicture(9, 6, 33, 4));
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetOutputColorSpace(CS::eOutputColorSpaceSource, CS::eOutputBitDepth8, true)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetOutputColorSpace(CS::eOutputColorSpaceSource, CS::eOutputBitDepth8, true)));
    ASSERT_EQ(spy.codes, (std::vector<int32_t>{2}));
    EXPECT_EQ(spy.colorSpace.oldColorSpace, 33);
    EXPECT_EQ(spy.colorSpace.newColorSpace, 32);
    // the source turns from 33 to 32: the output stays 32, so every pixel changed instead
    IVeltraDataDestination::ChangeColorSpace change{33, 32};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), 2, &change)));
    ASSERT_EQ(spy.codes.back(), 0);
    EXPECT_EQ(spy.rect.right, 9);
    EXPECT_EQ(spy.rect.bottom, 6);
    EXPECT_TRUE(c.filter->IsPassThrough());
}

TEST(ColorSpace, NarrowingMatchesVipsMsb)
{
    if (!ToolAvailable("vips"))
        GTEST_SKIP() << "vips is not installed";
    for (int32_t code : {33, 3}) {
        const Picture src = NoisePicture(37, 23, code, 21);
        const std::string in = TempPath("msb_in.pnm"), out = TempPath("msb_out.pnm");
        WritePnm(in, src);
        ASSERT_TRUE(RunTool("vips msb " + in + " " + out));
        Picture expect;
        ASSERT_TRUE(ReadPnm(out, &expect));
        std::remove(in.c_str());
        std::remove(out.c_str());
        for (int32_t tile : {7, 64}) {
            Chain c(tile, src);
            ASSERT_FALSE(VeltraErrorPtr(c.filter->SetOutputColorSpace(CS::eOutputColorSpaceSource, CS::eOutputBitDepth8, true)));
            const Picture got = ReadAll(c.filter.get());
            EXPECT_EQ(got.bytes, expect.bytes) << "code " << code << " tile " << tile;
        }
    }
}

// The source widens from 8 to 16 bits while a reader holds one of the filter's tiles: the
// held tile cannot grow then, but once it is free the filter makes it again at the new
// size, and the output is the conversion of the new source.
TEST(ColorSpace, ASourceThatWidensWhileATileIsHeldIsConvertedAtItsNewSizeOnceFree)
{
    Chain c(8, NoisePicture(8, 8, 2, 6));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetOutputColorSpace(CS::eOutputColorSpaceRGB, CS::eOutputBitDepthSource, true)));
    void* held = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->LockTile(&held, 0, 0, nullptr)));

    const Picture wide = NoisePicture(8, 8, 3, 7);
    ASSERT_FALSE(VeltraErrorPtr(c.image->SetColorSpace(3)));
    ASSERT_FALSE(VeltraErrorPtr(c.image->SetData(const_cast<uint8_t*>(wide.bytes.data()), wide.RowBytes(),
                                                 VeltraRect{0, 0, 8, 8})));
    IVeltraDataDestination::ChangeColorSpace change{2, 3};
    VeltraErrorPtr(VeltraSendDataNotification(c.image.get(), 2, &change));
    void* again = nullptr;
    if (!VeltraErrorPtr(c.filter->LockTile(&again, 0, 0, nullptr))) {
        ASSERT_FALSE(VeltraErrorPtr(c.filter->UnlockTile(0, 0)));
    }
    ASSERT_FALSE(VeltraErrorPtr(c.filter->UnlockTile(0, 0)));

    const Picture got = ReadAll(c.filter.get());
    EXPECT_EQ(got.colorSpace, 33);
    EXPECT_EQ(got.bytes, Reference(wide, 33).bytes);
}
