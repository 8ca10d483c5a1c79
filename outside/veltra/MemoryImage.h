#pragma once
// The framework's image: every tile in memory, made on first use.
#include "outside/veltra/VeltraImage.h"

#include <map>
#include <memory>
#include <utility>

class MemoryTile;

class MemoryImage final : public IVeltraImage {
public:
    MemoryImage(IVeltraManager* manager, int32_t id, int32_t usage, int32_t tileSize);
    ~MemoryImage() override;

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

    void Destroy() override;
    IVeltraManager* GetManager() const override { return m_manager; }
    int32_t GetID() const override { return m_id; }
    int32_t GetUsage() const override { return m_usage; }
    IVeltraError* SetUsage(int32_t usage) override;
    IVeltraError* SetSize(int32_t width, int32_t height) override;
    IVeltraError* SetColorSpace(int32_t colorSpace) override;
    IVeltraError* SetResolution(double resolution) override;
    IVeltraError* SetTransform(bool flip, double rotation, bool relative) override;
    IVeltraError* SetPalette(const VeltraPalette& palette) override;
    int32_t GetDataSize(int32_t width, int32_t height, int32_t* size) override;
    IVeltraError* GetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) override;
    IVeltraError* SetPixel(const VeltraPixel& pixel, int32_t x, int32_t y) override;
    IVeltraError* SetData(void* buffer, int32_t rowBytes, bool scaled, double factor,
                          const VeltraRect& rect) override;
    IVeltraError* SetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) override;

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t ColorSpace() const { return m_colorSpace; }
    int32_t TileSide() const { return m_tileSize; }
    int32_t ColumnCount() const;
    int32_t RowCount() const;
    double Resolution() const { return m_resolution; }
    // The tile at (column, row), made on first use; null outside the picture's tiles.
    // `whole`: a tile made here is about to be written in full, so its memory need not be zeroed.
    MemoryTile* FindTile(int32_t column, int32_t row, bool create, bool whole = false);

private:
    IVeltraError* Reshape();
    // `writes`: the copy fills the parts it is handed.
    template <class Copy>
    IVeltraError* WalkRect(const VeltraRect& rect, bool create, Copy copy, bool writes = false);

    IVeltraManager* m_manager;
    int32_t m_id;
    int32_t m_usage;
    int32_t m_tileSize;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_colorSpace = 0;
    double m_resolution = 72.0;
    bool m_flip = false;
    double m_rotation = 0.0;
    VeltraPalette m_palette;
    // Tiles are never freed while the image lives, so locks and grids stay valid across re-description.
    std::map<std::pair<int32_t, int32_t>, std::unique_ptr<MemoryTile>> m_tiles;
};
