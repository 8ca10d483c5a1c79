// Only the functions marked for AVX2 use it: the rest of the library, and whatever
// inline code this file instantiates, stay in the base instruction set.
#include "Caravel/Brisant/UnsharpMaskWide.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BRISANT_WIDE __attribute__((target("avx2")))
#endif

namespace unsharp {

void PlanRows(const uint16_t* kernel, int32_t kernelStride, int32_t n, RowPlan& plan)
{
    constexpr uint64_t kLimit = uint64_t{1} << 32;
    auto rowWeight = [&](int32_t r) {
        const uint16_t* k = kernel + static_cast<ptrdiff_t>(r) * kernelStride + 4;
        uint64_t sum = 0;
        for (int32_t c = 0; c < n; ++c)
            sum += k[c];
        return sum;
    };
    int32_t pairs = 0;
    while (pairs < n / 2) {
        const uint16_t* a = kernel + static_cast<ptrdiff_t>(pairs) * kernelStride + 4;
        const uint16_t* b = kernel + static_cast<ptrdiff_t>(n - 1 - pairs) * kernelStride + 4;
        if (std::memcmp(a, b, sizeof(uint16_t) * static_cast<size_t>(n)) != 0 ||
            2 * rowWeight(pairs) * 32767 >= kLimit)
            break;
        ++pairs;
    }
    plan.pairs = pairs;
    plan.units = n - pairs;
    plan.chunkEnd.assign(static_cast<size_t>(plan.units), 0);
    uint64_t chunk = 0;  // the largest sum of the chunk so far
    for (int32_t u = 0; u < plan.units; ++u) {
        const uint64_t most = (u < pairs ? 2 : 1) * rowWeight(u) * 32767;
        if (u > 0 && (chunk >= kLimit || chunk + most >= kLimit)) {
            plan.chunkEnd[static_cast<size_t>(u) - 1] = 1;
            chunk = 0;
        }
        chunk += most;
    }
    if (plan.units > 0)
        plan.chunkEnd.back() = 1;
}

#if defined(BRISANT_WIDE)

namespace {

// Two neighbouring weights as one 32-bit pair for the multiply-add of sample pairs.
inline int32_t WeightPair(const uint16_t* k)
{
    int32_t v;
    std::memcpy(&v, k, 4);
    return v;
}

// Adds the eight 32-bit sums of v (as unsigned) to the two 64-bit accumulators.
BRISANT_WIDE inline void Widen(__m256i v, __m256i& low, __m256i& high)
{
    low = _mm256_add_epi64(low, _mm256_cvtepu32_epi64(_mm256_castsi256_si128(v)));
    high = _mm256_add_epi64(high, _mm256_cvtepu32_epi64(_mm256_extracti128_si256(v, 1)));
}

// floor(t * R / 2^32) for t below 2^64 and R below 2^32, split at t's 32nd bit so
// that every product fits in 64 bits; then as a double (exact below 2^52).
BRISANT_WIDE inline __m256d Scaled(__m256i t, __m256i R)
{
    const __m256i high = _mm256_mul_epu32(_mm256_srli_epi64(t, 32), R);
    const __m256i low = _mm256_srli_epi64(_mm256_mul_epu32(t, R), 32);
    const __m256i s = _mm256_add_epi64(high, low);
    const __m256d two52 = _mm256_set1_pd(4503599627370496.0);
    return _mm256_sub_pd(_mm256_or_pd(_mm256_castsi256_pd(s), two52), two52);
}

// Sixteen halved samples of a unit from column c: one row's, or a row's and its
// mirror's added (at most 65534) and moved down by 32768 into the signed range of
// the multiply.
template <bool Mirrored>
BRISANT_WIDE inline __m256i UnitAt(const uint16_t* row, const uint16_t* mirror, int32_t c)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + c));
    if (!Mirrored)
        return a;
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mirror + c));
    return _mm256_xor_si256(_mm256_add_epi16(a, b), _mm256_set1_epi16(static_cast<int16_t>(0x8000)));
}

// Adds one unit's 32-bit sums for sixteen columns to lo and hi, lanes as
// WideHalvedSums keeps them. For a mirrored unit the weights times 32768 are
// added back at the end, modulo 2^32 as the rest.
template <bool Mirrored>
BRISANT_WIDE inline void RowSums(const uint16_t* row, const uint16_t* mirror, const uint16_t* k, int32_t n,
                                 __m256i& lo, __m256i& hi)
{
    uint32_t weights = 0;
    // weight n (past the last) is one of the table's zeros, so an odd n pairs its
    // last sample with nothing
    for (int32_t c = 0; c < n; c += 2) {
        const __m256i a = UnitAt<Mirrored>(row, mirror, c), b = UnitAt<Mirrored>(row, mirror, c + 1);
        const __m256i w = _mm256_set1_epi32(WeightPair(k + c));
        lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w));
        hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w));
        weights += uint32_t{k[c]} + k[c + 1];
    }
    if (Mirrored) {
        const __m256i back = _mm256_set1_epi32(static_cast<int32_t>(weights << 15));
        lo = _mm256_add_epi32(lo, back);
        hi = _mm256_add_epi32(hi, back);
    }
}

}  // namespace

BRISANT_WIDE int32_t WideHalvedSums(uint16_t* const* halvedRows, const uint16_t* kernel, int32_t kernelStride, int32_t n,
                                    const RowPlan& plan, int32_t width, uint32_t sizeReciprocal, double* out)
{
    if (n < 3)
        return 0;
    const __m256i R = _mm256_set1_epi64x(static_cast<int64_t>(2ull * sizeReciprocal));
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        __m256i t[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                        _mm256_setzero_si256()};
        __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
        for (int32_t u = 0; u < plan.units; ++u) {
            const uint16_t* k = kernel + static_cast<ptrdiff_t>(u) * kernelStride + 4;
            if (u < plan.pairs)
                RowSums<true>(halvedRows[u] + x, halvedRows[n - 1 - u] + x, k, n, lo, hi);
            else
                RowSums<false>(halvedRows[u] + x, nullptr, k, n, lo, hi);
            if (plan.chunkEnd[u]) {
                // lanes of lo: columns 0-3 and 8-11, of hi: 4-7 and 12-15 (the unpacks work per half)
                Widen(_mm256_permute2x128_si256(lo, hi, 0x20), t[0], t[1]);
                Widen(_mm256_permute2x128_si256(lo, hi, 0x31), t[2], t[3]);
                lo = _mm256_setzero_si256();
                hi = _mm256_setzero_si256();
            }
        }
        for (int i = 0; i < 4; ++i)
            _mm256_storeu_pd(out + x + 4 * i, Scaled(t[i], R));
    }
    return x;
}

BRISANT_WIDE int32_t WideSharpenPlain(const uint16_t* centre, const double* sums, double normalisation, double power,
                                      int32_t count, int32_t* out)
{
    const __m256d norm = _mm256_set1_pd(normalisation), g = _mm256_set1_pd(power);
    const __m256d zero = _mm256_setzero_pd(), plusHalf = _mm256_set1_pd(0.5), minusHalf = _mm256_set1_pd(-0.5);
    const __m256d low = _mm256_set1_pd(-131072.0), high = _mm256_set1_pd(131072.0), top = _mm256_set1_pd(65535.0);
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        __m128i v16;
        std::memcpy(&v16, centre + x, 8);
        const __m256d v = _mm256_cvtepi32_pd(_mm_cvtepu16_epi32(v16));
        const __m256d m = _mm256_mul_pd(_mm256_loadu_pd(sums + x), norm);
        const __m256d change = _mm256_mul_pd(_mm256_sub_pd(v, m), g);
        const __m256d up = _mm256_cmp_pd(change, zero, _CMP_GE_OS);
        const __m256d half = _mm256_blendv_pd(minusHalf, plusHalf, up);
        // max and min hand back their second operand for a NaN, as the pair form's do
        const __m256d r = _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(change, half), low), high);
        const __m256d truncated = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(r));
        const __m256d result = _mm256_min_pd(_mm256_max_pd(_mm256_add_pd(v, truncated), zero), top);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm256_cvttpd_epi32(result));
    }
    return x;
}

#else

int32_t WideHalvedSums(uint16_t* const*, const uint16_t*, int32_t, int32_t, const RowPlan&, int32_t, uint32_t, double*)
{
    return 0;
}

int32_t WideSharpenPlain(const uint16_t*, const double*, double, double, int32_t, int32_t*)
{
    return 0;
}

#endif

}  // namespace unsharp
