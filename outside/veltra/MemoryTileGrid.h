#pragma once
// The tiles of a MemoryImage that a rectangle touches.
#include "outside/veltra/VeltraTileGrid.h"

class MemoryImage;

class MemoryTileGrid final : public IVeltraTileGrid {
public:
    MemoryTileGrid(MemoryImage* image, const VeltraRect& clipped);

    int32_t GetColumnCount() const override { return m_columns; }
    int32_t GetRowCount() const override { return m_rows; }
    IVeltraError* TileExists(bool* exists, int32_t column, int32_t row) const override;
    IVeltraError* GetTile(IVeltraTile** tile, int32_t column, int32_t row) const override;
    void GetTileRect(int32_t column, int32_t row, VeltraRect* rect) const override;
    void GetCoveredRect(int32_t column, int32_t row, VeltraRect* rect) const override;
    int32_t GetFirstColumn() const override { return m_firstColumn; }
    int32_t GetFirstRow() const override { return m_firstRow; }
    void Destroy() override { delete this; }

    MemoryImage* Image() const { return m_image; }

private:
    MemoryImage* m_image;
    VeltraRect m_rect;
    int32_t m_tileSize = 0;
    int32_t m_firstColumn = 0;
    int32_t m_firstRow = 0;
    int32_t m_columns = 0;
    int32_t m_rows = 0;
};
