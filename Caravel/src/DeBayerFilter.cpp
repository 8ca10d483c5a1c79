#include "Caravel/src/DeBayerFilter.h"

#include "Caravel/Brisant/TiledSourceReader.h"

#include <algorithm>
#include <cstring>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

constexpr int32_t kCode = CDeBayerFilter::kCode;
constexpr int32_t kBorder = 6;
constexpr int32_t kOutputBytesPerPixel = 6;

IVeltraError* BadColorSpace(int32_t line)
{
    return IVeltraError::Add(nullptr, kCode, line, "Bad source data color space");
}

int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

// Rows y-1 .. y+3 of tone-mapped samples, columns from sx - 3; green rows y-1 .. y+1 from sx - 1.
struct Windows {
    int32_t* c[5];
    int32_t* g[3];
    int32_t sx;

    // sample at source (x, y + dy), dy in -1 .. 3 ... addressed relative to the output row
    int32_t C(int32_t x, int32_t dy) const { return c[dy + 1][x - sx + 3]; }
    int32_t G(int32_t x, int32_t dy) const { return g[dy + 1][x - sx + 1]; }
    int32_t D(int32_t x, int32_t dy) const { return C(x, dy) - G(x, dy); }
};

// Green at column x of the row held in the middle of a 5-row sample block (rows r-2 .. r+2).
int32_t GreenAt(int32_t* const rows[5], int32_t i, int32_t x, int32_t y, int32_t noise, int32_t num,
                int32_t den)
{
    auto C = [&](int32_t dx, int32_t dy) { return rows[2 + dy][i + dx]; };
    if (((x + y) & 1) != 0)
        return C(0, 0);
    const int32_t gV = (Abs(C(0, -1) - C(0, 1)) + Abs(C(-1, -2) - C(-1, 0)) + Abs(C(-1, 0) - C(-1, 2))) / 3;
    const int32_t gH = (Abs(C(-1, 0) - C(1, 0)) + Abs(C(-2, -1) - C(0, -1)) + Abs(C(0, -1) - C(2, -1))) / 3;
    const int32_t d = gV - gH;
    const int32_t t = ((gV + gH) * num) / den + noise;
    const int32_t gv = (C(0, -1) + C(0, 1)) / 2 + (2 * C(0, 0) - C(0, -2) - C(0, 2)) / 4;
    const int32_t gh = (C(-1, 0) + C(1, 0)) / 2 + (2 * C(0, 0) - C(-2, 0) - C(2, 0)) / 4;
    if (d >= t)
        return gh;
    if (d <= -t)
        return gv;
    const double w = (static_cast<double>(d) / t) * 0.5;
    return static_cast<int32_t>(gv * (0.5 - w) + gh * (0.5 + w));
}

uint16_t ToOutput(int32_t v)
{
    v = std::clamp<int32_t>(v, 0, static_cast<int32_t>(CRawFilterBase::kToneMax));
    return static_cast<uint16_t>(v >> 2);
}

void OutputRow(const Windows& w, int32_t y, int32_t n, unsigned char* out)
{
    for (int32_t x = w.sx; x < w.sx + n; ++x, out += kOutputBytesPerPixel) {
        const int32_t g = w.G(x, 0);
        int32_t red, blue;
        const bool xOdd = (x & 1) != 0, yOdd = (y & 1) != 0;
        if (xOdd != yOdd) {  // a green site
            const int32_t across = (w.D(x - 1, 0) + w.D(x + 1, 0)) / 2;
            const int32_t down = (w.D(x, -1) + w.D(x, 1)) / 2;
            red = g + (yOdd ? across : down);
            blue = g + (yOdd ? down : across);
        } else {
            const int32_t diagonal = (w.D(x - 1, -1) + w.D(x + 1, -1) + w.D(x - 1, 1) + w.D(x + 1, 1)) / 4;
            red = yOdd ? w.C(x, 0) : g + diagonal;
            blue = yOdd ? g + diagonal : w.C(x, 0);
        }
        const uint16_t rgb[3] = {ToOutput(red), ToOutput(g), ToOutput(blue)};
        std::memcpy(out, rgb, sizeof rgb);
    }
}

// Tone-mapped samples of source row y, columns x0 .. x0 + count - 1, read right to left in runs
// that stay inside one source tile. Samples above 12 bits are limited to the table's last entry.
IVeltraError* ReadSampleRow(TiledSourceReader& reader, int32_t x0, int32_t count, int32_t y, int32_t* dest)
{
    const uint32_t* table = CRawFilterBase::ToneTable();
    int32_t xr = x0 + count - 1;
    while (xr >= x0) {
        if (IVeltraError* e = reader.MoveTo(xr, y))
            return e;
        const int32_t run = reader.FoldedX() ? 1 : std::min(reader.FreeLeft() + 1, xr - x0 + 1);
        const unsigned char* p = reader.Pixel();
        for (int32_t k = 0; k < run; ++k, p -= 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            dest[xr - k - x0] = static_cast<int32_t>(table[std::min<uint16_t>(v, CRawFilterBase::kToneEntries - 1)]);
        }
        xr -= run;
    }
    return nullptr;
}

}  // namespace

void CDeBayerFilter::RollingRows::Reset(int32_t r, int32_t w)
{
    rows = r;
    width = w;
    values.assign(static_cast<size_t>(r) * w, 0);
}

void CDeBayerFilter::RollingRows::Roll()
{
    std::rotate(values.begin(), values.begin() + width, values.end());
}

CDeBayerFilter::CDeBayerFilter(IVeltraManager* manager) : CRawFilterBase(manager)
{
    m_cropLeft = kBorder;
    m_cropTop = kBorder;
    m_cropRight = 2006;
    m_cropBottom = 1318;
}

CDeBayerFilter::~CDeBayerFilter() = default;

bool CDeBayerFilter::WindowFits(int32_t width, int32_t height) const
{
    return 0 <= m_cropLeft && m_cropLeft < m_cropRight && m_cropRight <= width && 0 <= m_cropTop &&
           m_cropTop < m_cropBottom && m_cropBottom <= height;
}

IVeltraError* CDeBayerFilter::GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                              int32_t* height)
{
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    int32_t w = 0, h = 0;
    if (IVeltraError* e = list[0]->GetSize(&w, &h))
        return WRAP(e);
    if (WindowFits(w, h)) {
        *width = std::min(w - 2 * kBorder, m_cropRight - m_cropLeft);
        *height = std::min(h - 2 * kBorder, m_cropBottom - m_cropTop);
    } else {
        *width = w;
        *height = h;
    }
    return nullptr;
}

IVeltraError* CDeBayerFilter::GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count,
                                                    int32_t* colorSpace)
{
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    int32_t code = 0;
    if (IVeltraError* e = list[0]->GetColorSpace(&code))
        return WRAP(e);
    if (code != kInputColorSpace)
        return BadColorSpace(__LINE__);
    *colorSpace = kOutputColorSpace;
    return nullptr;
}

IVeltraError* CDeBayerFilter::FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change)
{
    if (!change)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    if (IsEnabled() && WindowFits(change->oldWidth, change->oldHeight)) {
        // the window only shrinks: a later larger source keeps the smaller window
        const int32_t oldWidth = m_cropRight - m_cropLeft, oldHeight = m_cropBottom - m_cropTop;
        change->oldWidth = oldWidth;
        change->oldHeight = oldHeight;
        m_cropRight = std::min(m_cropRight, change->newWidth - kBorder);
        m_cropBottom = std::min(m_cropBottom, change->newHeight - kBorder);
        change->newWidth = std::min(change->newWidth - 2 * kBorder, oldWidth);
        change->newHeight = std::min(change->newHeight - 2 * kBorder, oldHeight);
        m_cropLeft = m_cropRight - change->newWidth;
        m_cropTop = m_cropBottom - change->newHeight;
    }
    return CRawFilterBase::FilterSize(source, change);
}

IVeltraError* CDeBayerFilter::FilterColorSpace(IVeltraDataSource* source,
                                               IVeltraDataDestination::ChangeColorSpace* change)
{
    if (change && IsEnabled()) {
        if (change->oldColorSpace == kInputColorSpace)
            change->oldColorSpace = kOutputColorSpace;
        if (change->newColorSpace == kInputColorSpace)
            change->newColorSpace = kOutputColorSpace;
    }
    return CRawFilterBase::FilterColorSpace(source, change);
}

IVeltraError* CDeBayerFilter::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
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
    const int32_t n = out.region.right - out.region.left;

    m_samples.Reset(5, n + 6);
    m_green.Reset(3, n + 2);
    int32_t code = 0;
    if (IVeltraError* e = source->GetColorSpace(&code))
        return WRAP(e);
    if (code != kInputColorSpace)
        return BadColorSpace(__LINE__);
    if (IVeltraError* e = out.Lock())
        return WRAP(e);

    const bool originSet = 0 <= m_cropLeft && m_cropLeft < m_cropRight && 0 <= m_cropTop && m_cropTop < m_cropBottom;
    const int32_t sx = out.region.left + (originSet ? m_cropLeft : 0);
    int32_t sy = out.region.top + (originSet ? m_cropTop : 0);

    // period 2 keeps the colour pattern where coordinates fold back inside the source
    TiledSourceReader reader(source, 2, 2, 2);
    IVeltraError* err = WRAP(reader.MoveTo(sx, sy));
    auto step = [&](int32_t y) -> IVeltraError* {
        m_samples.Roll();
        if (IVeltraError* e = ReadSampleRow(reader, sx - 3, n + 6, y + 3, m_samples.Row(4)))
            return WRAP(e);
        m_green.Roll();
        int32_t* rows[5] = {m_samples.Row(0), m_samples.Row(1), m_samples.Row(2), m_samples.Row(3),
                            m_samples.Row(4)};
        int32_t* green = m_green.Row(2);
        const int32_t noise = static_cast<int32_t>((ToneTable()[kToneEntries - 1] * m_noiseFactor) / 256);
        for (int32_t i = 0; i < n + 2; ++i)
            green[i] = GreenAt(rows, i + 2, sx - 1 + i, y + 1, noise, m_thresholdNumerator, m_thresholdDenominator);
        return nullptr;
    };
    for (int32_t y = sy - 6; y < sy && !err; ++y)
        err = step(y);
    for (int32_t row = out.region.top; row < out.region.bottom && !err; ++row, ++sy) {
        err = step(sy);
        if (err)
            break;
        Windows w{{m_samples.Row(0), m_samples.Row(1), m_samples.Row(2), m_samples.Row(3), m_samples.Row(4)},
                  {m_green.Row(0), m_green.Row(1), m_green.Row(2)},
                  sx};
        OutputRow(w, sy, n, out.At(out.region.left, row, kOutputBytesPerPixel));
    }
    reader.Release();
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return err;
}
