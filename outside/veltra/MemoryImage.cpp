#include "outside/veltra/MemoryImage.h"

#include "outside/veltra/MemoryTile.h"
#include "outside/veltra/MemoryTileGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {
constexpr int32_t kModule = 0;

double Normalise(double r)
{
    return std::fmod(360.0 - std::fmod(360.0 - r, 360.0), 360.0);
}
}  // namespace

MemoryImage::MemoryImage(IVeltraManager* manager, int32_t id, int32_t usage, int32_t tileSize)
    : m_manager(manager), m_id(id), m_usage(usage), m_tileSize(tileSize)
{
}

MemoryImage::~MemoryImage() = default;

void MemoryImage::Destroy()
{
    delete this;
}

int32_t MemoryImage::ColumnCount() const
{
    return m_tileSize > 0 ? (m_width + m_tileSize - 1) / m_tileSize : 0;
}

int32_t MemoryImage::RowCount() const
{
    return m_tileSize > 0 ? (m_height + m_tileSize - 1) / m_tileSize : 0;
}

MemoryTile* MemoryImage::FindTile(int32_t column, int32_t row, bool create, bool whole)
{
    if (column < 0 || row < 0 || column >= ColumnCount() || row >= RowCount())
        return nullptr;
    auto it = m_tiles.find({row, column});
    if (it != m_tiles.end())
        return it->second.get();
    if (!create)
        return nullptr;
    std::unique_ptr<MemoryTile> tile(new (std::nothrow) MemoryTile(this, column, row));
    if (!tile)
        return nullptr;
    if (IVeltraError* e = tile->Reshape(!whole)) {
        e->Release();
        return nullptr;
    }
    MemoryTile* raw = tile.get();
    m_tiles.emplace(std::make_pair(row, column), std::move(tile));
    return raw;
}

IVeltraError* MemoryImage::GetWidth(int32_t* width) { *width = m_width; return nullptr; }
IVeltraError* MemoryImage::GetHeight(int32_t* height) { *height = m_height; return nullptr; }
IVeltraError* MemoryImage::GetColorSpace(int32_t* colorSpace) { *colorSpace = m_colorSpace; return nullptr; }
IVeltraError* MemoryImage::GetResolution(double* resolution) { *resolution = m_resolution; return nullptr; }
IVeltraError* MemoryImage::GetFlip(bool* flip) { *flip = m_flip; return nullptr; }
IVeltraError* MemoryImage::GetRotation(double* rotation) { *rotation = m_rotation; return nullptr; }
IVeltraError* MemoryImage::GetTileSize(int32_t* tileSize) { *tileSize = m_tileSize; return nullptr; }
IVeltraError* MemoryImage::GetPalette(VeltraPalette* palette) { *palette = m_palette; return nullptr; }

IVeltraError* MemoryImage::TileExists(bool* exists, const IVeltraTileID& id)
{
    return TileExists(exists, id.column, id.row);
}

IVeltraError* MemoryImage::TileExists(bool* exists, int32_t column, int32_t row)
{
    *exists = FindTile(column, row, false) != nullptr;
    return nullptr;
}

IVeltraError* MemoryImage::GetTile(IVeltraTile** tile, const IVeltraTileID& id)
{
    return GetTile(tile, id.column, id.row);
}

IVeltraError* MemoryImage::GetTile(IVeltraTile** tile, int32_t column, int32_t row)
{
    MemoryTile* t = FindTile(column, row, true);
    if (!t)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    *tile = t;
    return nullptr;
}

IVeltraError* MemoryImage::LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect, int32_t* rowBytes,
                                    const IVeltraTileGrid& grid, int32_t column, int32_t row,
                                    VeltraBitmapHeader** header)
{
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = grid.GetTile(&tile, column, row))
        return VELTRA_WRAP(kModule, e);
    if (tileRect)
        tile->GetRect(tileRect);
    if (coveredRect)
        grid.GetCoveredRect(column, row, coveredRect);
    if (rowBytes)
        *rowBytes = tile->GetRowBytes();
    return VELTRA_WRAP(kModule, tile->LockBits(bits, header));
}

IVeltraError* MemoryImage::LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header)
{
    return LockTile(bits, id.column, id.row, header);
}

IVeltraError* MemoryImage::LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header)
{
    MemoryTile* t = FindTile(column, row, true);
    if (!t)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    return VELTRA_WRAP(kModule, t->LockBits(bits, header));
}

IVeltraError* MemoryImage::UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row)
{
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = grid.GetTile(&tile, column, row))
        return VELTRA_WRAP(kModule, e);
    return VELTRA_WRAP(kModule, tile->UnlockBits());
}

IVeltraError* MemoryImage::UnlockTile(const IVeltraTileID& id)
{
    return UnlockTile(id.column, id.row);
}

IVeltraError* MemoryImage::UnlockTile(int32_t column, int32_t row)
{
    MemoryTile* t = FindTile(column, row, false);
    if (!t)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    return VELTRA_WRAP(kModule, t->UnlockBits());
}

IVeltraError* MemoryImage::MapRect(IVeltraTileGrid** grid, const VeltraRect& rect)
{
    // the grid only lists tiles that hold picture pixels
    VeltraRect clipped{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, m_width),
                       std::min(rect.bottom, m_height)};
    MemoryTileGrid* g = new (std::nothrow) MemoryTileGrid(this, clipped);
    if (!g)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    *grid = g;
    return nullptr;
}

IVeltraError* MemoryImage::SetUsage(int32_t usage)
{
    m_usage = usage;
    return nullptr;
}

IVeltraError* MemoryImage::Reshape()
{
    for (auto& [key, tile] : m_tiles)
        if (IVeltraError* e = tile->Reshape())
            return VELTRA_WRAP(kModule, e);
    return nullptr;
}

IVeltraError* MemoryImage::SetSize(int32_t width, int32_t height)
{
    if (width < 0 || height < 0)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    if (width == m_width && height == m_height)
        return nullptr;
    m_width = width;
    m_height = height;
    return Reshape();
}

IVeltraError* MemoryImage::SetColorSpace(int32_t colorSpace)
{
    if (colorSpace == m_colorSpace)
        return nullptr;
    m_colorSpace = colorSpace;
    return Reshape();
}

IVeltraError* MemoryImage::SetResolution(double resolution)
{
    m_resolution = resolution;
    return nullptr;
}

IVeltraError* MemoryImage::SetTransform(bool flip, double rotation, bool relative)
{
    if (relative) {
        // mirror first, then turn: (f1, r1) then (f2, r2) is (f1 xor f2, (f2 ? -r1 : r1) + r2)
        m_rotation = Normalise((flip ? -m_rotation : m_rotation) + rotation);
        m_flip = m_flip != flip;
    } else {
        m_flip = flip;
        m_rotation = Normalise(rotation);
    }
    return nullptr;
}

IVeltraError* MemoryImage::SetPalette(const VeltraPalette& palette)
{
    m_palette = palette;
    return nullptr;
}

int32_t MemoryImage::GetDataSize(int32_t width, int32_t height, int32_t* size)
{
    const int32_t s = RowBytesFor(width, m_colorSpace) * height;
    if (size)
        *size = s;
    return s;
}

template <class Copy>
IVeltraError* MemoryImage::WalkRect(const VeltraRect& rect, bool create, Copy copy, bool writes)
{
    const int32_t bpp = GetBitsPerPixel(m_colorSpace);
    if (bpp == 0 || bpp % 8 != 0)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    const VeltraRect r{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, m_width),
                       std::min(rect.bottom, m_height)};
    if (r.right <= r.left || r.bottom <= r.top)
        return nullptr;
    const int32_t t = m_tileSize;
    // rows without padding: a write of the whole tile square leaves no byte unwritten
    const bool unpadded = RowBytesFor(t, m_colorSpace) == t * (bpp / 8);
    for (int32_t row = r.top / t; row <= (r.bottom - 1) / t; ++row) {
        for (int32_t col = r.left / t; col <= (r.right - 1) / t; ++col) {
            const bool whole = writes && unpadded && r.left <= col * t && r.right >= (col + 1) * t &&
                               r.top <= row * t && r.bottom >= (row + 1) * t;
            MemoryTile* tile = FindTile(col, row, create, whole);
            if (!tile)
                return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
            const int32_t x0 = std::max(r.left, col * t), x1 = std::min(r.right, (col + 1) * t);
            const int32_t y0 = std::max(r.top, row * t), y1 = std::min(r.bottom, (row + 1) * t);
            void* bits = nullptr;
            if (IVeltraError* e = tile->LockBits(&bits, nullptr))
                return VELTRA_WRAP(kModule, e);
            unsigned char* p = static_cast<unsigned char*>(bits) +
                               static_cast<size_t>(y0 - row * t) * tile->GetRowBytes() +
                               static_cast<size_t>(x0 - col * t) * (bpp / 8);
            copy(p, tile->GetRowBytes(), x0, y0, (x1 - x0) * (bpp / 8), y1 - y0);
            // the written part covers the whole picture part of the tile: it is current
            if (create && x0 == col * t && y0 == row * t && (x1 == (col + 1) * t || x1 == m_width) &&
                (y1 == (row + 1) * t || y1 == m_height))
                tile->SetValid(true);
            if (IVeltraError* e = tile->UnlockBits())
                return VELTRA_WRAP(kModule, e);
        }
    }
    return nullptr;
}

IVeltraError* MemoryImage::GetData(void* buffer, int32_t rowBytes, const VeltraRect& rect)
{
    if (!buffer)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    const int32_t bytes = GetBitsPerPixel(m_colorSpace) / 8;
    return WalkRect(rect, true, [&](unsigned char* p, int32_t tileRow, int32_t x0, int32_t y0, int32_t n, int32_t h) {
        unsigned char* out = static_cast<unsigned char*>(buffer) + static_cast<ptrdiff_t>(y0 - rect.top) * rowBytes +
                             static_cast<ptrdiff_t>(x0 - rect.left) * bytes;
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(out + static_cast<ptrdiff_t>(y) * rowBytes, p + static_cast<ptrdiff_t>(y) * tileRow,
                        static_cast<size_t>(n));
    });
}

IVeltraError* MemoryImage::SetData(void* buffer, int32_t rowBytes, const VeltraRect& rect)
{
    if (!buffer)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    const int32_t bytes = GetBitsPerPixel(m_colorSpace) / 8;
    return WalkRect(rect, true, [&](unsigned char* p, int32_t tileRow, int32_t x0, int32_t y0, int32_t n, int32_t h) {
        const unsigned char* in = static_cast<const unsigned char*>(buffer) +
                                  static_cast<ptrdiff_t>(y0 - rect.top) * rowBytes +
                                  static_cast<ptrdiff_t>(x0 - rect.left) * bytes;
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(p + static_cast<ptrdiff_t>(y) * tileRow, in + static_cast<ptrdiff_t>(y) * rowBytes,
                        static_cast<size_t>(n));
    }, true);
}

IVeltraError* MemoryImage::SetData(void* buffer, int32_t rowBytes, bool scaled, double factor, const VeltraRect& rect)
{
    // only the plain copy is offered
    if (scaled || factor != 0.0)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    return SetData(buffer, rowBytes, rect);
}

IVeltraError* MemoryImage::SetPixel(const VeltraPixel& pixel, int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    // the image's own layout says how many samples fit and how wide they are; a pixel
    // with more components than that would write into the next pixel or past the tile
    const int32_t bpp = GetBitsPerPixel(m_colorSpace);
    int32_t planes = 0, sampleBits = 0;
    if (!GetSampleLayout(m_colorSpace, &planes, &sampleBits) || sampleBits % 8 != 0)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    const int32_t components = pixel.components;
    if (components <= 0 || components > planes || components > 4)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    const bool wide = sampleBits == 16;
    MemoryTile* tile = FindTile(x / m_tileSize, y / m_tileSize, true);
    if (!tile)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    void* bits = nullptr;
    if (IVeltraError* e = tile->LockBits(&bits, nullptr))
        return VELTRA_WRAP(kModule, e);
    unsigned char* p = static_cast<unsigned char*>(bits) + static_cast<size_t>(y % m_tileSize) * tile->GetRowBytes() +
                       static_cast<size_t>(x % m_tileSize) * (bpp / 8);
    for (int32_t c = 0; c < components; ++c) {
        if (wide)
            std::memcpy(p + 2 * c, &pixel.value[c], 2);
        else
            p[c] = static_cast<unsigned char>(pixel.value[c]);
    }
    return VELTRA_WRAP(kModule, tile->UnlockBits());
}
