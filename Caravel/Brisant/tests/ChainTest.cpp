// The upload chain (scale, colour space, flip and rotate) over one image: its output, and how a
// change of source pixels travels down and invalidates exactly the tiles it reaches.
#include "Caravel/Brisant/VeltraFilterColorSpace.h"
#include "Caravel/Brisant/VeltraFilterScale.h"
#include "Caravel/Brisant/VeltraFilterTransform.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"
#include "outside/veltra/VeltraChain.h"

#include <gtest/gtest.h>

using namespace brisant_test;

namespace {

struct UploadChain {
    UploadChain(int32_t tile, const Picture& p, int32_t dw, int32_t dh)
        : manager(MakeManager(tile)), image(MakeImage(manager.get(), p)),
          scale(std::make_unique<CVeltraFilterScale>(manager.get(), 0)),
          colorSpace(std::make_unique<CVeltraFilterColorSpace>(manager.get())),
          transform(std::make_unique<CVeltraFilterTransform>(manager.get()))
    {
        EXPECT_FALSE(VeltraErrorPtr(manager->CreateChain(&chain)));
        EXPECT_FALSE(VeltraErrorPtr(chain->AppendFilter(scale.get(), -1)));
        EXPECT_FALSE(VeltraErrorPtr(chain->AppendFilter(colorSpace.get(), -1)));
        EXPECT_FALSE(VeltraErrorPtr(chain->AppendFilter(transform.get(), -1)));
        EXPECT_FALSE(VeltraErrorPtr(chain->SetSource(image.get(), 0)));
        EXPECT_FALSE(VeltraErrorPtr(VeltraSendDataNotification(image.get(), 7, nullptr)));
        EXPECT_FALSE(VeltraErrorPtr(
            colorSpace->SetOutputColorSpace(CVeltraFilterColorSpace::eOutputColorSpaceSource,
                                            CVeltraFilterColorSpace::eOutputBitDepth8, true)));
        EXPECT_FALSE(VeltraErrorPtr(scale->SetSize(dw, dh, true)));
        EXPECT_FALSE(VeltraErrorPtr(transform->RotateCW(90, true)));
    }
    ~UploadChain() { chain->Release(); }
    ManagerPtr manager;
    ImagePtr image;
    std::unique_ptr<CVeltraFilterScale> scale;
    std::unique_ptr<CVeltraFilterColorSpace> colorSpace;
    std::unique_ptr<CVeltraFilterTransform> transform;
    IVeltraChain* chain = nullptr;
};

// Nearest pixel, high byte, quarter turn clockwise: the three steps on a whole picture.
Picture Expected(const Picture& src, int32_t dw, int32_t dh)
{
    Picture out = MakePicture(dh, dw, 32);
    for (int32_t y = 0; y < dh; ++y)
        for (int32_t x = 0; x < dw; ++x) {
            const int32_t sx = static_cast<int32_t>((2 * int64_t{x} + 1) * src.width / (2 * int64_t{dw}) -
                                                    ((2 * int64_t{x} + 1) * src.width % (2 * int64_t{dw}) == 0));
            const int32_t sy = static_cast<int32_t>((2 * int64_t{y} + 1) * src.height / (2 * int64_t{dh}) -
                                                    ((2 * int64_t{y} + 1) * src.height % (2 * int64_t{dh}) == 0));
            for (int32_t c = 0; c < 3; ++c)
                out.Set(dh - 1 - y, x, c, src.At(sx, sy, c) >> 8);
        }
    return out;
}

bool Intersects(const VeltraRect& a, const VeltraRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

using Spy = NotificationSpy;

}  // namespace

TEST(UploadChain, ScaleNarrowAndTurnEqualTheWholePictureSteps)
{
    const Picture src = NoisePicture(61, 47, 33, 8);
    for (int32_t tile : {7, 16, 128}) {
        UploadChain c(tile, src, 30, 22);
        const Picture out = ReadAll(c.chain);
        EXPECT_EQ(out.colorSpace, 32);
        EXPECT_EQ(out.width, 22);
        EXPECT_EQ(out.bytes, Expected(src, 30, 22).bytes) << "tile " << tile;
    }
}

TEST(UploadChain, APixelChangeInvalidatesOnlyTheTilesItReachesDownstream)
{
    Picture src = NoisePicture(64, 48, 33, 2);
    UploadChain c(8, src, 32, 24);  // halves, then turns: output 24 x 32
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.transform.get(), &spy)));
    ASSERT_EQ(ReadAll(c.chain).bytes, Expected(src, 32, 24).bytes);

    // change a small block of source pixels and tell the graph
    for (int32_t y = 10; y < 14; ++y)
        for (int32_t x = 40; x < 44; ++x)
            for (int32_t k = 0; k < 3; ++k)
                src.Set(x, y, k, 0x1234);
    ASSERT_FALSE(VeltraErrorPtr(c.image->SetData(src.bytes.data(), src.RowBytes(), VeltraRect{0, 0, 64, 48})));
    VeltraRect changed{40, 10, 44, 14};
    ASSERT_FALSE(VeltraErrorPtr(VeltraSendDataNotification(c.image.get(), 0, &changed)));

    // downstream hears the change in its own coordinates: halved, then turned by 90
    ASSERT_EQ(spy.codes, (std::vector<int32_t>{0}));
    const VeltraRect expect{24 - 7, 20, 24 - 5, 22};
    EXPECT_EQ(spy.rect.left, expect.left);
    EXPECT_EQ(spy.rect.top, expect.top);
    EXPECT_EQ(spy.rect.right, expect.right);
    EXPECT_EQ(spy.rect.bottom, expect.bottom);

    // the last filter's cache: stale exactly where the change lands
    IVeltraImage* cache = c.transform->GetCacheImage();
    ASSERT_NE(cache, nullptr);
    for (int32_t row = 0; row < 4; ++row)
        for (int32_t col = 0; col < 3; ++col) {
            IVeltraTile* tile = nullptr;
            ASSERT_FALSE(VeltraErrorPtr(cache->GetTile(&tile, col, row)));
            VeltraRect r;
            tile->GetRect(&r);
            EXPECT_EQ(tile->GetInvalidRect(nullptr), Intersects(r, expect)) << col << "," << row;
        }
    EXPECT_EQ(ReadAll(c.chain).bytes, Expected(src, 32, 24).bytes);
}

TEST(UploadChain, TurnsNothingAtRestAndPassesTheOriginalSizeThrough)
{
    const Picture src = NoisePicture(40, 30, 32, 6);
    UploadChain c(16, src, 40, 30);
    ASSERT_FALSE(VeltraErrorPtr(c.transform->SetTransform(false, 0, true, true)));
    EXPECT_TRUE(c.scale->IsPassThrough());
    EXPECT_TRUE(c.colorSpace->IsPassThrough());
    EXPECT_TRUE(c.transform->IsPassThrough());
    EXPECT_EQ(ReadAll(c.chain).bytes, src.bytes);
}

// A member deleted while it is still in a chain leaves the chain whole: the neighbours
// are joined and the next filter, which asks its first source as soon as it gets one,
// must only ever see live sources. Each row deletes a different member.
TEST(UploadChain, AMemberDeletedWhileConnectedLeavesTheChainWhole)
{
    const Picture src = NoisePicture(23, 17, 33, 5);
    for (int deleted = 0; deleted < 3; ++deleted) {
        SCOPED_TRACE(deleted);
        ManagerPtr manager = MakeManager(8);
        ImagePtr image = MakeImage(manager.get(), src);
        std::unique_ptr<CVeltraFilterColorSpace> filters[3];
        IVeltraChain* chain = nullptr;
        ASSERT_FALSE(VeltraErrorPtr(manager->CreateChain(&chain)));
        for (auto& f : filters) {
            f = std::make_unique<CVeltraFilterColorSpace>(manager.get());
            ASSERT_FALSE(VeltraErrorPtr(chain->AppendFilter(f.get(), -1)));
        }
        ASSERT_FALSE(VeltraErrorPtr(chain->SetSource(image.get(), 0)));
        ASSERT_FALSE(VeltraErrorPtr(filters[2]->SetOutputColorSpace(CVeltraFilterColorSpace::eOutputColorSpaceSource,
                                                                    CVeltraFilterColorSpace::eOutputBitDepth8, true)));
        filters[deleted].reset();
        const Picture out = ReadAll(chain);
        ASSERT_EQ(out.width, src.width);
        ASSERT_EQ(out.height, src.height);
        // the last narrowing filter stays unless it is the one deleted
        ASSERT_EQ(out.colorSpace, deleted == 2 ? 33 : 32);
        for (int32_t y = 0; y < src.height; ++y)
            for (int32_t x = 0; x < src.width; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    ASSERT_EQ(out.At(x, y, c), deleted == 2 ? src.At(x, y, c) : src.At(x, y, c) >> 8);
        chain->Release();
    }
}
