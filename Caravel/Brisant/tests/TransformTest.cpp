// Flip and rotate filter: state algebra, sizes, quarter turns against ImageMagick at several tile
// sizes, any other angle against a whole-picture reference, and the absolute mode over a
// source that carries a transform.
#include "Caravel/Brisant/VeltraFilterTransform.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace brisant_test;
using Xf = CVeltraFilterTransform;

namespace {

using Chain = FilterChain<Xf>;

// Mirror left to right when flip, then turn clockwise by a quarter-turn angle.
Picture QuarterTurn(const Picture& src, bool flip, int32_t degrees)
{
    const bool swap = degrees == 90 || degrees == 270;
    Picture out = MakePicture(swap ? src.height : src.width, swap ? src.width : src.height, src.colorSpace);
    const int32_t bpp = src.BytesPerPixel();
    for (int32_t y = 0; y < src.height; ++y)
        for (int32_t x = 0; x < src.width; ++x) {
            int32_t mx = flip ? src.width - 1 - x : x, my = y;
            int32_t ox = mx, oy = my;
            if (degrees == 90) {
                ox = src.height - 1 - my;
                oy = mx;
            } else if (degrees == 180) {
                ox = src.width - 1 - mx;
                oy = src.height - 1 - my;
            } else if (degrees == 270) {
                ox = my;
                oy = src.width - 1 - mx;
            }
            std::memcpy(out.bytes.data() + static_cast<size_t>(oy) * out.RowBytes() + static_cast<size_t>(ox) * bpp,
                        src.bytes.data() + static_cast<size_t>(y) * src.RowBytes() + static_cast<size_t>(x) * bpp,
                        static_cast<size_t>(bpp));
        }
    return out;
}

using Spy = NotificationSpy;

}  // namespace

TEST(TransformState, SettersNormaliseAndCombine)
{
    auto m = MakeManager(8);
    EXPECT_DOUBLE_EQ(Xf::ValidateRotation(-30), 330);
    EXPECT_DOUBLE_EQ(Xf::ValidateRotation(390), 30);
    EXPECT_DOUBLE_EQ(Xf::ValidateRotation(360), 0);
    EXPECT_DOUBLE_EQ(Xf::ValidateRotation(800), 80);
    Xf f(m.get());
    ASSERT_FALSE(VeltraErrorPtr(f.RotateCCW(90, false)));
    EXPECT_DOUBLE_EQ(f.GetFilterRotation(), 270);
    Xf g(m.get());
    ASSERT_FALSE(VeltraErrorPtr(g.RotateCW(450, false)));
    EXPECT_DOUBLE_EQ(g.GetFilterRotation(), 90);
    ASSERT_FALSE(VeltraErrorPtr(g.FlipHorz(false)));
    EXPECT_TRUE(g.GetFilterFlip());
    EXPECT_DOUBLE_EQ(g.GetFilterRotation(), 270);
    Xf h(m.get());
    ASSERT_FALSE(VeltraErrorPtr(h.FlipVert(false)));
    EXPECT_TRUE(h.GetFilterFlip());
    EXPECT_DOUBLE_EQ(h.GetFilterRotation(), 180);
    ASSERT_FALSE(VeltraErrorPtr(h.FlipVert(false)));
    EXPECT_FALSE(h.GetFilterFlip());
    EXPECT_DOUBLE_EQ(h.GetFilterRotation(), 0);
    EXPECT_TRUE(h.IsPassThrough());
    ASSERT_FALSE(VeltraErrorPtr(h.SetTransform(false, 359.99999999995, true, false)));
    EXPECT_TRUE(h.IsPassThrough());

    // relative: output transform over the source's
    struct Case {
        bool myFlip;
        double myRot;
        bool srcFlip;
        double srcRot;
        bool flip;
        double rot;
    } rel[] = {{true, 30, false, 10, true, 20}, {false, 30, true, 10, true, 40}};
    for (const Case& c : rel) {
        bool f2 = c.srcFlip;
        double r2 = c.srcRot;
        Xf::DoStateTransform(&f2, &r2, c.myFlip, c.myRot, true);
        EXPECT_EQ(f2, c.flip);
        EXPECT_DOUBLE_EQ(r2, c.rot);
    }
    // absolute: the turn to apply to a source that carries its own transform
    Case abs[] = {{false, 0, false, 90, false, 270}, {false, 0, true, 90, true, 90}, {false, 90, true, 90, true, 180}};
    for (const Case& c : abs) {
        bool f2 = c.srcFlip;
        double r2 = c.srcRot;
        Xf::GetRelativeTransform(&f2, &r2, c.myFlip, c.myRot, false);
        EXPECT_EQ(f2, c.flip);
        EXPECT_DOUBLE_EQ(r2, c.rot);
    }
}

TEST(TransformState, SizesAndPointMappings)
{
    struct Case {
        double rot;
        int32_t w, h;
    } cases[] = {{90, 50, 100}, {270, 50, 100}, {180, 100, 50}, {0, 100, 50}, {30, 111, 93}, {45, 106, 106}};
    for (const Case& c : cases) {
        int32_t w = 100, h = 50;
        Xf::GetFilteredSize(&w, &h, c.rot);
        EXPECT_EQ(w, c.w) << c.rot;
        EXPECT_EQ(h, c.h) << c.rot;
    }
    int32_t x = 0, y = 0;
    Xf::FilterPoint(&x, &y, 100, 50, false, 90);
    EXPECT_EQ(x, 49);
    EXPECT_EQ(y, 0);
    x = 99;
    y = 49;
    Xf::FilterPoint(&x, &y, 100, 50, false, 90);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 99);
    x = 49;
    y = 99;
    Xf::DefilterPoint(&x, &y, 100, 50, false, 90);
    EXPECT_EQ(x, 99);
    EXPECT_EQ(y, 0);
}

TEST(TransformState, SetTransformNotifiesOnChangesCompareBeforeNormalising)
{
    Chain c(8, NoisePicture(10, 4, 2, 1));
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetTransform(false, 0, true, true)));
    EXPECT_TRUE(spy.codes.empty());
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetTransform(false, 360, true, true)));
    EXPECT_EQ(spy.codes, (std::vector<int32_t>{4}));
    EXPECT_DOUBLE_EQ(c.filter->GetFilterRotation(), 0);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->RotateCW(90, true)));
    EXPECT_EQ(spy.transform.oldWidth, 10);
    EXPECT_EQ(spy.transform.newWidth, 4);
    EXPECT_DOUBLE_EQ(spy.transform.newRotation, 90);
}

TEST(TransformTiles, QuarterTurnsAndFlipsMatchImageMagickAtEveryTileSize)
{
    const bool haveTool = ToolAvailable("convert");
    for (int32_t code : {32, 33, 2}) {
        const Picture src = NoisePicture(37, 23, code, 9);
        const std::string in = TempPath("xf_in.pnm");
        WritePnm(in, src);
        for (bool flip : {false, true}) {
            for (int32_t degrees : {0, 90, 180, 270}) {
                Picture expect = QuarterTurn(src, flip, degrees);
                if (haveTool) {
                    const std::string out = TempPath("xf_out.pnm");
                    const std::string ops = std::string(flip ? " -flop" : "") + " -rotate " + std::to_string(degrees);
                    ASSERT_TRUE(RunTool("convert " + in + ops + " " + out));
                    Picture tool;
                    ASSERT_TRUE(ReadPnm(out, &tool));
                    std::remove(out.c_str());
                    ASSERT_EQ(tool.bytes, expect.bytes) << "reference and ImageMagick disagree";
                }
                for (int32_t tile : {1, 7, 64}) {
                    Chain c(tile, src);
                    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetTransform(flip, degrees, true, true)));
                    const Picture out = ReadAll(c.filter.get());
                    ASSERT_EQ(out.width, expect.width);
                    EXPECT_EQ(out.bytes, expect.bytes)
                        << "code " << code << " flip " << flip << " " << degrees << " tile " << tile;
                }
            }
        }
        std::remove(in.c_str());
    }
    if (!haveTool)
        GTEST_SKIP() << "ImageMagick is not installed; checked against the in-test reference only";
}

TEST(TransformTiles, AnyOtherAngleTakesTheNearestSourcePixelAndZeroOutside)
{
    const Picture src = NoisePicture(37, 23, 32, 3);
    for (double angle : {30.0, 135.0, 1e-11}) {
        int32_t w = 37, h = 23;
        Xf::GetFilteredSize(&w, &h, angle);
        Picture expect = MakePicture(w, h, 32);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                int32_t px = x, py = y;
                Xf::DefilterPoint(&px, &py, 37, 23, false, angle);
                if (px < 0 || py < 0 || px >= 37 || py >= 23)
                    continue;
                for (int32_t c = 0; c < 3; ++c)
                    expect.Set(x, y, c, src.At(px, py, c));
            }
        for (int32_t tile : {7, 64}) {
            Chain c(tile, src);
            ASSERT_FALSE(VeltraErrorPtr(c.filter->SetTransform(false, angle, false, true)));
            const Picture out = ReadAll(c.filter.get());
            EXPECT_EQ(out.bytes, expect.bytes) << angle << " tile " << tile;
            if (angle == 30.0) {
                EXPECT_EQ(out.At(0, 0, 0) | out.At(0, 0, 1) | out.At(0, 0, 2), 0u);  // a corner outside the source
            }
        }
    }
}

TEST(TransformTiles, AbsoluteModeUndoesAFlippedSourcesTransform)
{
    // the picture as seen, and the source that carries it mirrored and turned by 90
    const Picture seen = NoisePicture(13, 8, 32, 4);
    const Picture stored = QuarterTurn(seen, true, 90);
    Chain c(5, stored);
    ASSERT_FALSE(VeltraErrorPtr(c.image->SetTransform(true, 90, false)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetTransform(false, 90, false, true)));
    const Picture out = ReadAll(c.filter.get());
    EXPECT_EQ(out.bytes, QuarterTurn(seen, false, 90).bytes);
    bool flip = true;
    double rot = 0;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->GetTransform(&flip, &rot)));
    EXPECT_FALSE(flip);
    EXPECT_DOUBLE_EQ(rot, 90);
}

TEST(TransformState, ASourceTurnReachesDownstreamWithTheSizesTheOutputReallyHas)
{
    // absolute target (false, 90) over a source that turns from (false, 0) to (false, 90)
    Chain c(8, NoisePicture(10, 4, 2, 1));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetTransform(false, 90, false, false)));
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
    IVeltraDataDestination::ChangeTransform change;
    change.oldFlip = false;
    change.oldRotation = 0;
    change.newFlip = false;
    change.newRotation = 90;
    change.oldWidth = 10;
    change.oldHeight = 4;
    change.newWidth = 4;
    change.newHeight = 10;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), 4, &change)));
    ASSERT_EQ(spy.codes, (std::vector<int32_t>{4}));
    // before: the filter turned the source by 90 (4 x 10); after: by 0, so the output stays 4 x 10
    EXPECT_EQ(spy.transform.oldWidth, 4);
    EXPECT_EQ(spy.transform.oldHeight, 10);
    EXPECT_EQ(spy.transform.newWidth, 4);
    EXPECT_EQ(spy.transform.newHeight, 10);
    EXPECT_DOUBLE_EQ(spy.transform.newRotation, 90);
}

namespace {

// The source point of an output pixel as it was worked out per pixel before the
// mapping kept its trigonometry: every corner turned with the angle's cosine and
// sine computed afresh. The oracle for the mapping the tiles now use.
void ReferenceDefilterPoint(int32_t* x, int32_t* y, int32_t width, int32_t height, bool flip, double rotation)
{
    const double w = width, h = height;
    const double a = CVeltraFilterTransform::ValidateRotation(rotation);
    double cx[4] = {double(*x), *x + 1.0, double(*x), *x + 1.0};
    double cy[4] = {double(*y), double(*y), *y + 1.0, *y + 1.0};
    auto near = [a](double q) { return a >= q - 1e-10 && a <= q + 1e-10; };
    if (!(a <= 1e-10 || a >= 359.9999999999)) {
        for (int i = 0; i < 4; ++i) {
            const double px = cx[i], py = cy[i];
            if (near(90)) {
                cx[i] = py;
                cy[i] = h - px;
            } else if (near(180)) {
                cx[i] = w - px;
                cy[i] = h - py;
            } else if (near(270)) {
                cx[i] = w - py;
                cy[i] = px;
            } else {
                const double rad = a * 3.141592653589793 / 180;
                const double c = std::cos(rad), s = std::sin(rad);
                double dx = 0, dy = 0;
                if (a < 90) dx = h * s;
                else if (a < 180) { dx = -(w * c - h * s); dy = -h * c; }
                else if (a < 270) { dx = -w * c; dy = -(h * c + w * s); }
                else dy = -w * s;
                const double ux = px - dx, uy = py - dy;
                const double cs = std::cos(-rad), sn = std::sin(-rad);
                cx[i] = cs * ux - sn * uy;
                cy[i] = cs * uy + sn * ux;
            }
        }
    }
    if (flip)
        for (double& v : cx) v = w - v;
    *x = static_cast<int32_t>(std::min(std::min(cx[0], cx[1]), std::min(cx[2], cx[3])));
    *y = static_cast<int32_t>(std::min(std::min(cy[0], cy[1]), std::min(cy[2], cy[3])));
}

}  // namespace

TEST(TransformState, SourceMappingGivesThePerPixelPointsExactly)
{
    const double angles[] = {0, 30, 45, 89.99, 90, 123.4, 180, 200, 270, 315, 359.5, -33};
    for (const bool flip : {false, true})
        for (const double angle : angles) {
            SCOPED_TRACE(angle);
            const CVeltraFilterTransform::SourceMapping mapping(640, 427, flip, angle);
            int32_t ow = 640, oh = 427;
            CVeltraFilterTransform::GetFilteredSize(&ow, &oh, angle);
            int differ = 0;
            for (int32_t y = -2; y < oh + 2; y += 3)
                for (int32_t x = -2; x < ow + 2; x += 3) {
                    int32_t ax = x, ay = y, bx = x, by = y, cx = x, cy = y;
                    mapping.Map(&ax, &ay);
                    ReferenceDefilterPoint(&bx, &by, 640, 427, flip, angle);
                    CVeltraFilterTransform::DefilterPoint(&cx, &cy, 640, 427, flip, angle);
                    differ += (ax != bx || ay != by || cx != bx || cy != by) ? 1 : 0;
                }
            EXPECT_EQ(0, differ);
        }
}
