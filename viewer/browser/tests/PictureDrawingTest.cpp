#include "viewer/browser/ImageBuffer.h"
#include "viewer/browser/PictureDrawing.h"

#include <QGuiApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {

class PictureDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);
    }
};

// Pixel (x, y) of the pattern: red x mod 256, green y mod 256, blue 7 (grey: x mod 256).
std::unique_ptr<PictureRecord> Pattern(int32_t w, int32_t h, bool single, bool grey = false) {
    const int32_t channels = grey ? 1 : 3;
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * size_t(channels));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = &pixels[(size_t(y) * size_t(w) + size_t(x)) * size_t(channels)];
            p[0] = uint8_t(x);
            if (!grey) { p[1] = uint8_t(y); p[2] = 7; }
        }
    CImageBuffer buffer;
    std::unique_ptr<PictureRecord> record;
    ImageDescription d{w, h, 1, grey ? 2 : 3};
    EXPECT_EQ(MakePictureRecord(buffer, single, "P.JPG", d, pixels.size(), pixels.data(), record), 1);
    return record;
}

QRgb Expected(int x, int y) { return qRgb(x & 255, y & 255, 7); }

}  // namespace

TEST_F(PictureDrawing, WholePictureAtFullSizeWithoutThePaddingColumns) {
    auto r = Pattern(1001, 700, false);
    ASSERT_EQ(r->tilesAcross, 5u);
    plat::gdi::ImageSurface s(1010, 700);
    std::atomic<bool> go{true};
    EXPECT_EQ(DrawPictureTiles(s, *r, go, {0, 0, 1010, 700}, 1.0, 0, 0), 1);
    const QImage& img = s.image();
    for (auto [x, y] : {std::pair{0, 0}, {215, 216}, {500, 600}, {1000, 699}, {1000, 0}})
        EXPECT_EQ(img.pixel(x, y), Expected(x, y)) << x << "," << y;
    EXPECT_EQ(img.pixel(1001, 5), qRgb(255, 255, 255));   // no black stripe
}

TEST_F(PictureDrawing, ZoomClipScrollAndStop) {
    auto r = Pattern(1001, 700, false);
    const ScaledTiles half = ScaleTiles(*r, 0.5);
    EXPECT_EQ(half.tileWidth, 108);
    EXPECT_EQ(half.lastColumnWidth, 68);   // trunc(137 x 0.5)
    EXPECT_EQ(half.totalHeight, 26 + 3 * 108);

    std::atomic<bool> go{true};
    plat::gdi::ImageSurface clipped(1001, 700);
    DrawPictureTiles(clipped, *r, go, {0, 0, 10, 10}, 1.0, 0, 0);
    EXPECT_EQ(clipped.image().pixel(5, 5), Expected(5, 5));
    EXPECT_EQ(clipped.image().pixel(500, 600), qRgb(255, 255, 255));

    plat::gdi::ImageSurface scrolled(100, 100);
    DrawPictureTiles(scrolled, *r, go, {0, 0, 2002, 1400}, 2.0, 100, 50);
    EXPECT_EQ(scrolled.image().pixel(0, 0), Expected(50, 25));

    std::atomic<bool> stop{false};
    plat::gdi::ImageSurface none(100, 100);
    DrawPictureTiles(none, *r, stop, {0, 0, 1001, 700}, 1.0, 0, 0);
    EXPECT_EQ(none.image().pixel(0, 0), qRgb(255, 255, 255));
}

TEST_F(PictureDrawing, QuarterTurnsKeepEveryPixelAtBothDepths) {
    for (bool grey : {false, true}) {
        auto r = Pattern(64, 43, true, grey);
        const std::vector<uint8_t> before = r->blocks[0].block;
        BrowserItemList items;
        items.emplace_back("P.JPG", true);
        items[0].record = std::move(r);
        ASSERT_EQ(RotateSelectedThumbnails(items, 1), 1);
        PictureRecord& turned = *items[0].record;
        EXPECT_EQ(turned.width, 43u);
        EXPECT_EQ(turned.height, 64u);
        EXPECT_EQ(turned.rotation, 1);
        plat::gdi::ImageSurface s(43, 64);
        std::atomic<bool> go{true};
        DrawPictureTiles(s, turned, go, {0, 0, 43, 64}, 1.0, 0, 0);
        // Clockwise: the new top left is the old bottom left, the new top right the old top left.
        const QRgb bottomLeft = grey ? qRgb(0, 0, 0) : Expected(0, 42);
        EXPECT_EQ(s.image().pixel(0, 0), bottomLeft);
        EXPECT_EQ(s.image().pixel(42, 0), grey ? qRgb(0, 0, 0) : Expected(0, 0));
        EXPECT_EQ(s.image().pixel(42, 63), grey ? qRgb(63, 63, 63) : Expected(63, 0));
        for (int i = 0; i < 3; ++i) RotateSelectedThumbnails(items, 1);
        EXPECT_EQ(items[0].record->rotation, 0);
        EXPECT_EQ(items[0].record->blocks[0].block, before);
        RotateSelectedThumbnails(items, 3);
        EXPECT_EQ(items[0].record->rotation, 3);
    }
}

TEST(ThumbCell, LandscapeAndPortraitAreCentred) {
    int32_t x = 0, y = 0;
    CentreThumbInCell(96, 72, 100, 200, 96, &x, &y);
    EXPECT_EQ(x, 103);
    EXPECT_EQ(y, 215);
    CentreThumbInCell(72, 96, 100, 200, 96, &x, &y);
    EXPECT_EQ(x, 115);
    EXPECT_EQ(y, 203);
}
