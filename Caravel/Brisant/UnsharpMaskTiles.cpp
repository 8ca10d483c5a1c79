// Tile production of the unsharp mask: a window of source rows per plane on the 16-bit scale,
// blur sums four outputs at a time, and the sharpening rule per sample.
#include "Caravel/Brisant/TiledSourceReader.h"
#include "Caravel/Brisant/UnsharpMaskFilter.h"
#include "Caravel/Brisant/UnsharpMaskLevels.h"
#include "Caravel/Brisant/UnsharpMaskWide.h"
#include "Caravel/Brisant/VectorForm.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

constexpr int32_t kCode = CUnsharpMaskFilter::kCode;

enum class RangeKind { OwnSample, PlaneZero, Hue };

// What a colour space gives the kernel: its samples and which planes may be sharpened.
struct Layout {
    int32_t planes = 0;
    bool wide = false;
    uint32_t sharpenable = 0;  // plane bits
    RangeKind range = RangeKind::OwnSample;
};

bool LayoutFor(int32_t code, Layout* l)
{
    // palette indexes, the blue-first order, the 8-bit hue codes, raw sensor data and bit
    // pictures are not sharpened
    if (code == 19 || code == 38 || code == 39 || code == 64 || code == 65)
        return false;
    int32_t planes = 0, bits = 0;
    if (!IVeltraDataSource::GetSampleLayout(code, &planes, &bits) || bits < 8)
        return false;
    *l = {planes, bits == 16, (1u << planes) - 1, RangeKind::OwnSample};
    // of the lightness-and-colour codes only the lightness plane is sharpened
    if (code == 35)
        *l = {planes, true, 0x1, RangeKind::Hue};
    else if (code == 36 || code == 37)
        *l = {planes, true, 0x1, RangeKind::PlaneZero};
    return true;
}

inline uint16_t Load16(const unsigned char* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void Store16(unsigned char* p, uint32_t v)
{
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}

// ---- blur sums: lane l covers rows 0..n-1 and columns x + l .. x + l + n - 1 of the window.
// All four lanes are summed together (the window row has 3 spare columns for that); only the
// lanes asked for are handed back.

void BoxSum4(uint16_t* const* rows, int32_t x, int32_t n, int32_t lanes, double out[4])
{
    uint64_t s[4] = {0, 0, 0, 0};  // 64 bits: wide boxes pass 32
    for (int32_t r = 0; r < n; ++r) {
        const uint16_t* row = rows[r] + x;
        uint32_t rs[4] = {0, 0, 0, 0};
        for (int32_t c = 0; c < n; ++c)
            for (int32_t l = 0; l < 4; ++l)
                rs[l] += row[c + l];
        for (int32_t l = 0; l < 4; ++l)
            s[l] += rs[l];
    }
    for (int32_t l = 0; l < lanes; ++l)
        out[l] = static_cast<double>(s[l]);
}

// The weighted sums of a whole output row of one plane: kernel row after kernel
// row, each summed across the row in 32-bit sums that wrap as the packed
// arithmetic does, then added to the sample's total row by row: per sample the
// same numbers as weighing its n x n neighbourhood sample by sample. The two
// samples at the same distance from the centre of a kernel row share a weight, so
// they are added first (modulo 2^32 the same sum); summing a kernel row across
// the whole row lets the processor work on many samples at once. Plain form: the
// total (a double, exact for these integers) divided by n and truncated; halved
// samples: the 64-bit total scaled by the 32-bit reciprocal of n.
class WeightedRows {
public:
    // Whether Sum takes the wide form, which reads the window's halved rows.
    static bool Wide(const UnsharpParams& p, bool mmx)
    {
        // it multiplies sample pairs by weight pairs in signed 16 bits
        return mmx && p.maxWeight < 32768 && brisant::WideVectors();
    }

    // Works out, once for the tile's kernel, whether the sums take the kernel
    // rows' weight changes (wide kernels of few weights), which read the window's
    // prefix rows.
    void Plan(const UnsharpParams& p, int32_t n)
    {
        unsharp::PlanLevels(p.kernel, p.kernelStride, n, m_levels);
    }
    bool Levels() const { return m_levels.cheaper; }

    void Sum(uint16_t* const* rows, uint16_t* const* halvedRows, uint32_t* const* prefixRows, const UnsharpParams& p,
             int32_t width, int32_t n, bool mmx)
    {
        if (static_cast<int32_t>(m_rowSum.size()) < width) {
            m_rowSum.resize(static_cast<size_t>(width));
            m_plain.resize(static_cast<size_t>(width));
            m_halved.resize(static_cast<size_t>(width));
        }
        if (prefixRows && Levels()) {
            SumLevels(prefixRows, p, width, n, mmx);
            return;
        }
        int32_t from = 0;
        if (halvedRows && Wide(p, mmx)) {
            // the kernel stays the same for the whole tile
            if (m_plan.chunkEnd.empty())
                unsharp::PlanRows(p.kernel, p.kernelStride, n, m_plan);
            from = unsharp::WideHalvedSums(halvedRows, p.kernel, p.kernelStride, n, m_plan, width, p.sizeReciprocal,
                                           m_plain.data());
        }
        if (from < width)
            SumColumns(rows, p, from, width, n, mmx);
    }
    double At(int32_t x) const { return m_plain[static_cast<size_t>(x)]; }
    const double* Sums() const { return m_plain.data(); }

private:
    // Columns from .. width - 1 in the plain loops.
    void SumColumns(uint16_t* const* rows, const UnsharpParams& p, int32_t from, int32_t width, int32_t n, bool mmx)
    {
        std::fill(m_plain.begin() + from, m_plain.begin() + width, 0.0);
        std::fill(m_halved.begin() + from, m_halved.begin() + width, uint64_t{0});
        const int shift = mmx ? 1 : 0;
        const int32_t h = n / 2;
        uint32_t* rs = m_rowSum.data();
        for (int32_t r = 0; r < n; ++r) {
            const uint16_t* row = rows[r];
            const uint16_t* k = p.kernel + static_cast<ptrdiff_t>(r) * p.kernelStride + 4;
            const uint32_t kh = k[h];
            const uint16_t* mid = row + h;
            for (int32_t x = from; x < width; ++x)
                rs[x] = static_cast<uint32_t>(mid[x] >> shift) * kh;
            // the two samples at the same distance from the centre share a weight
            for (int32_t c = 0; c < h; ++c) {
                const uint32_t kc = k[c];
                const uint16_t* a = row + c;
                const uint16_t* b = row + (n - 1 - c);
                for (int32_t x = from; x < width; ++x)
                    rs[x] += (static_cast<uint32_t>(a[x] >> shift) + static_cast<uint32_t>(b[x] >> shift)) * kc;
            }
            AddRow(from, width, mmx);
        }
        Finish(p, from, width, n, mmx);
    }

    // All columns through the kernel rows' weight changes (UnsharpMaskLevels.h):
    // each row's 32-bit sums as the taps give them, added up the same way.
    void SumLevels(uint32_t* const* prefixRows, const UnsharpParams& p, int32_t width, int32_t n, bool mmx)
    {
        std::fill(m_plain.begin(), m_plain.begin() + width, 0.0);
        std::fill(m_halved.begin(), m_halved.begin() + width, uint64_t{0});
        for (int32_t r = 0; r < n; ++r) {
            unsharp::LevelRowSums(prefixRows[r], m_levels, r, n, width, m_rowSum.data());
            AddRow(0, width, mmx);
        }
        Finish(p, 0, width, n, mmx);
    }

    // One kernel row's sums into the totals.
    void AddRow(int32_t from, int32_t width, bool mmx)
    {
        const uint32_t* rs = m_rowSum.data();
        if (mmx)
            for (int32_t x = from; x < width; ++x)
                m_halved[static_cast<size_t>(x)] += rs[x];
        else
            for (int32_t x = from; x < width; ++x)
                m_plain[static_cast<size_t>(x)] += rs[x];
    }

    // The totals as the sharpening rule takes them.
    void Finish(const UnsharpParams& p, int32_t from, int32_t width, int32_t n, bool mmx)
    {
        const uint64_t reciprocal2 = 2ull * p.sizeReciprocal;
        for (int32_t x = from; x < width; ++x) {
            if (mmx) {
                const unsigned __int128 scaled = static_cast<unsigned __int128>(m_halved[static_cast<size_t>(x)]) * reciprocal2;
                m_plain[static_cast<size_t>(x)] = static_cast<double>(static_cast<uint64_t>(scaled >> 32));
            } else {
                m_plain[static_cast<size_t>(x)] = std::trunc(m_plain[static_cast<size_t>(x)] * (1.0 / n));
            }
        }
    }

    std::vector<uint32_t> m_rowSum;
    std::vector<double> m_plain;     // plain totals, then every form's result
    std::vector<uint64_t> m_halved;  // halved-sample totals
    unsharp::RowPlan m_plan;         // the wide form's, made at its first use
    unsharp::LevelPlan m_levels;     // the kernel's weight changes (Plan)
};

// The window: per plane, n rows of the 16-bit samples of source columns left - h ...,
// and with halved rows the same rows with each sample halved (for the wide blur
// sums, which would otherwise halve every sample once for each output row and
// kernel column that reads it).
class Window {
public:
    // prefixShift >= 0: the window keeps each row's prefix sums too, of its
    // samples >> prefixShift (for the blur sums by weight changes).
    bool Allocate(int32_t planes, int32_t n, int32_t length, bool halved, int prefixShift)
    {
        m_n = n;
        m_length = length;
        m_planes = planes;
        const int32_t stride = (length + 3) & ~3;
        const size_t rows = static_cast<size_t>(planes) * n * (halved ? 2 : 1);
        const size_t prefixRows = prefixShift >= 0 ? static_cast<size_t>(planes) * n : 0;
        const size_t prefixStride = static_cast<size_t>(length) + 1;
        try {
            m_block.assign(rows * stride + stride, 0);
            m_rows.resize(rows);
            m_prefixBlock.assign(prefixRows * prefixStride, 0);
            m_prefixRows.resize(prefixRows);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (size_t r = 0; r < rows; ++r)
            m_rows[r] = m_block.data() + r * static_cast<size_t>(stride);
        for (size_t r = 0; r < prefixRows; ++r)
            m_prefixRows[r] = m_prefixBlock.data() + r * prefixStride;
        m_halved = halved;
        m_prefixShift = prefixShift;
        return true;
    }
    // The prefix sums of row r of plane p; none when the window keeps none.
    uint32_t* const* PrefixRows(int32_t p) const
    {
        return m_prefixShift >= 0 ? m_prefixRows.data() + static_cast<size_t>(p) * m_n : nullptr;
    }
    // Row r of plane p; row n - 1 is the newest.
    uint16_t* const* Rows(int32_t p) const { return m_rows.data() + static_cast<size_t>(p) * m_n; }
    // Row r of plane p halved; none when the window keeps no halved rows.
    uint16_t* const* HalvedRows(int32_t p) const { return m_halved ? Rows(m_planes + p) : nullptr; }
    uint16_t* Last(int32_t p) const { return Rows(p)[m_n - 1]; }
    void Scroll()
    {
        for (int32_t p = 0; p < m_planes * (m_halved ? 2 : 1); ++p) {
            auto first = m_rows.begin() + static_cast<ptrdiff_t>(p) * m_n;
            std::rotate(first, first + 1, first + m_n);
        }
        for (int32_t p = 0; m_prefixShift >= 0 && p < m_planes; ++p) {
            auto first = m_prefixRows.begin() + static_cast<ptrdiff_t>(p) * m_n;
            std::rotate(first, first + 1, first + m_n);
        }
    }
    // The newest row's prefix sums, once it is filled.
    void SumLast()
    {
        for (int32_t p = 0; m_prefixShift >= 0 && p < m_planes; ++p)
            unsharp::PrefixSums(Last(p), m_length, m_prefixShift, PrefixRows(p)[m_n - 1]);
    }
    // The newest row's halves, once it is filled.
    void HalveLast()
    {
        if (!m_halved)
            return;
        for (int32_t p = 0; p < m_planes; ++p) {
            const uint16_t* from = Last(p);
            uint16_t* to = HalvedRows(p)[m_n - 1];
            for (int32_t i = 0; i < m_length; ++i)
                to[i] = static_cast<uint16_t>(from[i] >> 1);
        }
    }
    int32_t Length() const { return m_length; }

private:
    std::vector<uint16_t> m_block;
    std::vector<uint16_t*> m_rows;  // the planes' rows, then the planes' halved rows
    std::vector<uint32_t> m_prefixBlock;
    std::vector<uint32_t*> m_prefixRows;  // the planes' rows' prefix sums
    int m_prefixShift = -1;
    int32_t m_planes = 0;
    int32_t m_n = 0;
    int32_t m_length = 0;
    bool m_halved = false;
};

// The sharpening rule of unsharp::Sharpen for the plain case (whole tonal range,
// no threshold), two samples at a time in the same double operations: d = v - m,
// d * power, half away from zero, truncation. The rounded change is clamped to
// +-131072 first, beyond which the result is 0 or 65535 either way (as it is for
// a change that saturates); a NaN lands on the low side, as RoundToLong gives it.
// Fills out[0..count) and returns how many it did (an even number).
int32_t SharpenPlainPairs(const uint16_t* centre, const double* sums, double normalisation, double power,
                          int32_t count, int32_t* out)
{
#if defined(__SSE2__)
    const __m128d norm = _mm_set1_pd(normalisation), g = _mm_set1_pd(power);
    const __m128d zero = _mm_setzero_pd(), plusHalf = _mm_set1_pd(0.5), minusHalf = _mm_set1_pd(-0.5);
    const __m128d low = _mm_set1_pd(-131072.0), high = _mm_set1_pd(131072.0), top = _mm_set1_pd(65535.0);
    int32_t x = 0;
    for (; x + 2 <= count; x += 2) {
        const __m128d v = _mm_set_pd(centre[x + 1], centre[x]);
        const __m128d m = _mm_mul_pd(_mm_loadu_pd(sums + x), norm);
        const __m128d change = _mm_mul_pd(_mm_sub_pd(v, m), g);
        const __m128d up = _mm_cmpge_pd(change, zero);
        const __m128d half = _mm_or_pd(_mm_and_pd(up, plusHalf), _mm_andnot_pd(up, minusHalf));
        const __m128d r = _mm_min_pd(_mm_max_pd(_mm_add_pd(change, half), low), high);
        const __m128d truncated = _mm_cvtepi32_pd(_mm_cvttpd_epi32(r));
        const __m128d result = _mm_min_pd(_mm_max_pd(_mm_add_pd(v, truncated), zero), top);
        const __m128i whole = _mm_cvttpd_epi32(result);
        out[x] = _mm_cvtsi128_si32(whole);
        out[x + 1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(whole, 1));
    }
    return x;
#else
    (void)centre;
    (void)sums;
    (void)normalisation;
    (void)power;
    (void)count;
    (void)out;
    return 0;
#endif
}

struct SharpenJob {
    const UnsharpParams& params;
    const Layout& layout;
    IVeltraDataSource* source;
    VeltraRect region;
    int32_t sourceWidth = 0;
    int32_t bytesPerPixel = 0;
    WeightedRows* weighted = nullptr;

    void StorePixel(const Window& w, int32_t column, const unsigned char* pixel) const
    {
        for (int32_t k = 0; k < layout.planes; ++k)
            w.Last(k)[column] = layout.wide ? Load16(pixel + 2 * k) : static_cast<uint16_t>(pixel[k] * 257u);
    }

    // count pixels side by side from pixel on, into the newest window row from column on
    void StoreRun(const Window& w, int32_t column, const unsigned char* pixel, int32_t count) const
    {
        if (!layout.wide && layout.planes == 3 && bytesPerPixel == 3) {
            // 8-bit RGB, the pictures of every day: each plane's row at hand
            uint16_t* r = w.Last(0) + column;
            uint16_t* g = w.Last(1) + column;
            uint16_t* b = w.Last(2) + column;
            for (int32_t i = 0; i < count; ++i, pixel += 3) {
                r[i] = static_cast<uint16_t>(pixel[0] * 257u);
                g[i] = static_cast<uint16_t>(pixel[1] * 257u);
                b[i] = static_cast<uint16_t>(pixel[2] * 257u);
            }
            return;
        }
        for (int32_t i = 0; i < count; ++i, pixel += bytesPerPixel)
            StorePixel(w, column + i, pixel);
    }

    // Source row sy into the newest window row, right to left, edges repeated.
    IVeltraError* FillRow(TiledSourceReader& reader, const Window& w, int32_t sy) const
    {
        const int32_t h = params.halfWidth;
        const int32_t x0 = region.left - h;          // source column of window column 0
        const int32_t x1 = x0 + w.Length() - 1;      // ... of the last column
        int32_t c = w.Length() - 1;
        if (x1 >= sourceWidth) {
            if (IVeltraError* e = reader.Fetch(sourceWidth - 1, sy))
                return e;
            for (; c >= 0 && x0 + c >= sourceWidth; --c)
                StorePixel(w, c, reader.Pixel());
        }
        int32_t xr = x0 + c;
        const int32_t xl = std::max(x0, 0);
        while (xr >= xl) {
            if (IVeltraError* e = reader.Fetch(xr, sy))
                return e;
            // the reader's pixels from xr leftwards lie side by side in its tile
            const int32_t run = std::min(reader.FreeLeft() + 1, xr - xl + 1);
            StoreRun(w, xr - run + 1 - x0, reader.Pixel() - static_cast<ptrdiff_t>(run - 1) * bytesPerPixel, run);
            xr -= run;
        }
        c = xr - x0;
        if (c >= 0) {
            if (IVeltraError* e = reader.Fetch(0, sy))
                return e;
            for (; c >= 0; --c)
                StorePixel(w, c, reader.Pixel());
        }
        return nullptr;
    }

    void WriteSample(unsigned char* pixel, int32_t k, int32_t v) const
    {
        if (layout.wide)
            Store16(pixel + 2 * k, static_cast<uint32_t>(v));
        else
            pixel[k] = static_cast<unsigned char>(v >> 8);  // the high byte
    }

    // Samples of plane k for count pixels from pixel on.
    void WriteSamples(unsigned char* pixel, int32_t k, const int32_t* samples, int32_t count) const
    {
        const ptrdiff_t step = bytesPerPixel;  // a local: the stores cannot change it
        for (int32_t i = 0; i < count; ++i)
            WriteSample(pixel + i * step, k, samples[i]);
    }

    void OutputRow(const Window& w, unsigned char* out) const
    {
        const int32_t h = params.halfWidth, n = 2 * h + 1;
        const int32_t W = region.right - region.left;
        const bool mmx = CUnsharpMaskFilter::MmxSupported();
        for (int32_t k = 0; k < layout.planes; ++k) {
            const uint16_t* centre = w.Rows(k)[h] + h;
            const bool sharpen = ((layout.sharpenable & params.planeMask) >> k) & 1;
            if (!sharpen) {
                for (int32_t x = 0; x < W; ++x)
                    WriteSample(out + static_cast<ptrdiff_t>(x) * bytesPerPixel, k, centre[x]);
                continue;
            }
            const bool box = params.maskMethod == 1;
            if (!box)
                weighted->Sum(w.Rows(k), w.HalvedRows(k), w.PrefixRows(k), params, W, n, mmx);
            int32_t done = 0;
            if (!box && layout.range != RangeKind::Hue && params.fullRange && !(params.scaledThreshold > 0)) {
                int32_t sharpened[64];
                const auto sharpenPlain = brisant::WideVectors() ? unsharp::WideSharpenPlain : SharpenPlainPairs;
                while (done < W) {
                    const int32_t got = sharpenPlain(centre + done, weighted->Sums() + done, params.normalisation,
                                                          params.power, std::min(W - done, 64), sharpened);
                    if (got == 0)
                        break;  // the last odd sample, or no pair form on this processor
                    WriteSamples(out + static_cast<ptrdiff_t>(done) * bytesPerPixel, k, sharpened, got);
                    done += got;
                }
            }
            for (int32_t x = done; x < W; x += 4) {
                const int32_t lanes = std::min(4, W - x);
                double sums[4];
                if (box)
                    BoxSum4(w.Rows(k), x, n, lanes, sums);
                else
                    for (int32_t l = 0; l < lanes; ++l)
                        sums[l] = weighted->At(x + l);
                for (int32_t l = 0; l < lanes; ++l) {
                    const int32_t v = centre[x + l];
                    const double m = sums[l] * params.normalisation;
                    bool ok = true;
                    double weight = 1.0;
                    if (layout.range == RangeKind::Hue) {
                        const int32_t chroma = w.Rows(1)[h][h + x + l], hue = w.Rows(2)[h][h + x + l];
                        ok = unsharp::InHueRange(params, hue);
                        weight = ok ? unsharp::HueRangeWeight(params, chroma, hue) : 0.0;
                    } else {
                        ok = unsharp::InRange(params, v);
                        weight = ok ? unsharp::RangeWeight(params, v) : 0.0;
                    }
                    WriteSample(out + static_cast<ptrdiff_t>(x + l) * bytesPerPixel, k,
                                unsharp::Sharpen(params, v, m, ok, weight));
                }
            }
        }
    }
};

}  // namespace

IVeltraError* CUnsharpMaskFilter::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
{
    IVeltraDataSource** sources = nullptr;
    int32_t count = 0;
    SourcesFor(info, &sources, &count);
    TileTarget out(tile);
    if (!out.FindRegion())
        return nullptr;
    if (!sources || count < 1 || !sources[0])
        return NoSourceError(kCode, __LINE__);
    IVeltraDataSource* source = sources[0];

    // build: kernel, layout, window
    if (m_params.kernelDirty)
        if (IVeltraError* e = GenerateKernel())
            return e;
    int32_t code = 0;
    if (IVeltraError* e = source->GetColorSpace(&code))
        return WRAP(e);
    Layout layout;
    if (!LayoutFor(code, &layout))
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    int32_t sw = 0, sh = 0;
    if (IVeltraError* e = source->GetSize(&sw, &sh))
        return WRAP(e);
    WeightedRows weighted;
    SharpenJob job{m_params, layout, source, out.region, sw, IVeltraDataSource::GetBitsPerPixel(code) / 8, &weighted};
    const int32_t h = m_params.halfWidth, n = 2 * h + 1;
    const int32_t W = out.region.right - out.region.left;
    Window window;
    const bool weights = m_params.maskMethod != 1;  // the box has none
    if (weights)
        weighted.Plan(m_params, n);
    const bool levels = weights && weighted.Levels();
    const bool halved = weights && !levels && WeightedRows::Wide(m_params, MmxSupported());
    if (!window.Allocate(layout.planes, n, W + 2 * h + 3, halved, levels ? (MmxSupported() ? 1 : 0) : -1))
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraOutOfMemory);
    if (IVeltraError* e = out.Lock())
        return WRAP(e);

    // generate: each source row enters the window once; rows from region top on are produced
    TiledSourceReader reader(source, 3, 1, 1);
    IVeltraError* err = nullptr;
    for (int32_t y = out.region.top - 2 * h; y < out.region.bottom && !err; ++y) {
        window.Scroll();
        if (IVeltraError* e = job.FillRow(reader, window, y + h)) {
            err = WRAP(e);
            break;
        }
        window.HalveLast();
        window.SumLast();
        if (y >= out.region.top)
            job.OutputRow(window, out.At(out.region.left, y, job.bytesPerPixel));
    }
    reader.Release();
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return err;
}
