#include "Caravel/Brisant/VeltraFilterHistogram.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

// Milliseconds of a monotonic clock, wrapping at 32 bits; budgets use unsigned differences.
uint32_t TickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

// Planes and bits per sample of the codes the filter counts: the 8-bit hue code and bit
// pictures are not counted.
bool CountedLayout(int32_t code, int32_t* planes, int32_t* bits)
{
    if (code == 39)
        return false;
    return IVeltraDataSource::GetSampleLayout(code, planes, bits) && *bits >= 8;
}

inline uint32_t Sample(const unsigned char* p, bool wide, int32_t k)
{
    if (!wide)
        return p[k];
    uint16_t v;
    std::memcpy(&v, p + 2 * k, 2);
    return v;
}

}  // namespace

CVeltraFilterHistogram::CVeltraFilterHistogram(IVeltraManager* manager)
    : CVeltraFilterBase(manager, 1), m_bins(static_cast<size_t>(kPlanes) * kBins, 0)
{
}

CVeltraFilterHistogram::~CVeltraFilterHistogram()
{
    if (m_runGrid)
        m_runGrid->Destroy();
}

// ---- binding

void CVeltraFilterHistogram::Forget()
{
    m_source = nullptr;
}

IVeltraError* CVeltraFilterHistogram::GetSource()
{
    if (m_source)
        return nullptr;
    m_flags.clear();
    m_tileColumns = 1;
    m_tileSize = m_colorSpace = m_nativeBits = m_width = m_height = m_firstColumn = m_firstRow = 0;
    if (VeltraGetDataSourceCount(this) != 1)
        return nullptr;
    m_source = VeltraGetDataSource(this, 0);
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::Bound()
{
    if (IVeltraError* e = GetSource())
        return WRAP(e);
    if (!m_source)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraNoSource);
    return nullptr;
}

#define FORWARD(call)                   \
    if (IVeltraError* e = Bound())      \
        return e;                       \
    return WRAP(m_source->call)

IVeltraError* CVeltraFilterHistogram::GetWidth(int32_t* width) { FORWARD(GetWidth(width)); }
IVeltraError* CVeltraFilterHistogram::GetHeight(int32_t* height) { FORWARD(GetHeight(height)); }
IVeltraError* CVeltraFilterHistogram::GetColorSpace(int32_t* colorSpace) { FORWARD(GetColorSpace(colorSpace)); }
IVeltraError* CVeltraFilterHistogram::GetResolution(double* resolution) { FORWARD(GetResolution(resolution)); }
IVeltraError* CVeltraFilterHistogram::GetFlip(bool* flip) { FORWARD(GetFlip(flip)); }
IVeltraError* CVeltraFilterHistogram::GetRotation(double* rotation) { FORWARD(GetRotation(rotation)); }
IVeltraError* CVeltraFilterHistogram::GetTileSize(int32_t* tileSize) { FORWARD(GetTileSize(tileSize)); }
IVeltraError* CVeltraFilterHistogram::GetPalette(VeltraPalette* palette) { FORWARD(GetPalette(palette)); }
IVeltraError* CVeltraFilterHistogram::TileExists(bool* exists, const IVeltraTileID& id) { FORWARD(TileExists(exists, id)); }
IVeltraError* CVeltraFilterHistogram::TileExists(bool* exists, int32_t column, int32_t row)
{
    FORWARD(TileExists(exists, column, row));
}
IVeltraError* CVeltraFilterHistogram::GetTile(IVeltraTile** tile, const IVeltraTileID& id) { FORWARD(GetTile(tile, id)); }
IVeltraError* CVeltraFilterHistogram::GetTile(IVeltraTile** tile, int32_t column, int32_t row)
{
    FORWARD(GetTile(tile, column, row));
}
IVeltraError* CVeltraFilterHistogram::UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row)
{
    FORWARD(UnlockTile(grid, column, row));
}
IVeltraError* CVeltraFilterHistogram::UnlockTile(const IVeltraTileID& id) { FORWARD(UnlockTile(id)); }
IVeltraError* CVeltraFilterHistogram::UnlockTile(int32_t column, int32_t row) { FORWARD(UnlockTile(column, row)); }
IVeltraError* CVeltraFilterHistogram::MapRect(IVeltraTileGrid** grid, const VeltraRect& rect) { FORWARD(MapRect(grid, rect)); }

#undef FORWARD

// ---- locking counts

IVeltraError* CVeltraFilterHistogram::LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header)
{
    if (IVeltraError* e = Bound())
        return e;
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = m_source->GetTile(&tile, column, row))
        return WRAP(e);
    int32_t rowBytes = 0;
    if (IVeltraError* e = m_source->GetRowBytes(&rowBytes))
        return WRAP(e);
    if (IVeltraError* e = m_source->LockTile(bits, column, row, header))
        return WRAP(e);
    VeltraRect r;
    tile->GetRect(&r);
    if (IVeltraError* e = DoHistogram(*bits, r, rowBytes)) {
        // the caller gets no lock to release
        if (IVeltraError* u = m_source->UnlockTile(column, row))
            u->Release();
        return WRAP(e);
    }
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header)
{
    if (IVeltraError* e = Bound())
        return e;
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = m_source->GetTile(&tile, id))
        return WRAP(e);
    int32_t rowBytes = 0;
    if (IVeltraError* e = m_source->GetRowBytes(&rowBytes))
        return WRAP(e);
    if (IVeltraError* e = m_source->LockTile(bits, id, header))
        return WRAP(e);
    VeltraRect r;
    tile->GetRect(&r);
    if (IVeltraError* e = DoHistogram(*bits, r, rowBytes)) {
        if (IVeltraError* u = m_source->UnlockTile(id))
            u->Release();
        return WRAP(e);
    }
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect,
                                               int32_t* rowBytes, const IVeltraTileGrid& grid, int32_t column,
                                               int32_t row, VeltraBitmapHeader** header)
{
    if (IVeltraError* e = Bound())
        return e;
    VeltraRect tr, cr;
    int32_t rb = 0;
    if (IVeltraError* e = m_source->LockTile(bits, &tr, &cr, &rb, grid, column, row, header))
        return WRAP(e);
    if (tileRect)
        *tileRect = tr;
    if (coveredRect)
        *coveredRect = cr;
    if (rowBytes)
        *rowBytes = rb;
    if (IVeltraError* e = DoHistogram(*bits, tr, rb)) {
        if (IVeltraError* u = m_source->UnlockTile(grid, column, row))
            u->Release();
        return WRAP(e);
    }
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::DoHistogram(void* pixels, const VeltraRect& tileRect, int32_t rowLength)
{
    // 1, 2.
    if (!IsEnabled())
        return nullptr;
    if (m_flags.empty())
        if (IVeltraError* e = Initialize())
            return WRAP(e);
    if (m_tileSize <= 0 || m_flags.empty())
        return nullptr;
    // 3. which tile, and whether it still counts
    const int32_t column = tileRect.left / m_tileSize - m_firstColumn;
    const int32_t row = tileRect.top / m_tileSize - m_firstRow;
    if (column < 0 || column >= m_tileColumns || row < 0)
        return nullptr;
    const uint64_t index = static_cast<uint64_t>(column) + static_cast<uint64_t>(row) * m_tileColumns;
    if (index >= m_flags.size() || m_flags[index])
        return nullptr;
    // 4, 5.
    m_flags[index] = 1;
    const VeltraRect area{std::max(tileRect.left, m_counted.left), std::max(tileRect.top, m_counted.top),
                          std::min(tileRect.right, m_counted.right), std::min(tileRect.bottom, m_counted.bottom)};
    if (area.right > area.left && area.bottom > area.top) {
        const int32_t bpp = (IVeltraDataSource::GetBitsPerPixel(m_colorSpace) + 7) / 8;
        const auto* first = static_cast<const unsigned char*>(pixels) +
                            static_cast<ptrdiff_t>(area.left - tileRect.left) * bpp +
                            static_cast<ptrdiff_t>(area.top - tileRect.top) * rowLength;
        Count(first, area, rowLength);
    }
    // 6, 7. tell who is waiting
    const bool complete = IsComplete();
    if (IVeltraError* e = NotifyWatchers(complete ? kCode + 1 : kCode, nullptr))
        return WRAP(e);
    return WRAP(VeltraSendDataNotification(this, complete ? kComplete : kIncomplete, this));
}

void CVeltraFilterHistogram::Count(const unsigned char* first, const VeltraRect& area, int32_t rowLength)
{
    int32_t planes = 0, bits = 0;
    if (!CountedLayout(m_colorSpace, &planes, &bits))
        return;
    const bool wide = bits == 16;
    // a mean of lightness and two colour axes means nothing: plane 0 stays empty for them
    const bool combined = m_colorSpace != 35 && m_colorSpace != 36 && m_colorSpace != 37;
    uint32_t* bins = m_bins.data();
    const int32_t bpp = planes * (wide ? 2 : 1);
    for (int32_t y = area.top; y < area.bottom; ++y, first += rowLength) {
        const unsigned char* p = first;
        for (int32_t x = area.left; x < area.right; ++x, p += bpp) {
            if (planes == 1) {
                ++bins[Sample(p, wide, 0)];
                continue;
            }
            uint32_t sum = 0;
            for (int32_t k = 0; k < planes; ++k) {
                const uint32_t v = Sample(p, wide, k);
                sum += v;
                ++bins[static_cast<size_t>(k + 1) * kBins + v];
            }
            if (combined)
                ++bins[sum / static_cast<uint32_t>(planes)];
        }
    }
}

IVeltraError* CVeltraFilterHistogram::Initialize()
{
    std::fill(m_bins.begin(), m_bins.end(), 0u);
    if (IVeltraError* e = Bound())
        return e;
    if (IVeltraError* e = m_source->GetSize(&m_width, &m_height))
        return WRAP(e);
    if (IVeltraError* e = m_source->GetTileSize(&m_tileSize))
        return WRAP(e);
    if (IVeltraError* e = m_source->GetColorSpace(&m_colorSpace))
        return WRAP(e);
    if (int32_t planes = 0, bits = 0; CountedLayout(m_colorSpace, &planes, &bits))
        m_nativeBits = bits;
    if (m_tileSize <= 0)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadState);
    // the counted rectangle: the crop put in order and inside the picture
    if (m_crop.left == 0 && m_crop.top == 0 && m_crop.right == 0 && m_crop.bottom == 0) {
        m_counted = VeltraRect{0, 0, m_width, m_height};
    } else {
        VeltraRect c = m_crop;
        if (c.right < c.left)
            std::swap(c.left, c.right);
        if (c.bottom < c.top)
            std::swap(c.top, c.bottom);
        m_counted = VeltraRect{std::clamp(c.left, 0, m_width), std::clamp(c.top, 0, m_height),
                               std::clamp(c.right, 0, m_width), std::clamp(c.bottom, 0, m_height)};
    }
    const int32_t t = m_tileSize;
    m_firstColumn = m_counted.left / t;
    m_firstRow = m_counted.top / t;
    const int32_t endColumn = (m_counted.right + t - 1) / t, endRow = (m_counted.bottom + t - 1) / t;
    m_tileColumns = endColumn - m_firstColumn;
    m_flags.assign(static_cast<size_t>(std::max(0, m_tileColumns)) * static_cast<size_t>(std::max(0, endRow - m_firstRow)),
                   0);
    return nullptr;
}

// ---- counting on request

bool CVeltraFilterHistogram::IsComplete() const
{
    return m_source && !m_flags.empty() && std::all_of(m_flags.begin(), m_flags.end(), [](uint8_t f) { return f; });
}

IVeltraError* CVeltraFilterHistogram::SetCrop(const VeltraRect& crop)
{
    if (IVeltraError* e = GetSource())
        return WRAP(e);
    if (crop.left == m_crop.left && crop.top == m_crop.top && crop.right == m_crop.right &&
        crop.bottom == m_crop.bottom)
        return nullptr;
    m_crop = crop;
    m_flags.clear();
    m_tileColumns = 1;
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::CalculateTile(uint32_t index)
{
    const int32_t row = static_cast<int32_t>(index / static_cast<uint32_t>(m_tileColumns));
    const int32_t column = static_cast<int32_t>(index % static_cast<uint32_t>(m_tileColumns));
    void* bits = nullptr;
    if (IVeltraError* e = LockTile(&bits, m_firstColumn + column, m_firstRow + row, nullptr))
        return WRAP(e);
    return WRAP(UnlockTile(m_firstColumn + column, m_firstRow + row));
}

IVeltraError* CVeltraFilterHistogram::SpendTime(uint32_t milliseconds)
{
    if (IVeltraError* e = Bound())
        return e;
    const uint32_t start = TickCount();
    if (m_flags.empty())
        if (IVeltraError* e = Initialize())
            return WRAP(e);
    for (;;) {
        if (TickCount() - start >= milliseconds)
            return nullptr;
        auto it = std::find(m_flags.begin(), m_flags.end(), uint8_t{0});
        if (it == m_flags.end())
            return nullptr;
        if (IVeltraError* e = CalculateTile(static_cast<uint32_t>(it - m_flags.begin())))
            return WRAP(e);
    }
}

IVeltraError* CVeltraFilterHistogram::ForceCompletion()
{
    if (IVeltraError* e = Bound())
        return e;
    if (m_flags.empty())
        if (IVeltraError* e = Initialize())
            return WRAP(e);
    for (size_t i = m_flags.size(); i-- > 0;)
        if (!m_flags[i])
            if (IVeltraError* e = CalculateTile(static_cast<uint32_t>(i)))
                return WRAP(e);
    return nullptr;
}

int32_t CVeltraFilterHistogram::GetHistogram(int32_t plane, uint32_t* counts, int32_t bits) const
{
    if (!counts || plane < 0 || plane >= kPlanes || bits < 0 || m_nativeBits == 0)
        return 0;
    const int32_t n = std::min(bits, m_nativeBits);
    const uint32_t* bins = m_bins.data() + static_cast<size_t>(plane) * kBins;
    const uint32_t group = 1u << (m_nativeBits - n);
    for (uint32_t i = 0; i < (1u << n); ++i) {
        uint32_t s = 0;
        for (uint32_t j = 0; j < group; ++j)
            s += bins[i * group + j];
        counts[i] = s;
    }
    return n;
}

// ---- the rest of the filter surface

IVeltraError* CVeltraFilterHistogram::Enable(bool enable, bool)
{
    return CVeltraFilterBase::Enable(enable, false);
}

IVeltraError* CVeltraFilterHistogram::GenerateTile(IVeltraTile*, IVeltraDataSource**, int32_t)
{
    return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);  // never produces tiles
}

IVeltraError* CVeltraFilterHistogram::ProcessTile(IVeltraTile*, CProcessInfo*)
{
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::VeltraNotify(IVeltraDataSource*, int32_t code, void* data)
{
    switch (code) {
    case kVeltraNotifyData:
    case kVeltraNotifySize:
    case kVeltraNotifyColorSpace:
    case kVeltraNotifyTransform:
    case kVeltraNotifyUpdateAll: Forget(); break;
    default: break;
    }
    return WRAP(VeltraSendDataNotification(this, code, data));
}

IVeltraError* CVeltraFilterHistogram::VeltraAddedDataSource(const IVeltraDataSource* source)
{
    Forget();
    return WRAP(CVeltraFilterBase::VeltraAddedDataSource(source));
}

IVeltraError* CVeltraFilterHistogram::VeltraRemovedDataSource(const IVeltraDataSource* source)
{
    Forget();
    return WRAP(CVeltraFilterBase::VeltraRemovedDataSource(source));
}

// ---- its own process run: the source copied into an image, counted on the way

IVeltraError* CVeltraFilterHistogram::BeginProcess(int32_t* id, IVeltraDataSource** sources, int32_t count,
                                                   IVeltraImage* image)
{
    if (m_runGrid)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraRunOpen);
    if (!id || !sources || count < 1 || !sources[0])
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraNoSource);
    m_source = sources[0];
    m_runImage = image;
    m_crop = VeltraRect{};
    if (IVeltraError* e = Initialize())
        return WRAP(e);
    double resolution = 0, rotation = 0;
    bool flip = false;
    VeltraPalette palette;
    if (IVeltraError* e = m_source->GetResolution(&resolution))
        return WRAP(e);
    if (IVeltraError* e = m_source->GetTransform(&flip, &rotation))
        return WRAP(e);
    if (IVeltraError* e = m_source->GetPalette(&palette))
        return WRAP(e);
    if (image) {
        if (IVeltraError* e = image->SetSize(m_width, m_height))
            return WRAP(e);
        if (IVeltraError* e = image->SetColorSpace(m_colorSpace))
            return WRAP(e);
        if (IVeltraError* e = image->SetResolution(resolution))
            return WRAP(e);
        if (IVeltraError* e = image->SetTransform(flip, rotation, false))
            return WRAP(e);
        if (IVeltraError* e = image->SetPalette(palette))
            return WRAP(e);
    }
    if (IVeltraError* e = m_source->MapRect(&m_runGrid, m_counted))
        return WRAP(e);
    m_runColumn = m_runRow = 0;
    *id = 1;
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::ExecuteProcess(int32_t id, int32_t* done, int32_t* total)
{
    if (id != 1)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraUnknownRun);
    auto report = [&](int32_t d, int32_t t) {
        if (done)
            *done = d;
        if (total)
            *total = t;
    };
    if (!m_runGrid) {
        report(0, 0);
        return nullptr;
    }
    const int32_t columns = m_runGrid->GetColumnCount(), rows = m_runGrid->GetRowCount();
    if (m_runColumn >= columns) {
        m_runColumn = 0;
        ++m_runRow;
    }
    if (m_runRow >= rows) {
        m_runGrid->Destroy();
        m_runGrid = nullptr;
        report(0, 0);
        return nullptr;
    }
    void* bits = nullptr;
    VeltraRect tileRect, covered;
    int32_t rowBytes = 0;
    if (IVeltraError* e = LockTile(&bits, &tileRect, &covered, &rowBytes, *m_runGrid, m_runColumn, m_runRow, nullptr))
        return WRAP(e);
    IVeltraError* err = nullptr;
    // the image may cut its tiles otherwise than the source: the source tile goes in by
    // its place in the picture, and the image puts it into whichever of its tiles hold it
    if (m_runImage)
        err = m_runImage->SetData(bits, rowBytes, tileRect);
    if (IVeltraError* e = UnlockTile(*m_runGrid, m_runColumn, m_runRow))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    if (err)
        return WRAP(err);
    ++m_runColumn;
    report(m_runRow * columns + m_runColumn, rows * columns);
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::Process(IVeltraDataSource** sources, int32_t count, IVeltraImage* image)
{
    int32_t id = 0;
    if (IVeltraError* e = BeginProcess(&id, sources, count, image))
        return WRAP(e);
    int32_t done = 0, total = 1;
    IVeltraError* err = nullptr;
    while (!err && total != 0 && done < total)
        err = ExecuteProcess(id, &done, &total);
    if (IVeltraError* e = EndProcess(id))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}

IVeltraError* CVeltraFilterHistogram::GetProcessInfo(int32_t id, IVeltraDataSource*** sources, int32_t* count,
                                                     IVeltraImage** image)
{
    if (id != 1)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraUnknownRun);
    m_runSources[0] = m_source;
    if (sources)
        *sources = m_runSources;
    if (count)
        *count = 1;
    if (image)
        *image = m_runImage;
    return nullptr;
}

IVeltraError* CVeltraFilterHistogram::EndProcess(int32_t id)
{
    if (id != 1)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraUnknownRun);
    if (m_runGrid)
        m_runGrid->Destroy();
    m_runGrid = nullptr;
    m_source = nullptr;
    m_runImage = nullptr;
    return nullptr;
}
