#pragma once
// Drawing of tiled pictures at any zoom, and quarter turns of thumbnails.
#include "viewer/browser/BrowserItem.h"

#include "platform/gdi/Surface.h"

#include <atomic>
#include <cstdint>

struct DrawRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool Intersects(const DrawRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

// Scaled sizes of a record at a zoom (1.0 = 100 %): a full tile, the last
// column (its real pixels, without the row padding) and the last row.
struct ScaledTiles {
    int32_t tileWidth = 0;
    int32_t tileHeight = 0;
    int32_t lastColumnWidth = 0;
    int32_t lastRowHeight = 0;
    int32_t totalWidth = 0;
    int32_t totalHeight = 0;
};
ScaledTiles ScaleTiles(const PictureRecord& record, double zoom);

// Draws the tiles that meet clip, each stretched nearest-pixel to its scaled
// size at its place less the scroll origin, as long as keepDrawing stays set.
// Always 1.
int32_t DrawPictureTiles(plat::gdi::Surface& dc, const PictureRecord& record, const std::atomic<bool>& keepDrawing,
                         const DrawRect& clip, double zoom, int32_t scrollX, int32_t scrollY);

// Turns the record's one thumbnail tile a quarter turn (direction 1 clockwise,
// 3 counter-clockwise) at its own bit depth into a new block. False when memory
// runs out (the record is then unchanged).
bool RotateThumbnailTile(PictureRecord& record, int32_t direction);

// Turns the thumbnails of the selected items (movies are left alone) and
// counts the turn in their records; 0 when memory runs out, else 1.
int32_t RotateSelectedThumbnails(BrowserItemList& items, int32_t direction);

// The picture position of a thumbnail centred in its cell with a 3-pixel margin.
void CentreThumbInCell(int32_t thumbWidth, int32_t thumbHeight, int32_t cellX, int32_t cellY, int32_t thumbSize,
                       int32_t* x, int32_t* y);
