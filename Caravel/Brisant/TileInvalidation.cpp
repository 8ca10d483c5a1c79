#include "Caravel/Brisant/TileInvalidation.h"

#include "outside/veltra/VeltraTile.h"
#include "outside/veltra/VeltraTileGrid.h"

IVeltraError* InvalidateImageTiles(IVeltraImage* image, const VeltraRect& rect)
{
    IVeltraTileGrid* grid = nullptr;
    if (IVeltraError* e = image->MapRect(&grid, rect))
        return e;
    if (!grid)
        return nullptr;
    IVeltraError* err = nullptr;
    for (int32_t row = 0; row < grid->GetRowCount() && !err; ++row) {
        for (int32_t col = 0; col < grid->GetColumnCount() && !err; ++col) {
            bool exists = false;
            if ((err = grid->TileExists(&exists, col, row)) || !exists)
                continue;
            IVeltraTile* tile = nullptr;
            if ((err = grid->GetTile(&tile, col, row)))
                continue;
            VeltraRect whole, covered;
            grid->GetTileRect(col, row, &whole);
            grid->GetCoveredRect(col, row, &covered);
            if (whole.left == covered.left && whole.top == covered.top && whole.right == covered.right &&
                whole.bottom == covered.bottom)
                tile->Invalidate();
            else
                tile->InvalidateRect(covered);
        }
    }
    grid->Destroy();
    return err;
}
