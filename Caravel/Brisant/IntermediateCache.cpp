#include "Caravel/Brisant/IntermediateCache.h"
#include "Caravel/Brisant/TileInvalidation.h"

#define WRAP(e) VELTRA_WRAP(kModule, e)

using Cache = CVeltraFilterBase::CIntermediateCache;

namespace {
constexpr int32_t kModule = CVeltraFilterBase::kModule;
}

Cache::CIntermediateCache(CVeltraFilterBase* owner, CProcessInfo* info) : m_owner(owner), m_info(info) {}

Cache::~CIntermediateCache()
{
    if (m_image)
        m_image->Destroy();
}

IVeltraError* Cache::CreateImage()
{
    if (m_image)
        return nullptr;
    IVeltraManager* manager = m_owner ? m_owner->GetManager() : nullptr;
    if (!manager)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    return WRAP(manager->CreateImage(&m_image, 1));
}

// The real image must have been created first; without it every operation fails.
#define REAL(call)                                                               \
    if (!m_image)                                                                \
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState); \
    return WRAP(m_image->call)

IVeltraError* Cache::GetWidth(int32_t* width) { REAL(GetWidth(width)); }
IVeltraError* Cache::GetHeight(int32_t* height) { REAL(GetHeight(height)); }
IVeltraError* Cache::GetColorSpace(int32_t* colorSpace) { REAL(GetColorSpace(colorSpace)); }
IVeltraError* Cache::GetResolution(double* resolution) { REAL(GetResolution(resolution)); }
IVeltraError* Cache::GetFlip(bool* flip) { REAL(GetFlip(flip)); }
IVeltraError* Cache::GetRotation(double* rotation) { REAL(GetRotation(rotation)); }
IVeltraError* Cache::GetTileSize(int32_t* tileSize) { REAL(GetTileSize(tileSize)); }
IVeltraError* Cache::GetPalette(VeltraPalette* palette) { REAL(GetPalette(palette)); }
IVeltraError* Cache::TileExists(bool* exists, const IVeltraTileID& id) { REAL(TileExists(exists, id)); }
IVeltraError* Cache::TileExists(bool* exists, int32_t column, int32_t row) { REAL(TileExists(exists, column, row)); }
IVeltraError* Cache::GetTile(IVeltraTile** tile, const IVeltraTileID& id) { REAL(GetTile(tile, id)); }
IVeltraError* Cache::GetTile(IVeltraTile** tile, int32_t column, int32_t row) { REAL(GetTile(tile, column, row)); }
IVeltraError* Cache::UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row)
{
    REAL(UnlockTile(grid, column, row));
}
IVeltraError* Cache::UnlockTile(const IVeltraTileID& id) { REAL(UnlockTile(id)); }
IVeltraError* Cache::UnlockTile(int32_t column, int32_t row) { REAL(UnlockTile(column, row)); }
IVeltraError* Cache::MapRect(IVeltraTileGrid** grid, const VeltraRect& rect) { REAL(MapRect(grid, rect)); }
IVeltraError* Cache::SetUsage(int32_t usage) { REAL(SetUsage(usage)); }
IVeltraError* Cache::SetSize(int32_t width, int32_t height) { REAL(SetSize(width, height)); }
IVeltraError* Cache::SetColorSpace(int32_t colorSpace) { REAL(SetColorSpace(colorSpace)); }
IVeltraError* Cache::SetResolution(double resolution) { REAL(SetResolution(resolution)); }
IVeltraError* Cache::SetTransform(bool flip, double rotation, bool relative) { REAL(SetTransform(flip, rotation, relative)); }
IVeltraError* Cache::SetPalette(const VeltraPalette& palette) { REAL(SetPalette(palette)); }
IVeltraError* Cache::GetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) { REAL(GetData(buffer, rowBytes, rect)); }
IVeltraError* Cache::SetPixel(const VeltraPixel& pixel, int32_t x, int32_t y) { REAL(SetPixel(pixel, x, y)); }
IVeltraError* Cache::SetData(void* buffer, int32_t rowBytes, bool scaled, double factor, const VeltraRect& rect)
{
    REAL(SetData(buffer, rowBytes, scaled, factor, rect));
}
IVeltraError* Cache::SetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) { REAL(SetData(buffer, rowBytes, rect)); }

IVeltraManager* Cache::GetManager() const { return m_image ? m_image->GetManager() : nullptr; }
int32_t Cache::GetID() const { return m_image ? m_image->GetID() : 0; }
int32_t Cache::GetUsage() const { return m_image ? m_image->GetUsage() : 0; }
int32_t Cache::GetDataSize(int32_t width, int32_t height, int32_t* size)
{
    return m_image ? m_image->GetDataSize(width, height, size) : 0;
}

IVeltraError* Cache::LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header)
{
    if (!m_image)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = m_image->GetTile(&tile, column, row))
        return WRAP(e);
    return WRAP(LockAndGenerate(bits, tile, header));
}

IVeltraError* Cache::LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header)
{
    if (!m_image)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = m_image->GetTile(&tile, id))
        return WRAP(e);
    return WRAP(LockAndGenerate(bits, tile, header));
}

IVeltraError* Cache::LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect, int32_t* rowBytes,
                              const IVeltraTileGrid& grid, int32_t column, int32_t row, VeltraBitmapHeader** header)
{
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = grid.GetTile(&tile, column, row))
        return WRAP(e);
    if (tileRect)
        tile->GetRect(tileRect);
    if (coveredRect)
        grid.GetCoveredRect(column, row, coveredRect);
    if (rowBytes)
        *rowBytes = tile->GetRowBytes();
    return WRAP(LockAndGenerate(bits, tile, header));
}

IVeltraError* Cache::InvalidateRect(const VeltraRect& rect)
{
    if (!m_image)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    return WRAP(InvalidateImageTiles(m_image, rect));
}

IVeltraError* Cache::Invalidate()
{
    if (!m_image)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    int32_t w = 0, h = 0;
    if (IVeltraError* e = m_image->GetSize(&w, &h))
        return WRAP(e);
    return InvalidateRect(VeltraRect{0, 0, w, h});
}

IVeltraError* Cache::LockAndGenerate(void** bits, IVeltraTile* tile, VeltraBitmapHeader** header)
{
    if (!m_image)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    const bool needsData = tile->NeedsData();
    const IVeltraTileID id = tile->GetID();
    if (IVeltraError* e = m_image->LockTile(bits, id, header))
        return WRAP(e);
    if (!needsData && !tile->GetInvalidRect(nullptr))
        return nullptr;
    IVeltraError* err = GenerateCacheTile(tile);
    if (!err) {
        tile->SetValid(true);
        return nullptr;
    }
    if (IVeltraError* e = m_image->UnlockTile(id))
        err = IVeltraError::AddWorker(&err, kModule, __LINE__, e);
    return WRAP(err);
}
