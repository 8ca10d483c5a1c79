// Grid filter: tiled output against lines drawn on the whole picture, the documented line
// positions, interval checks and the assumed width never set.
#include "Caravel/Brisant/VeltraFilterGrid.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

using namespace brisant_test;

namespace {

using Chain = FilterChain<CVeltraFilterGrid>;

struct Lines {
    std::set<int32_t> solid, dashed, dotted;
};

Lines LinesAcross(int32_t size, int32_t step, int32_t sub)
{
    Lines l;
    // lines of a huge step lie far outside the picture: only those inside are kept
    auto keep = [size](std::set<int32_t>& to, int64_t at) {
        if (at >= 0 && at < size)
            to.insert(static_cast<int32_t>(at));
    };
    const int32_t n = (size / step) | 1, m = n / 2 + 1;
    for (int32_t i = 0; i <= n; ++i) {
        const int64_t p = size / 2 + int64_t{step} * (i - m);
        keep(i == m ? l.solid : l.dashed, p);
        for (int32_t k = 1; k < sub; ++k)
            keep(l.dotted, p + (sub / 2 + int64_t{k} * step) / sub);
    }
    return l;
}

Picture Reference(const Picture& src, int32_t step, int32_t sub, const uint32_t color[3])
{
    Picture out = src;
    const Lines v = LinesAcross(src.width, step, sub), h = LinesAcross(src.height, step, sub);
    for (int32_t y = 0; y < src.height; ++y)
        for (int32_t x = 0; x < src.width; ++x) {
            const bool on = v.solid.count(x) || (v.dashed.count(x) && (y & 2)) || (v.dotted.count(x) && !(y & 1)) ||
                            h.solid.count(y) || (h.dashed.count(y) && (x & 2)) || (h.dotted.count(y) && !(x & 1));
            if (on)
                for (int32_t k = 0; k < 3; ++k)
                    out.Set(x, y, k, src.Wide() ? color[k] * 257 : color[k]);
        }
    return out;
}

}  // namespace

class GridTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(GridTiles, TiledOutputEqualsTheWholePictureDrawing)
{
    const auto [code, tile] = GetParam();
    const Picture src = NoisePicture(tile == 1 ? 23 : 97, tile == 1 ? 17 : 61, code, 4);
    const uint32_t color[3] = {250, 10, 128};
    struct Case {
        double interval;
        int32_t unit, sub;
        int32_t step, expectSub;
    } cases[] = {{20, 0, 3, 20, 2}, {3, 0, 3, 6, 1}, {40, 0, 4, 40, 4},
                 {1e9, 0, 100, INT32_MAX / 4, 100}};  // only the centre lines fall inside
    for (const Case& k : cases) {
        Chain c(tile, src);
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetGridColor(250, 10, 128, true)));
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetGridInterval(k.interval, k.unit, k.sub, true)));
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetAssumedImageSize(src.width, src.height, 72, true)));
        EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, k.step, k.expectSub, color).bytes)
            << "interval " << k.interval << " tile " << tile;
    }
}

INSTANTIATE_TEST_SUITE_P(CodesAndTiles, GridTiles, testing::Combine(testing::Values(32, 33), testing::Values(1, 7, 64)));

TEST(Grid, DocumentedLinePositions)
{
    const Lines v = LinesAcross(1000, 100, 3), h = LinesAcross(800, 100, 3);
    EXPECT_EQ(v.solid, std::set<int32_t>{500});
    EXPECT_EQ(v.dashed, (std::set<int32_t>{0, 100, 200, 300, 400, 600, 700, 800, 900}));  // not -100, 1000
    EXPECT_TRUE(v.dotted.count(33) && v.dotted.count(67));
    EXPECT_EQ(h.solid, std::set<int32_t>{400});
    // drawn through the filter on 1000 x 800 at 100 ppi with a one-inch interval
    Chain c(256, MakePicture(1000, 800, 32));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetGridColor(255, 255, 255, true)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetAssumedImageSize(1000, 800, 100.0, true)));
    const Picture out = ReadAll(c.filter.get());
    EXPECT_EQ(out.At(500, 1, 0), 255u);   // solid centre line on every row
    EXPECT_EQ(out.At(100, 1, 0), 0u);     // dashed: rows 0 and 1 left out
    EXPECT_EQ(out.At(100, 2, 0), 255u);
    EXPECT_EQ(out.At(133, 2, 0), 255u);   // dotted subdivision on even rows
    EXPECT_EQ(out.At(133, 3, 0), 0u);
    EXPECT_EQ(out.At(1, 400, 0), 255u);
}

TEST(Grid, IntervalChecksAndPixels)
{
    EXPECT_FALSE(CVeltraFilterGrid::CheckGridInterval(0.0, 1, 3));
    EXPECT_FALSE(CVeltraFilterGrid::CheckGridInterval(2.5, 6, 3));
    EXPECT_FALSE(CVeltraFilterGrid::CheckGridInterval(2.5, 5, 101));
    EXPECT_TRUE(CVeltraFilterGrid::CheckGridInterval(2.5, 5, 100));
    ManagerPtr m = MakeManager(8);
    CVeltraFilterGrid g(m.get());
    ASSERT_FALSE(VeltraErrorPtr(g.SetGridInterval(2, 2, 3, true)));
    EXPECT_EQ(g.GetGridIntervalInPixels(300), 236);
}

TEST(Grid, WithoutAnAssumedSizeThePictureWidthIsUsed)
{
    const Picture src = NoisePicture(50, 30, 32, 1);
    Chain c(16, src);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetGridInterval(10, 0, 1, true)));
    const uint32_t black[3] = {0, 0, 0};
    EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, 10, 1, black).bytes);
}

TEST(Grid, RefusesNonRgbSources)
{
    Chain c(8, NoisePicture(5, 5, 2, 1));
    void* bits = nullptr;
    VeltraErrorPtr e(c.filter->LockTile(&bits, 0, 0, nullptr));
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->Root()->GetText(), "Bad source data color space");
}

TEST(Grid, APartialSourceChangeIsProducedAgain)
{
    Picture src = NoisePicture(37, 23, 33, 6);
    Chain c(7, src);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetGridInterval(10, 0, 2, true)));
    const uint32_t black[3] = {0, 0, 0};
    ASSERT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, 10, 1, black).bytes);
    ChangeBlock(&src, c.image.get(), {10, 5, 16, 12});
    EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, 10, 1, black).bytes);
}
