#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "outside/imagefile/JqFileLib.h"
#include "viewer/browser/ImageBuffer.h"
#include "viewer/sources/tests/LibraryFixture.h"

namespace {

uint32_t get32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }

// Pixel (x, y) of a record, read back through the tile grid.
const uint8_t* pixelAt(const PictureRecord& r, uint32_t x, uint32_t y, uint32_t bytesPerPixel) {
    const uint32_t line = r.height - 1 - y;  // bottom-up
    const uint32_t row = line / r.tileHeight;
    const uint32_t col = x / r.tileWidth;
    const BitmapRecord& t = r.blocks[row * r.tilesAcross + col];
    const uint32_t stride = (t.width * bytesPerPixel + 3) / 4 * 4;
    return t.bits() + (line % r.tileHeight) * stride + (x % r.tileWidth) * bytesPerPixel;
}

std::vector<uint8_t> gradient(uint32_t w, uint32_t h) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>(x ^ y);
        }
    return px;
}

TEST(PictureBuffer, TileGridOfAnUnevenPicture) {
    const uint32_t W = 1001, H = 700;
    const auto px = gradient(W, H);
    CImageBuffer b;
    PictureRecord r;
    ASSERT_EQ(BuildPictureTiles(b, false, {int32_t(W), int32_t(H), 1, 32}, px.size(), px.data(), r), 1);
    EXPECT_EQ(r.tileWidth, 216u);
    EXPECT_EQ(r.tilesAcross, 5u);
    EXPECT_EQ(r.tilesDown, 4u);
    EXPECT_EQ(r.lastColumnWidth, 140u);
    EXPECT_EQ(r.lastRowHeight, 52u);
    ASSERT_EQ(r.blocks.size(), 20u);
    // the top tile row is the last one, 52 rows high; the last column 140 wide
    const BitmapRecord& corner = r.blocks[19];
    EXPECT_EQ(corner.width, 140u);
    EXPECT_EQ(corner.height, 52u);
    EXPECT_EQ(get32(corner.block.data()), 40u);
    EXPECT_EQ(get32(corner.block.data() + 4), 140u);
    EXPECT_EQ(get32(corner.block.data() + 8), 52u);
    EXPECT_EQ(get32(corner.block.data() + 20), 52u * 420u);
    EXPECT_EQ(corner.size, 40u + 52u * 420u);
    // pixels land where they belong, in B,G,R order
    for (auto [x, y] : {std::pair<uint32_t, uint32_t>{0, 0}, {1000, 699}, {215, 216}, {864, 0}, {1000, 0}, {500, 647}}) {
        const uint8_t* p = pixelAt(r, x, y, 3);
        EXPECT_EQ(p[2], uint8_t(x)) << x << "," << y;
        EXPECT_EQ(p[1], uint8_t(y)) << x << "," << y;
        EXPECT_EQ(p[0], uint8_t(x ^ y)) << x << "," << y;
    }
    // the three padding pixels of the last column are zero
    const uint8_t* pad = pixelAt(r, 1001, 10, 3);
    EXPECT_EQ(pad[0] | pad[1] | pad[2] | pad[3] | pad[4] | pad[5] | pad[6] | pad[7] | pad[8], 0);
}

TEST(PictureBuffer, GreySingleTileHasWordAlignedRows) {
    const uint32_t W = 13, H = 5;
    std::vector<uint8_t> px(W * H);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i);
    CImageBuffer b;
    PictureRecord r;
    ASSERT_EQ(BuildPictureTiles(b, true, {int32_t(W), int32_t(H), 1, 2}, px.size(), px.data(), r), 1);
    ASSERT_EQ(r.blocks.size(), 1u);
    const BitmapRecord& t = r.blocks[0];
    EXPECT_EQ(t.headerSize, 1064u);
    EXPECT_EQ(t.size, 1064u + 16u * 5u);
    EXPECT_EQ(t.block[40 + 4 * 200], 200);  // grey palette
    EXPECT_EQ(*pixelAt(r, 12, 0, 1), 12);
    EXPECT_EQ(*pixelAt(r, 3, 4, 1), 4 * 13 + 3);
}

TEST(PictureBuffer, SixteenBitSamplesKeepTheirHighByte) {
    std::vector<uint16_t> px(8 * 8 * 3, 0x1234);
    CImageBuffer b;
    PictureRecord r;
    ASSERT_EQ(BuildPictureTiles(b, true, {8, 8, 2, 32}, px.size() * 2, reinterpret_cast<uint8_t*>(px.data()), r), 1);
    EXPECT_EQ(*pixelAt(r, 3, 3, 3), 0x12);
}

TEST(PictureBuffer, ShortPixelDataIsRefused) {
    std::vector<uint8_t> px(10);
    CImageBuffer b;
    PictureRecord r;
    EXPECT_EQ(BuildPictureTiles(b, true, {8, 8, 1, 32}, px.size(), px.data(), r), 0);
    EXPECT_TRUE(r.blocks.empty());
}

TEST(PictureBuffer, LoaderLimitsAndTurns) {
    LibraryRoot root;
    const auto dir = root.folder("pics");
    CImageBuffer b;
    std::unique_ptr<PictureRecord> r;
    LibraryRoot::writeJpeg(dir / "small.jpg", 71, 200);
    EXPECT_EQ(LoadImageBuffer(b, (dir / "small.jpg").string(), r, 0), kLoadCannotShow);
    EXPECT_FALSE(r);
    LibraryRoot::writeJpeg(dir / "edge.jpg", 72, 72);
    ASSERT_EQ(LoadImageBuffer(b, (dir / "edge.jpg").string(), r, 0), 0);
    EXPECT_EQ(r->name, "edge.jpg");
    EXPECT_EQ(r->tilesAcross * r->tilesDown, 1u);
    EXPECT_EQ(r->tileWidth, 72u);
    // a quarter turn clockwise puts the red left half on top
    LibraryRoot::writeJpeg(dir / "wide.jpg", 160, 80);
    ASSERT_EQ(LoadImageBuffer(b, (dir / "wide.jpg").string(), r, 1), 0);
    EXPECT_EQ(r->width, 80u);
    EXPECT_EQ(r->height, 160u);
    const uint8_t* top = pixelAt(*r, 40, 10, 3);
    EXPECT_GT(top[2], 200);  // red (B,G,R)
    const uint8_t* bottom = pixelAt(*r, 40, 150, 3);
    EXPECT_GT(bottom[0], 200);  // blue
    EXPECT_EQ(LoadImageBuffer(b, (dir / "missing.jpg").string(), r, 0), JQFL_CANNOT_OPEN);
}

// A camera that stood on its side writes the picture lying down with
// orientation 6: the viewer shows it upright, and its own turns come on top.
TEST(PictureBuffer, CameraOrientationShowsThePictureUpright) {
    LibraryRoot root;
    const auto dir = root.folder("pics");
    LibraryRoot::writeJpeg(dir / "side.jpg", 160, 80);   // red left, blue right, as stored
    ASSERT_TRUE(LibraryRoot::exiftool("-Orientation#=6", dir / "side.jpg"));
    CImageBuffer b;
    std::unique_ptr<PictureRecord> r;
    ASSERT_EQ(LoadImageBuffer(b, (dir / "side.jpg").string(), r, 0), 0);
    EXPECT_EQ(r->width, 80u);
    EXPECT_EQ(r->height, 160u);
    EXPECT_GT(pixelAt(*r, 40, 10, 3)[2], 200);    // red on top
    EXPECT_GT(pixelAt(*r, 40, 150, 3)[0], 200);   // blue below
    ASSERT_EQ(LoadImageBuffer(b, (dir / "side.jpg").string(), r, 1), 0);   // and a quarter more
    EXPECT_EQ(r->width, 160u);
    EXPECT_GT(pixelAt(*r, 150, 40, 3)[2], 200);   // red on the right
}

TEST(PictureBuffer, WithoutTheLibrary) {
    plat::testing::TempRoot root;
    CImageBuffer b;
    std::unique_ptr<PictureRecord> r;
    EXPECT_EQ(LoadImageBuffer(b, "/x.jpg", r, 0), kLoadNoLibrary);
}

}  // namespace
