#include "Caravel/Tintara/MultiLutKernels.h"

#include "Caravel/Tintara/CpuFeatures.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace tintara {

namespace {

constexpr long Power(long g, int n)
{
    long r = 1;
    for (int k = 0; k < n; ++k)
        r *= g;
    return r;
}

// Offsets of the 2^I corners of a cell, axis 0 in the most significant bit of
// the corner number; an axis with fraction 0 contributes no step.
template <int I>
inline void CornerOffsets(const std::size_t (&stride)[4], std::size_t (&corner)[16])
{
    for (int j = 0; j < (1 << I); ++j) {
        std::size_t offset = 0;
        for (int k = 0; k < I; ++k)
            if (j & (1 << (I - 1 - k)))
                offset += stride[k];
        corner[j] = offset;
    }
}

// ---- portable form ----------------------------------------------------------

inline std::int32_t TruncatedStep(std::int32_t a, std::int32_t b, std::int32_t f)
{
    return a + ((b - a) * f) / 32768;
}

#if defined(__GNUC__)
typedef std::int32_t V4i __attribute__((vector_size(16)));
typedef std::uint16_t V4u16 __attribute__((vector_size(8)));

inline V4i LoadNode(const std::uint16_t* p)
{
    V4u16 v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, V4i);
}

inline void StoreNode(std::uint16_t* p, V4i v)
{
    const V4u16 r = __builtin_convertvector(v, V4u16);
    std::memcpy(p, &r, sizeof r);
}

// a + trunc((b - a) f / 32768): the bias makes the shift round toward zero
inline V4i TruncatedStep(V4i a, V4i b, std::int32_t f)
{
    V4i t = (b - a) * f;
    t = (t + ((t >> 31) & 32767)) >> 15;
    return a + t;
}
#endif

#if defined(__SSE2__)
// a + trunc((b - a) f / 32768) on eight u16 lanes: the magnitude |b - a| and the
// 15-bit fraction give an exact unsigned product, whose floor is then given the
// sign of b - a (truncation toward zero of the signed quotient).
inline __m128i TruncatedStep(__m128i a, __m128i b, __m128i f)
{
    const __m128i up = _mm_subs_epu16(b, a);
    const __m128i down = _mm_subs_epu16(a, b);
    const __m128i d = _mm_or_si128(up, down);
    const __m128i m = _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(d, f), 1), _mm_srli_epi16(_mm_mullo_epi16(d, f), 15));
    const __m128i falling = _mm_xor_si128(_mm_cmpeq_epi16(down, _mm_setzero_si128()), _mm_set1_epi16(-1));
    return _mm_add_epi16(a, _mm_sub_epi16(_mm_xor_si128(m, falling), falling));
}
#endif

template <int G, int I>
inline std::size_t PortableCell(const std::uint16_t* in, const std::uint16_t* map, int nodeSize,
                                std::int32_t (&fraction)[4], std::size_t (&corner)[16])
{
    std::size_t base = 0;
    std::size_t stride[4] = {};
    for (int k = 0; k < I; ++k) {
        const std::uint16_t* entry = map + 2 * std::size_t(in[k]);
        base = base * G + entry[0];
        fraction[k] = entry[1];
        stride[k] = fraction[k] ? std::size_t(Power(G, I - 1 - k)) * nodeSize : 0;
    }
    CornerOffsets<I>(stride, corner);
    return base * nodeSize;
}

} // namespace

template <int G, int I, int O>
void PortableInterpolate(const std::uint16_t* in, std::uint16_t* out, const std::uint16_t* table,
                         const std::uint16_t* positionMap, std::size_t count)
{
    constexpr int S = O / 3 * 3 + 1;
    std::int32_t f[4];
    std::size_t corner[16];
#if defined(__SSE2__)
    if constexpr (S == 4) {
        // nodes two to a register, the last axis across the halves (as the processor form)
        constexpr int kPairs = 1 << (I - 1);
        std::size_t pairCorner[16];
        for (std::size_t p = 0; p < count; ++p, in += I, out += 4) {
            const std::uint16_t* node = table + PortableCell<G, I>(in, positionMap, 4, f, corner);
            const std::size_t last = corner[1];
            // corners with the last axis at 0, in the order of the first I - 1 axes
            for (int j = 0; j < kPairs; ++j)
                pairCorner[j] = corner[2 * j];
            __m128i c[kPairs];
            for (int j = 0; j < kPairs; ++j) {
                const std::uint16_t* n0 = node + pairCorner[j];
                c[j] = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0)),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0 + last)));
            }
            for (int k = 0, n = kPairs; k < I - 1; ++k) {
                n >>= 1;
                const __m128i fk = _mm_set1_epi16(std::int16_t(f[k]));
                for (int j = 0; j < n; ++j)
                    c[j] = TruncatedStep(c[j], c[j + n], fk);
            }
            const __m128i r = TruncatedStep(c[0], _mm_unpackhi_epi64(c[0], c[0]), _mm_set1_epi16(std::int16_t(f[I - 1])));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), r);
        }
        return;
    }
#endif
    for (std::size_t p = 0; p < count; ++p, in += I, out += S) {
        const std::uint16_t* node = table + PortableCell<G, I>(in, positionMap, S, f, corner);
#if defined(__GNUC__)
        if constexpr (S == 4) {
            V4i c[16];
            for (int j = 0; j < (1 << I); ++j)
                c[j] = LoadNode(node + corner[j]);
            // reduce axis 0 first, then 1, ...: pairs differ in the top remaining bit
            for (int k = 0, n = 1 << I; k < I; ++k) {
                n >>= 1;
                for (int j = 0; j < n; ++j)
                    c[j] = TruncatedStep(c[j], c[j + n], f[k]);
            }
            StoreNode(out, c[0]);
            continue;
        }
#endif
        for (int o = 0; o < S; ++o) {
            std::int32_t c[16];
            for (int j = 0; j < (1 << I); ++j)
                c[j] = node[corner[j] + o];
            for (int k = 0, n = 1 << I; k < I; ++k) {
                n >>= 1;
                for (int j = 0; j < n; ++j)
                    c[j] = TruncatedStep(c[j], c[j + n], f[k]);
            }
            out[o] = std::uint16_t(c[0]);
        }
    }
}

template void PortableInterpolate<256, 1, 1>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<256, 1, 3>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<256, 1, 4>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<32, 3, 1>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<32, 3, 3>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<32, 3, 4>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<16, 4, 1>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<16, 4, 3>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);
template void PortableInterpolate<16, 4, 4>(const std::uint16_t*, std::uint16_t*, const std::uint16_t*, const std::uint16_t*, std::size_t);

// ---- processor-specific form --------------------------------------------------

namespace {

template <int G, int I>
inline std::size_t ProcessorCell(const std::uint16_t* in, int nodeSize, std::int32_t (&fraction)[4],
                                 std::size_t (&stride)[4])
{
    std::size_t base = 0;
    for (int k = 0; k < I; ++k) {
        const std::uint64_t p = std::uint64_t(in[k]) * (G - 1) * 65537u + 65536u;
        base = base * G + std::size_t(p >> 32);
        fraction[k] = std::int32_t(std::uint32_t(p) >> 17);
        stride[k] = fraction[k] ? std::size_t(Power(G, I - 1 - k)) * nodeSize : 0;
    }
    return base * nodeSize;
}

inline std::int32_t FlooredStep(std::int32_t a, std::int32_t b, std::int32_t f)
{
    return a + (((b - a) * f) >> 15);
}

template <int G, int I, int S>
void ProcessorInterpolatePlain(const std::uint16_t* in, std::uint16_t* out, const std::uint16_t* table,
                               std::size_t count)
{
    std::int32_t f[4];
    std::size_t stride[4];
    std::size_t corner[16];
    for (std::size_t p = 0; p < count; ++p, in += I, out += S) {
        const std::uint16_t* node = table + ProcessorCell<G, I>(in, S, f, stride);
        CornerOffsets<I>(stride, corner);
        for (int o = 0; o < S; ++o) {
            std::int32_t c[16];
            for (int j = 0; j < (1 << I); ++j)
                c[j] = node[corner[j] + o] >> 1;
            for (int k = 0, n = 1 << I; k < I; ++k) {
                n >>= 1;
                for (int j = 0; j < n; ++j)
                    c[j] = FlooredStep(c[j], c[j + n], f[k]);
            }
            out[o] = std::uint16_t(c[0] << 1);
        }
    }
}

#if defined(__SSE2__)
// a + (((b - a) f) >> 15) on eight 15-bit lanes, f passed doubled (2 f < 65536):
// the unsigned high product of d and 2 f, less 2 f where d is negative, is
// floor(d f / 32768) exactly.
inline __m128i FlooredStep(__m128i a, __m128i b, __m128i twiceF)
{
    const __m128i d = _mm_sub_epi16(b, a);
    const __m128i negative = _mm_srai_epi16(d, 15);
    const __m128i product = _mm_sub_epi16(_mm_mulhi_epu16(d, twiceF), _mm_and_si128(negative, twiceF));
    return _mm_add_epi16(a, product);
}

// Four-lane nodes, two per register: the low half holds the corner with the
// last axis at 0, the high half the one at 1.
template <int G, int I>
void ProcessorInterpolateWide(const std::uint16_t* in, std::uint16_t* out, const std::uint16_t* table,
                              std::size_t count)
{
    constexpr int kPairs = 1 << (I - 1);
    std::int32_t f[4];
    std::size_t stride[4];
    std::size_t corner[16];
    for (std::size_t p = 0; p < count; ++p, in += I, out += 4) {
        const std::uint16_t* node = table + ProcessorCell<G, I>(in, 4, f, stride);
        CornerOffsets<I - 1>(stride, corner);
        __m128i c[kPairs];
        for (int j = 0; j < kPairs; ++j) {
            const std::uint16_t* n0 = node + corner[j];
            const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0));
            const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0 + stride[I - 1]));
            c[j] = _mm_srli_epi16(_mm_unpacklo_epi64(lo, hi), 1);
        }
        for (int k = 0, n = kPairs; k < I - 1; ++k) {
            n >>= 1;
            const __m128i fk = _mm_set1_epi16(std::int16_t(std::uint16_t(2 * f[k])));
            for (int j = 0; j < n; ++j)
                c[j] = FlooredStep(c[j], c[j + n], fk);
        }
        const __m128i r =
            FlooredStep(c[0], _mm_unpackhi_epi64(c[0], c[0]), _mm_set1_epi16(std::int16_t(std::uint16_t(2 * f[I - 1]))));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_slli_epi16(r, 1));
    }
}

// One pixel's three axes through the byte cells, then the same pair-wise
// reduction as ProcessorInterpolateWide<32, 3>; lanes hold r, the result halved.
inline __m128i ByteCellInterpolate(const std::uint8_t* in, const std::uint16_t* table, const ByteCells& cells)
{
    const std::uint32_t s0 = in[0], s1 = in[1], s2 = in[2];
    const std::uint16_t* node = table + cells.offset[0][s0] + cells.offset[1][s1] + cells.offset[2][s2];
    const std::size_t step0 = cells.step[0][s0], step1 = cells.step[1][s1], step2 = cells.step[2][s2];
    const std::size_t corner[4] = {0, step1, step0, step0 + step1};
    __m128i c[4];
    for (int j = 0; j < 4; ++j) {
        const std::uint16_t* n0 = node + corner[j];
        const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0));
        const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0 + step2));
        c[j] = _mm_srli_epi16(_mm_unpacklo_epi64(lo, hi), 1);
    }
    const __m128i f0 = _mm_set1_epi16(std::int16_t(cells.twiceFraction[0][s0]));
    c[0] = FlooredStep(c[0], c[2], f0);
    c[1] = FlooredStep(c[1], c[3], f0);
    c[0] = FlooredStep(c[0], c[1], _mm_set1_epi16(std::int16_t(cells.twiceFraction[1][s1])));
    return FlooredStep(c[0], _mm_unpackhi_epi64(c[0], c[0]), _mm_set1_epi16(std::int16_t(cells.twiceFraction[2][s2])));
}
#endif

template <int G, int I>
void ProcessorInterpolateNodes(const std::uint16_t* in, std::uint16_t* out, const std::uint16_t* table,
                               std::size_t count)
{
#if defined(__SSE2__)
    ProcessorInterpolateWide<G, I>(in, out, table, count);
#else
    ProcessorInterpolatePlain<G, I, 4>(in, out, table, count);
#endif
}

} // namespace

ProcessorKernel FindProcessorKernel(long grid, long inputs, long outputs)
{
    static const ProcessorKernel kKernels[6] = {
        ProcessorInterpolatePlain<256, 1, 1>, ProcessorInterpolateNodes<256, 1>,
        ProcessorInterpolatePlain<32, 3, 1>,  ProcessorInterpolateNodes<32, 3>,
        ProcessorInterpolatePlain<16, 4, 1>,  ProcessorInterpolateNodes<16, 4>,
    };
    int row;
    switch (inputs) {
    case 1: row = 0; break;
    case 3: row = 1; break;
    case 4: row = 2; break;
    default: return nullptr;
    }
    static const long kGrid[3] = {256, 32, 16};
    if (grid != kGrid[row])
        return nullptr;
    int column;
    switch (outputs) {
    case 1: column = 0; break;
    case 3:
    case 4: column = 1; break;
    default: return nullptr;
    }
    return kKernels[column + 2 * row];
}

bool BuildByteCells(const std::uint16_t* inputTables, const std::uint16_t* outputTables, ByteCells& cells)
{
#if defined(__SSE2__)
    constexpr int G = 32;
    for (int k = 0; k < 3; ++k) {
        // one axis of ProcessorCell, its nodes spaced as axis k's are in the table
        const int axis = int(Power(G, 2 - k)) * 4;
        for (int s = 0; s < 256; ++s) {
            std::int32_t fraction[4];
            std::size_t stride[4];
            cells.offset[k][s] = std::uint32_t(ProcessorCell<G, 1>(&inputTables[k * 256 + s], axis, fraction, stride));
            cells.step[k][s] = std::uint32_t(stride[0]);
            cells.twiceFraction[k][s] = std::uint16_t(2 * fraction[0]);
        }
    }
    for (int c = 0; c < 3; ++c)
        for (std::uint32_t r = 0; r < 32768; ++r)
            cells.output[c][r] = std::uint8_t(outputTables[std::size_t(c) * 65536 + 2 * r]);
    return true;
#else
    (void)inputTables;
    (void)outputTables;
    (void)cells;
    return false;
#endif
}

#if defined(__SSE2__)
namespace {

void InterpolateBytesOneByOne(const std::uint8_t* in, std::uint8_t* out, std::size_t count,
                              const std::uint16_t* table, const ByteCells& cells)
{
    for (std::size_t p = 0; p < count; ++p, in += 3, out += 3) {
        const __m128i r = ByteCellInterpolate(in, table, cells);
        const int r0 = _mm_extract_epi16(r, 0), r1 = _mm_extract_epi16(r, 1), r2 = _mm_extract_epi16(r, 2);
        out[0] = cells.output[0][r0];
        out[1] = cells.output[1][r1];
        out[2] = cells.output[2][r2];
    }
}

// FlooredStep on sixteen lanes: two pixels, one in each half.
__attribute__((target("avx2"))) inline __m256i FlooredStepPair(__m256i a, __m256i b, __m256i twiceF)
{
    const __m256i d = _mm256_sub_epi16(b, a);
    const __m256i negative = _mm256_srai_epi16(d, 15);
    const __m256i product = _mm256_sub_epi16(_mm256_mulhi_epu16(d, twiceF), _mm256_and_si256(negative, twiceF));
    return _mm256_add_epi16(a, product);
}

// Axis k's doubled fraction of pixel a in the low half, of pixel b in the high.
__attribute__((target("avx2"))) inline __m256i FractionPair(const ByteCells& cells, int k, std::uint32_t a,
                                                            std::uint32_t b)
{
    return _mm256_inserti128_si256(_mm256_set1_epi16(std::int16_t(cells.twiceFraction[k][a])),
                                   _mm_set1_epi16(std::int16_t(cells.twiceFraction[k][b])), 1);
}

// ByteCellInterpolate for two pixels at once, each in its own half of the
// registers: the same steps on the same lanes, so the same integers.
__attribute__((target("avx2"))) void InterpolateBytesInPairs(const std::uint8_t* in, std::uint8_t* out,
                                                             std::size_t count, const std::uint16_t* table,
                                                             const ByteCells& cells)
{
    std::size_t p = 0;
    for (; p + 2 <= count; p += 2, in += 6, out += 6) {
        const std::uint16_t* node[2];
        std::size_t corner[2][4], step2[2];
        for (int q = 0; q < 2; ++q) {
            const std::uint32_t s0 = in[3 * q], s1 = in[3 * q + 1], s2 = in[3 * q + 2];
            node[q] = table + cells.offset[0][s0] + cells.offset[1][s1] + cells.offset[2][s2];
            const std::size_t step0 = cells.step[0][s0], step1 = cells.step[1][s1];
            corner[q][0] = 0;
            corner[q][1] = step1;
            corner[q][2] = step0;
            corner[q][3] = step0 + step1;
            step2[q] = cells.step[2][s2];
        }
        __m256i c[4];
        for (int j = 0; j < 4; ++j) {
            __m128i half[2];
            for (int q = 0; q < 2; ++q) {
                const std::uint16_t* n0 = node[q] + corner[q][j];
                const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0));
                const __m128i hi = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(n0 + step2[q]));
                half[q] = _mm_unpacklo_epi64(lo, hi);
            }
            c[j] = _mm256_srli_epi16(_mm256_inserti128_si256(_mm256_castsi128_si256(half[0]), half[1], 1), 1);
        }
        const __m256i f0 = FractionPair(cells, 0, in[0], in[3]);
        c[0] = FlooredStepPair(c[0], c[2], f0);
        c[1] = FlooredStepPair(c[1], c[3], f0);
        c[0] = FlooredStepPair(c[0], c[1], FractionPair(cells, 1, in[1], in[4]));
        const __m256i r =
            FlooredStepPair(c[0], _mm256_unpackhi_epi64(c[0], c[0]), FractionPair(cells, 2, in[2], in[5]));
        const __m128i ra = _mm256_castsi256_si128(r), rb = _mm256_extracti128_si256(r, 1);
        out[0] = cells.output[0][_mm_extract_epi16(ra, 0)];
        out[1] = cells.output[1][_mm_extract_epi16(ra, 1)];
        out[2] = cells.output[2][_mm_extract_epi16(ra, 2)];
        out[3] = cells.output[0][_mm_extract_epi16(rb, 0)];
        out[4] = cells.output[1][_mm_extract_epi16(rb, 1)];
        out[5] = cells.output[2][_mm_extract_epi16(rb, 2)];
    }
    InterpolateBytesOneByOne(in, out, count - p, table, cells);
}

} // namespace
#endif

void ProcessorInterpolateBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t count,
                               const std::uint16_t* table, const ByteCells& cells)
{
#if defined(__SSE2__)
    if (UseWideVectors())
        InterpolateBytesInPairs(in, out, count, table, cells);
    else
        InterpolateBytesOneByOne(in, out, count, table, cells);
#else
    (void)in;
    (void)out;
    (void)count;
    (void)table;
    (void)cells;
#endif
}

} // namespace tintara
