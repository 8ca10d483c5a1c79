#include "outside/veltra/MemoryTileGrid.h"

#include "outside/veltra/MemoryImage.h"
#include "outside/veltra/MemoryTile.h"

#include <algorithm>

namespace {
constexpr int32_t kModule = 0;
}

MemoryTileGrid::MemoryTileGrid(MemoryImage* image, const VeltraRect& clipped)
    : m_image(image), m_rect(clipped), m_tileSize(image->TileSide())
{
    if (m_tileSize <= 0 || clipped.right <= clipped.left || clipped.bottom <= clipped.top)
        return;
    m_firstColumn = clipped.left / m_tileSize;
    m_firstRow = clipped.top / m_tileSize;
    m_columns = (clipped.right - 1) / m_tileSize - m_firstColumn + 1;
    m_rows = (clipped.bottom - 1) / m_tileSize - m_firstRow + 1;
}

IVeltraError* MemoryTileGrid::TileExists(bool* exists, int32_t column, int32_t row) const
{
    if (column < 0 || row < 0 || column >= m_columns || row >= m_rows)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    *exists = m_image->FindTile(m_firstColumn + column, m_firstRow + row, false) != nullptr;
    return nullptr;
}

IVeltraError* MemoryTileGrid::GetTile(IVeltraTile** tile, int32_t column, int32_t row) const
{
    if (column < 0 || row < 0 || column >= m_columns || row >= m_rows)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    MemoryTile* t = m_image->FindTile(m_firstColumn + column, m_firstRow + row, true);
    if (!t)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    *tile = t;
    return nullptr;
}

void MemoryTileGrid::GetTileRect(int32_t column, int32_t row, VeltraRect* rect) const
{
    const int32_t c = m_firstColumn + column;
    const int32_t r = m_firstRow + row;
    *rect = VeltraRect{c * m_tileSize, r * m_tileSize, (c + 1) * m_tileSize, (r + 1) * m_tileSize};
}

void MemoryTileGrid::GetCoveredRect(int32_t column, int32_t row, VeltraRect* rect) const
{
    VeltraRect t;
    GetTileRect(column, row, &t);
    *rect = VeltraRect{std::max(t.left, m_rect.left), std::max(t.top, m_rect.top), std::min(t.right, m_rect.right),
                       std::min(t.bottom, m_rect.bottom)};
}
