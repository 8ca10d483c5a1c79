// Raw filter base and de-Bayer filter: the tone table, the origin shift, the crop window through
// size changes, and tiled output against a straight whole-picture interpolation.
#include "Caravel/src/DeBayerFilter.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace brisant_test;

namespace {

class Probe : public CDeBayerFilter {
public:
    using CDeBayerFilter::CDeBayerFilter;
    IVeltraError* Resize(IVeltraDataDestination::ChangeSize* c) { return FilterSize(nullptr, c); }
    IVeltraError* ChangeColor(IVeltraDataDestination::ChangeColorSpace* c) { return FilterColorSpace(nullptr, c); }
};

struct Chain {
    Chain(int32_t tile, const Picture& p)
        : manager(MakeManager(tile)), image(MakeImage(manager.get(), p)), filter(std::make_unique<Probe>(manager.get()))
    {
        EXPECT_FALSE(VeltraErrorPtr(VeltraConnect(image.get(), filter.get())));
    }
    ManagerPtr manager;
    ImagePtr image;
    std::unique_ptr<Probe> filter;
};

// One 16-bit sample per pixel (the shared Picture helpers treat only the RGB/grey codes as wide).
void SetSample(Picture& p, int32_t x, int32_t y, uint16_t v)
{
    std::memcpy(p.bytes.data() + (static_cast<size_t>(y) * p.width + x) * 2, &v, 2);
}

uint16_t Sample(const Picture& p, int32_t x, int32_t y)
{
    uint16_t v;
    std::memcpy(&v, p.bytes.data() + (static_cast<size_t>(y) * p.width + x) * 2, 2);
    return v;
}

// Sensor samples, mostly 12-bit with a few larger values that must be limited.
Picture SensorPicture(int32_t w, int32_t h, uint32_t seed)
{
    Picture p = MakePicture(w, h, 64);
    uint32_t s = seed * 2654435761u + 7u;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            uint32_t v = (s >> 20) & 0xFFF;
            // some smooth structure so that both interpolation directions are taken
            v = (v + static_cast<uint32_t>((x * 37 + y * 11) % 4096)) / 2 + ((s & 0xFF) == 3 ? 0xF000 : 0);
            SetSample(p, x, y, static_cast<uint16_t>(v));
        }
    return p;
}

int32_t Fold(int32_t v, int32_t size)
{
    if (v >= 0 && v < size)
        return v;
    int64_t f = v;
    if (f < 0)
        f += ((-f + 1) / 2) * 2;
    else
        f -= ((f - size + 2) / 2) * 2;
    return static_cast<int32_t>(std::clamp<int64_t>(f, 0, size - 1));
}

// The whole picture interpolated directly from the rules, origin (ox, oy).
Picture Reference(const Picture& src, int32_t outW, int32_t outH, int32_t ox, int32_t oy)
{
    const uint32_t* table = CRawFilterBase::ToneTable();
    auto C = [&](int32_t x, int32_t y) -> int32_t {
        const uint32_t v = Sample(src, Fold(x, src.width), Fold(y, src.height));
        return static_cast<int32_t>(table[std::min<uint32_t>(v, 4095)]);
    };
    const int32_t noise = static_cast<int32_t>(table[4095] * 10 / 256);
    auto G = [&](int32_t x, int32_t y) -> int32_t {
        if ((x + y) % 2 != 0)
            return C(x, y);
        const int32_t gV = (std::abs(C(x, y - 1) - C(x, y + 1)) + std::abs(C(x - 1, y - 2) - C(x - 1, y)) +
                            std::abs(C(x - 1, y) - C(x - 1, y + 2))) / 3;
        const int32_t gH = (std::abs(C(x - 1, y) - C(x + 1, y)) + std::abs(C(x - 2, y - 1) - C(x, y - 1)) +
                            std::abs(C(x, y - 1) - C(x + 2, y - 1))) / 3;
        const int32_t d = gV - gH, t = ((gV + gH) * 2) / 5 + noise;
        const int32_t gv = (C(x, y - 1) + C(x, y + 1)) / 2 + (2 * C(x, y) - C(x, y - 2) - C(x, y + 2)) / 4;
        const int32_t gh = (C(x - 1, y) + C(x + 1, y)) / 2 + (2 * C(x, y) - C(x - 2, y) - C(x + 2, y)) / 4;
        if (d >= t)
            return gh;
        if (d <= -t)
            return gv;
        const double w = static_cast<double>(d) / t * 0.5;
        return static_cast<int32_t>(gv * (0.5 - w) + gh * (0.5 + w));
    };
    auto D = [&](int32_t x, int32_t y) { return C(x, y) - G(x, y); };
    auto out16 = [](int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 262143) >> 2); };
    Picture out = MakePicture(outW, outH, 33);
    for (int32_t oy2 = 0; oy2 < outH; ++oy2)
        for (int32_t ox2 = 0; ox2 < outW; ++ox2) {
            const int32_t x = ox2 + ox, y = oy2 + oy;
            const int32_t g = G(x, y);
            int32_t r, b;
            const int32_t diag = (D(x - 1, y - 1) + D(x + 1, y - 1) + D(x - 1, y + 1) + D(x + 1, y + 1)) / 4;
            if ((x + y) % 2 != 0) {
                const int32_t across = (D(x - 1, y) + D(x + 1, y)) / 2, down = (D(x, y - 1) + D(x, y + 1)) / 2;
                r = g + (y % 2 ? across : down);
                b = g + (y % 2 ? down : across);
            } else if (x % 2) {
                r = C(x, y);
                b = g + diag;
            } else {
                r = g + diag;
                b = C(x, y);
            }
            out.Set(ox2, oy2, 0, out16(r));
            out.Set(ox2, oy2, 1, out16(g));
            out.Set(ox2, oy2, 2, out16(b));
        }
    return out;
}

}  // namespace

TEST(RawFilterBase, ToneTableMatchesReferenceEntriesAndRises)
{
    const uint32_t* t = CRawFilterBase::ToneTable();
    const std::pair<int, uint32_t> cases[] = {{0, 0},         {1, 369},       {59, 21788},    {60, 22157},
                                              {1000, 158755}, {1619, 208035}, {1620, 208106}, {4095, 262143}};
    for (auto [i, v] : cases)
        EXPECT_EQ(t[i], v) << "entry " << i;
    for (int i = 1; i < 4096; ++i)
        ASSERT_GT(t[i], t[i - 1]) << "entry " << i;
}

TEST(RawFilterBase, FiltersShareOneTable)
{
    auto m = MakeManager(16);
    CDeBayerFilter a(m.get());
    const uint32_t* first = CRawFilterBase::ToneTable();
    const uint32_t before = first[1000];
    CDeBayerFilter b(m.get());
    EXPECT_EQ(CRawFilterBase::ToneTable(), first);
    EXPECT_EQ(first[1000], before);
}

TEST(RawFilterBase, OriginShiftsPointsAndRectsOnlyWhileEnabled)
{
    auto m = MakeManager(16);
    CDeBayerFilter f(m.get());
    for (bool enabled : {true, false}) {
        EXPECT_FALSE(VeltraErrorPtr(f.Enable(enabled, false)));
        const int32_t shift = enabled ? 6 : 0;
        int32_t x = 0, y = 0;
        EXPECT_FALSE(VeltraErrorPtr(f.DefilterPoint(&x, &y, nullptr, 0)));
        EXPECT_EQ(x, shift);
        EXPECT_EQ(y, shift);
        EXPECT_FALSE(VeltraErrorPtr(f.FilterPoint(&x, &y, nullptr, 0)));
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
        double dx = 1.5, dy = 2.5;
        EXPECT_FALSE(VeltraErrorPtr(f.FilterPoint(&dx, &dy, nullptr, 0)));
        EXPECT_DOUBLE_EQ(dx, 1.5 - shift);
        EXPECT_DOUBLE_EQ(dy, 2.5 - shift);
        VeltraRect r{10, 20, 30, 40};
        EXPECT_FALSE(VeltraErrorPtr(f.FilterRect(&r, nullptr, 0)));
        EXPECT_EQ(r.left, 10 - shift);
        EXPECT_EQ(r.bottom, 40 - shift);
        EXPECT_FALSE(VeltraErrorPtr(f.DefilterRect(&r, nullptr, 0)));
        EXPECT_EQ(r.top, 20);
        EXPECT_EQ(r.right, 30);
        VeltraDblRect d{1, 2, 3, 4};
        EXPECT_FALSE(VeltraErrorPtr(f.DefilterRect(&d, nullptr, 0)));
        EXPECT_DOUBLE_EQ(d.left, 1.0 + shift);
        EXPECT_DOUBLE_EQ(d.bottom, 4.0 + shift);
    }
}

TEST(DeBayerFilter, OutputSizeCropsOnlyAFittingSource)
{
    const struct {
        int32_t w, h, outW, outH;
    } cases[] = {{2012, 1324, 2000, 1312}, {3000, 2000, 2000, 1312}, {2010, 1320, 1998, 1308}, {1000, 800, 1000, 800}};
    for (const auto& c : cases) {
        Chain chain(64, MakePicture(c.w, c.h, 64));
        int32_t w = 0, h = 0;
        EXPECT_FALSE(VeltraErrorPtr(chain.filter->GetSize(&w, &h)));
        EXPECT_EQ(w, c.outW) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.outH) << c.w << "x" << c.h;
    }
}

TEST(DeBayerFilter, SizeChangesOnlyShrinkTheWindow)
{
    auto m = MakeManager(16);
    Probe f(m.get());
    IVeltraDataDestination::ChangeSize smaller{2012, 1324, 1000, 800};
    EXPECT_FALSE(VeltraErrorPtr(f.Resize(&smaller)));
    EXPECT_EQ(smaller.oldWidth, 2000);
    EXPECT_EQ(smaller.oldHeight, 1312);
    EXPECT_EQ(smaller.newWidth, 988);
    EXPECT_EQ(smaller.newHeight, 788);
    EXPECT_EQ(f.CropLeft(), 6);
    EXPECT_EQ(f.CropTop(), 6);
    EXPECT_EQ(f.CropRight(), 994);
    EXPECT_EQ(f.CropBottom(), 794);
    IVeltraDataDestination::ChangeSize back{1000, 800, 2012, 1324};
    EXPECT_FALSE(VeltraErrorPtr(f.Resize(&back)));
    EXPECT_EQ(back.newWidth, 988);
    EXPECT_EQ(back.newHeight, 788);
    EXPECT_EQ(f.CropRight(), 994);

    Probe off(m.get());
    EXPECT_FALSE(VeltraErrorPtr(off.Enable(false, false)));
    IVeltraDataDestination::ChangeSize passed{2012, 1324, 1000, 800};
    EXPECT_FALSE(VeltraErrorPtr(off.Resize(&passed)));
    EXPECT_EQ(passed.newWidth, 1000);
    EXPECT_EQ(off.CropRight(), 2006);
}

TEST(DeBayerFilter, ColourSpaceIsRawInRgbOut)
{
    Chain raw(16, MakePicture(20, 20, 64));
    int32_t cs = 0;
    EXPECT_FALSE(VeltraErrorPtr(raw.filter->GetColorSpace(&cs)));
    EXPECT_EQ(cs, 33);
    IVeltraDataDestination::ChangeColorSpace change{64, 64};
    EXPECT_FALSE(VeltraErrorPtr(raw.filter->ChangeColor(&change)));
    EXPECT_EQ(change.oldColorSpace, 33);
    EXPECT_EQ(change.newColorSpace, 33);

    Chain rgb(16, MakePicture(20, 20, 33));
    VeltraErrorPtr e(rgb.filter->GetColorSpace(&cs));
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->Root());
    EXPECT_EQ(e->Root()->GetModule(), CDeBayerFilter::kCode);
    EXPECT_STREQ(e->Root()->GetText(), "Bad source data color space");
}

TEST(DeBayerFilter, FlatFieldGivesGrey)
{
    Picture flat = MakePicture(30, 24, 64);
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 30; ++x)
            SetSample(flat, x, y, 2000);
    Chain chain(8, flat);
    const Picture out = ReadAll(chain.filter.get());
    const uint32_t grey = CRawFilterBase::ToneTable()[2000] >> 2;
    ASSERT_EQ(out.colorSpace, 33);
    for (int32_t y = 0; y < out.height; ++y)
        for (int32_t x = 0; x < out.width; ++x)
            for (int32_t c = 0; c < 3; ++c)
                ASSERT_EQ(out.At(x, y, c), grey) << x << "," << y << "," << c;
}

TEST(DeBayerFilter, DisabledPassesTheSourceThrough)
{
    const Picture src = SensorPicture(20, 14, 3);
    Chain chain(8, src);
    EXPECT_FALSE(VeltraErrorPtr(chain.filter->Enable(false, false)));
    const Picture out = ReadAll(chain.filter.get());
    EXPECT_EQ(out.colorSpace, 64);
    EXPECT_EQ(out.bytes, src.bytes);
}

class DeBayerTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t, int32_t>> {};

// A small source keeps the origin (6, 6) and reads the last rows and columns folded; a source
// larger than the window is cropped to it.
TEST_P(DeBayerTiles, TiledOutputEqualsWholePicture)
{
    const auto [tile, w, h] = GetParam();
    const Picture src = SensorPicture(w, h, static_cast<uint32_t>(w * 31 + tile));
    Chain chain(tile, src);
    const Picture out = ReadAll(chain.filter.get());
    const int32_t outW = w >= 2012 ? 2000 : w, outH = h >= 1324 ? 1312 : h;
    ASSERT_EQ(out.width, outW);
    ASSERT_EQ(out.height, outH);
    const Picture ref = Reference(src, outW, outH, 6, 6);
    ASSERT_EQ(out.bytes.size(), ref.bytes.size());
    for (int32_t y = 0; y < outH; ++y)
        for (int32_t x = 0; x < outW; ++x)
            for (int32_t c = 0; c < 3; ++c)
                ASSERT_EQ(out.At(x, y, c), ref.At(x, y, c)) << "pixel " << x << "," << y << " channel " << c;
}

INSTANTIATE_TEST_SUITE_P(SizesAndTiles, DeBayerTiles,
                         testing::Values(std::make_tuple(1, 15, 11), std::make_tuple(7, 41, 29),
                                         std::make_tuple(16, 41, 29), std::make_tuple(64, 41, 29),
                                         std::make_tuple(256, 41, 29)));
