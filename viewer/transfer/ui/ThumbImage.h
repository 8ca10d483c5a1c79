#pragma once
// A thumbnail grid (packed bitmaps, one a tile, row by row) as one picture.
#include "viewer/sources/PictureRecords.h"

#include <QImage>

#include <cstdint>
#include <vector>

// A null image when the grid is empty or a tile cannot be read.
QImage ThumbGridToImage(const std::vector<BitmapRecord>& tiles, uint32_t across, uint32_t down);

// One packed bitmap (24-bit colour or 8-bit with its colour table).
QImage PackedBitmapToImage(const BitmapRecord& tile);
