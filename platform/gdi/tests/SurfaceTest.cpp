#include "platform/gdi/Dib.h"
#include "platform/gdi/Surface.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace plat::gdi;

namespace {
// A 4 x 2 colour DIB whose pixel (x, y) (y from the top) has red 10x + 1, green 100 + y.
std::vector<uint8_t> patternDib() {
    auto block = makeDib(4, 2, 24);
    uint8_t* bits = block.data() + 40;
    const uint32_t stride = dibStride(4, 24);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            uint8_t* p = bits + (1 - y) * stride + x * 3;   // bottom-up
            p[0] = 7; p[1] = uint8_t(100 + y); p[2] = uint8_t(10 * x + 1);
        }
    return block;
}
}  // namespace

TEST(Surface, StretchTakesTheNearestSourcePixel) {
    auto dib = patternDib();
    ImageSurface s(20, 20);
    ASSERT_TRUE(s.stretchDib(0, 0, 8, 4, dib.data(), dib.size()));   // double size
    ASSERT_TRUE(s.stretchDib(10, 10, 2, 1, dib.data(), dib.size()));  // half size
    const QImage& img = s.image();
    EXPECT_EQ(qRed(img.pixel(0, 0)), 1);
    EXPECT_EQ(qRed(img.pixel(3, 0)), 11);
    EXPECT_EQ(qRed(img.pixel(7, 3)), 31);
    EXPECT_EQ(qGreen(img.pixel(7, 3)), 101);
    EXPECT_EQ(qBlue(img.pixel(7, 3)), 7);
    EXPECT_EQ(qRed(img.pixel(10, 10)), 1);   // floor(0 * 4 / 2)
    EXPECT_EQ(qRed(img.pixel(11, 10)), 21);  // floor(1 * 4 / 2)
    EXPECT_EQ(img.pixel(12, 10), qRgb(255, 255, 255));
}

TEST(Surface, StretchIsClippedToTheSurfaceAndRefusesBadBlocks) {
    auto dib = patternDib();
    ImageSurface s(4, 4);
    EXPECT_TRUE(s.stretchDib(-2, -1, 8, 4, dib.data(), dib.size()));
    EXPECT_EQ(qRed(s.image().pixel(0, 0)), 11);
    EXPECT_FALSE(s.stretchDib(0, 0, 4, 4, dib.data(), 30));
}

TEST(Surface, HiMetricMapsTenthsOfMillimetresDownThePage) {
    ImageSurface s(300, 300, 254);   // 1 pixel = 0.1 mm = 10 units
    s.setMapping(Mapping::HiMetric);
    EXPECT_EQ(s.toDeviceX(1000), 100);
    EXPECT_EQ(s.toDeviceY(-1000), 100);
    s.fill(1000, -1000, 100, 100, 0, 0, 0);
    EXPECT_EQ(s.image().pixel(100, 100), qRgb(0, 0, 0));
    EXPECT_EQ(s.image().pixel(99, 100), qRgb(255, 255, 255));
    EXPECT_EQ(s.pointsToUnits(72), 2540);
}

TEST(Surface, GlyphsAreOneBitBoxesWithAnAdvance) {
    ImageSurface s(100, 100);
    ASSERT_TRUE(s.setFont("DejaVu Sans", 20));
    GlyphBitmap g;
    ASSERT_TRUE(s.glyph(U'H', &g));
    EXPECT_GT(g.blackBoxX, 5u);
    EXPECT_GT(g.blackBoxY, 8u);
    EXPECT_EQ(g.pitch % 4, 0u);
    EXPECT_GT(g.cellIncX, int32_t(g.blackBoxX) - 1);
    EXPECT_TRUE(g.bit(0, 0));   // the left stem reaches the box corner
    GlyphBitmap space;
    ASSERT_TRUE(s.glyph(U' ', &space));
    EXPECT_EQ(space.blackBoxX, 0u);
    EXPECT_GT(space.cellIncX, 0);
    EXPECT_GT(s.textWidth("HH"), s.textWidth("H"));
}

TEST(Surface, Utf8DecodingNeverReadsPastTheEnd) {
    EXPECT_EQ(decodeUtf8("A\xC3\xA9"), U"A\u00E9");
    EXPECT_EQ(decodeUtf8("A\xE3\x81"), U"A\uFFFD\uFFFD");
    EXPECT_EQ(decodeUtf8("\xFF"), U"\uFFFD");
}
