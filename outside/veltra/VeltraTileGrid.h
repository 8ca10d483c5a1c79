#pragma once
// The tiles of a source that a rectangle touches; column 0, row 0 is the first tile touched.
#include "outside/veltra/VeltraDataSource.h"

class IVeltraTileGrid {
public:
    virtual ~IVeltraTileGrid() = default;
    virtual int32_t GetColumnCount() const = 0;
    virtual int32_t GetRowCount() const = 0;
    virtual IVeltraError* TileExists(bool* exists, int32_t column, int32_t row) const = 0;
    virtual IVeltraError* GetTile(IVeltraTile** tile, int32_t column, int32_t row) const = 0;
    virtual void GetTileRect(int32_t column, int32_t row, VeltraRect* rect) const = 0;
    // The tile's part inside the mapped rectangle (which is clipped to the picture).
    virtual void GetCoveredRect(int32_t column, int32_t row, VeltraRect* rect) const = 0;
    // The source tile column and row of a grid position.
    virtual int32_t GetFirstColumn() const = 0;
    virtual int32_t GetFirstRow() const = 0;
    virtual void Destroy() = 0;
};
