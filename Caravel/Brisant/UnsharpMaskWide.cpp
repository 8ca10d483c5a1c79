// Only the functions marked for AVX2 use it: the rest of the library, and whatever
// inline code this file instantiates, stay in the base instruction set.
#include "Caravel/Brisant/UnsharpMaskWide.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BRISANT_WIDE __attribute__((target("avx2")))
#endif

namespace unsharp {

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

}  // namespace

BRISANT_WIDE int32_t WideHalvedSums(uint16_t* const* rows, const uint16_t* kernel, int32_t kernelStride, int32_t n,
                                    int32_t width, uint32_t sizeReciprocal, double* out)
{
    if (n < 3)
        return 0;
    const __m256i R = _mm256_set1_epi64x(static_cast<int64_t>(2ull * sizeReciprocal));
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        __m256i t[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                        _mm256_setzero_si256()};
        for (int32_t r = 0; r < n; ++r) {
            const uint16_t* row = rows[r] + x;
            const uint16_t* k = kernel + static_cast<ptrdiff_t>(r) * kernelStride + 4;
            // lanes of lo: columns 0-3 and 8-11, of hi: 4-7 and 12-15 (the unpacks work per half)
            __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
            // weight n (past the last) is one of the table's zeros, so an odd n pairs its
            // last sample with nothing
            for (int32_t c = 0; c < n; c += 2) {
                const __m256i a = _mm256_srli_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + c)), 1);
                const __m256i b =
                    _mm256_srli_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + c + 1)), 1);
                const __m256i w = _mm256_set1_epi32(WeightPair(k + c));
                lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w));
                hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w));
            }
            Widen(_mm256_permute2x128_si256(lo, hi, 0x20), t[0], t[1]);
            Widen(_mm256_permute2x128_si256(lo, hi, 0x31), t[2], t[3]);
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

int32_t WideHalvedSums(uint16_t* const*, const uint16_t*, int32_t, int32_t, int32_t, uint32_t, double*)
{
    return 0;
}

int32_t WideSharpenPlain(const uint16_t*, const double*, double, double, int32_t, int32_t*)
{
    return 0;
}

#endif

}  // namespace unsharp
