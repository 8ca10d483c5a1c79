// Scale filter: one output tile by nearest pixel, or by separable area, bilinear or bicubic
// resampling in exact integers on the size ratio reduced to lowest terms.
#include "Caravel/Brisant/TiledSourceReader.h"
#include "Caravel/Brisant/VeltraFilterScale.h"
#include "Caravel/Brisant/VectorForm.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#define WRAP(e) VELTRA_WRAP(kCode, e)

struct CVeltraFilterScale::Region {
    int32_t sw = 0, sh = 0, dw = 0, dh = 0;
    int32_t components = 0;
    int32_t bytesPerSample = 0;
    int32_t bytesPerPixel = 0;
    int64_t A = 1, B = 1, C = 1, D = 1;  // width source:output as A:B, height as C:D
};

namespace {

enum class Kernel { kArea, kLinear, kCubic };

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Components and sample size of the colour spaces the filter reads: palette indexes, the
// 8-bit hue codes, raw sensor data and bit pictures cannot be averaged.
bool SampleLayout(int32_t colorSpace, int32_t* components, int32_t* bytesPerSample)
{
    if (colorSpace == 19 || colorSpace == 39 || colorSpace == 64 || colorSpace == 65)
        return false;
    int32_t bits = 0;
    if (!IVeltraDataSource::GetSampleLayout(colorSpace, components, &bits) || bits < 8)
        return false;
    *bytesPerSample = bits / 8;
    return true;
}

// Exact n / d for the kernels' sums: one multiply and at most one correction for n < 2^32.
struct ExactDivider {
    explicit ExactDivider(uint64_t divisor) : d(divisor), m(divisor > 1 ? (uint64_t{1} << 32) / divisor : 0) {}
    uint64_t operator()(uint64_t n) const
    {
        if (d == 1)
            return n;
        if (n >> 32)
            return n / d;
        uint64_t q = (n * m) >> 32;
        if (n - q * d >= d)
            ++q;
        return q;
    }
    uint64_t d;
    uint64_t m;
};

// Cubic convolution weights (a = -0.5) in units of 1/16384; the middle weight takes the rest so
// that the four always sum to one and flat areas keep their value.
void CubicWeights(double t, int32_t w[4])
{
    w[0] = static_cast<int32_t>(((-0.5 * t + 1) * t - 0.5) * t * 16384);
    w[2] = static_cast<int32_t>(((-1.5 * t + 2) * t + 0.5) * t * 16384);
    w[3] = static_cast<int32_t>(((0.5 * t - 0.5) * t) * t * 16384);
    w[1] = 16384 - w[0] - w[2] - w[3];
}

template <class T>
constexpr int64_t kMaxSample = sizeof(T) == 1 ? 255 : 65535;

template <class T>
T ClampSample(int64_t v)
{
    return static_cast<T>(v < 0 ? 0 : (v > kMaxSample<T> ? kMaxSample<T> : v));
}

// The inner loops, per sample type and component count.
template <class T, int N>
struct Kernels {
    using Weight = CVeltraFilterScale::ColumnWeight;

    // One source row (gathered from column lo on) into one ring row.
    static void Horizontal(Kernel k, const Weight* w, int32_t width, const T* src, int32_t lo, int64_t B,
                           const ExactDivider& divA, const ExactDivider& div2B, uint16_t* ring)
    {
        switch (k) {
        case Kernel::kArea:
            for (int32_t x = 0; x < width; ++x, ring += N) {
                const T* p = src + static_cast<ptrdiff_t>(w[x].index - lo) * N;
                const uint64_t first = static_cast<uint64_t>(w[x].weights[0]);
                const uint64_t last = static_cast<uint64_t>(w[x].weights[1]);
                const int32_t count = w[x].weights[2];
                for (int c = 0; c < N; ++c) {
                    uint64_t whole = 0;
                    for (int32_t j = 1; j <= count; ++j)
                        whole += p[j * N + c];
                    uint64_t acc = p[c] * first + whole * static_cast<uint64_t>(B);
                    if (last)
                        acc += p[(count + 1) * N + c] * last;
                    ring[c] = static_cast<uint16_t>(divA(acc));
                }
            }
            break;
        case Kernel::kLinear:
            for (int32_t x = 0; x < width; ++x, ring += N) {
                const T* p = src + static_cast<ptrdiff_t>(w[x].index - lo) * N;
                const uint64_t w0 = static_cast<uint64_t>(w[x].weights[0]);
                const uint64_t w1 = static_cast<uint64_t>(w[x].weights[1]);
                for (int c = 0; c < N; ++c)
                    ring[c] = static_cast<uint16_t>(div2B(p[c] * w0 + p[N + c] * w1));
            }
            break;
        case Kernel::kCubic:
            for (int32_t x = 0; x < width; ++x, ring += N) {
                const T* p = src + static_cast<ptrdiff_t>(w[x].index - lo) * N;
                for (int c = 0; c < N; ++c) {
                    int64_t acc = 0;
                    for (int j = 0; j < 4; ++j)
                        acc += static_cast<int64_t>(w[x].weights[j]) * p[j * N + c];
                    ring[c] = ClampSample<T>(acc / 16384);
                }
            }
            break;
        }
    }

    // One output row from the ring rows and the row weights.
    static void Vertical(Kernel k, uint16_t* const* rows, const int32_t* weights, int32_t width, int64_t D,
                         const ExactDivider& divC, const ExactDivider& div2D, T* out)
    {
        const int32_t samples = width * N;
        switch (k) {
        case Kernel::kArea: {
            const uint64_t first = static_cast<uint64_t>(weights[0]);
            const uint64_t last = static_cast<uint64_t>(weights[1]);
            const int32_t count = weights[2];
            for (int32_t i = 0; i < samples; ++i) {
                uint64_t whole = 0;
                for (int32_t j = 0; j < count; ++j)
                    whole += rows[2 + j][i];
                uint64_t acc = rows[1][i] * first + whole * static_cast<uint64_t>(D);
                if (last)
                    acc += rows[2 + count][i] * last;
                out[i] = static_cast<T>(divC(acc));
            }
            break;
        }
        case Kernel::kLinear: {
            const uint64_t w0 = static_cast<uint64_t>(weights[0]);
            const uint64_t w1 = static_cast<uint64_t>(weights[1]);
            for (int32_t i = 0; i < samples; ++i)
                out[i] = static_cast<T>(div2D(rows[1][i] * w0 + rows[2][i] * w1));
            break;
        }
        case Kernel::kCubic:
            for (int32_t i = 0; i < samples; ++i) {
                int64_t acc = 0;
                for (int j = 0; j < 4; ++j)
                    acc += static_cast<int64_t>(weights[j]) * rows[j][i];
                out[i] = ClampSample<T>(acc / 16384);
            }
            break;
        }
    }
};

using HorizontalFn = void (*)(Kernel, const CVeltraFilterScale::ColumnWeight*, int32_t, const void*, int32_t, int64_t,
                              const ExactDivider&, const ExactDivider&, uint16_t*);
using VerticalFn = void (*)(Kernel, uint16_t* const*, const int32_t*, int32_t, int64_t, const ExactDivider&,
                            const ExactDivider&, void*);

template <class T, int N>
void HorizontalOf(Kernel k, const CVeltraFilterScale::ColumnWeight* w, int32_t width, const void* src, int32_t lo,
                  int64_t B, const ExactDivider& a, const ExactDivider& b, uint16_t* ring)
{
    Kernels<T, N>::Horizontal(k, w, width, static_cast<const T*>(src), lo, B, a, b, ring);
}

template <class T, int N>
void VerticalOf(Kernel k, uint16_t* const* rows, const int32_t* weights, int32_t width, int64_t D,
                const ExactDivider& c, const ExactDivider& d, void* out)
{
    Kernels<T, N>::Vertical(k, rows, weights, width, D, c, d, static_cast<T*>(out));
}

template <class T>
void PickKernels(int32_t components, HorizontalFn* h, VerticalFn* v)
{
    switch (components) {
    case 1: *h = HorizontalOf<T, 1>; *v = VerticalOf<T, 1>; break;
    case 2: *h = HorizontalOf<T, 2>; *v = VerticalOf<T, 2>; break;
    case 3: *h = HorizontalOf<T, 3>; *v = VerticalOf<T, 3>; break;
    default: *h = HorizontalOf<T, 4>; *v = VerticalOf<T, 4>; break;
    }
}

// Exact floor(n / d) for n below 2^32, without a branch: the quotient by the
// 32-bit reciprocal is at most one short.
struct Divider32 {
    explicit Divider32(uint32_t divisor) : d(divisor), m((uint64_t{1} << 32) / divisor) {}
    uint32_t operator()(uint32_t n) const
    {
        const auto q = static_cast<uint32_t>((uint64_t{n} * m) >> 32);
        return q + (n - q * d >= d ? 1u : 0u);
    }
    uint32_t d;
    uint64_t m;
};

// The area reduction across a row when its largest sum (the largest sample times A)
// stays below 2^32: every output column as the same number of taps (the first
// pixel's share, B for each whole pixel, the last one's share, then zeros), so
// the loops have no branch per column, and 32-bit sums. The same integers as
// Kernels::Horizontal's area case.
struct AreaTaps {
    int32_t width = 0;
    int32_t taps = 0;
    std::vector<int32_t> start;    // first sample read, from the gathered row's start
    std::vector<uint32_t> weight;  // taps per column
    Divider32 divide{1};

    static bool Fits(int64_t maxSample, int64_t A) { return maxSample * A < (int64_t{1} << 32); }

    void Build(const std::vector<CVeltraFilterScale::ColumnWeight>& columns, int32_t lo, int32_t components,
               int64_t A, int64_t B)
    {
        width = static_cast<int32_t>(columns.size());
        taps = 0;
        for (const auto& c : columns)
            taps = std::max(taps, c.weights[2] + 2);
        start.assign(columns.size(), 0);
        weight.assign(columns.size() * static_cast<size_t>(taps), 0);
        for (size_t x = 0; x < columns.size(); ++x) {
            const auto& c = columns[x];
            start[x] = (c.index - lo) * components;
            uint32_t* w = weight.data() + x * static_cast<size_t>(taps);
            w[0] = static_cast<uint32_t>(c.weights[0]);
            for (int32_t j = 1; j <= c.weights[2]; ++j)
                w[j] = static_cast<uint32_t>(B);
            w[c.weights[2] + 1] = static_cast<uint32_t>(c.weights[1]);
        }
        divide = Divider32(static_cast<uint32_t>(A));
    }

    // The weights again, tap by tap (tap j of column x at j * width + x), for the
    // wide form that works on eight columns at once.
    void BuildByTap()
    {
        byTap.assign(static_cast<size_t>(taps) * static_cast<size_t>(width), 0);
        for (int32_t x = 0; x < width; ++x)
            for (int32_t j = 0; j < taps; ++j)
                byTap[static_cast<size_t>(j) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                    static_cast<int32_t>(weight[static_cast<size_t>(x) * static_cast<size_t>(taps) + static_cast<size_t>(j)]);
    }
    std::vector<int32_t> byTap;

    // The weights once more, as the shuffled form reads them: per column, per group
    // of four taps, 16 bytes w0 w1 w2 w3 three times (one for each sample of the
    // pixel) and four zeros.
    int32_t groups = 0;
    std::vector<int8_t> byGroup;
    void BuildByGroup()
    {
        groups = (taps + 3) / 4;
        byGroup.assign(static_cast<size_t>(width) * static_cast<size_t>(groups) * 16, 0);
        for (int32_t x = 0; x < width; ++x)
            for (int32_t j = 0; j < taps; ++j) {
                int8_t* g = byGroup.data() + (static_cast<size_t>(x) * static_cast<size_t>(groups) + j / 4) * 16;
                const auto w = static_cast<int8_t>(weight[static_cast<size_t>(x) * static_cast<size_t>(taps) + static_cast<size_t>(j)]);
                for (int c = 0; c < 3; ++c)
                    g[4 * c + j % 4] = w;
            }
    }
};

// Columns from .. width - 1; K taps known at compile time for the common reductions
// (up to about 5:1), 0 for any.
template <class T, int N, int K>
void AreaColumnsFrom(const AreaTaps& t, const void* gathered, uint16_t* ring, int32_t from)
{
    const int32_t k = K ? K : t.taps;
    const T* src = static_cast<const T*>(gathered);
    ring += static_cast<ptrdiff_t>(from) * N;
    for (int32_t x = from; x < t.width; ++x, ring += N) {
        const T* p = src + t.start[static_cast<size_t>(x)];
        const uint32_t* w = t.weight.data() + static_cast<size_t>(x) * static_cast<size_t>(k);
        for (int c = 0; c < N; ++c) {
            uint32_t acc = 0;
            for (int32_t j = 0; j < k; ++j)
                acc += w[j] * p[j * N + c];
            ring[c] = static_cast<uint16_t>(t.divide(acc));
        }
    }
}

template <class T, int N, int K>
void AreaRowOf(const AreaTaps& t, const void* gathered, uint16_t* ring)
{
    AreaColumnsFrom<T, N, K>(t, gathered, ring, 0);
}

using AreaRowFn = void (*)(const AreaTaps&, const void*, uint16_t*);

// Bytes past the gathered row's last pixel that the shuffled area form may read.
constexpr size_t kShuffledSlack = 32;

#if defined(__x86_64__) || defined(__i386__)
// Divider32 on eight lanes (sums below 2^31).
struct DividerLanes {
    __attribute__((target("avx2"))) explicit DividerLanes(const Divider32& d)
        : reciprocal(_mm256_set1_epi64x(static_cast<int64_t>(d.m))),
          divisor(_mm256_set1_epi32(static_cast<int32_t>(d.d))),
          divisorLess1(_mm256_set1_epi32(static_cast<int32_t>(d.d - 1)))
    {
    }
    __attribute__((target("avx2"))) __m256i operator()(__m256i n) const
    {
        const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(n, reciprocal), 32);
        const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(n, 32), reciprocal);
        const __m256i q = _mm256_blend_epi32(even, odd, 0xAA);
        const __m256i rest = _mm256_sub_epi32(n, _mm256_mullo_epi32(q, divisor));
        return _mm256_sub_epi32(q, _mm256_cmpgt_epi32(rest, divisorLess1));
    }
    __m256i reciprocal, divisor, divisorLess1;
};

// The shuffle that packs, in each 128-bit half, two pixels' three 16-bit samples
// (each pixel's first three of four) into the half's first 12 bytes.
__attribute__((target("avx2"))) inline __m256i PackPixelPairs()
{
    return _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -1, -1, -1, -1, 0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12,
                            13, -1, -1, -1, -1);
}

// The last two pixels of a group (the first 12 bytes of v) at o. Every store of a
// group writes two samples past its pixels, which the next store (or the next
// group, or the plain loop) writes afterwards; the row's last pixels go through a
// copy of their own, so that nothing is written past the row.
__attribute__((target("avx2"))) inline void StoreLastPair(uint16_t* o, __m128i v, bool endOfRow)
{
    if (!endOfRow) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
        return;
    }
    uint16_t last[8];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last), v);
    std::memcpy(o, last, 6 * sizeof(uint16_t));
}

// 8-bit RGB, eight output columns at a time (AVX2). One gather per tap brings the
// tap's three samples of all eight columns (four bytes from each column's start; the
// gathered row has room past its last pixel). Each sum is weight times sample
// added tap by tap in 32 bits, as the plain loop adds them, and the division is
// Divider32's, lane by lane: the same integers. Weights must be below 2^15 (the
// multiply works on 16-bit halves) and the divisor at least 2.
__attribute__((target("avx2"))) void AreaRowRgb8Wide(const AreaTaps& t, const void* gathered, uint16_t* ring)
{
    const auto* src = static_cast<const uint8_t*>(gathered);
    const __m256i low = _mm256_set1_epi32(0xFF);
    const DividerLanes divide(t.divide);
    const __m256i pack = PackPixelPairs();
    int32_t x = 0;
    for (; x + 8 <= t.width; x += 8) {
        const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.start.data() + x));
        __m256i r = _mm256_setzero_si256(), g = _mm256_setzero_si256(), b = _mm256_setzero_si256();
        for (int32_t j = 0; j < t.taps; ++j) {
            const __m256i v =
                _mm256_i32gather_epi32(reinterpret_cast<const int*>(src + 3 * static_cast<ptrdiff_t>(j)), starts, 1);
            const __m256i w = _mm256_loadu_si256(
                reinterpret_cast<const __m256i*>(t.byTap.data() + static_cast<size_t>(j) * t.width + x));
            r = _mm256_add_epi32(r, _mm256_madd_epi16(_mm256_and_si256(v, low), w));
            g = _mm256_add_epi32(g, _mm256_madd_epi16(_mm256_and_si256(_mm256_srli_epi32(v, 8), low), w));
            b = _mm256_add_epi32(b, _mm256_madd_epi16(_mm256_and_si256(_mm256_srli_epi32(v, 16), low), w));
        }
        const __m256i rg = _mm256_or_si256(divide(r), _mm256_slli_epi32(divide(g), 16));
        const __m256i blue = divide(b);
        // pixels 0, 1 | 4, 5 and 2, 3 | 6, 7
        const __m256i first = _mm256_shuffle_epi8(_mm256_unpacklo_epi32(rg, blue), pack);
        const __m256i second = _mm256_shuffle_epi8(_mm256_unpackhi_epi32(rg, blue), pack);
        uint16_t* o = ring + static_cast<ptrdiff_t>(x) * 3;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(first));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 6), _mm256_castsi256_si128(second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 12), _mm256_extracti128_si256(first, 1));
        StoreLastPair(o + 18, _mm256_extracti128_si256(second, 1), x + 8 == t.width);
    }
    AreaColumnsFrom<uint8_t, 3, 0>(t, gathered, ring, x);
}

bool AreaRowRgb8WideFits(const AreaTaps& t)
{
    return brisant::WideVectors() && t.divide.d >= 2 && t.divide.d < 32768;
}

// 8-bit RGB, four output columns at a time (AVX2), for the usual reductions: each
// column's taps in groups of four, the group's 12 bytes loaded at once and
// shuffled into its four reds, greens and blues; a multiply-add of bytes by byte
// weights and one of the 16-bit pairs give the three sums of the group. Weights
// of 64 or less keep each pair of products within 16 bits (they are the output
// width's share of a pixel, at most B); the sums stay below 2^32 as the plain
// loop's do (AreaTaps::Fits). The same sums and division as the plain loop. It is
// taken for up to 8 taps (reductions to about 7:1), where it was measured faster
// than the gathering form.
__attribute__((target("avx2"))) void AreaRowRgb8Shuffled(const AreaTaps& t, const void* gathered, uint16_t* ring)
{
    const auto* src = static_cast<const uint8_t*>(gathered);
    const DividerLanes divide(t.divide);
    const __m256i ones = _mm256_set1_epi16(1);
    // per 128-bit half: the reds, greens and blues of four pixels, then zeros
    const __m256i planes = _mm256_setr_epi8(0, 3, 6, 9, 1, 4, 7, 10, 2, 5, 8, 11, -1, -1, -1, -1, 0, 3, 6, 9, 1, 4,
                                            7, 10, 2, 5, 8, 11, -1, -1, -1, -1);
    const __m256i pack = PackPixelPairs();
    const size_t groupBytes = static_cast<size_t>(t.groups) * 16;
    // the sums of columns a and b, a in the low half and b in the high: R G B 0 each
    auto sums = [&](int32_t a, int32_t b) __attribute__((target("avx2"))) {
        const uint8_t* pa = src + t.start[static_cast<size_t>(a)];
        const uint8_t* pb = src + t.start[static_cast<size_t>(b)];
        const int8_t* wa = t.byGroup.data() + static_cast<size_t>(a) * groupBytes;
        const int8_t* wb = t.byGroup.data() + static_cast<size_t>(b) * groupBytes;
        __m256i total = _mm256_setzero_si256();
        for (int32_t g = 0; g < t.groups; ++g) {
            const __m256i px = _mm256_shuffle_epi8(
                _mm256_inserti128_si256(
                    _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pa + 12 * g))),
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(pb + 12 * g)), 1),
                planes);
            const __m256i w = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(wa + 16 * g))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(wb + 16 * g)), 1);
            total = _mm256_add_epi32(total, _mm256_madd_epi16(_mm256_maddubs_epi16(px, w), ones));
        }
        return divide(total);
    };
    int32_t x = 0;
    for (; x + 4 <= t.width; x += 4) {
        // packing the sums of x, x + 2 with those of x + 1, x + 3 puts x, x + 1 in the
        // low half and x + 2, x + 3 in the high
        const __m256i out = _mm256_shuffle_epi8(_mm256_packus_epi32(sums(x, x + 2), sums(x + 1, x + 3)), pack);
        uint16_t* o = ring + static_cast<ptrdiff_t>(x) * 3;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(out));
        StoreLastPair(o + 6, _mm256_extracti128_si256(out, 1), x + 4 == t.width);
    }
    AreaColumnsFrom<uint8_t, 3, 0>(t, gathered, ring, x);
}

bool AreaRowRgb8ShuffledFits(const AreaTaps& t, int64_t B)
{
    return brisant::WideVectors() && t.divide.d >= 2 && B <= 64 && t.taps <= 8;
}
#endif

template <class T, int N>
AreaRowFn PickAreaRowTaps(int32_t taps)
{
    switch (taps) {
    case 2: return AreaRowOf<T, N, 2>;
    case 3: return AreaRowOf<T, N, 3>;
    case 4: return AreaRowOf<T, N, 4>;
    case 5: return AreaRowOf<T, N, 5>;
    case 6: return AreaRowOf<T, N, 6>;
    case 7: return AreaRowOf<T, N, 7>;
    default: return AreaRowOf<T, N, 0>;
    }
}

template <class T>
AreaRowFn PickAreaRow(int32_t components, int32_t taps)
{
    switch (components) {
    case 1: return PickAreaRowTaps<T, 1>(taps);
    case 2: return PickAreaRowTaps<T, 2>(taps);
    case 3: return PickAreaRowTaps<T, 3>(taps);
    default: return PickAreaRowTaps<T, 4>(taps);
    }
}

// The area reduction down the ring rows in 32-bit sums (the largest sample times C
// below 2^32), a pass per row over all samples: the same integers as
// Kernels::Vertical's area case.
template <class T>
__attribute__((always_inline)) inline void AreaColumnsLoops(uint16_t* const* rows, const int32_t* weights,
                                                            int32_t samples, uint32_t D, const Divider32& divide,
                                                            uint32_t* acc, void* target)
{
    const auto first = static_cast<uint32_t>(weights[0]), last = static_cast<uint32_t>(weights[1]);
    const int32_t count = weights[2];
    const uint16_t* r = rows[1];
    for (int32_t i = 0; i < samples; ++i)
        acc[i] = r[i] * first;
    for (int32_t j = 0; j < count; ++j) {
        r = rows[2 + j];
        for (int32_t i = 0; i < samples; ++i)
            acc[i] += r[i] * D;
    }
    if (last) {
        r = rows[2 + count];
        for (int32_t i = 0; i < samples; ++i)
            acc[i] += r[i] * last;
    }
    T* out = static_cast<T*>(target);
    for (int32_t i = 0; i < samples; ++i)
        out[i] = static_cast<T>(divide(acc[i]));
}

#if defined(__x86_64__) || defined(__i386__)
// The same loops built for AVX2 (the rest of the library stays in the base set).
template <class T>
__attribute__((target("avx2"))) void AreaColumnsWide(uint16_t* const* rows, const int32_t* weights, int32_t samples,
                                                     uint32_t D, const Divider32& divide, uint32_t* acc, void* target)
{
    AreaColumnsLoops<T>(rows, weights, samples, D, divide, acc, target);
}
#endif

template <class T>
void AreaColumns(uint16_t* const* rows, const int32_t* weights, int32_t samples, uint32_t D, const Divider32& divide,
                 uint32_t* acc, void* target)
{
#if defined(__x86_64__) || defined(__i386__)
    if (brisant::WideVectors()) {
        AreaColumnsWide<T>(rows, weights, samples, D, divide, acc, target);
        return;
    }
#endif
    AreaColumnsLoops<T>(rows, weights, samples, D, divide, acc, target);
}

// The source pixels of row y from column lo to hi, edges replicated, into buf.
IVeltraError* GatherRow(TiledSourceReader& reader, int32_t y, int32_t lo, int32_t hi, int32_t sw,
                        int32_t bytesPerPixel, unsigned char* buf)
{
    int32_t x = lo;
    while (x <= hi) {
        if (IVeltraError* e = reader.MoveTo(x, y))
            return e;
        if (!reader.Pixel())
            return IVeltraError::Add(nullptr, 0, __LINE__, 0, kVeltraBadState);
        int32_t n = 1;
        if (x >= 0 && x < sw)
            n = std::min({reader.FreeRight() + 1, hi - x + 1, sw - x});
        std::memcpy(buf + static_cast<ptrdiff_t>(x - lo) * bytesPerPixel, reader.Pixel(),
                    static_cast<size_t>(n) * static_cast<size_t>(bytesPerPixel));
        x += n;
    }
    return nullptr;
}

}  // namespace

IVeltraError* CVeltraFilterScale::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
{
    IVeltraDataSource** sources = nullptr;
    int32_t count = 0;
    SourcesFor(info, &sources, &count);
    if (!sources || count < 1 || !sources[0])
        return NoSourceError(kCode, __LINE__);
    IVeltraDataSource* source = sources[0];
    TileTarget out(tile);
    if (!out.FindRegion())
        return nullptr;

    // common start: sizes, colour space, reduced ratios
    Region g;
    int32_t colorSpace = 0;
    if (IVeltraError* e = source->GetSize(&g.sw, &g.sh))
        return WRAP(e);
    if (IVeltraError* e = GetFilteredSize(sources, count, &g.dw, &g.dh))
        return WRAP(e);
    if (IVeltraError* e = source->GetColorSpace(&colorSpace))
        return WRAP(e);
    if (!SampleLayout(colorSpace, &g.components, &g.bytesPerSample))
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    if (g.sw <= 0 || g.sh <= 0 || g.dw <= 0 || g.dh <= 0)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadState);
    g.bytesPerPixel = g.components * g.bytesPerSample;
    const int64_t gw = std::gcd<int64_t, int64_t>(g.sw, g.dw);
    const int64_t gh = std::gcd<int64_t, int64_t>(g.sh, g.dh);
    g.A = g.sw / gw;
    g.B = g.dw / gw;
    g.C = g.sh / gh;
    g.D = g.dh / gh;

    if (IVeltraError* e = out.Lock())
        return WRAP(e);
    IVeltraError* err = m_method == 0 ? Nearest(out, source, g) : Resample(out, source, g);
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}

IVeltraError* CVeltraFilterScale::Nearest(TileTarget& out, IVeltraDataSource* source, const Region& g)
{
    const VeltraRect& reg = out.region;
    // source column s with s < (x + 0.5) sw / dw <= s + 1: a centre on a boundary takes the left pixel
    std::vector<int32_t> xs(static_cast<size_t>(reg.right - reg.left));
    std::vector<int32_t> ys(static_cast<size_t>(reg.bottom - reg.top));
    for (int32_t x = reg.left; x < reg.right; ++x)
        xs[static_cast<size_t>(x - reg.left)] = static_cast<int32_t>(
            std::clamp<int64_t>(((2 * int64_t{x} + 1) * g.sw + 2 * int64_t{g.dw} - 1) / (2 * int64_t{g.dw}) - 1, 0,
                                g.sw - 1));
    for (int32_t y = reg.top; y < reg.bottom; ++y)
        ys[static_cast<size_t>(y - reg.top)] = static_cast<int32_t>(
            std::clamp<int64_t>(((2 * int64_t{y} + 1) * g.sh + 2 * int64_t{g.dh} - 1) / (2 * int64_t{g.dh}) - 1, 0,
                                g.sh - 1));
    // map to the source and ask for exactly that
    VeltraRect src{xs.front(), ys.front(), xs.back() + 1, ys.back() + 1};
    const int32_t bpp = g.bytesPerPixel;
    return WalkSourceTiles(source, src, kCode, bpp, [&](const SourceBlock& b) -> IVeltraError* {
        const size_t x0 = static_cast<size_t>(std::lower_bound(xs.begin(), xs.end(), b.covered.left) - xs.begin());
        const size_t x1 = static_cast<size_t>(std::lower_bound(xs.begin(), xs.end(), b.covered.right) - xs.begin());
        const size_t y0 = static_cast<size_t>(std::lower_bound(ys.begin(), ys.end(), b.covered.top) - ys.begin());
        const size_t y1 = static_cast<size_t>(std::lower_bound(ys.begin(), ys.end(), b.covered.bottom) - ys.begin());
        for (size_t yi = y0; yi < y1; ++yi) {
            unsigned char* dst = out.At(reg.left + static_cast<int32_t>(x0), reg.top + static_cast<int32_t>(yi), bpp);
            // a row whose source row does not change is a copy of the row above
            if (yi > y0 && ys[yi] == ys[yi - 1]) {
                std::memcpy(dst, dst - out.rowBytes, (x1 - x0) * static_cast<size_t>(bpp));
                continue;
            }
            const unsigned char* row = b.bits + static_cast<ptrdiff_t>(ys[yi] - b.covered.top) * b.rowBytes;
            for (size_t xi = x0; xi < x1; ++xi, dst += bpp)
                CPixelPtr::CopyOne(dst, row + static_cast<ptrdiff_t>(xs[xi] - b.covered.left) * bpp, bpp);
        }
        return nullptr;
    });
}

IVeltraError* CVeltraFilterScale::Resample(TileTarget& out, IVeltraDataSource* source, const Region& g)
{
    const VeltraRect& reg = out.region;
    const int32_t width = reg.right - reg.left;
    const Kernel hk = g.dw <= g.sw ? Kernel::kArea : (m_method == 1 ? Kernel::kLinear : Kernel::kCubic);
    const Kernel vk = g.dh <= g.sh ? Kernel::kArea : (m_method == 1 ? Kernel::kLinear : Kernel::kCubic);

    // 1. horizontal setup: one weight record per output column
    m_columnWeights.assign(static_cast<size_t>(width), ColumnWeight{});
    int32_t lo = 0, hi = 0;
    if (hk == Kernel::kArea) {
        int64_t n = int64_t{reg.left} * g.A;
        for (int32_t x = 0; x < width; ++x) {
            const int64_t prev = n;
            n += g.A;
            ColumnWeight& w = m_columnWeights[static_cast<size_t>(x)];
            w.index = static_cast<int32_t>(prev / g.B);
            w.weights[0] = static_cast<int32_t>(g.B - prev % g.B);
            w.weights[1] = static_cast<int32_t>(n % g.B);
            w.weights[2] = static_cast<int32_t>((g.A - w.weights[0] - w.weights[1]) / g.B);
            hi = w.index + w.weights[2] + (w.weights[1] ? 1 : 0);
        }
    } else {
        int64_t n = (2 * int64_t{reg.left} + 1) * g.A - g.B;
        for (int32_t x = 0; x < width; ++x, n += 2 * g.A) {
            const int64_t i = FloorDiv(n, 2 * g.B);
            const int64_t f = n - i * 2 * g.B;
            ColumnWeight& w = m_columnWeights[static_cast<size_t>(x)];
            if (hk == Kernel::kLinear) {
                w.index = static_cast<int32_t>(i);
                w.weights[0] = static_cast<int32_t>(2 * g.B - f);
                w.weights[1] = static_cast<int32_t>(f);
                hi = static_cast<int32_t>(i + 1);
            } else {
                w.index = static_cast<int32_t>(i - 1);
                CubicWeights(static_cast<double>(n) / static_cast<double>(2 * g.B) - static_cast<double>(i), w.weights);
                hi = static_cast<int32_t>(i + 2);
            }
        }
    }
    lo = m_columnWeights.front().index;

    // 2. vertical start: counter, step and divisor of the output rows
    int64_t m, step, divisor;
    if (vk == Kernel::kArea) {
        m = int64_t{reg.top} * g.C;
        step = g.C;
        divisor = g.D;
    } else {
        m = (2 * int64_t{reg.top} + 1) * g.C - g.D;
        step = 2 * g.C;
        divisor = 2 * g.D;
    }

    // 3. scratch: the ring of horizontally resampled rows and one gathered source row
    const int32_t ringRows = static_cast<int32_t>((g.C + g.D - 1) / g.D) + 3;
    const size_t rowCells = static_cast<size_t>(width) * static_cast<size_t>(g.components);
    m_ringLength = width;
    m_ringRows = ringRows;
    m_ring.assign(rowCells * static_cast<size_t>(ringRows), 0);
    std::vector<uint16_t*> rows(static_cast<size_t>(ringRows));
    for (int32_t k = 0; k < ringRows; ++k)
        rows[static_cast<size_t>(k)] = m_ring.data() + rowCells * static_cast<size_t>(k);
    // the 32-bit area forms where the sums fit; their taps may read a few zero-weighted
    // pixels past the last one, so the gathered row has room for them
    const int64_t maxSample = g.bytesPerSample == 1 ? 255 : 65535;
    AreaTaps areaTaps;
    AreaRowFn areaRow = nullptr;
    if (hk == Kernel::kArea && AreaTaps::Fits(maxSample, g.A)) {
        areaTaps.Build(m_columnWeights, lo, g.components, g.A, g.B);
        areaRow = g.bytesPerSample == 1 ? PickAreaRow<uint8_t>(g.components, areaTaps.taps)
                                        : PickAreaRow<uint16_t>(g.components, areaTaps.taps);
#if defined(__x86_64__) || defined(__i386__)
        if (g.bytesPerSample == 1 && g.components == 3 && AreaRowRgb8ShuffledFits(areaTaps, g.B)) {
            areaTaps.BuildByGroup();
            areaRow = AreaRowRgb8Shuffled;
        } else if (g.bytesPerSample == 1 && g.components == 3 && AreaRowRgb8WideFits(areaTaps)) {
            areaTaps.BuildByTap();
            areaRow = AreaRowRgb8Wide;
        }
#endif
    }
    const bool areaColumns = vk == Kernel::kArea && AreaTaps::Fits(maxSample, g.C);
    const Divider32 divide32C(areaColumns ? static_cast<uint32_t>(g.C) : 1u);
    std::vector<uint32_t> columnSums(areaColumns ? rowCells : 0);
    std::vector<unsigned char> gathered(static_cast<size_t>(hi - lo + 1 + areaTaps.taps) *
                                            static_cast<size_t>(g.bytesPerPixel) +
                                        kShuffledSlack);

    HorizontalFn horizontal;
    VerticalFn vertical;
    if (g.bytesPerSample == 1)
        PickKernels<uint8_t>(g.components, &horizontal, &vertical);
    else
        PickKernels<uint16_t>(g.components, &horizontal, &vertical);
    const ExactDivider divA(static_cast<uint64_t>(g.A)), div2B(static_cast<uint64_t>(2 * g.B));
    const ExactDivider divC(static_cast<uint64_t>(g.C)), div2D(static_cast<uint64_t>(2 * g.D));

    // 4. the reader: period 1 replicates the edges; enough tiles for a row span and the rows a
    // reduction reads at once
    int32_t tileSize = 0;
    if (IVeltraError* e = source->GetTileSize(&tileSize))
        return WRAP(e);
    const int32_t across = tileSize > 0 ? (hi - lo) / tileSize + 2 : 2;
    const int32_t capacity = std::max<int32_t>(static_cast<int32_t>(step / divisor) + 2, across * 2);
    TiledSourceReader reader(source, capacity, 1, 1);

    auto horizontalPass = [&](int64_t sourceRow, uint16_t* ring) -> IVeltraError* {
        if (IVeltraError* e = GatherRow(reader, static_cast<int32_t>(sourceRow), lo, hi, g.sw, g.bytesPerPixel,
                                        gathered.data()))
            return WRAP(e);
        if (areaRow)
            areaRow(areaTaps, gathered.data(), ring);
        else
            horizontal(hk, m_columnWeights.data(), width, gathered.data(), lo, g.B, divA, div2B, ring);
        return nullptr;
    };

    // 5. prime the ring: ring row 1 holds source row r
    int64_t r = FloorDiv(m, divisor);
    int64_t ringTop = r - 1;
    for (int32_t k = 0; k < ringRows; ++k)
        if (IVeltraError* e = horizontalPass(ringTop + k, rows[static_cast<size_t>(k)]))
            return e;

    // 6. output rows
    for (int32_t y = reg.top; y < reg.bottom; ++y) {
        r = FloorDiv(m, divisor);
        const int64_t f = m - r * divisor;
        while (ringTop < r - 1) {
            std::rotate(rows.begin(), rows.begin() + 1, rows.end());
            if (IVeltraError* e = horizontalPass(ringTop + ringRows, rows.back()))
                return e;
            ++ringTop;
        }
        const int64_t next = m + step;
        int32_t weights[4] = {};
        if (vk == Kernel::kArea) {
            weights[0] = static_cast<int32_t>(g.D - f);
            weights[1] = static_cast<int32_t>(next - FloorDiv(next, g.D) * g.D);
            weights[2] = static_cast<int32_t>((g.C - weights[0] - weights[1]) / g.D);
        } else if (vk == Kernel::kLinear) {
            weights[0] = static_cast<int32_t>(2 * g.D - f);
            weights[1] = static_cast<int32_t>(f);
        } else {
            CubicWeights(static_cast<double>(f) / static_cast<double>(2 * g.D), weights);
        }
        void* target = out.At(reg.left, y, g.bytesPerPixel);
        if (areaColumns && g.bytesPerSample == 1)
            AreaColumns<uint8_t>(rows.data(), weights, static_cast<int32_t>(rowCells), static_cast<uint32_t>(g.D),
                                 divide32C, columnSums.data(), target);
        else if (areaColumns)
            AreaColumns<uint16_t>(rows.data(), weights, static_cast<int32_t>(rowCells), static_cast<uint32_t>(g.D),
                                  divide32C, columnSums.data(), target);
        else
            vertical(vk, rows.data(), weights, width, g.D, divC, div2D, target);
        m = next;
    }
    return nullptr;
}
