#include "Caravel/Brisant/UnsharpMaskLevels.h"

#include "Caravel/Brisant/VectorForm.h"

#include <cstddef>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BRISANT_WIDE __attribute__((target("avx2")))
#endif

namespace unsharp {
namespace {

// A term (two prefix sums, a difference, a product) costs about one and a half
// taps (a product of a sample pair): the changes take over where they are at
// most half as many as the taps.
constexpr int64_t kTapsPerTerm = 2;

// rowSum[x] += change * (hi[x] - lo[x]) for every term; the loop the compiler
// spreads over the vector lanes.
inline __attribute__((always_inline)) void AddTerms(const uint32_t* prefix, const int32_t* distance,
                                                    const uint32_t* change, uint32_t terms, int32_t h, int32_t width,
                                                    uint32_t* rowSum)
{
    for (uint32_t t = 0; t < terms; ++t) {
        const uint32_t* hi = prefix + h + distance[t] + 1;
        const uint32_t* lo = prefix + h - distance[t];
        const uint32_t c = change[t];
        for (int32_t x = 0; x < width; ++x)
            rowSum[x] += c * (hi[x] - lo[x]);
    }
}

void AddTermsPlain(const uint32_t* prefix, const int32_t* distance, const uint32_t* change, uint32_t terms,
                   int32_t h, int32_t width, uint32_t* rowSum)
{
    AddTerms(prefix, distance, change, terms, h, width, rowSum);
}

#if defined(BRISANT_WIDE)
// The same sums 32 columns at a time, the columns' totals kept in registers
// while every term is added to them.
BRISANT_WIDE void AddTermsWide(const uint32_t* prefix, const int32_t* distance,
                                                  const uint32_t* change, uint32_t terms, int32_t h, int32_t width,
                                                  uint32_t* rowSum)
{
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i sum[4];
        for (int l = 0; l < 4; ++l)
            sum[l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rowSum + x + 8 * l));
        for (uint32_t t = 0; t < terms; ++t) {
            const uint32_t* hi = prefix + h + distance[t] + 1 + x;
            const uint32_t* lo = prefix + h - distance[t] + x;
            const __m256i c = _mm256_set1_epi32(static_cast<int32_t>(change[t]));
            for (int l = 0; l < 4; ++l) {
                const __m256i box = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(hi + 8 * l)),
                                                     _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lo + 8 * l)));
                sum[l] = _mm256_add_epi32(sum[l], _mm256_mullo_epi32(box, c));
            }
        }
        for (int l = 0; l < 4; ++l)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(rowSum + x + 8 * l), sum[l]);
    }
    if (x < width)
        AddTerms(prefix + x, distance, change, terms, h, width - x, rowSum + x);
}
#endif

}  // namespace

void PlanLevels(const uint16_t* kernel, int32_t kernelStride, int32_t n, LevelPlan& plan)
{
    const int32_t h = n / 2;
    plan.rowStart.assign(1, 0);
    plan.distance.clear();
    plan.change.clear();
    for (int32_t r = 0; r < n; ++r) {
        const uint16_t* k = kernel + static_cast<std::ptrdiff_t>(r) * kernelStride + 4;
        for (int32_t d = 0; d <= h; ++d) {
            const uint32_t w = k[h - d];
            const uint32_t outer = d < h ? k[h - d - 1] : 0;
            if (w != outer) {
                plan.distance.push_back(d);
                plan.change.push_back(w - outer);
            }
        }
        plan.rowStart.push_back(static_cast<uint32_t>(plan.distance.size()));
    }
    const int64_t taps = static_cast<int64_t>(n) * (h + 1);
    plan.cheaper = static_cast<int64_t>(plan.distance.size()) * kTapsPerTerm <= taps;
}

void PrefixSums(const uint16_t* row, int32_t length, int shift, uint32_t* prefix)
{
    uint32_t sum = 0;
    prefix[0] = 0;
    for (int32_t i = 0; i < length; ++i)
        prefix[i + 1] = sum += static_cast<uint32_t>(row[i]) >> shift;
}

void LevelRowSums(const uint32_t* prefix, const LevelPlan& plan, int32_t r, int32_t n, int32_t width,
                  uint32_t* rowSum)
{
    for (int32_t x = 0; x < width; ++x)
        rowSum[x] = 0;
    const uint32_t first = plan.rowStart[static_cast<std::size_t>(r)];
    const uint32_t terms = plan.rowStart[static_cast<std::size_t>(r) + 1] - first;
#if defined(BRISANT_WIDE)
    const auto add = brisant::WideVectors() ? AddTermsWide : AddTermsPlain;
#else
    const auto add = AddTermsPlain;
#endif
    add(prefix, plan.distance.data() + first, plan.change.data() + first, terms, n / 2, width, rowSum);
}

}  // namespace unsharp
