// Crop filter: tiled output against a whole-picture cut at several tile sizes, sub-byte pixels,
// mappings, the shrinking source, and ImageMagick's crop.
#include "Caravel/Brisant/CropFilter.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace brisant_test;

namespace {

using Chain = FilterChain<CCropFilter>;

// The cut written out on a whole picture: pixels with no source behind them are 0.
Picture Reference(const Picture& src, const VeltraRect& c)
{
    const int32_t w = std::max(0, std::min(src.width, c.right - c.left));
    const int32_t h = std::max(0, std::min(src.height, c.bottom - c.top));
    Picture out = MakePicture(w, h, src.colorSpace);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (x + c.left < src.width && y + c.top < src.height)
                for (int32_t k = 0; k < src.Components(); ++k)
                    out.Set(x, y, k, src.At(x + c.left, y + c.top, k));
    return out;
}

using Spy = NotificationSpy;

}  // namespace

class CropTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(CropTiles, TiledOutputEqualsTheWholePictureCut)
{
    const auto [code, tile] = GetParam();
    const Picture src = NoisePicture(37, 23, code, 5);
    const VeltraRect crops[] = {{3, 2, 30, 21}, {0, 0, 37, 23}, {10, 5, 11, 6}, {20, 10, 50, 40}, {0, 0, 0, 0}};
    for (const VeltraRect& c : crops) {
        Chain chain(tile, src);
        ASSERT_FALSE(VeltraErrorPtr(chain.filter->SetCrop(c, true)));
        const Picture out = ReadAll(chain.filter.get());
        const Picture expect = Reference(src, c);
        ASSERT_EQ(out.width, expect.width);
        ASSERT_EQ(out.height, expect.height);
        EXPECT_EQ(out.bytes, expect.bytes) << "crop " << c.left << "," << c.top << " tile " << tile;
    }
}

INSTANTIATE_TEST_SUITE_P(CodesAndTiles, CropTiles,
                         testing::Combine(testing::Values(2, 33, 34), testing::Values(1, 7, 64)));

TEST(Crop, PassThroughAndMappings)
{
    Chain c(16, NoisePicture(200, 100, 2, 1));
    EXPECT_TRUE(c.filter->IsPassThrough());
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop({0, 0, 200, 100}, true)));
    EXPECT_TRUE(c.filter->IsPassThrough());
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop({10, 20, 110, 70}, true)));
    EXPECT_FALSE(c.filter->IsPassThrough());
    int32_t w = 0, h = 0;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->GetSize(&w, &h)));
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
    int32_t x = 15, y = 25;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->FilterPoint(&x, &y, nullptr, 0)));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
    VeltraRect r{0, 0, 100, 50};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->DefilterRect(&r, nullptr, 0)));
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 110);
    EXPECT_EQ(r.bottom, 70);
    double dx = 0.5, dy = 0.5;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->DefilterPoint(&dx, &dy, nullptr, 0)));
    EXPECT_DOUBLE_EQ(dx, 10.5);
    EXPECT_DOUBLE_EQ(dy, 20.5);
}

// Rectangles turned inside out or wider than any picture are refused and leave the crop as
// it was; an origin outside the source is kept, and what has no source behind it is 0.
TEST(Crop, RectanglesBeyondAnyPictureAreRefused)
{
    const Picture src = NoisePicture(40, 30, 32, 3);
    struct Case {
        const char* name;
        VeltraRect crop;
        bool accepted;
        int32_t width, height;
    } cases[] = {
        {"wider than 32 bits", {INT32_MIN, 0, INT32_MAX, 10}, false, 0, 0},
        {"taller than 32 bits", {0, -2, 10, INT32_MAX}, false, 0, 0},
        {"right below left", {20, 0, 10, 10}, false, 0, 0},
        {"bottom above top", {0, 20, 10, 10}, false, 0, 0},
        {"negative origin", {-10, -5, 20, 15}, true, 30, 20},
        {"far right of the source", {INT32_MAX - 10, 0, INT32_MAX, 10}, true, 10, 10},
        {"far above the source", {0, INT32_MIN, 10, INT32_MIN + 10}, true, 10, 10},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Chain c(16, src);
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop({2, 3, 12, 13}, true)));
        VeltraErrorPtr e(c.filter->SetCrop(k.crop, true));
        ASSERT_EQ(!e, k.accepted);
        const Picture out = ReadAll(c.filter.get());
        if (!k.accepted) {
            EXPECT_EQ(e->Root()->GetCode(), kVeltraBadArgument);
            EXPECT_EQ(out.width, 10);  // still the earlier crop
            EXPECT_EQ(out.At(0, 0, 1), src.At(2, 3, 1));
            continue;
        }
        ASSERT_EQ(out.width, k.width);
        ASSERT_EQ(out.height, k.height);
        for (int32_t y = 0; y < out.height; ++y)
            for (int32_t x = 0; x < out.width; ++x) {
                const int64_t sx = int64_t{x} + k.crop.left, sy = int64_t{y} + k.crop.top;
                const bool inside = sx >= 0 && sy >= 0 && sx < src.width && sy < src.height;
                for (int32_t ch = 0; ch < 3; ++ch)
                    ASSERT_EQ(out.At(x, y, ch), inside ? src.At(int32_t(sx), int32_t(sy), ch) : 0u) << x << "," << y;
            }
    }
}

TEST(Crop, ShrinkingSourceMovesTheCropInside)
{
    struct Case {
        int32_t nw, nh;
        VeltraRect crop;
        IVeltraDataDestination::ChangeSize sent;
    } cases[] = {
        {120, 60, {20, 10, 120, 60}, {100, 50, 100, 50}},
        {80, 40, {0, 0, 80, 40}, {100, 50, 80, 40}},
    };
    for (const Case& k : cases) {
        Chain c(16, NoisePicture(200, 100, 2, 1));
        Spy spy;
        ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop({100, 50, 200, 100}, false)));
        EXPECT_TRUE(spy.codes.empty());
        IVeltraDataDestination::ChangeSize change{200, 100, k.nw, k.nh};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), kVeltraNotifySize, &change)));
        const VeltraRect& r = c.filter->GetCrop();
        EXPECT_EQ(r.left, k.crop.left);
        EXPECT_EQ(r.top, k.crop.top);
        EXPECT_EQ(r.right, k.crop.right);
        EXPECT_EQ(r.bottom, k.crop.bottom);
        ASSERT_EQ(spy.codes, std::vector<int32_t>{kVeltraNotifySize});
        EXPECT_EQ(spy.size.oldWidth, k.sent.oldWidth);
        EXPECT_EQ(spy.size.oldHeight, k.sent.oldHeight);
        EXPECT_EQ(spy.size.newWidth, k.sent.newWidth);
        EXPECT_EQ(spy.size.newHeight, k.sent.newHeight);
    }
}

TEST(Crop, OneBitPixelsAreCopiedBitExact)
{
    const int32_t W = 45, H = 13;
    for (int32_t tile : {8, 13, 64}) {
        ManagerPtr m = MakeManager(tile);
        IVeltraImage* raw = nullptr;
        ASSERT_FALSE(VeltraErrorPtr(m->CreateImage(&raw, 0)));
        ImagePtr img(raw);
        ASSERT_FALSE(VeltraErrorPtr(img->SetSize(W, H)));
        ASSERT_FALSE(VeltraErrorPtr(img->SetColorSpace(1)));
        auto bitAt = [](int32_t x, int32_t y) { return ((x * 7 + y * 3 + (x * y) % 5) % 3) == 0; };
        int32_t rowBytes = 0;
        ASSERT_FALSE(VeltraErrorPtr(img->GetRowBytes(&rowBytes)));
        for (int32_t row = 0; row * tile < H; ++row)
            for (int32_t col = 0; col * tile < W; ++col) {
                void* bits = nullptr;
                ASSERT_FALSE(VeltraErrorPtr(img->LockTile(&bits, col, row, nullptr)));
                auto* b = static_cast<unsigned char*>(bits);
                for (int32_t y = 0; y < tile; ++y)
                    for (int32_t x = 0; x < tile; ++x)
                        if (bitAt(col * tile + x, row * tile + y))
                            b[y * rowBytes + x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
                ASSERT_FALSE(VeltraErrorPtr(img->UnlockTile(col, row)));
            }
        CCropFilter crop(m.get());
        ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(img.get(), &crop)));
        const VeltraRect c{5, 3, 40, 12};
        ASSERT_FALSE(VeltraErrorPtr(crop.SetCrop(c, true)));
        int32_t outRow = 0;
        ASSERT_FALSE(VeltraErrorPtr(crop.GetRowBytes(&outRow)));
        for (int32_t y = 0; y < c.bottom - c.top; ++y)
            for (int32_t x = 0; x < c.right - c.left; ++x) {
                void* bits = nullptr;
                ASSERT_FALSE(VeltraErrorPtr(crop.LockTile(&bits, x / tile, y / tile, nullptr)));
                const auto* b = static_cast<const unsigned char*>(bits);
                const int32_t tx = x % tile, ty = y % tile;
                const bool got = (b[ty * outRow + tx / 8] >> (7 - tx % 8)) & 1;
                ASSERT_FALSE(VeltraErrorPtr(crop.UnlockTile(x / tile, y / tile)));
                ASSERT_EQ(got, bitAt(x + c.left, y + c.top)) << x << "," << y << " tile " << tile;
            }
    }
}

TEST(Crop, MatchesImageMagick)
{
    if (!ToolAvailable("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    for (int32_t code : {2, 32, 33}) {
        const Picture src = NoisePicture(41, 29, code, 9);
        const std::string in = TempPath("crop_in.pnm"), out = TempPath("crop_out.pnm");
        WritePnm(in, src);
        ASSERT_TRUE(RunTool("convert " + in + " -crop 25x17+7+9 +repage " + out));
        Picture expect;
        ASSERT_TRUE(ReadPnm(out, &expect));
        std::remove(in.c_str());
        std::remove(out.c_str());
        for (int32_t tile : {7, 64}) {
            Chain c(tile, src);
            ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop({7, 9, 32, 26}, true)));
            const Picture got = ReadAll(c.filter.get());
            EXPECT_EQ(got.bytes, expect.bytes) << "code " << code << " tile " << tile;
        }
    }
}

TEST(Crop, APartialSourceChangeIsProducedAgain)
{
    Picture src = NoisePicture(37, 23, 33, 6);
    Chain c(7, src);
    const VeltraRect crop{3, 2, 30, 21};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop(crop, true)));
    ASSERT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, crop).bytes);
    ChangeBlock(&src, c.image.get(), {10, 5, 16, 12});
    EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, crop).bytes);
}
