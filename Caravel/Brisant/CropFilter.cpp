#include "Caravel/Brisant/CropFilter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

// Sets the pixels of one output row to 0: whole bytes, or bits for pixels under 8 bits.
void ClearRow(unsigned char* row, int32_t firstPixel, int32_t pixels, int32_t bitsPerPixel)
{
    if (pixels <= 0)
        return;
    if (bitsPerPixel >= 8) {
        const int32_t bytes = bitsPerPixel / 8;
        std::memset(row + static_cast<ptrdiff_t>(firstPixel) * bytes, 0, static_cast<size_t>(pixels) * bytes);
        return;
    }
    static const unsigned char zeros[512] = {};
    int64_t bit = static_cast<int64_t>(firstPixel) * bitsPerPixel;
    int64_t left = static_cast<int64_t>(pixels) * bitsPerPixel;
    while (left > 0) {
        const int64_t n = std::min<int64_t>(left, sizeof(zeros) * 8);
        CVeltraFilterBase::CPixelBitPtr::CopyBits(zeros, 0, row + bit / 8, static_cast<int32_t>(bit % 8), n);
        bit += n;
        left -= n;
    }
}

}  // namespace

CCropFilter::CCropFilter(IVeltraManager* manager) : CVeltraFilterBase(manager, 2)
{
    m_passThrough = true;  // shows the source until a crop is set
}

CCropFilter::~CCropFilter() = default;

IVeltraError* CCropFilter::SetCrop(const VeltraRect& crop, bool notify)
{
    // A rectangle turned inside out, or wider or taller than any picture can be, has no
    // output; refusing it keeps every width and offset below in range.
    const int64_t width = int64_t{crop.right} - crop.left, height = int64_t{crop.bottom} - crop.top;
    if (width < 0 || height < 0 || width > INT32_MAX || height > INT32_MAX)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    IVeltraDataDestination::ChangeSize change;
    change.oldWidth = m_crop.right - m_crop.left;
    change.oldHeight = m_crop.bottom - m_crop.top;
    m_crop = crop;
    m_changed = true;
    if (HasSource()) {
        int32_t w = 0, h = 0;
        if (IVeltraError* e = m_sources[0]->GetSize(&w, &h))
            return WRAP(e);
        m_passThrough = crop.left == 0 && crop.top == 0 && crop.right == w && crop.bottom == h;
    } else {
        m_passThrough = false;
    }
    if (!notify || !IsEnabled())
        return nullptr;
    change.newWidth = crop.right - crop.left;
    change.newHeight = crop.bottom - crop.top;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifySize, &change));
}

// ---- coordinate mappings: a shift by the crop's origin

IVeltraError* CCropFilter::FilterPoint(double* x, double* y, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        *x -= m_crop.left;
        *y -= m_crop.top;
    }
    return nullptr;
}

IVeltraError* CCropFilter::FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        *x -= m_crop.left;
        *y -= m_crop.top;
    }
    return nullptr;
}

IVeltraError* CCropFilter::FilterRect(VeltraDblRect* r, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        r->left -= m_crop.left;
        r->right -= m_crop.left;
        r->top -= m_crop.top;
        r->bottom -= m_crop.top;
    }
    return nullptr;
}

IVeltraError* CCropFilter::FilterRect(VeltraRect* r, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        r->left -= m_crop.left;
        r->right -= m_crop.left;
        r->top -= m_crop.top;
        r->bottom -= m_crop.top;
    }
    return nullptr;
}

IVeltraError* CCropFilter::DefilterPoint(double* x, double* y, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        *x += m_crop.left;
        *y += m_crop.top;
    }
    return nullptr;
}

IVeltraError* CCropFilter::DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        *x += m_crop.left;
        *y += m_crop.top;
    }
    return nullptr;
}

IVeltraError* CCropFilter::DefilterRect(VeltraDblRect* r, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        r->left += m_crop.left;
        r->right += m_crop.left;
        r->top += m_crop.top;
        r->bottom += m_crop.top;
    }
    return nullptr;
}

IVeltraError* CCropFilter::DefilterRect(VeltraRect* r, IVeltraDataSource**, int32_t)
{
    if (Shifting()) {
        r->left += m_crop.left;
        r->right += m_crop.left;
        r->top += m_crop.top;
        r->bottom += m_crop.top;
    }
    return nullptr;
}

// ---- output description

IVeltraError* CCropFilter::GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
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
    if (Shifting()) {
        w = std::max(0, std::min(w, m_crop.right - m_crop.left));
        h = std::max(0, std::min(h, m_crop.bottom - m_crop.top));
    }
    *width = w;
    *height = h;
    return nullptr;
}

IVeltraError* CCropFilter::FilterSize(IVeltraDataSource*, IVeltraDataDestination::ChangeSize* change)
{
    if (!change)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    IVeltraDataDestination::ChangeSize out = *change;
    if (Shifting()) {
        // keep the crop's size where the new source allows, moving it inside
        const int32_t cw = m_crop.right - m_crop.left, ch = m_crop.bottom - m_crop.top;
        const int32_t nw = change->newWidth, nh = change->newHeight;
        m_crop.left = std::max(std::min(m_crop.left, nw - cw), 0);
        m_crop.top = std::max(std::min(m_crop.top, nh - ch), 0);
        m_crop.right = m_crop.left + std::min(cw, nw);
        m_crop.bottom = m_crop.top + std::min(ch, nh);
        out = {cw, ch, m_crop.right - m_crop.left, m_crop.bottom - m_crop.top};
    }
    m_changed = true;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifySize, &out));
}

// ---- tiles

IVeltraError* CCropFilter::GenerateTile(IVeltraTile* tile, IVeltraDataSource** sources, int32_t count)
{
    if (sources && count >= 1) {
        CProcessInfo record(sources, count, nullptr);
        return WRAP(ProcessTile(tile, &record));
    }
    return WRAP(ProcessTile(tile, nullptr));
}

IVeltraError* CCropFilter::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
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

    // build: the source region behind the output region, and the pixel size
    const int32_t dx = Shifting() ? m_crop.left : 0, dy = Shifting() ? m_crop.top : 0;
    int32_t sw = 0, sh = 0, code = 0;
    if (IVeltraError* e = source->GetSize(&sw, &sh))
        return WRAP(e);
    if (IVeltraError* e = source->GetColorSpace(&code))
        return WRAP(e);
    const int32_t bitsPerPixel = IVeltraDataSource::GetBitsPerPixel(code);
    const int32_t bytesPerPixel = bitsPerPixel / 8;
    const VeltraRect wanted{std::max(out.region.left + dx, 0), std::max(out.region.top + dy, 0),
                            std::min(out.region.right + dx, sw), std::min(out.region.bottom + dy, sh)};
    if (IVeltraError* e = out.Lock())
        return WRAP(e);

    // output pixels with no source pixel behind them are defined as 0
    const int32_t regionWidth = out.region.right - out.region.left;
    for (int32_t y = out.region.top; y < out.region.bottom; ++y)
        ClearRow(out.bits + static_cast<ptrdiff_t>(y - out.rect.top) * out.rowBytes, out.region.left - out.rect.left,
                 regionWidth, bitsPerPixel);
    if (wanted.right <= wanted.left || wanted.bottom <= wanted.top)
        return WRAP(out.Finish(true));

    // generate: copy each covered block to its place in the output
    IVeltraError* err = WalkSourceTiles(source, wanted, kCode, bytesPerPixel, [&](const SourceBlock& b) {
        const int32_t n = b.covered.right - b.covered.left;
        const int32_t ox = b.covered.left - dx - out.rect.left;
        unsigned char* d = out.bits + static_cast<ptrdiff_t>(b.covered.top - dy - out.rect.top) * out.rowBytes;
        const unsigned char* s = b.bits;
        for (int32_t y = b.covered.top; y < b.covered.bottom; ++y, s += b.rowBytes, d += out.rowBytes) {
            if (bytesPerPixel > 0) {
                std::memcpy(d + static_cast<ptrdiff_t>(ox) * bytesPerPixel, s, static_cast<size_t>(n) * bytesPerPixel);
            } else {
                const int64_t sb = static_cast<int64_t>(b.covered.left - b.tileRect.left) * bitsPerPixel;
                const int64_t db = static_cast<int64_t>(ox) * bitsPerPixel;
                CPixelBitPtr::CopyBits(s + sb / 8, static_cast<int32_t>(sb % 8), d + db / 8,
                                       static_cast<int32_t>(db % 8), static_cast<int64_t>(n) * bitsPerPixel);
            }
        }
        return static_cast<IVeltraError*>(nullptr);
    });
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}
