#pragma once
// An image that fills the tiles of a real framework image on demand through a generation hook,
// the way a filter fills its cache; for derived classes of the library's users.
#include "Caravel/Brisant/VeltraFilterBase.h"

class CVeltraFilterBase::CIntermediateCache : public IVeltraImage {
public:
    CIntermediateCache(CVeltraFilterBase* owner, CProcessInfo* info);
    // Releases the real image.
    ~CIntermediateCache() override;

    IVeltraError* GetWidth(int32_t* width) override;
    IVeltraError* GetHeight(int32_t* height) override;
    IVeltraError* GetColorSpace(int32_t* colorSpace) override;
    IVeltraError* GetResolution(double* resolution) override;
    IVeltraError* GetFlip(bool* flip) override;
    IVeltraError* GetRotation(double* rotation) override;
    IVeltraError* GetTileSize(int32_t* tileSize) override;
    IVeltraError* GetPalette(VeltraPalette* palette) override;
    IVeltraError* TileExists(bool* exists, const IVeltraTileID& id) override;
    IVeltraError* TileExists(bool* exists, int32_t column, int32_t row) override;
    IVeltraError* GetTile(IVeltraTile** tile, const IVeltraTileID& id) override;
    IVeltraError* GetTile(IVeltraTile** tile, int32_t column, int32_t row) override;
    IVeltraError* LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect, int32_t* rowBytes,
                           const IVeltraTileGrid& grid, int32_t column, int32_t row,
                           VeltraBitmapHeader** header) override;
    IVeltraError* LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header) override;
    IVeltraError* LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header) override;
    IVeltraError* UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row) override;
    IVeltraError* UnlockTile(const IVeltraTileID& id) override;
    IVeltraError* UnlockTile(int32_t column, int32_t row) override;
    IVeltraError* MapRect(IVeltraTileGrid** grid, const VeltraRect& rect) override;

    void Destroy() override = 0;
    IVeltraManager* GetManager() const override;
    int32_t GetID() const override;
    int32_t GetUsage() const override;
    IVeltraError* SetUsage(int32_t usage) override;
    IVeltraError* SetSize(int32_t width, int32_t height) override;
    IVeltraError* SetColorSpace(int32_t colorSpace) override;
    IVeltraError* SetResolution(double resolution) override;
    IVeltraError* SetTransform(bool flip, double rotation, bool relative) override;
    IVeltraError* SetPalette(const VeltraPalette& palette) override;
    int32_t GetDataSize(int32_t width, int32_t height, int32_t* size) override;
    IVeltraError* GetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) override;
    IVeltraError* SetPixel(const VeltraPixel& pixel, int32_t x, int32_t y) override;
    IVeltraError* SetData(void* buffer, int32_t rowBytes, bool scaled, double factor, const VeltraRect& rect) override;
    IVeltraError* SetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) override;
    // Fills one tile of the real image.
    virtual IVeltraError* GenerateCacheTile(IVeltraTile* tile) = 0;

    IVeltraError* CreateImage();
    IVeltraError* Invalidate();
    IVeltraError* InvalidateRect(const VeltraRect& rect);
    IVeltraError* LockAndGenerate(void** bits, IVeltraTile* tile, VeltraBitmapHeader** header);

    CVeltraFilterBase* GetOwner() const { return m_owner; }
    CProcessInfo* GetProcessInfo() const { return m_info; }
    IVeltraImage* GetRealImage() const { return m_image; }

private:
    CVeltraFilterBase* m_owner;
    CProcessInfo* m_info;
    IVeltraImage* m_image = nullptr;
};
