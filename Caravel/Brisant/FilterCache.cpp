// Tile generation and the cache image of CVeltraFilterBase.
#include "Caravel/Brisant/VeltraFilterBase.h"
#include "Caravel/Brisant/TileInvalidation.h"

#define WRAP(e) VELTRA_WRAP(kModule, e)

IVeltraError* CVeltraFilterBase::DescribeImage(IVeltraDataSource** sources, int32_t count, IVeltraImage* image,
                                               bool always, int32_t* width, int32_t* height)
{
    // the output description, in this order
    int32_t w = 0, h = 0, cs = 0;
    double resolution = 0, rotation = 0;
    bool flip = false;
    VeltraPalette palette;
    if (IVeltraError* e = GetFilteredSize(sources, count, &w, &h))
        return WRAP(e);
    if (IVeltraError* e = GetFilteredColorSpace(sources, count, &cs))
        return WRAP(e);
    if (IVeltraError* e = GetFilteredResolution(sources, count, &resolution))
        return WRAP(e);
    if (IVeltraError* e = GetFilteredTransform(sources, count, &flip, &rotation))
        return WRAP(e);
    if (IVeltraError* e = GetFilteredPalette(sources, count, &palette))
        return WRAP(e);
    // applied to the image, in this order
    if (IVeltraError* e = image->SetSize(w, h))
        return WRAP(e);
    if (always || cs != 0)
        if (IVeltraError* e = image->SetColorSpace(cs))
            return WRAP(e);
    if (IVeltraError* e = image->SetResolution(resolution))
        return WRAP(e);
    if (IVeltraError* e = image->SetTransform(flip, rotation, false))
        return WRAP(e);
    if (IVeltraError* e = image->SetPalette(palette))
        return WRAP(e);
    *width = w;
    *height = h;
    return nullptr;
}

IVeltraError* CVeltraFilterBase::InvalidateAllTiles(int32_t width, int32_t height)
{
    int32_t t = 0;
    if (IVeltraError* e = m_cacheImage->GetTileSize(&t))
        return WRAP(e);
    if (t == 0)
        return nullptr;
    const int32_t rows = (height + t - 1) / t;
    const int32_t columns = (width + t - 1) / t;
    for (int32_t row = rows - 1; row >= 0; --row) {
        for (int32_t col = columns - 1; col >= 0; --col) {
            bool exists = false;
            if (IVeltraError* e = m_cacheImage->TileExists(&exists, col, row))
                return WRAP(e);
            if (!exists)
                continue;
            IVeltraTile* tile = nullptr;
            if (IVeltraError* e = m_cacheImage->GetTile(&tile, col, row))
                return WRAP(e);
            tile->Invalidate();
        }
    }
    return nullptr;
}

IVeltraError* CVeltraFilterBase::CheckCache()
{
    if (!m_changed)
        return nullptr;
    if (!m_cacheImage) {
        if (!m_manager)
            return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
        if (IVeltraError* e = m_manager->CreateImage(&m_cacheImage, m_cacheUsage))
            return WRAP(e);
    }
    int32_t w = 0, h = 0;
    if (IVeltraError* e = DescribeImage(m_sources, m_sourceCount, m_cacheImage, false, &w, &h))
        return WRAP(e);
    if (IVeltraError* e = InvalidateAllTiles(w, h))
        return WRAP(e);
    m_changed = false;
    return nullptr;
}

IVeltraError* CVeltraFilterBase::InvalidateCache(const VeltraRect& rect)
{
    if (!m_cacheImage)
        return nullptr;  // nothing is cached yet
    if (IVeltraError* e = CheckCache())
        return WRAP(e);
    return WRAP(InvalidateImageTiles(m_cacheImage, rect));
}

IVeltraError* CVeltraFilterBase::LockAndGenerate(void** bits, IVeltraTile* tile, VeltraBitmapHeader** header)
{
    if (IVeltraError* e = CheckCache())
        return WRAP(e);
    // asked before the lock
    const bool needsData = tile->NeedsData();
    const IVeltraTileID id = tile->GetID();
    if (IVeltraError* e = m_cacheImage->LockTile(bits, id, header))
        return WRAP(e);
    if (!needsData && !tile->GetInvalidRect(nullptr))
        return nullptr;  // current, and locked for the caller
    IVeltraError* err = GenerateTile(tile, nullptr, 0);
    if (!err)
        return nullptr;
    // never return an error with the tile still locked
    if (IVeltraError* e = m_cacheImage->UnlockTile(id))
        err = IVeltraError::AddWorker(&err, kModule, __LINE__, e);
    return WRAP(err);
}

IVeltraError* CVeltraFilterBase::GenerateTile(IVeltraTile* tile, IVeltraDataSource** sources, int32_t count)
{
    CProcessInfo record(sources, count, nullptr);
    IVeltraError* err = ProcessTile(tile, (sources && count != 0) ? &record : nullptr);
    // a tile whose generation failed stays stale, so the next reader asks again
    if (!err)
        tile->SetValid(true);
    return WRAP(err);
}
