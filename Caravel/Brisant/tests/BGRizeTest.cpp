// BGR layout filter and the tone enhancement function.
#include "Caravel/Brisant/BGRizeFilter.h"
#include "Caravel/Brisant/VorelEnhance.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace brisant_test;

namespace {

using Chain = FilterChain<CBGRizeFilter>;

Picture Reference(const Picture& src)
{
    Picture out = MakePicture(src.width, src.height, 38);
    const bool rgb = src.colorSpace == 32 || src.colorSpace == 33;
    for (int32_t y = 0; y < src.height; ++y)
        for (int32_t x = 0; x < src.width; ++x)
            for (int32_t k = 0; k < 3; ++k) {
                const uint32_t v = src.At(x, y, rgb ? 2 - k : 0);
                out.Set(x, y, k, src.Wide() ? v >> 8 : v);
            }
    return out;
}

using Spy = NotificationSpy;

}  // namespace

class BGRizeTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(BGRizeTiles, TiledOutputEqualsTheWholePictureReference)
{
    const auto [code, tile] = GetParam();
    const Picture src = NoisePicture(tile == 1 ? 9 : 37, tile == 1 ? 5 : 23, code, 3);
    Chain c(tile, src);
    const Picture out = ReadAll(c.filter.get());
    ASSERT_EQ(out.colorSpace, 38);
    EXPECT_EQ(out.bytes, Reference(src).bytes);
}

INSTANTIATE_TEST_SUITE_P(CodesAndTiles, BGRizeTiles,
                         testing::Combine(testing::Values(2, 3, 32, 33), testing::Values(1, 7, 64)));

TEST(BGRize, KnownPixelsAndTileHeader)
{
    Picture p = MakePicture(1, 1, 33);
    p.Set(0, 0, 0, 0x1234);
    p.Set(0, 0, 1, 0x5678);
    p.Set(0, 0, 2, 0x9ABC);
    Chain c(16, p);
    void* bits = nullptr;
    VeltraBitmapHeader* h = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->LockTile(&bits, 0, 0, &h)));
    const auto* b = static_cast<const unsigned char*>(bits);
    EXPECT_EQ(b[0], 0x9A);
    EXPECT_EQ(b[1], 0x56);
    EXPECT_EQ(b[2], 0x12);
    ASSERT_TRUE(h);
    int32_t rowBytes = 0;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->GetRowBytes(&rowBytes)));
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 16);
    EXPECT_EQ(h->biHeight, -16);
    EXPECT_EQ(h->biBitCount, 24);
    EXPECT_EQ(h->biSizeImage, static_cast<uint32_t>(rowBytes) * 16u);
    EXPECT_EQ(h->biXPelsPerMeter, 3880);
    EXPECT_EQ(h->biYPelsPerMeter, 3880);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->UnlockTile(0, 0)));
}

TEST(BGRize, RefusesOtherCodes)
{
    Chain c(8, NoisePicture(4, 4, 34, 1));
    int32_t code = 0;
    VeltraErrorPtr e(c.filter->GetColorSpace(&code));
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->Root());
    EXPECT_STREQ(e->Root()->GetText(), "Bad source data color space");
}

TEST(BGRize, ASourceCodeChangeReachesDestinationsAsAPixelChange)
{
    Chain c(8, NoisePicture(5, 4, 32, 1));
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
    IVeltraDataDestination::ChangeColorSpace change{32, 33};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), kVeltraNotifyColorSpace, &change)));
    EXPECT_EQ(spy.codes, std::vector<int32_t>{kVeltraNotifyData});
}

TEST(VorelEnhance, FlatHistogramGivesARamp)
{
    std::vector<uint32_t> hist(256, 100), positions(256), levels(256);
    std::vector<uint16_t> lut(256);
    EXPECT_FALSE(VorelEnhance(50, hist.data(), 8, lut.data(), 8, 8, positions.data(), levels.data()));
    for (uint32_t x = 0; x < 256; ++x)
        ASSERT_EQ(lut[x], 1 + 255 * x / 256) << x;
}

TEST(VorelEnhance, EdgeHistogramsStayInsideTheirArraysAndTheTable)
{
    // a crossing at every bin: alternating full and empty bins
    std::vector<uint32_t> alternating(256);
    for (size_t i = 0; i < alternating.size(); ++i)
        alternating[i] = (i % 2) ? 0 : 1000;
    // an empty histogram has no final level
    std::vector<uint32_t> empty(256, 0);
    // a histogram whose peak times the percentage passes 32 bits
    std::vector<uint32_t> huge(256, 50000000u);
    for (const auto* hist : {&alternating, &empty, &huge}) {
        std::vector<uint32_t> positions(256), levels(256);
        std::vector<uint16_t> lut(65536);
        EXPECT_FALSE(VorelEnhance(100, hist->data(), 8, lut.data(), 16, 16, positions.data(), levels.data()));
        for (size_t x = 1; x < lut.size(); ++x)
            ASSERT_LE(lut[x - 1], lut[x]) << x;  // a tone curve never falls
    }
    std::vector<uint16_t> lut(256);
    ASSERT_FALSE(VorelEnhance(100, empty.data(), 8, lut.data(), 8, 8, nullptr, nullptr));
    for (uint32_t x = 0; x < 256; ++x)
        ASSERT_EQ(lut[x], x);  // identity when nothing crossed the threshold
    ASSERT_FALSE(VorelEnhance(50, huge.data(), 8, lut.data(), 8, 8, nullptr, nullptr));
    for (uint32_t x = 0; x < 256; ++x)
        ASSERT_EQ(lut[x], 1 + 255 * x / 256);  // the same ramp as a small flat histogram
}

// Arguments it cannot build a table from are reported as a failure, and the table is left alone.
TEST(VorelEnhance, RefusedArgumentsAreReportedAndLeaveTheTable)
{
    std::vector<uint32_t> hist(1u << 8, 100);
    std::vector<uint16_t> lut(256, 0xBEEF);
    struct Case {
        const char* name;
        const uint32_t* histogram;
        uint32_t histogramBits;
        uint16_t* table;
        int32_t indexBits, valueBits;
    } cases[] = {
        {"no histogram", nullptr, 8, lut.data(), 8, 8},
        {"no table", hist.data(), 8, nullptr, 8, 8},
        {"histogram of 25 bits", hist.data(), 25, lut.data(), 8, 8},
        {"negative index bits", hist.data(), 8, lut.data(), -1, 8},
        {"index of 25 bits", hist.data(), 8, lut.data(), 25, 8},
        {"values of 0 bits", hist.data(), 8, lut.data(), 8, 0},
        {"values of 17 bits", hist.data(), 8, lut.data(), 8, 17},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(VorelEnhance(50, c.histogram, c.histogramBits, c.table, c.indexBits, c.valueBits, nullptr, nullptr))
            << c.name;
        EXPECT_EQ(std::count(lut.begin(), lut.end(), 0xBEEF), 256) << c.name;
    }
}

TEST(BGRize, APartialSourceChangeIsProducedAgain)
{
    Picture src = NoisePicture(37, 23, 32, 6);
    Chain c(7, src);
    ASSERT_EQ(ReadAll(c.filter.get()).bytes, Reference(src).bytes);
    ChangeBlock(&src, c.image.get(), {10, 5, 16, 12});
    EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src).bytes);
}
