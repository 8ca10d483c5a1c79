// Tile production of the unsharp mask: a window of source rows per plane on the 16-bit scale,
// blur sums four outputs at a time, and the sharpening rule per sample.
#include "Caravel/Brisant/TiledSourceReader.h"
#include "Caravel/Brisant/UnsharpMaskFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

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

// One kernel row over four neighbouring samples (each shifted right by `shift`),
// in 32-bit sums that wrap as the packed arithmetic does. The row is symmetric
// (the weight depends on the distance from the centre only), so the two samples
// at the same distance are added first and weighed once: modulo 2^32 the sum is
// the same as weighing each of them.
inline void RowSum4(const uint16_t* row, const uint16_t* k, int32_t n, int shift, uint32_t rs[4])
{
    const int32_t h = n / 2;
    for (int32_t c = 0; c < h; ++c) {
        const uint32_t kc = k[c];
        for (int32_t l = 0; l < 4; ++l)
            rs[l] += (static_cast<uint32_t>(row[c + l] >> shift) + static_cast<uint32_t>(row[n - 1 - c + l] >> shift)) * kc;
    }
    const uint32_t kh = k[h];
    for (int32_t l = 0; l < 4; ++l)
        rs[l] += static_cast<uint32_t>(row[h + l] >> shift) * kh;
}

void WeightedSum4Plain(uint16_t* const* rows, const UnsharpParams& p, int32_t x, int32_t n, int32_t lanes,
                       double out[4])
{
    double total[4] = {0, 0, 0, 0};
    for (int32_t r = 0; r < n; ++r) {
        const uint16_t* row = rows[r] + x;
        const uint16_t* k = p.kernel + static_cast<ptrdiff_t>(r) * p.kernelStride + 4;
        uint32_t rs[4] = {0, 0, 0, 0};
        RowSum4(row, k, n, 0, rs);
        for (int32_t l = 0; l < 4; ++l)
            total[l] += rs[l];
    }
    for (int32_t l = 0; l < lanes; ++l)
        out[l] = std::trunc(total[l] * (1.0 / n));
}

// Halved samples; the scaled result is kept in 64 bits, since shapes other than the Gaussian
// carry more weight than 32 bits can hold.
void WeightedSum4Mmx(uint16_t* const* rows, const UnsharpParams& p, int32_t x, int32_t n, int32_t lanes,
                     double out[4])
{
    uint64_t total[4] = {0, 0, 0, 0};
    for (int32_t r = 0; r < n; ++r) {
        const uint16_t* row = rows[r] + x;
        const uint16_t* k = p.kernel + static_cast<ptrdiff_t>(r) * p.kernelStride + 4;
        uint32_t rs[4] = {0, 0, 0, 0};
        RowSum4(row, k, n, 1, rs);
        for (int32_t l = 0; l < 4; ++l)
            total[l] += rs[l];
    }
    const uint64_t reciprocal2 = 2ull * p.sizeReciprocal;
    for (int32_t l = 0; l < lanes; ++l) {
        const unsigned __int128 scaled = static_cast<unsigned __int128>(total[l]) * reciprocal2;
        out[l] = static_cast<double>(static_cast<uint64_t>(scaled >> 32));
    }
}

// The window: per plane, n rows of the 16-bit samples of source columns left - h ...
class Window {
public:
    bool Allocate(int32_t planes, int32_t n, int32_t length)
    {
        m_n = n;
        m_length = length;
        const int32_t stride = (length + 3) & ~3;
        try {
            m_block.assign(static_cast<size_t>(planes) * n * stride + stride, 0);
            m_rows.resize(static_cast<size_t>(planes) * n);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (int32_t p = 0; p < planes; ++p)
            for (int32_t r = 0; r < n; ++r)
                m_rows[static_cast<size_t>(p) * n + r] =
                    m_block.data() + (static_cast<size_t>(p) * n + r) * static_cast<size_t>(stride);
        m_planes = planes;
        return true;
    }
    // Row r of plane p; row n - 1 is the newest.
    uint16_t* const* Rows(int32_t p) const { return m_rows.data() + static_cast<size_t>(p) * m_n; }
    uint16_t* Last(int32_t p) const { return Rows(p)[m_n - 1]; }
    void Scroll()
    {
        for (int32_t p = 0; p < m_planes; ++p) {
            auto first = m_rows.begin() + static_cast<ptrdiff_t>(p) * m_n;
            std::rotate(first, first + 1, first + m_n);
        }
    }
    int32_t Length() const { return m_length; }

private:
    std::vector<uint16_t> m_block;
    std::vector<uint16_t*> m_rows;
    int32_t m_planes = 0;
    int32_t m_n = 0;
    int32_t m_length = 0;
};

struct SharpenJob {
    const UnsharpParams& params;
    const Layout& layout;
    IVeltraDataSource* source;
    VeltraRect region;
    int32_t sourceWidth = 0;
    int32_t bytesPerPixel = 0;

    void StorePixel(const Window& w, int32_t column, const unsigned char* pixel) const
    {
        for (int32_t k = 0; k < layout.planes; ++k)
            w.Last(k)[column] = layout.wide ? Load16(pixel + 2 * k) : static_cast<uint16_t>(pixel[k] * 257u);
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
            const int32_t run = std::min(reader.FreeLeft() + 1, xr - xl + 1);
            const unsigned char* p = reader.Pixel();
            for (int32_t k = 0; k < run; ++k, p -= bytesPerPixel)
                StorePixel(w, xr - k - x0, p);
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
            for (int32_t x = 0; x < W; x += 4) {
                const int32_t lanes = std::min(4, W - x);
                double sums[4];
                if (params.maskMethod == 1)
                    BoxSum4(w.Rows(k), x, n, lanes, sums);
                else if (mmx)
                    WeightedSum4Mmx(w.Rows(k), params, x, n, lanes, sums);
                else
                    WeightedSum4Plain(w.Rows(k), params, x, n, lanes, sums);
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
    SharpenJob job{m_params, layout, source, out.region, sw, IVeltraDataSource::GetBitsPerPixel(code) / 8};
    const int32_t h = m_params.halfWidth, n = 2 * h + 1;
    const int32_t W = out.region.right - out.region.left;
    Window window;
    if (!window.Allocate(layout.planes, n, W + 2 * h + 3))
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
        if (y >= out.region.top)
            job.OutputRow(window, out.At(out.region.left, y, job.bytesPerPixel));
    }
    reader.Release();
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return err;
}
