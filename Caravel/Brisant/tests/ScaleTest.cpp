// Scale filter: parameters and geometry, tiled output against a whole-picture reference, and the
// resampling methods against an independent floating-point reference.
#include "Caravel/Brisant/VeltraFilterScale.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <tuple>

using namespace brisant_test;

namespace {

using Chain = FilterChain<CVeltraFilterScale>;

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void Cubic(double t, int64_t w[4])
{
    w[0] = static_cast<int64_t>(((-0.5 * t + 1) * t - 0.5) * t * 16384);
    w[2] = static_cast<int64_t>(((-1.5 * t + 2) * t + 0.5) * t * 16384);
    w[3] = static_cast<int64_t>(((0.5 * t - 0.5) * t) * t * 16384);
    w[1] = 16384 - w[0] - w[2] - w[3];
}

// One axis of the exact integer resampling, on whole lines: out[i] from in[] (edges replicated).
std::vector<int64_t> ResampleLine(const std::vector<int64_t>& in, int32_t outSize, int32_t method, int64_t maxv)
{
    const int64_t s = static_cast<int64_t>(in.size()), d = outSize;
    const int64_t g = std::gcd(s, d), A = s / g, B = d / g;
    auto at = [&](int64_t i) { return in[static_cast<size_t>(std::clamp<int64_t>(i, 0, s - 1))]; };
    std::vector<int64_t> out(static_cast<size_t>(d));
    for (int64_t x = 0; x < d; ++x) {
        if (d <= s) {  // area
            const int64_t n0 = x * A, n1 = n0 + A;
            const int64_t first = B - n0 % B, last = n1 % B, count = (A - first - last) / B;
            int64_t acc = at(n0 / B) * first;
            for (int64_t j = 1; j <= count; ++j)
                acc += at(n0 / B + j) * B;
            if (last)
                acc += at(n0 / B + count + 1) * last;
            out[static_cast<size_t>(x)] = acc / A;
        } else {
            const int64_t n = (2 * x + 1) * A - B;
            const int64_t i = FloorDiv(n, 2 * B), f = n - i * 2 * B;
            if (method == 1) {
                out[static_cast<size_t>(x)] = (at(i) * (2 * B - f) + at(i + 1) * f) / (2 * B);
            } else {
                int64_t w[4];
                Cubic(static_cast<double>(n) / static_cast<double>(2 * B) - static_cast<double>(i), w);
                int64_t acc = 0;
                for (int k = 0; k < 4; ++k)
                    acc += w[k] * at(i - 1 + k);
                out[static_cast<size_t>(x)] = std::clamp<int64_t>(acc / 16384, 0, maxv);
            }
        }
    }
    return out;
}

// The vertical pass takes its cubic weights from the remainder: t = f / 2D.
std::vector<int64_t> ResampleColumn(const std::vector<int64_t>& in, int32_t outSize, int32_t method, int64_t maxv)
{
    const int64_t s = static_cast<int64_t>(in.size()), d = outSize;
    if (d <= s || method == 1)
        return ResampleLine(in, outSize, method, maxv);
    const int64_t g = std::gcd(s, d), C = s / g, D = d / g;
    auto at = [&](int64_t i) { return in[static_cast<size_t>(std::clamp<int64_t>(i, 0, s - 1))]; };
    std::vector<int64_t> out(static_cast<size_t>(d));
    for (int64_t y = 0; y < d; ++y) {
        const int64_t m = (2 * y + 1) * C - D;
        const int64_t r = FloorDiv(m, 2 * D), f = m - r * 2 * D;
        int64_t w[4];
        Cubic(static_cast<double>(f) / static_cast<double>(2 * D), w);
        int64_t acc = 0;
        for (int k = 0; k < 4; ++k)
            acc += w[k] * at(r - 1 + k);
        out[static_cast<size_t>(y)] = std::clamp<int64_t>(acc / 16384, 0, maxv);
    }
    return out;
}

// Whole-picture reference: nearest by index, or rows first then columns.
Picture Reference(const Picture& src, int32_t dw, int32_t dh, int32_t method)
{
    Picture out = MakePicture(dw, dh, src.colorSpace);
    const int32_t n = src.Components();
    const int64_t maxv = src.Wide() ? 65535 : 255;
    if (method == 0) {
        for (int32_t y = 0; y < dh; ++y)
            for (int32_t x = 0; x < dw; ++x) {
                // s < (x + 0.5) sw / dw <= s + 1
                const int32_t sx = static_cast<int32_t>(std::ceil((x + 0.5) * src.width / dw - 1e-12)) - 1;
                const int32_t sy = static_cast<int32_t>(std::ceil((y + 0.5) * src.height / dh - 1e-12)) - 1;
                for (int32_t c = 0; c < n; ++c)
                    out.Set(x, y, c, src.At(std::max(sx, 0), std::max(sy, 0), c));
            }
        return out;
    }
    for (int32_t c = 0; c < n; ++c) {
        std::vector<std::vector<int64_t>> rows(static_cast<size_t>(src.height));
        for (int32_t y = 0; y < src.height; ++y) {
            std::vector<int64_t> line(static_cast<size_t>(src.width));
            for (int32_t x = 0; x < src.width; ++x)
                line[static_cast<size_t>(x)] = src.At(x, y, c);
            rows[static_cast<size_t>(y)] = ResampleLine(line, dw, method, maxv);
        }
        for (int32_t x = 0; x < dw; ++x) {
            std::vector<int64_t> column(static_cast<size_t>(src.height));
            for (int32_t y = 0; y < src.height; ++y)
                column[static_cast<size_t>(y)] = rows[static_cast<size_t>(y)][static_cast<size_t>(x)];
            const std::vector<int64_t> v = ResampleColumn(column, dh, method, maxv);
            for (int32_t y = 0; y < dh; ++y)
                out.Set(x, y, c, static_cast<uint32_t>(v[static_cast<size_t>(y)]));
        }
    }
    return out;
}

// Independent reference in doubles: box average, or centre-aligned bilinear / cubic convolution
// with replicated edges.
double Kernel(double x, int32_t method)
{
    x = std::fabs(x);
    if (method == 1)
        return x < 1 ? 1 - x : 0;
    if (x < 1)
        return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2)
        return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
}

double Exact(const Picture& src, int32_t dw, int32_t dh, int32_t method, int32_t x, int32_t y, int32_t c)
{
    const double fx = static_cast<double>(src.width) / dw, fy = static_cast<double>(src.height) / dh;
    auto px = [&](int32_t i, int32_t j) {
        return static_cast<double>(src.At(std::clamp(i, 0, src.width - 1), std::clamp(j, 0, src.height - 1), c));
    };
    if (dw <= src.width) {  // area on both axes
        const double x0 = x * fx, x1 = (x + 1) * fx, y0 = y * fy, y1 = (y + 1) * fy;
        double acc = 0;
        for (int32_t j = static_cast<int32_t>(y0); j < y1; ++j)
            for (int32_t i = static_cast<int32_t>(x0); i < x1; ++i) {
                const double wx = std::min<double>(x1, i + 1) - std::max<double>(x0, i);
                const double wy = std::min<double>(y1, j + 1) - std::max<double>(y0, j);
                acc += wx * wy * px(i, j);
            }
        return acc / (fx * fy);
    }
    const double sx = (x + 0.5) * fx - 0.5, sy = (y + 0.5) * fy - 0.5;
    double acc = 0;
    for (int32_t j = static_cast<int32_t>(std::floor(sy)) - 2; j <= sy + 2; ++j)
        for (int32_t i = static_cast<int32_t>(std::floor(sx)) - 2; i <= sx + 2; ++i)
            acc += Kernel(sx - i, method) * Kernel(sy - j, method) * px(i, j);
    return acc;
}

using Spy = NotificationSpy;

}  // namespace

TEST(ScaleGeometry, SizesMappingsAndPassThrough)
{
    auto m = MakeManager(8);
    Picture p = NoisePicture(1001, 3, 2, 1);
    ImagePtr img = MakeImage(m.get(), p);
    CVeltraFilterScale f(m.get(), 0);
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(img.get(), &f)));
    EXPECT_TRUE(f.IsPassThrough());
    int32_t w = 0, h = 0;
    EXPECT_FALSE(VeltraErrorPtr(f.GetSize(&w, &h)));
    EXPECT_EQ(w, 1001);
    ASSERT_FALSE(VeltraErrorPtr(f.SetScale(0.5, false)));
    EXPECT_FALSE(VeltraErrorPtr(f.GetSize(&w, &h)));
    EXPECT_EQ(w, 501);  // 500.5 + 0.5, truncated
    EXPECT_EQ(h, 2);
    ASSERT_FALSE(VeltraErrorPtr(f.SetScale(1.00000000005, false)));
    EXPECT_TRUE(f.IsPassThrough());
    ASSERT_FALSE(VeltraErrorPtr(f.SetScale(1.0000001, false)));
    EXPECT_FALSE(f.IsPassThrough());
    ASSERT_FALSE(VeltraErrorPtr(f.SetSize(1001, 3, false)));
    EXPECT_TRUE(f.IsPassThrough());
    EXPECT_EQ(ReadAll(&f).bytes, p.bytes);

    VeltraRect r{1, 1, 2, 2};
    CVeltraFilterScale::FilterRect(&r, 3, 3, 2, 2);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 2);
    EXPECT_EQ(r.bottom, 2);
    VeltraRect q{0, 0, 1, 1};
    CVeltraFilterScale::DefilterRect(&q, 3, 3, 2, 2);
    EXPECT_EQ(q.right, 2);
    EXPECT_EQ(q.bottom, 2);
    VeltraRect neg{-3, -1, 1, 1};
    CVeltraFilterScale::FilterRect(&neg, 2, 2, 3, 3);
    EXPECT_EQ(neg.left, -5);  // exact floor for negative values
    int32_t x = 7, y = 5;
    CVeltraFilterScale::DefilterPoint(&x, &y, 10, 10, 0, 0);  // an empty output never divides by zero
    EXPECT_EQ(x, 0);
}

TEST(ScaleGeometry, SetSizeNotifiesOnceAndSourceSizeChangesArriveAsPixelChanges)
{
    auto m = MakeManager(8);
    ImagePtr img = MakeImage(m.get(), NoisePicture(40, 30, 2, 2));
    CVeltraFilterScale f(m.get(), 0);
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(img.get(), &f)));
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(&f, &spy)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetSize(20, 15, true)));
    ASSERT_FALSE(VeltraErrorPtr(f.SetSize(20, 15, true)));
    ASSERT_EQ(spy.codes, (std::vector<int32_t>{1}));
    EXPECT_EQ(spy.size.oldWidth, 40);
    EXPECT_EQ(spy.size.newWidth, 20);
    IVeltraDataDestination::ChangeSize change{40, 30, 80, 60};
    ASSERT_FALSE(VeltraErrorPtr(img->SetSize(80, 60)));
    ASSERT_FALSE(VeltraErrorPtr(f.VeltraNotify(img.get(), 1, &change)));
    ASSERT_EQ(spy.codes.back(), 0);
    EXPECT_EQ(spy.rect.right, 20);
    EXPECT_EQ(spy.rect.bottom, 15);
    EXPECT_EQ(spy.codes.size(), 2u);
}

class ScaleTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(ScaleTiles, TiledOutputEqualsTheWholePictureReference)
{
    const auto [method, code] = GetParam();
    struct Size {
        int32_t sw, sh, dw, dh;
    } sizes[] = {{37, 23, 15, 10}, {37, 23, 80, 51}, {37, 23, 37, 50}, {37, 23, 20, 23}, {9, 7, 4, 3},
                 // reductions of 3:1 and 9:1 (more pixels to a column than the fixed tap counts)
                 {37, 23, 12, 8}, {37, 23, 4, 3},
                 // rows long enough for the wide form's groups of eight columns, at the
                 // photographs' ratios (8:5, 16:5) and an uneven one
                 {160, 6, 100, 4}, {160, 6, 50, 3}, {157, 5, 61, 2},
                 // a ratio whose shares of a pixel are too large for byte weights
                 {199, 5, 131, 3}};
    for (const Size& s : sizes) {
        const Picture src = NoisePicture(s.sw, s.sh, code, 17);
        const Picture expect = Reference(src, s.dw, s.dh, method);
        for (int32_t tile : {1, 7, 64})
            for (bool wide : {false, true}) {
                if (tile == 1 && s.sw > 9)
                    continue;
                ScopedVectorForm vectors(wide);
                Chain c(tile, src, method);
                ASSERT_FALSE(VeltraErrorPtr(c.filter->SetSize(s.dw, s.dh, true)));
                const Picture out = ReadAll(c.filter.get());
                EXPECT_EQ(out.bytes, expect.bytes) << "method " << method << " code " << code << " " << s.sw << "x"
                                                   << s.sh << " -> " << s.dw << "x" << s.dh << " tile " << tile
                                                   << " wide " << wide;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(MethodsAndCodes, ScaleTiles,
                         testing::Combine(testing::Values(0, 1, 2), testing::Values(2, 3, 32, 33)));

TEST(ScaleResampling, StaysWithinTheToleranceOfAnIndependentReference)
{
    struct Case {
        int32_t method, sw, sh, dw, dh, code;
        double below, above;  // ours - exact within [-below, above]
    } cases[] = {
        {1, 60, 45, 16, 12, 32, 2.0, 0.0},    // area: two truncations
        {1, 60, 45, 16, 12, 33, 2.0, 0.0},
        {1, 20, 15, 53, 41, 32, 2.0, 0.0},    // bilinear
        {2, 20, 15, 53, 41, 32, 3.0, 3.0},    // cubic convolution
        {2, 20, 15, 53, 41, 33, 3.0, 3.0},
    };
    for (const Case& k : cases) {
        // smooth content, so that the tolerance measures arithmetic, not aliasing
        Picture src = MakePicture(k.sw, k.sh, k.code);
        const double maxv = src.Wide() ? 65535 : 255;
        for (int32_t y = 0; y < k.sh; ++y)
            for (int32_t x = 0; x < k.sw; ++x)
                for (int32_t c = 0; c < src.Components(); ++c)
                    src.Set(x, y, c, static_cast<uint32_t>(maxv * (0.5 + 0.45 * std::sin(0.3 * x + 0.2 * y + c))));
        Chain ch(16, src, k.method);
        ASSERT_FALSE(VeltraErrorPtr(ch.filter->SetSize(k.dw, k.dh, false)));
        const Picture out = ReadAll(ch.filter.get());
        const double unit = src.Wide() ? 257.0 : 1.0;
        for (int32_t y = 0; y < k.dh; ++y)
            for (int32_t x = 0; x < k.dw; ++x)
                for (int32_t c = 0; c < src.Components(); ++c) {
                    const double diff = (out.At(x, y, c) - Exact(src, k.dw, k.dh, k.method, x, y, c)) / unit;
                    ASSERT_GE(diff, -k.below - 1e-9) << x << "," << y << " method " << k.method;
                    ASSERT_LE(diff, k.above + 1e-9) << x << "," << y << " method " << k.method;
                }
    }
}

TEST(ScaleResampling, KnownResults)
{
    // halving 8-bit data by method 1: truncated means of pairs, then of the pair means
    Picture p = MakePicture(2, 2, 2);
    p.Set(0, 0, 0, 10);
    p.Set(1, 0, 0, 13);
    p.Set(0, 1, 0, 20);
    p.Set(1, 1, 0, 26);
    Chain c(8, p, 1);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetSize(1, 1, false)));
    EXPECT_EQ(ReadAll(c.filter.get()).At(0, 0, 0), (11u + 23u) / 2);
    // flat white stays white when enlarged by cubic convolution
    for (int32_t code : {2, 33}) {
        Picture white = MakePicture(7, 5, code);
        for (auto& b : white.bytes)
            b = 0xFF;
        Chain w(8, white, 2);
        ASSERT_FALSE(VeltraErrorPtr(w.filter->SetSize(19, 13, false)));
        const Picture out = ReadAll(w.filter.get());
        for (uint8_t b : out.bytes)
            ASSERT_EQ(b, 0xFF);
    }
    // an unknown source code is refused by every method
    for (int32_t method : {0, 1, 2}) {
        Chain bad(8, NoisePicture(5, 5, 64, 1), method);
        ASSERT_FALSE(VeltraErrorPtr(bad.filter->SetSize(3, 3, false)));
        void* bits = nullptr;
        VeltraErrorPtr e(bad.filter->LockTile(&bits, 0, 0, nullptr));
        ASSERT_TRUE(e);
        EXPECT_STREQ(e->Root()->GetText(), "Bad source data color space");
    }
}

TEST(ScaleGeometry, APixelChangeReachesEveryOutputPixelThatReadsIt)
{
    Picture src = NoisePicture(10, 10, 2, 3);
    Chain c(4, src, 2);
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetSize(20, 20, false)));
    ASSERT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, 20, 20, 2).bytes);
    src.Set(5, 5, 0, 255 - src.At(5, 5, 0));
    ASSERT_FALSE(VeltraErrorPtr(c.image->SetData(src.bytes.data(), src.RowBytes(), VeltraRect{0, 0, 10, 10})));
    VeltraRect changed{5, 5, 6, 6};
    ASSERT_FALSE(VeltraErrorPtr(VeltraSendDataNotification(c.image.get(), 0, &changed)));
    // cubic convolution reads two source pixels on each side of an output pixel's centre
    ASSERT_EQ(spy.codes.back(), 0);
    EXPECT_EQ(spy.rect.left, 6);
    EXPECT_EQ(spy.rect.right, 16);
    EXPECT_EQ(ReadAll(c.filter.get()).bytes, Reference(src, 20, 20, 2).bytes);
}
