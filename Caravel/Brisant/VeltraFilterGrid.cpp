#include "Caravel/Brisant/VeltraFilterGrid.h"

#include <cmath>
#include <cstring>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

// Where the lines go and how they are drawn into one covered block.
struct Painter {
    unsigned char* bits;  // output pixel (block.left, block.top)
    int32_t rowBytes;
    int32_t bytesPerPixel;
    VeltraRect block;
    unsigned char color[6];

    void Set(int32_t x, int32_t y) const
    {
        std::memcpy(bits + static_cast<ptrdiff_t>(y - block.top) * rowBytes +
                        static_cast<ptrdiff_t>(x - block.left) * bytesPerPixel,
                    color, static_cast<size_t>(bytesPerPixel));
    }

    // One family of lines across size; vertical lines when vertical, else horizontal.
    void Lines(bool vertical, int32_t size, int32_t step, int32_t sub) const
    {
        // positions in 64 bits: a step of a huge interval puts lines far outside the picture
        const int64_t lo = vertical ? block.left : block.top, hi = vertical ? block.right : block.bottom;
        const int32_t alo = vertical ? block.top : block.left, ahi = vertical ? block.bottom : block.right;
        const int32_t n = (size / step) | 1;
        const int32_t m = n / 2 + 1;
        for (int32_t i = 0; i <= n; ++i) {
            const int64_t p = size / 2 + int64_t{step} * (i - m);
            if (lo <= p && p < hi)
                for (int32_t a = alo; a < ahi; ++a)
                    if (i == m || (a & 2) != 0)  // the centre solid, the others dashed
                        vertical ? Set(static_cast<int32_t>(p), a) : Set(a, static_cast<int32_t>(p));
            for (int32_t k = 1; k < sub; ++k) {
                const int64_t q = p + (sub / 2 + int64_t{k} * step) / sub;
                if (lo <= q && q < hi)
                    for (int32_t a = alo; a < ahi; ++a)
                        if ((a & 1) == 0)  // dotted
                            vertical ? Set(static_cast<int32_t>(q), a) : Set(a, static_cast<int32_t>(q));
            }
        }
    }
};

}  // namespace

CVeltraFilterGrid::CVeltraFilterGrid(IVeltraManager* manager) : CVeltraFilterBase(manager, 1) {}

CVeltraFilterGrid::~CVeltraFilterGrid() = default;

IVeltraError* CVeltraFilterGrid::NotifyAllPixels(bool notify)
{
    m_changed = true;
    if (!notify || !IsEnabled() || !HasSource())
        return nullptr;
    int32_t w = 0, h = 0;
    if (IVeltraError* e = m_sources[0]->GetSize(&w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CVeltraFilterGrid::SetGridColor(unsigned char c0, unsigned char c1, unsigned char c2, bool notify)
{
    if (m_color[0] == c0 && m_color[1] == c1 && m_color[2] == c2)
        return nullptr;
    m_color[0] = c0;
    m_color[1] = c1;
    m_color[2] = c2;
    return NotifyAllPixels(notify);
}

IVeltraError* CVeltraFilterGrid::GetGridColor(unsigned char* c0, unsigned char* c1, unsigned char* c2) const
{
    *c0 = m_color[0];
    *c1 = m_color[1];
    *c2 = m_color[2];
    return nullptr;
}

IVeltraError* CVeltraFilterGrid::SetGridInterval(double interval, int32_t unit, int32_t subdivisions, bool notify)
{
    if (interval == m_interval && unit == m_unit && subdivisions == m_subdivisions)
        return nullptr;
    m_interval = interval;
    m_unit = unit;
    m_subdivisions = subdivisions;
    return NotifyAllPixels(notify);
}

IVeltraError* CVeltraFilterGrid::GetGridInterval(double* interval, int32_t* unit, int32_t* subdivisions) const
{
    *interval = m_interval;
    *unit = m_unit;
    *subdivisions = m_subdivisions;
    return nullptr;
}

IVeltraError* CVeltraFilterGrid::SetAssumedImageSize(int32_t width, int32_t height, double resolution, bool notify)
{
    if (width == m_assumedWidth && height == m_assumedHeight && resolution == m_assumedResolution)
        return nullptr;
    m_assumedWidth = width;
    m_assumedHeight = height;
    m_assumedResolution = resolution;
    return NotifyAllPixels(notify);
}

IVeltraError* CVeltraFilterGrid::GetAssumedImageSize(int32_t* width, int32_t* height, double* resolution) const
{
    *width = m_assumedWidth;
    *height = m_assumedHeight;
    *resolution = m_assumedResolution;
    return nullptr;
}

bool CVeltraFilterGrid::CheckGridInterval(double interval, int32_t unit, int32_t subdivisions)
{
    return interval > 0 && unit >= 0 && unit <= 5 && subdivisions >= 1 && subdivisions <= 100;
}

int32_t CVeltraFilterGrid::GetGridIntervalInPixels(double r) const
{
    double px = 0;
    switch (m_unit) {
    case 0: px = m_interval; break;
    case 1: px = r * m_interval; break;
    case 2: px = r * m_interval / 2.54; break;
    case 3: px = r * m_interval / 25.4; break;
    case 4: px = r * m_interval / 6.0; break;
    case 5: px = r * m_interval / 72.0; break;
    default: return 0;
    }
    if (!(std::fabs(px) < 2147483647.0))
        return 0;
    return static_cast<int32_t>(px);
}

void CVeltraFilterGrid::Steps(int32_t width, int32_t* step, int32_t* sub) const
{
    // an assumed width never set means the picture itself
    const int64_t assumed = m_assumedWidth > 0 ? m_assumedWidth : (width > 0 ? width : 1);
    int64_t s = static_cast<int64_t>(GetGridIntervalInPixels(m_assumedResolution)) * width / assumed;
    if (s < 1)
        s = 1;
    while (s < 5)
        s *= 2;
    *step = static_cast<int32_t>(std::min<int64_t>(s, INT32_MAX / 4));
    int32_t d = m_subdivisions;
    while (d > 1 && *step / d < 10)
        --d;
    *sub = d;
}

IVeltraError* CVeltraFilterGrid::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
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

    // build: layout, colour, line spacing
    int32_t code = 0;
    if (IVeltraError* e = source->GetColorSpace(&code))
        return WRAP(e);
    if (code != 32 && code != 33)
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    const int32_t bytesPerPixel = IVeltraDataSource::GetBitsPerPixel(code) / 8;
    int32_t w = 0, h = 0;
    if (IVeltraError* e = GetFilteredSize(sources, count, &w, &h))
        return WRAP(e);
    int32_t step = 1, sub = 1;
    Steps(w, &step, &sub);
    Painter paint{};
    paint.bytesPerPixel = bytesPerPixel;
    for (int k = 0; k < 3; ++k) {
        if (code == 32) {
            paint.color[k] = m_color[k];
        } else {
            const uint16_t v = static_cast<uint16_t>(m_color[k] * 257u);
            std::memcpy(paint.color + 2 * k, &v, 2);
        }
    }

    // generate: copy each covered block, then draw the lines that fall into it
    if (IVeltraError* e = out.Lock())
        return WRAP(e);
    const bool draw = IsEnabled();
    IVeltraError* err = WalkSourceTiles(source, out.region, kCode, bytesPerPixel, [&](const SourceBlock& b) {
        const unsigned char* s = b.bits;
        unsigned char* d = out.At(b.covered.left, b.covered.top, bytesPerPixel);
        const size_t n = static_cast<size_t>(b.covered.right - b.covered.left) * bytesPerPixel;
        for (int32_t y = b.covered.top; y < b.covered.bottom; ++y, s += b.rowBytes, d += out.rowBytes)
            std::memcpy(d, s, n);
        if (draw) {
            paint.bits = out.At(b.covered.left, b.covered.top, bytesPerPixel);
            paint.rowBytes = out.rowBytes;
            paint.block = b.covered;
            paint.Lines(true, w, step, sub);
            paint.Lines(false, h, step, sub);
        }
        return static_cast<IVeltraError*>(nullptr);
    });
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}
