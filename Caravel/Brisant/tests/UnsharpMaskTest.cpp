// Unsharp mask: kernel numbers, range and sharpening rules, tiled output against a whole-picture
// reference with edge replication in both arithmetic forms, and ImageMagick's unsharp.
#include "Caravel/Brisant/UnsharpMaskFilter.h"
#include "Caravel/Brisant/UnsharpMaskLevels.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

using namespace brisant_test;

namespace {

class Probe : public CUnsharpMaskFilter {
public:
    using CUnsharpMaskFilter::CUnsharpMaskFilter;
    const UnsharpParams& Params()
    {
        if (m_params.kernelDirty) {
            EXPECT_FALSE(VeltraErrorPtr(GenerateKernel()));
        }
        return m_params;
    }
    uint16_t K(int32_t r, int32_t c) { return Params().kernel[r * Params().kernelStride + 4 + c]; }
};

using Chain = FilterChain<Probe>;

// Pins the arithmetic form for one test.
class MmxForm {
public:
    explicit MmxForm(bool mmx) : m_was(CUnsharpMaskFilter::MmxSupported()) { CUnsharpMaskFilter::SetMmxSupport(mmx); }
    ~MmxForm() { CUnsharpMaskFilter::SetMmxSupport(m_was); }

private:
    bool m_was;
};

// The whole picture sharpened directly: clamped neighbours, each blur form written out.
Picture Reference(const Picture& src, const UnsharpParams& p, bool mmx)
{
    Picture out = src;
    const int32_t h = p.halfWidth, n = 2 * h + 1;
    const bool wide = src.Wide();
    const int32_t code = src.colorSpace;
    const uint32_t sharpenable = code == 32 || code == 33 ? 7u : code == 34 ? 15u : 1u;
    auto sample = [&](int32_t x, int32_t y, int32_t k) -> uint32_t {
        x = std::clamp(x, 0, src.width - 1);
        y = std::clamp(y, 0, src.height - 1);
        const uint32_t v = src.At(x, y, k);
        return wide ? v : v * 257;
    };
    for (int32_t y = 0; y < src.height; ++y)
        for (int32_t x = 0; x < src.width; ++x)
            for (int32_t k = 0; k < src.Components(); ++k) {
                if (!(((sharpenable & static_cast<uint32_t>(p.planeMask)) >> k) & 1))
                    continue;
                double sum = 0;
                if (p.maskMethod == 1) {
                    for (int32_t r = -h; r <= h; ++r)
                        for (int32_t c = -h; c <= h; ++c)
                            sum += sample(x + c, y + r, k);
                } else if (!mmx) {
                    double total = 0;
                    for (int32_t r = 0; r < n; ++r) {
                        uint32_t row = 0;
                        for (int32_t c = 0; c < n; ++c)
                            row += sample(x + c - h, y + r - h, k) * p.kernel[r * p.kernelStride + 4 + c];
                        total += row;
                    }
                    sum = std::trunc(total / n);
                } else {
                    uint64_t total = 0;
                    for (int32_t r = 0; r < n; ++r) {
                        uint32_t row = 0;
                        for (int32_t c = 0; c < n; ++c)
                            row += (sample(x + c - h, y + r - h, k) >> 1) * p.kernel[r * p.kernelStride + 4 + c];
                        total += row;
                    }
                    sum = static_cast<double>(static_cast<uint64_t>(
                        (static_cast<unsigned __int128>(total) * (2ull * p.sizeReciprocal)) >> 32));
                }
                const int32_t v = static_cast<int32_t>(sample(x, y, k));
                bool ok;
                double weight;
                if (code == 35) {
                    const int32_t chroma = static_cast<int32_t>(sample(x, y, 1)), hue = static_cast<int32_t>(sample(x, y, 2));
                    ok = unsharp::InHueRange(p, hue);
                    weight = ok ? unsharp::HueRangeWeight(p, chroma, hue) : 0;
                } else {
                    ok = unsharp::InRange(p, v);
                    weight = ok ? unsharp::RangeWeight(p, v) : 0;
                }
                const int32_t r = unsharp::Sharpen(p, v, sum * p.normalisation, ok, weight);
                out.Set(x, y, k, wide ? static_cast<uint32_t>(r) : static_cast<uint32_t>(r) >> 8);
            }
    return out;
}

struct Settings {
    int32_t method;
    double radius, power, threshold;
    bool affectNoise;
    double range[4];
    int32_t planeMask;
};

void Apply(Probe& f, const Settings& s)
{
    ASSERT_FALSE(VeltraErrorPtr(f.SetMaskMethod(s.method, true)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetRadius(s.radius, true)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetPower(s.power, true)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetThreshold(s.threshold, true)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetAffectNoise(s.affectNoise, true)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetRange(s.range[0], s.range[1], s.range[2], s.range[3], true)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetPlaneMask(s.planeMask, true)));
}

const Settings kSettings[] = {
    {0, 1.0, 1.0, 0.0, true, {0, 0, 1, 0}, -1},
    {1, 1.5, 2.0, 0.0, true, {0, 0, 1, 0}, -1},
    {2, 2.0, 0.7, 10.0, false, {0.25, 0.1, 0.75, 0.1}, 5},
    {6, 1.0, 3.0, 10.0, true, {0, 0, 1, 0}, -1},  // flat disc: more weight than 32 bits hold
    {0, 0.6, 1.5, 4.0, true, {0.9, 0.2, 0.3, 0.2}, -1},
};

}  // namespace

class UnsharpTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t, bool, bool>> {};

TEST_P(UnsharpTiles, TiledOutputEqualsTheWholePictureReference)
{
    const auto [code, tile, mmx, wide] = GetParam();
    MmxForm form(mmx);
    ScopedVectorForm vectors(wide);
    // 37 columns: two runs of the wide form's 16 and a rest for the plain loops
    const Picture noise = NoisePicture(tile == 1 ? 11 : 37, tile == 1 ? 7 : 23, code, 13);
    // bytes of 0 and 255 only: the blur sums reach the bounds the sums are planned by
    Picture extremes = noise;
    for (auto& b : extremes.bytes)
        b = (b & 1) ? 0xFF : 0x00;
    for (const Picture* src : {&noise, static_cast<const Picture*>(&extremes)})
        for (const Settings& s : kSettings) {
            Chain c(tile, *src);
            Apply(*c.filter, s);
            const Picture out = ReadAll(c.filter.get());
            const Picture expect = Reference(*src, c.filter->Params(), mmx);
            EXPECT_EQ(out.bytes, expect.bytes) << "code " << code << " method " << s.method << " tile " << tile
                                               << (src == &extremes ? " extremes" : " noise");
        }
}

INSTANTIATE_TEST_SUITE_P(CodesTilesForms, UnsharpTiles,
                         testing::Combine(testing::Values(2, 3, 32, 33, 34, 35, 36), testing::Values(1, 7, 64),
                                          testing::Bool(), testing::Bool()));

// Wide kernels: many rows, some summed with their mirror rows and some alone, in
// chunks of every length the 32-bit bound allows.
TEST(Unsharp, WideKernelsEqualTheReference)
{
    MmxForm form(true);
    ScopedVectorForm vectors(true);
    for (int32_t code : {32, 33})
        for (double radius : {12.0, 20.0}) {
            const Picture src = NoisePicture(40, 9, code, 21);
            Chain c(64, src);
            Apply(*c.filter, {0, radius, 1.0, 0.0, true, {0, 0, 1, 0}, -1});
            const Picture out = ReadAll(c.filter.get());
            EXPECT_EQ(out.bytes, Reference(src, c.filter->Params(), true).bytes) << "code " << code << " radius "
                                                                                << radius;
        }
}

// Kernels whose rows hold few distinct weights are summed by the weights'
// changes: a flat-topped shape (parabolic, power 50) at radius 40 is one, and
// must give the reference's pixels in both arithmetic forms and vector widths, on
// noise and on the extremes that make the rows' 32-bit sums largest.
TEST(Unsharp, KernelsOfFewWeightsEqualTheReference)
{
    for (bool mmx : {false, true})
        for (bool wide : {false, true}) {
            MmxForm form(mmx);
            ScopedVectorForm vectors(wide);
            for (int32_t code : {32, 33}) {
                Picture src = NoisePicture(45, 7, code, 5);
                if (code == 32)
                    for (auto& b : src.bytes)
                        b = (b & 1) ? 0xFF : 0x00;
                Chain c(64, src);
                Apply(*c.filter, {5, 40.0, 1.0, 0.0, true, {0, 0, 1, 0}, -1});
                ASSERT_FALSE(VeltraErrorPtr(c.filter->SetParabolicPower(50.0, true)));
                const UnsharpParams& p = c.filter->Params();
                unsharp::LevelPlan plan;
                unsharp::PlanLevels(p.kernel, p.kernelStride, 2 * p.halfWidth + 1, plan);
                ASSERT_TRUE(plan.cheaper) << "the kernel is not one of few weights";
                EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, p, mmx).bytes)
                    << "mmx " << mmx << " wide " << wide << " code " << code;
            }
        }
}

// A row's sums by weight changes equal its taps' 32-bit sums for any symmetric
// weights, rising or falling, where the sums wrap, and for any width.
TEST(Unsharp, RowSumsByWeightChangesEqualTheTaps)
{
    std::mt19937 random(3);
    for (int32_t n : {1, 3, 9, 31}) {
        const int32_t h = n / 2, stride = n + 8;
        std::vector<uint16_t> kernel(static_cast<size_t>(n) * stride, 0);
        for (int32_t r = 0; r < n; ++r)
            for (int32_t c = 0; c <= h; ++c) {
                // runs of equal weights, so that changes are fewer than taps
                const uint16_t w = c > 0 && random() % 3 ? kernel[r * stride + 4 + c - 1] : static_cast<uint16_t>(random());
                kernel[r * stride + 4 + c] = kernel[r * stride + 4 + n - 1 - c] = w;
            }
        unsharp::LevelPlan plan;
        unsharp::PlanLevels(kernel.data(), stride, n, plan);
        for (int32_t width : {1, 31, 32, 77}) {
            std::vector<uint16_t> row(static_cast<size_t>(n - 1 + width));
            for (auto& v : row)
                v = static_cast<uint16_t>(random() % 4 ? 65535 - random() % 8 : random());
            for (int shift : {0, 1})
                for (bool wide : {false, true}) {
                    ScopedVectorForm vectors(wide);
                    std::vector<uint32_t> prefix(row.size() + 1), sums(static_cast<size_t>(width));
                    unsharp::PrefixSums(row.data(), static_cast<int32_t>(row.size()), shift, prefix.data());
                    for (int32_t r = 0; r < n; ++r) {
                        unsharp::LevelRowSums(prefix.data(), plan, r, n, width, sums.data());
                        for (int32_t x = 0; x < width; ++x) {
                            uint32_t taps = 0;
                            for (int32_t c = 0; c < n; ++c)
                                taps += static_cast<uint32_t>(row[x + c] >> shift) * kernel[r * stride + 4 + c];
                            ASSERT_EQ(sums[x], taps) << "n " << n << " width " << width << " row " << r << " x " << x;
                        }
                    }
                }
        }
    }
}

TEST(Unsharp, KernelNumbers)
{
    ManagerPtr m = MakeManager(8);
    {
        MmxForm form(false);
        Probe f(m.get());
        const uint16_t row[] = {290, 3538, 15857, 26144, 15857, 3538, 290};
        for (int32_t c = 0; c < 7; ++c)
            EXPECT_EQ(f.K(3, c), row[c]);
        EXPECT_EQ(f.Params().weightSum, 164164u);
        EXPECT_EQ(f.Params().sizeReciprocal, 613566756u);
        ASSERT_FALSE(VeltraErrorPtr(f.SetMaskMethod(2, false)));
        EXPECT_EQ(f.K(1, 0), 16380);
        EXPECT_EQ(f.K(1, 1), 32760);
        EXPECT_EQ(f.K(0, 0), static_cast<uint16_t>(32760 * (1 - std::sqrt(2.0) / 2)));
        ASSERT_FALSE(VeltraErrorPtr(f.SetMaskMethod(1, false)));
        ASSERT_FALSE(VeltraErrorPtr(f.SetRadius(1.5, false)));
        EXPECT_EQ(f.Params().halfWidth, 2);
        EXPECT_DOUBLE_EQ(f.Params().normalisation, 1.0 / 25);
    }
    MmxForm form(true);
    Probe f(m.get());
    const uint16_t row[] = {363, 4433, 19869, 32760, 19869, 4433, 363};
    for (int32_t c = 0; c < 7; ++c)
        EXPECT_EQ(f.K(3, c), row[c]);
}

TEST(Unsharp, RangeAndRuleCases)
{
    ManagerPtr m = MakeManager(8);
    Probe f(m.get());
    ASSERT_FALSE(VeltraErrorPtr(f.SetRange(0.25, 0.1, 0.75, 0.1, false)));
    const UnsharpParams& p = f.Params();
    EXPECT_EQ(p.L0, 13107);
    EXPECT_EQ(p.L1, 19661);
    EXPECT_EQ(p.H1, 45875);
    EXPECT_EQ(p.H0, 52429);
    EXPECT_FALSE(unsharp::InRange(p, 13106));
    EXPECT_DOUBLE_EQ(unsharp::RangeWeight(p, 30000), 1.0);
    EXPECT_NEAR(unsharp::RangeWeight(p, (13107 + 19661) / 2), 0.5, 1e-3);
    ASSERT_FALSE(VeltraErrorPtr(f.SetRange(0, 0, 1, 0, false)));
    EXPECT_TRUE(f.Params().fullRange);

    UnsharpParams q;
    q.scaledThreshold = 10 * 65535.0 / 255.0;  // 2570
    q.affectNoise = false;
    EXPECT_EQ(unsharp::Sharpen(q, 30000, 28000, true, 1.0), 30000);        // within the threshold
    EXPECT_EQ(unsharp::Sharpen(q, 30000, 27000, true, 1.0), 30000 + 430);  // loses the threshold
    q.affectNoise = true;
    EXPECT_EQ(unsharp::Sharpen(q, 30000, 29000, true, 1.0), 29000);  // lands on the mean
    q.scaledThreshold = 0;
    q.power = 4;
    EXPECT_EQ(unsharp::Sharpen(q, 65000, 50000, true, 1.0), 65535);
    EXPECT_EQ(unsharp::Sharpen(q, 100, 20000, true, 1.0), 0);
}

TEST(Unsharp, RoundingIsHalfAwayFromZeroAndSaturates)
{
    const struct {
        double x;
        int32_t rounded;
    } cases[] = {
        {0.0, 0},           {-0.0, 0},           {0.25, 0}, {0.5, 1},
        {-0.5, -1},         {-0.49, 0},          {2.5, 3},                  {-2.5, -3},
        {-1.4, -1},         {1e12, INT32_MAX},   {-1e12, INT32_MIN},        {2147483646.4, 2147483646},
        {-2147483647.6, INT32_MIN}, {std::nan(""), INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unsharp::RoundToLong(c.x), c.rounded) << c.x;
}

TEST(Unsharp, PassThroughSettersAndRefusedValues)
{
    Chain c(8, NoisePicture(9, 9, 32, 1));
    EXPECT_FALSE(c.filter->IsPassThrough());
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetPlaneMask(0, true)));
    EXPECT_TRUE(c.filter->IsPassThrough());
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetPlaneMask(1, true)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetPower(1e-11, true)));
    EXPECT_TRUE(c.filter->IsPassThrough());
    for (double r : {0.0, -1.0, 251.0, std::nan("")})
        EXPECT_TRUE(VeltraErrorPtr(c.filter->SetRadius(r, true))) << r;
    EXPECT_EQ(c.filter->GetRadius(), 1.0);
    for (double p : {0.0, -2.0})
        EXPECT_TRUE(VeltraErrorPtr(c.filter->SetParabolicPower(p, true))) << p;
    // stored silently while another shape is chosen
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetParabolicPower(3.0, true)));
    EXPECT_EQ(c.filter->GetParabolicPower(), 3.0);
}

TEST(Unsharp, RefusesOtherCodes)
{
    Chain c(8, NoisePicture(5, 5, 38, 1));
    void* bits = nullptr;
    VeltraErrorPtr e(c.filter->LockTile(&bits, 0, 0, nullptr));
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->Root()->GetText(), "Bad source data color space");
}

namespace {
}  // namespace

TEST(Unsharp, ChangedPixelsWidenByTheKernelMargin)
{
    Chain c(16, NoisePicture(100, 100, 2, 1));
    NotificationSpy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
    VeltraRect r{10, 10, 20, 20};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), kVeltraNotifyData, &r)));
    ASSERT_EQ(spy.rects.size(), 1u);
    EXPECT_EQ(spy.rects[0].left, 4);
    EXPECT_EQ(spy.rects[0].right, 26);
    VeltraRect edge{90, 0, 100, 5};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), kVeltraNotifyData, &edge)));
    EXPECT_EQ(spy.rects[1].right, 100);
    EXPECT_EQ(spy.rects[1].top, 0);
}

TEST(Unsharp, CloseToImageMagick)
{
    if (!ToolAvailable("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    // gradients with texture: sharpening moves values without piling up at the clamps
    Picture src = NoisePicture(41, 29, 32, 17);
    for (int32_t y = 0; y < src.height; ++y)
        for (int32_t x = 0; x < src.width; ++x)
            for (int32_t k = 0; k < 3; ++k)
                src.Set(x, y, k, 40 + (x * 4 + y * 2 * k) % 150 + src.At(x, y, k) % 32);
    const std::string in = TempPath("usm_in.pnm"), out = TempPath("usm_out.pnm");
    WritePnm(in, src);
    ASSERT_TRUE(RunTool("convert " + in + " -unsharp 3x1+1+0 " + out));
    Picture expect;
    ASSERT_TRUE(ReadPnm(out, &expect));
    std::remove(in.c_str());
    std::remove(out.c_str());
    for (bool mmx : {false, true}) {
        MmxForm form(mmx);
        Chain c(16, src);
        const Picture got = ReadAll(c.filter.get());
        ASSERT_EQ(got.bytes.size(), expect.bytes.size());
        int worst = 0;
        double total = 0;
        for (size_t i = 0; i < got.bytes.size(); ++i) {
            const int d = std::abs(int(got.bytes[i]) - int(expect.bytes[i]));
            worst = std::max(worst, d);
            total += d;
        }
        EXPECT_LE(worst, 2) << "mmx " << mmx;
        EXPECT_LT(total / static_cast<double>(got.bytes.size()), 0.5) << "mmx " << mmx;
    }
}

TEST(Unsharp, APartialSourceChangeReachesEveryOutputThatReadsIt)
{
    for (int32_t method : {0, 1}) {
        MmxForm form(false);
        Picture src = NoisePicture(37, 23, 32, 6);
        Chain c(7, src);
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetMaskMethod(method, true)));
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetRadius(1.5, true)));
        ASSERT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, c.filter->Params(), false).bytes);
        ChangeBlock(&src, c.image.get(), {14, 7, 15, 8});
        EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, c.filter->Params(), false).bytes) << method;
    }
}
